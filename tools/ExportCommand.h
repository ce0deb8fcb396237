#pragma once

#include <string>
#include <vector>

struct GltfExportOptions;

// "kzvtool export [--binary] [--fps N] [--bake] -o OUT.gltf|OUT.glb FILE": loads the scene as
// the viewer does (on the recording device) and writes it as a glTF 2.0 asset.
//
// Returns the exit code: 0 written, 1 when the scene could not be loaded or the asset not
// written (with the file and the reason on standard error), 2 for wrong arguments (with the
// message in error).
int RunExport(const std::vector<std::string>& args, std::string& error);

// Reads the arguments after "export"; false with a message for anything it does not take.
bool ParseExportArguments(const std::vector<std::string>& args, GltfExportOptions& options,
                          std::string& error);
