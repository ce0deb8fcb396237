// libFuzzer target: the viewer's command line. The input is the program's argument list, one
// argument per line (as a shell would deliver them, split already); it goes through the
// platform split into option words and scene path, the settings reader and the single-option
// readers, and PrintViewerSettings. The same words read twice must give the same settings,
// and every option word must be found again by name.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "viewer/CommandLine.h"
#include "viewer/ViewerSettings.h"

namespace {

std::vector<std::string> Arguments(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    args.push_back(current);
    return args;
}

// Every option word's name (up to ':' or '=') asked back through the single readers.
void AskEachOption(const std::string& commandLine) {
    size_t start = 0;
    while (start < commandLine.size()) {
        size_t end = commandLine.find(' ', start);
        if (end == std::string::npos) end = commandLine.size();
        std::string word = commandLine.substr(start, end - start);
        const size_t cut = word.find_first_of(":=");
        if (cut != std::string::npos) word.resize(cut);
        if (!word.empty()) {
            int i = 0;
            float f = 0.0f;
            if (!HasOption(commandLine.c_str(), word.c_str()) && cut == std::string::npos) __builtin_trap();
            GetIntOption(commandLine.c_str(), word.c_str(), &i);
            GetFloatOption(commandLine.c_str(), word.c_str(), &f);
        }
        start = end + 1;
    }
}

// The settings as PrintViewerSettings writes them (the record has padding, so no memcmp).
std::string Printed(const ViewerSettings& settings) {
    char* text = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&text, &length);
    if (!out) return {};
    PrintViewerSettings(out, settings);
    std::fclose(out);
    std::string result(text, length);
    std::free(text);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const SplitArguments split = SplitProgramArguments(Arguments(data, size));
    const char* cmd = split.commandLine.c_str(); // the program sees it up to a NUL
    ViewerSettings first, second;
    ReadViewerSettings(cmd, first);
    ReadViewerSettings(cmd, second);
    if (Printed(first) != Printed(second)) __builtin_trap();
    char file[256];
    const int word = GetFileArgument(cmd, file);
    if (word >= 0 && std::strlen(file) > 255) __builtin_trap();
    AskEachOption(cmd);
    return 0;
}
