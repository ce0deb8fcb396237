#pragma once

#include <cstdint>

class SceneGraphics;

// What the records of one binary scene load consult besides the file: the graphics object
// that creates textures and geometry, the file's version and the load options.
struct SceneReadContext {
    SceneGraphics* graphics = nullptr;
    int32_t version = 102;
    int32_t options = -1;            // the flags argument of the load; -1 none
    const char* sceneFile = "";      // for warnings about missing maps
    const char* startDirectory = ""; // the working directory before the load changed it

    int32_t Option(int32_t bit) const { return options == -1 ? 0 : (options >> bit) & 1; }
};
