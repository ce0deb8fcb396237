#pragma once

#include <cstdint>

#include "platform/d3d8/D3D8Types.h"

// Fog as the scene and the graphics object describe it. Mode: 0 none, 1 exp, 2 exp2, 3 linear.
struct FogParameters {
    D3DCOLOR color = 0;
    int32_t mode = 1;
    int32_t vertexFog = 1;
    float start = 0.0f;
    float end = 1.0f;
    float density = 0.5f;
};

// Point rendering for point fill mode and point lists. `spare` travels with the record and is
// never sent to the device.
struct PointParameters {
    float scaleA = 1.0f;
    float scaleB = 0.0f;
    float scaleC = 0.0f;
    float sizeMax = 64.0f;
    float sizeMin = 1.0f;
    float size = 4.0f;
    int32_t sprite = 0;
    int32_t scale = 0;
    int32_t spare = 0;
};
