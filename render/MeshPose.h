#pragma once

#include <cstdint>

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3dx/D3DXMath.h"

class DXC_Mesh;
class DXC_MeshData;

// Where a mesh and its vertices stand in the world after its transform and skinning, worked
// out on the processor exactly as the render pass places them on the device.

// pivotTM x worldTM x parent: the matrix the pass draws an unskinned mesh with.
D3DXMATRIX MeshWorldMatrix(const DXC_Mesh& mesh, const D3DXMATRIX& parent);

// Entry `slot` of a skinned mesh's matrix palette: bone s's bind offset (mesh init x inverse
// of bone init) x the bone object's world matrix x parent; slot 0, and a slot without bone
// record or bone object, is the mesh's own world matrix.
D3DXMATRIX SkinSlotMatrix(DXC_Mesh& mesh, int32_t slot, const D3DXMATRIX& world, const D3DXMATRIX& parent);

struct VertexFormat;

// The blend of an indexed skinned vertex: up to four weights, the last 1 minus the others, and
// the palette entry of each.
struct VertexBlend {
    int32_t count = 0;
    float weights[4] = {};
    const BYTE* indices = nullptr;
};
// A format with more stored weights than a palette blend uses keeps the first three.
VertexBlend ReadVertexBlend(const VertexFormat& format, const BYTE* vertex);

struct VertexPose {
    D3DXVECTOR3 position; // in the world
    D3DXVECTOR3 normal;   // in the world, not normalised
};

// One vertex record of the mesh data's format (vertex points at its first byte), blended with
// its weights over the palette when the mesh is skinned: the last weight is 1 minus the others.
VertexPose PoseVertex(DXC_Mesh& mesh, const DXC_MeshData& data, const BYTE* vertex, const D3DXMATRIX& parent);
