// Decoding of flexible vertex formats (D3DFVF_* bits) into the byte layout of one vertex.
// Elements follow in the fixed Direct3D order: position (3 floats, 4 with rhw), blend weights,
// normal, point size, diffuse, specular, texture coordinate sets.
#pragma once

#include "platform/d3d8/D3D8Types.h"

struct FvfLayout {
    DWORD fvf = 0;
    UINT size = 0; // bytes per vertex
    bool hasPosition = false;
    bool pretransformed = false; // D3DFVF_XYZRHW: x, y, z, rhw
    UINT betaCount = 0;          // floats after x, y, z (D3DFVF_XYZB1..5), the packed indices included
    UINT weightCount = 0;        // blend weights proper (the last beta excluded when it holds indices)
    bool indexedBlend = false;   // D3DFVF_LASTBETA_UBYTE4: the last beta holds 4 byte matrix indices
    int weightsOffset = -1;      // first blend weight
    int indicesOffset = -1;      // the packed matrix indices
    int normalOffset = -1;
    int pointSizeOffset = -1;
    int diffuseOffset = -1;
    int specularOffset = -1;
    UINT texCoordCount = 0;
    int texCoordOffset[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    UINT texCoordSize[8] = {}; // floats per set: 1 to 4
};

// Fills the layout; false (layout zeroed) for bits Direct3D rejects: reserved bits, more than 8
// coordinate sets, packed indices without blend weights, elements without a position.
bool DecodeFvf(DWORD fvf, FvfLayout* layout);

// Bytes per vertex of a format, 0 for an invalid one.
UINT FvfVertexSize(DWORD fvf);
