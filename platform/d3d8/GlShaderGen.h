#pragma once
// Writes the GLSL 3.30 core program that does what Direct3D 8's fixed-function pipeline
// does for one GlShaderKey: transform (with vertex blending), lighting, fog and texture
// coordinates in the vertex shader; texture stages, specular, fog and alpha test in the
// fragment shader. Stages and lights are unrolled, so every program holds only the code
// its key needs.
//
// Vertex attributes sit at fixed locations (GlAttribute); uniform names are listed in
// GlShaderCache, which links the program and looks them up.

#include "platform/d3d8/GlShaderKey.h"

#include <string>

enum GlAttribute : int {
    kGlAttrPosition = 0,
    kGlAttrWeights = 1,
    kGlAttrIndices = 2,
    kGlAttrNormal = 3,
    kGlAttrPointSize = 4,
    kGlAttrDiffuse = 5,
    kGlAttrSpecular = 6,
    kGlAttrTexCoord0 = 7, // sets 0 to 7 at 7 to 14
};

// The uniform block holding the world-view matrices of vertex blending.
constexpr const char* kGlPaletteBlock = "Palette";

std::string GenerateVertexShader(const GlShaderKey& key);
std::string GenerateFragmentShader(const GlShaderKey& key);
