#pragma once

#include <cstdint>

#include "platform/d3dx/D3DXMath.h"

class DXC_Mesh;
class ViewerLoop;

// What the overlay shows of the selected vertex, gathered each frame while one is selected.
struct InspectedVertex {
    int32_t valid = 0;                 // a vertex of an existing mesh was read this frame
    D3DXVECTOR3 animated{0, 0, 0};     // in the world, after skinning and the mesh's transform
    D3DXVECTOR3 normal{0, 0, 0};       // unit normal in the world (zero when the vertex has none)
    D3DXVECTOR3 stored{0, 0, 0};       // the position as stored in the mesh
    D3DXVECTOR3 meshPosition{0, 0, 0}; // the translation of the mesh's world matrix
    int32_t hasTexCoords = 0;
    float u = 0.0f;
    float v = 0.0f;
    int32_t weightCount = 0; // weights per vertex of the mesh, the implied last one included
    float weights[4] = {};   // the last one is 1 minus the others
    int32_t bones[4] = {};   // bone numbers of the mesh's bone list
};

// Frame step 7: the last click acted on (a left click picks a vertex while one is selected,
// else a helper while helpers are shown; a right click casts a ray into the scene and stores
// where it hit), and the selected vertex gathered into vertex. Every click is used once: its
// button word becomes -1.
void InspectFrame(ViewerLoop& loop, InspectedVertex& vertex);

// The vertex of the mesh as the overlay shows it; invalid when the mesh has no vertex data or
// no such vertex. The parent is the scene's matrix.
InspectedVertex GatherVertex(DXC_Mesh& mesh, int32_t vertexNumber, const D3DXMATRIX& parent);
