#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d8/D3D8.h"
#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_VertexFormat.h"
#include "scene/MeshGeometry.h"

class DXC_Gfx;
class DXC_Mesh;
class DXC_Texture;
struct MeshMaterial;

// The drawable data of a DXC_Mesh: the D3DX mesh with its vertex, index and attribute buffers,
// the vertex format record, face and vertex counts, the skinning settings and the attribute
// table. The scene's mesh owns it (DXC_Mesh::SetGeometry); a clone's copy shares the D3DX mesh
// (one more reference) and copies the rest.
//
// Buffer locks remember that their buffer is locked: locking again returns the pointer of the
// lock in force, unlocking a buffer that is not locked does nothing. Failures are errors of
// the owning mesh (prefixed with its name).
class DXC_MeshData : public DXC_MeshGeometry {
public:
    explicit DXC_MeshData(DXC_Mesh* owner);
    ~DXC_MeshData() override; // unlocks what is locked and releases the D3DX mesh
    DXC_MeshData(const DXC_MeshData&) = delete;
    DXC_MeshData& operator=(const DXC_MeshData&) = delete;

    std::unique_ptr<DXC_MeshGeometry> CopyShared(DXC_Mesh& newOwner) const override;

    // Gives this mesh a D3DX mesh of its own when it shares one with a clone, so that writing
    // its vertices (the processor's sphere map) leaves the others alone. Fatal "CloneMeshFVF
    // failed: %s".
    void MakeGeometryOwn();

    // Takes over one reference of the D3DX mesh (the caller's); an earlier one is released.
    void SetMesh(ID3DXMesh* d3dxMesh);
    ID3DXMesh* GetMesh() const { return mesh; }
    DXC_Mesh* GetOwner() const { return owner; }

    // "LockIndexBuffer failed: %s" and the like for each buffer.
    BYTE* LockIndexBuffer(DWORD flags);
    void UnlockIndexBuffer();
    BYTE* LockVertexBuffer(DWORD flags);
    void UnlockVertexBuffer();
    DWORD* LockAttributeBuffer(DWORD flags);
    void UnlockAttributeBuffer();
    int32_t IsIndexBufferLocked() const { return indexLocked; }
    int32_t IsVertexBufferLocked() const { return vertexLocked; }
    int32_t IsAttributeBufferLocked() const { return attributeLocked; }

    // Sorts the faces by attribute id and reads the attribute table; 0 without a D3DX mesh.
    // Failure: "OptimizeInplace failed: %s".
    int32_t SortByAttribute();
    // The attribute table of the last sort (read from the mesh once, "GetAttributeTable
    // failed: %s"): one range per subset.
    const std::vector<D3DXATTRIBUTERANGE>& GetAttributeTable();

    // The vertex blend setting for n weights per vertex: 0 DISABLE, 1 0WEIGHTS, 2 1WEIGHTS,
    // 3 2WEIGHTS, 4 3WEIGHTS; any other number is the error "Invalid weight number".
    void SetVertexBlendFromWeights(int32_t weights);
    static int32_t VertexBlendForWeights(int32_t weights, DWORD& blend);

    VertexFormat vertexFormat; // layout of the mesh's vertices
    int32_t faceCount = 0;     // faces given to the D3DX mesh
    int32_t vertexCount = 0;   // vertices given to the D3DX mesh
    int32_t hardwareBlending = 0;
    DWORD vertexBlend = 0; // D3DVBF_* for the render state
    int32_t skinned = 0;
    int32_t blendMatrixCount = 0;
    int32_t sphereMapChannel = -1; // texture coordinate set the processor writes, -1 none

private:
    void UnlockAll();

    DXC_Mesh* owner;
    ID3DXMesh* mesh = nullptr;
    BYTE* indexData = nullptr;
    BYTE* vertexData = nullptr;
    DWORD* attributeData = nullptr;
    int32_t indexLocked = 0;
    int32_t vertexLocked = 0;
    int32_t attributeLocked = 0;
    std::vector<D3DXATTRIBUTERANGE> attributeTable;
    int32_t attributeTableRead = 0;
};

// The mesh data of a scene mesh; null when it has none.
DXC_MeshData* GetMeshData(const DXC_Mesh* mesh);
// The texture of subset i of a mesh (the graphics side's DXC_Texture), null when none.
DXC_Texture* GetMeshTexture(const DXC_Mesh* mesh, int32_t i);

// Gives subset i of a mesh a copy of the material and a texture sharing source's images (a
// fresh empty texture without source). Nothing for a subset outside the mesh.
void SetMeshMaterial(DXC_Gfx* gfx, DXC_Mesh* mesh, int32_t i, const MeshMaterial& material,
                     const DXC_Texture* source);

// Creates the D3DX mesh of a scene mesh and its mesh data (a graphics-object operation; its
// errors are the graphics object's):
//  - newMesh releases the mesh data the mesh had and gives it attributeCount default
//    materials (diffuse and ambient 0.9 grey, black specular and emissive, power 0) with fresh
//    textures; without newMesh the attribute count must equal the mesh's material count
//    ("nrMat does not match!");
//  - managed buffers, or system memory with systemMemory; extra options other than 0 and -1
//    are added; meshes the device cannot blend in hardware are processed in software;
//  - "Number of vertices too high: %i - only 65535 allowed", " D3DXCreateMeshFVF failed: %s ";
//  - the vertex blend setting from weightsPerVertex (-1: from the vertex format).
// Returns the mesh data, which holds the D3DX mesh for the caller to fill.
DXC_MeshData* CreateMesh(DXC_Gfx* gfx, DXC_Mesh* mesh, int32_t faceCount, int32_t vertexCount,
                         int32_t attributeCount, DWORD vertexFormat, int32_t systemMemory, int32_t boneCount,
                         int32_t newMesh, DWORD extraOptions, int32_t forceSoftware,
                         int32_t weightsPerVertex = -1);
