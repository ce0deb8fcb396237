// The D3DX mesh object: a vertex buffer, an index buffer (16- or 32-bit) and one attribute
// (subset) id per face, with attribute sorting and subset drawing.
//
// The buffers are ordinary device buffers, so any Direct3D 8 backend draws the mesh. After an
// attribute sort the attribute table lists, per subset, its faces (one contiguous run) and the
// range of vertices they use; DrawSubset then draws each subset with one indexed call. Before a
// sort DrawSubset draws every run of consecutive faces with the subset's id.
#pragma once

#include "platform/d3d8/D3D8.h"

// Creation options (D3DXMESH_*).
constexpr DWORD D3DXMESH_32BIT = 0x001;
constexpr DWORD D3DXMESH_DONOTCLIP = 0x002;
constexpr DWORD D3DXMESH_POINTS = 0x004;
constexpr DWORD D3DXMESH_RTPATCHES = 0x008;
constexpr DWORD D3DXMESH_NPATCHES = 0x4000;
constexpr DWORD D3DXMESH_VB_SYSTEMMEM = 0x010;
constexpr DWORD D3DXMESH_VB_MANAGED = 0x020;
constexpr DWORD D3DXMESH_VB_WRITEONLY = 0x040;
constexpr DWORD D3DXMESH_VB_DYNAMIC = 0x080;
constexpr DWORD D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000;
constexpr DWORD D3DXMESH_IB_SYSTEMMEM = 0x100;
constexpr DWORD D3DXMESH_IB_MANAGED = 0x200;
constexpr DWORD D3DXMESH_IB_WRITEONLY = 0x400;
constexpr DWORD D3DXMESH_IB_DYNAMIC = 0x800;
constexpr DWORD D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000;
constexpr DWORD D3DXMESH_VB_SHARE = 0x1000;
constexpr DWORD D3DXMESH_USEHWONLY = 0x2000;
constexpr DWORD D3DXMESH_SYSTEMMEM = 0x110;
constexpr DWORD D3DXMESH_MANAGED = 0x220;
constexpr DWORD D3DXMESH_WRITEONLY = 0x440;
constexpr DWORD D3DXMESH_DYNAMIC = 0x880;
constexpr DWORD D3DXMESH_SOFTWAREPROCESSING = 0x18000;

// Optimisation flags (D3DXMESHOPT_*). Every face-reordering flag sorts by attribute here; the
// cache and strip orders are not computed (they only change speed).
constexpr DWORD D3DXMESHOPT_COMPACT = 0x01000000;
constexpr DWORD D3DXMESHOPT_ATTRSORT = 0x02000000;
constexpr DWORD D3DXMESHOPT_VERTEXCACHE = 0x04000000;
constexpr DWORD D3DXMESHOPT_STRIPREORDER = 0x08000000;
constexpr DWORD D3DXMESHOPT_IGNOREVERTS = 0x10000000;
constexpr DWORD D3DXMESHOPT_DONOTSPLIT = 0x20000000;

struct D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
};

// A block of memory handed out by D3DX functions (the vertex remap of OptimizeInplace).
struct ID3DXBuffer : public IUnknown {
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer);

struct ID3DXMesh : public IUnknown {
    // Draws the faces whose attribute id is attribId with the mesh's vertex format (it becomes the
    // device's vertex shader), its buffers on stream 0 and as indices. No faces: nothing, D3D_OK.
    virtual HRESULT DrawSubset(DWORD attribId) = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual DWORD GetFVF() = 0;
    virtual DWORD GetOptions() = 0;
    virtual DWORD GetNumBytesPerVertex() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    // A new mesh with another vertex format: elements both formats have are copied, new ones are 0.
    virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device,
                                 ID3DXMesh** cloneMesh) = 0;
    virtual HRESULT GetVertexBuffer(IDirect3DVertexBuffer8** vertexBuffer) = 0;
    virtual HRESULT GetIndexBuffer(IDirect3DIndexBuffer8** indexBuffer) = 0;
    virtual HRESULT LockVertexBuffer(DWORD flags, BYTE** data) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    virtual HRESULT LockIndexBuffer(DWORD flags, BYTE** data) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    // With table null, *size receives the number of entries; else *size entries at most are copied.
    virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) = 0;
    virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT UnlockAttributeBuffer() = 0;
    // Sorts the faces by attribute id (stable: faces of one id keep their order) and builds the
    // attribute table. faceRemap (one entry per face) receives for each new face its old index;
    // adjacencyOut (3 per face) the input adjacency renumbered, which needs adjacencyIn.
    // D3DXMESHOPT_COMPACT also drops vertices no face uses; vertexRemap then receives for each
    // new vertex its old index (without COMPACT: the identity).
    virtual HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                    DWORD* faceRemap, ID3DXBuffer** vertexRemap) = 0;
};

// Creates a mesh of numFaces triangles and numVertices vertices of the format. Buffers are
// zeroed, every attribute id is 0. D3DERR_INVALIDCALL for no faces or vertices, an invalid
// format, no device, or more than 65535 vertices with 16-bit indices.
HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                          IDirect3DDevice8* device, ID3DXMesh** mesh);

// Bytes per vertex of a flexible vertex format; 0 for an invalid one.
UINT D3DXGetFVFVertexSize(DWORD fvf);
