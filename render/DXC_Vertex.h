#pragma once

#include "platform/d3d8/D3D8Types.h"

// The vertex records of immediate drawing. Each names its flexible vertex format, which fixes
// the layout of a DXC_VertexListTemp over it.

// Pre-transformed screen vertex (x, y in pixels, z 0..1, rhw = 1 / w).
struct DXC_TLVertex {
    static constexpr DWORD Format = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
    float u, v;
};

// Untransformed, unlit-by-normal vertex with its own colours.
struct DXC_LVertex {
    static constexpr DWORD Format = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
    float x, y, z;
    D3DCOLOR diffuse, specular;
    float u, v;
};

struct DXC_PointVertex {
    static constexpr DWORD Format = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    float x, y, z;
    D3DCOLOR diffuse;
};

static_assert(sizeof(DXC_TLVertex) == 32);
static_assert(sizeof(DXC_LVertex) == 28);
static_assert(sizeof(DXC_PointVertex) == 16);
