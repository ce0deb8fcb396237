#pragma once

#include <cstdint>

#include "platform/d3d8/D3D8.h"
#include "platform/d3dx/D3DXMath.h"
#include "render/DXC_RenderState.h"
#include "render/DXC_Vertex.h"
#include "render/DXC_VertexFormat.h"
#include "scene/Object3d.h"

// A vertex list: one vertex buffer of a fixed vertex format with its primitive type. The
// graphics object creates, fills and draws lists (DXC_Gfx::CreateVertexList, DrawVertexList).
// A list is a scene object: its world matrix (worldTM) becomes world matrix 0 when it is drawn.
class DXC_VertexListBase : public DXC_3dObject {
public:
    DXC_VertexListBase() { SetObjectName("DXC_VertexListBase"); }
    // Lists report under their class name, not a scene name.
    using DXC_Base::Error;
    using DXC_Base::Warning;

    void SetFormat(DWORD formatBits) { format.Set(formatBits); }
    const VertexFormat& GetFormat() const { return format; }

protected:
    VertexFormat format;
};

class DXC_VertexList : public DXC_VertexListBase {
public:
    DXC_VertexList() { SetObjectName("DXC_VertexList"); }
    ~DXC_VertexList() override;
    DXC_VertexList(const DXC_VertexList&) = delete;
    DXC_VertexList& operator=(const DXC_VertexList&) = delete;

    // 1 point list, 2 line list, 3 line strip, 4 triangle list, 5 strip, 6 fan; the primitive
    // count follows from the vertex count. Another type is fatal.
    void SetPrimitiveType(int32_t type);
    int32_t GetPrimitiveType() const { return primitiveType; }
    int32_t GetPrimitiveCount() const { return primitiveCount; }
    int32_t GetVertexCount() const { return vertexCount; }
    int32_t IsHardware() const { return hardware; }
    IDirect3DVertexBuffer8* GetBuffer() const { return buffer; }

    // Locks count vertices from first (0, 0: the whole buffer); fatal on failure.
    BYTE* Lock(int32_t first = 0, int32_t count = 0, DWORD flags = 0);
    void Unlock();
    int32_t IsLocked() const { return locked; }

    // Elements of vertex index on the locked buffer (see the format's offsets).
    D3DXVECTOR3* Position(int32_t index) { return Element<D3DXVECTOR3>(index, format.position); }
    float* TexCoord(int32_t index, int32_t set = 0) { return Element<float>(index, format.texCoord[set]); }
    D3DCOLOR* Diffuse(int32_t index) { return Element<D3DCOLOR>(index, format.diffuse); }
    D3DCOLOR* Specular(int32_t index) { return Element<D3DCOLOR>(index, format.specular); }

    int32_t pointList = 0;
    PointParameters pointParameters;

protected:
    friend class DXC_Gfx;
    // Takes a new buffer (releasing the old one); only the graphics object creates buffers.
    void Attach(IDirect3DVertexBuffer8* newBuffer, int32_t count, int32_t isHardware);
    void UpdatePrimitiveCount();

    template <class T> T* Element(int32_t index, int32_t offset) {
        if (!lockedData || offset < 0 || index < 0 || index >= lockedCount) return nullptr;
        return reinterpret_cast<T*>(lockedData + static_cast<size_t>(index) * format.size + offset);
    }

    IDirect3DVertexBuffer8* buffer = nullptr;
    int32_t vertexCount = 0;
    int32_t primitiveType = D3DPT_TRIANGLELIST;
    int32_t primitiveCount = 0;
    int32_t hardware = 0;
    int32_t locked = 0;
    BYTE* lockedData = nullptr; // points at vertex 0 of the buffer while locked
    int32_t lockedCount = 0;    // vertices addressable through lockedData
};

// A vertex list over one vertex record; the record fixes the format.
template <class Vertex> class DXC_VertexListTemp : public DXC_VertexList {
public:
    DXC_VertexListTemp() {
        SetObjectName("DXC_VertexListTemp");
        SetFormat(Vertex::Format);
    }
    // Vertex index of the locked buffer; null outside it or while unlocked.
    Vertex* At(int32_t index) { return Element<Vertex>(index, 0); }
};
