#pragma once
// A flexible vertex format decoded into byte offsets, and its attribute pointers for the
// fixed-function programs (GlAttribute locations).

#include "platform/d3d8/D3D8Types.h"

struct GlVertexLayout {
    DWORD fvf = 0;
    UINT size = 0; // bytes of one vertex
    bool valid = false;
    bool pretransformed = false;
    int betas = 0;   // floats after the position (XYZB1..B5)
    int weights = 0; // blend weights among them (the last beta holds indices with UBYTE4)
    bool indexed = false;
    int normal = -1, pointSize = -1, diffuse = -1, specular = -1, indices = -1; // offsets, -1 = absent
    int texSets = 0;
    int texSize[8] = {};
    int texOffset[8] = {};
};

// Decodes the format; valid is false for a format without position or with more than 8
// coordinate sets.
GlVertexLayout DecodeVertexFormat(DWORD fvf);

// Points the attributes at a vertex buffer bound to GL_ARRAY_BUFFER, starting at byte
// `base`, with `stride` bytes per vertex. Attributes the format lacks are disabled.
void ApplyVertexLayout(const GlVertexLayout& layout, UINT stride, size_t base);
