#include "render/DXC_VertexList.h"

#include "platform/d3d8/ErrorText.h"

DXC_VertexList::~DXC_VertexList() {
    if (locked && buffer) buffer->Unlock();
    SafeRelease(buffer);
}

void DXC_VertexList::SetPrimitiveType(int32_t type) {
    if (type < 1 || type > 6) Error("Invalid PointList mode selected! (%i)", type);
    primitiveType = type;
    UpdatePrimitiveCount();
}

void DXC_VertexList::UpdatePrimitiveCount() {
    const int32_t n = vertexCount;
    switch (primitiveType) {
    case D3DPT_POINTLIST:
        primitiveCount = n;
        break;
    case D3DPT_LINELIST:
        primitiveCount = n / 2;
        break;
    case D3DPT_LINESTRIP:
        primitiveCount = n - 1;
        break;
    case D3DPT_TRIANGLELIST:
        primitiveCount = n / 3;
        break;
    default: // strip and fan
        primitiveCount = n - 2;
        break;
    }
    if (primitiveCount < 0) primitiveCount = 0;
}

void DXC_VertexList::Attach(IDirect3DVertexBuffer8* newBuffer, int32_t count, int32_t isHardware) {
    if (locked && buffer) buffer->Unlock();
    locked = 0;
    lockedData = nullptr;
    lockedCount = 0;
    SafeRelease(buffer);
    buffer = newBuffer;
    vertexCount = count;
    hardware = isHardware;
    UpdatePrimitiveCount();
}

BYTE* DXC_VertexList::Lock(int32_t first, int32_t count, DWORD flags) {
    if (!buffer) Error("Lock failed: %s", "no vertex buffer");
    if (first < 0 || count < 0 || first + count > vertexCount) Error("Lock failed: %s", "D3DERR_INVALIDCALL");
    const UINT size = static_cast<UINT>(format.size);
    BYTE* data = nullptr;
    result = buffer->Lock(static_cast<UINT>(first) * size, static_cast<UINT>(count) * size, &data, flags);
    if (FAILED(result)) Error("Lock failed: %s", ErrorText(result));
    locked = 1;
    // Element access counts vertices from the start of the buffer.
    lockedData = data - static_cast<size_t>(first) * size;
    lockedCount = count == 0 ? vertexCount : first + count;
    return data;
}

void DXC_VertexList::Unlock() {
    if (!buffer) return;
    result = buffer->Unlock();
    if (FAILED(result)) Error("Unlock failed: %s", ErrorText(result));
    locked = 0;
    lockedData = nullptr;
    lockedCount = 0;
}
