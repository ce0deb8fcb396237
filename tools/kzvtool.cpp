// kzvtool: scene information and pictures for scripts, loaded exactly as the viewer loads
// them: information on the recording device (no window, no GL), pictures headless on the GL
// device.
//
//   kzvtool info [--json] [--at SECONDS] [--loop] [--textures DIR] FILE...
//   kzvtool render [options] -o OUT FILE
//
// Exit codes: 0 success, 1 a file failed, 2 for a wrong command line, 3 for commands this
// build does not have yet (convert).

#include <cstdio>
#include <string>
#include <vector>

#include "InfoCommand.h"
#include "RenderCommand.h"

namespace {

constexpr const char* UsageText =
    "Usage: kzvtool info [--json] [--at SECONDS] [--loop] [--textures DIR] FILE...\n"
    "  Loads each scene file (.kzv text or .3sc binary) as the viewer does, updates it once\n"
    "  and describes it: a short summary, or with --json a JSON array with one object per\n"
    "  file in argument order. A file that fails is reported and the others still are.\n"
    "  --at SECONDS    update the scene at this time (default: its first frame)\n"
    "  --loop          set the scene's loop flag before the update\n"
    "  --textures DIR  folder for maps not found where the scene names them (default: the\n"
    "                  viewer's DefaultTexturePath setting)\n"
    "  Exit code 0 when every file loaded, 1 when any failed, 2 for a wrong command line.\n"
    "Usage: kzvtool render [--at SECONDS | --range START:END:STEP] [--camera N|free]\n"
    "                      [--size WxH] [--mirror 0|1] [--shading solid|wire|point]\n"
    "                      [--lighting 0|1] [--background 0xAARRGGBB] [--loop]\n"
    "                      [--textures DIR] -o OUT FILE\n"
    "  Draws the scene headless (EGL) exactly as the viewer's first frame shows it and writes\n"
    "  the picture to OUT (.png or .bmp). Defaults: 640x480, the first scene camera (the free\n"
    "  camera when there is none), mirror 1, solid, lighting on, the scene's background, the\n"
    "  scene's first frame. With --range (seconds, END included when a step lands on it) OUT\n"
    "  holds one integer field, e.g. frame_%04d.png, numbered from 0.\n"
    "  Exit code 0 written, 1 the scene or a picture could not be loaded or written (or no GL\n"
    "  context), 2 for a wrong command line.\n"
    "Not built yet (exit code 3): kzvtool convert\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "kzvtool: %s\n", problem.c_str());
    std::fputs(UsageText, stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage("no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (command == "info") {
        std::string error;
        const int code = RunInfo({args.begin() + 1, args.end()}, error);
        if (code == 2) return Usage(error);
        return code;
    }
    if (command == "render") {
        std::string error;
        const int code = RunRender({args.begin() + 1, args.end()}, error);
        if (code == 2) return Usage(error);
        return code;
    }
    if (command == "convert") {
        std::fprintf(stderr, "kzvtool: %s is not built yet\n", command.c_str());
        return 3;
    }
    return Usage("unknown command '" + command + "'");
}
