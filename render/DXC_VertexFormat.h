#pragma once

#include <cstdint>

#include "platform/d3d8/D3D8Types.h"

// The layout of one flexible vertex format: byte offsets of each element (-1 when absent),
// the blend values and the vertex size, decoded by the Direct3D 8 rules.
struct VertexFormat {
    static constexpr int32_t MaxTexCoordSets = 8;

    DWORD fvf = 0;
    int32_t position = -1;
    int32_t blend = -1;        // first blend value (weights, then the index word with UBYTE4)
    int32_t blendValues = 0;   // 0 to 5 floats after the position (XYZB1..XYZB5)
    int32_t blendWeights = 0;  // weights among them (one less when the last holds indices)
    bool indexedBlend = false; // the last blend value carries 4 unsigned-byte matrix indices
    int32_t normal = -1;
    int32_t pointSize = -1;
    int32_t diffuse = -1;
    int32_t specular = -1;
    int32_t texCoordSets = 0;
    int32_t texCoord[MaxTexCoordSets] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int32_t texCoordFloats[MaxTexCoordSets] = {};
    int32_t size = 0;

    // Decodes the format bits; a format without position, or one Direct3D rejects, decodes as
    // size 0.
    void Set(DWORD formatBits);
};
