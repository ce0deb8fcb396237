#pragma once

#include <cstdint>

#include "platform/d3dx/D3DXMath.h"

// The loader's temporary geometry of one "GEOMOBJECT", as read from the file and before it
// becomes a renderable mesh. All records are zero after allocation.

// One input vertex. The output vertices made from it (its split list, at most
// MaxSplitsPerVertex) are chained through the output vertex records, first to last.
struct MeshVertex {
    static constexpr int32_t MaxSplitsPerVertex = 128;

    D3DXVECTOR3 position;
    float weights[4];
    uint8_t boneIndices[4]; // into the object's bone list
    uint8_t weightCount;    // 0 to 4
    uint8_t splitCount;     // output vertices made from this vertex (mesh building)
    int32_t firstSplit;     // first output vertex, valid while splitCount > 0
    int32_t lastSplit;      // last output vertex, where the next one is chained on
};

// One triangle.
struct MeshFace {
    static constexpr int32_t MaxGroups = 8;

    uint16_t corner[3];        // input vertex indices a, b, c (the value read, 16 bits kept)
    uint8_t groups[MaxGroups]; // smoothing group numbers
    uint16_t groupCount;
    int32_t materialId;  // as read ("MESH_MTLID")
    int32_t output[3];   // output vertex per corner (mesh building)
    int32_t attributeId; // -1 marks a dropped face (mesh building)
};

// A texture vertex; v is stored as 1 - v.
struct TexVertex {
    float u, v, w;
};

// Three texture vertex indices (16 bits kept of the value read).
struct TexFace {
    uint16_t corner[3];
};

// One output vertex of mesh building: a corner position split off by smoothing group,
// material and texture coordinate.
struct BuildVertex {
    D3DXVECTOR3 position;
    float u, v;
    float weights[4];
    uint8_t boneIndices[4];
    uint8_t hasUV; // 1 once a texture coordinate was assigned
    uint8_t groupCount;
    uint8_t groups[MeshFace::MaxGroups];
    uint16_t materialKey;  // the face's material id after reduction
    int32_t faceCount;     // face corners merged into this vertex
    D3DXVECTOR3 normalSum; // corner-angle weighted face normals
    int32_t nextSplit;     // next output vertex of the same input vertex, -1 at the end
};
