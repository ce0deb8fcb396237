#pragma once
// The capabilities the GL device reports: what it really does (see GlCaps.cpp for the list).

#include "platform/d3d8/D3D8Types.h"

#include <string>

// Limits read from a GL context; defaults are the least GL 3.3 promises.
struct GlLimits {
    std::string renderer = "OpenGL 3.3";
    bool software = false;
    UINT maxTextureSize = 1024;
    float maxPointSize = 1.0f;
};

// Reads the limits of the current context.
GlLimits ReadGlLimits();
// Probes a headless context for its limits; the defaults when none can be made.
GlLimits ProbeGlLimits();
D3DCAPS8 GlDeviceCaps(const GlLimits& limits);
