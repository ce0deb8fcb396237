#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "kzvtool render [--at SECONDS | --range START:END:STEP] [--camera N|free] [--size WxH]
// [--mirror 0|1] [--shading solid|wire|point] [--lighting 0|1] [--background 0xAARRGGBB]
// [--loop] [--textures DIR] -o OUT FILE": the scene loaded and drawn headless on the GL device
// exactly as the viewer draws it (the same load, start-up view, update and render pass), one
// picture per time, written as PNG or BMP.
//
// Returns the exit code: 0 written, 1 the scene or an image could not be loaded or written, or
// no GL context (with a message naming the file and the reason), 2 for wrong arguments (with
// the message in error).
int RunRender(const std::vector<std::string>& args, std::string& error);

struct RenderOptions {
    bool timeGiven = false;
    float time = 0.0f;
    bool rangeGiven = false;
    float rangeStart = 0.0f, rangeEnd = 0.0f, rangeStep = 0.0f;
    bool freeCamera = false;
    int32_t camera = 0;
    int32_t width = 640, height = 480;
    int32_t mirror = 1;
    int32_t fillMode = 3; // 3 solid, 2 wire, 1 point
    int32_t lighting = 1;
    bool backgroundGiven = false;
    uint32_t background = 0;
    bool loop = false;
    bool texturePathGiven = false;
    std::string texturePath;
    std::string output;
    std::string file;
};

// Reads the arguments after "render"; false with a message for anything wrong.
bool ParseRenderArguments(const std::vector<std::string>& args, RenderOptions& options, std::string& error);

// The times of a range: START, START + STEP, ... up to END, END included when a step lands on it.
std::vector<float> RangeTimes(float start, float end, float step);

// The file name of frame n: OUT with its one integer field filled in.
std::string FrameFileName(const std::string& pattern, int32_t n);
