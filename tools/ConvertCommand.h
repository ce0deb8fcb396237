#pragma once

#include <string>
#include <vector>

// "kzvtool convert IN... [-o OUT | -d DIR] [--jobs N]": loads each scene file (text or binary)
// as the viewer does, on the recording device, and saves it in the binary form: to OUT (one
// input only), to DIR/NAME.3sc, or else beside the input as NAME.3sc. Files are converted by
// up to N worker processes at once (default: the number of cores), each with its own graphics
// object; one line per file, in argument order: "IN -> OUT (N bytes, T s)" or "IN: error: ...".
//
// Returns the exit code: 0 when every file was converted, 1 when any failed, 2 for wrong
// arguments (with the message in error).
int RunConvert(const std::vector<std::string>& args, std::string& error);

struct ConvertOptions {
    std::vector<std::string> inputs;
    std::string output;    // -o
    std::string directory; // -d
    int jobs = 0;          // 0: the number of cores
};

// Reads the arguments after "convert"; false with a message for anything it does not know.
bool ParseConvertArguments(const std::vector<std::string>& args, ConvertOptions& options, std::string& error);

// The output path of each input: OUT, DIR/NAME.3sc or the input's own folder with NAME.3sc.
std::vector<std::string> ConvertOutputs(const ConvertOptions& options);
