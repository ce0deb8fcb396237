#pragma once

#include <string>
#include <vector>

// "kzvtool info [--json] [--at SECONDS] [--loop] [--textures DIR] FILE...": loads each file
// through the viewer's scene load on the recording device (no window, no GL), updates it once
// and describes it, as a short summary or as a JSON array with one object per file in
// argument order. A file that fails does not stop the others.
//
// Returns the exit code: 0 when every file loaded, 1 when any failed (or the graphics object
// could not be made), 2 for wrong arguments (with the message in error).
int RunInfo(const std::vector<std::string>& args, std::string& error);

// The options of the info command.
struct InfoOptions {
    bool json = false;
    bool timeGiven = false;
    float time = 0.0f;
    bool loop = false;
    bool texturePathGiven = false;
    std::string texturePath;
    std::vector<std::string> files;
};

// Reads the arguments after "info"; false with a message for anything it does not know.
// "--" ends the options, so that a file may begin with "-".
bool ParseInfoArguments(const std::vector<std::string>& args, InfoOptions& options, std::string& error);
