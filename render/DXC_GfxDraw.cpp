// Vertex lists and their drawing.
#include "render/DXC_Gfx.h"

#include <cstdio>

#include "platform/d3d8/ErrorText.h"
#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_TextureAccess.h"

namespace {

// Messages of the stream and index setters come from their callers.
void FormatFailure(char* out, size_t size, const char* message, HRESULT code) {
    std::snprintf(out, size, message, ErrorText(code));
}

} // namespace

void DXC_Gfx::CreateVertexList(DXC_VertexList* list, int32_t count, int32_t usage, int32_t systemMemory) {
    if (!list) Error("VertexList is NULL pointer");
    list->Attach(nullptr, 0, 0);
    DWORD flags = 0;
    if (usage == -1)
        flags = list->pointList ? D3DUSAGE_POINTS : 0;
    else
        flags = static_cast<DWORD>(usage);
    if (!hardwareVertexProcessing || !CanProcessInHardware(list->GetFormat(), 0, 0))
        flags |= D3DUSAGE_SOFTWAREPROCESSING;
    const VertexFormat& format = list->GetFormat();
    IDirect3DVertexBuffer8* buffer = nullptr;
    const UINT length = static_cast<UINT>(count > 0 ? count : 0) * static_cast<UINT>(format.size);
    result = device->CreateVertexBuffer(length, flags, format.fvf,
                                        systemMemory ? D3DPOOL_SYSTEMMEM : D3DPOOL_MANAGED, &buffer);
    if (FAILED(result)) Error("CreateVertexBuffer in CreateVertexList failed: %s", ErrorText(result));
    list->Attach(buffer, count, (flags & D3DUSAGE_SOFTWAREPROCESSING) ? 0 : 1);
}

void DXC_Gfx::DrawVertexList(DXC_VertexList* list, int32_t first, int32_t count) {
    if (!list) Error("VertexList is NULL pointer");
    if (count == 0) return;
    if (count == -1) count = list->GetPrimitiveCount();
    if (count > list->GetPrimitiveCount() || count < 0)
        Error("Number of elements in DrawTriangleList too high! (%i)", count);
    SetSoftwareVertexProcessing(list->IsHardware() ? 0 : 1);
    SetWorldMatrix(0, list->worldTM);
    if (list->pointList) ApplyPointParameters(list->pointParameters, list->IsHardware());
    const VertexFormat& format = list->GetFormat();
    SetStreamSource(0, list->GetBuffer(), static_cast<UINT>(format.size),
                    "SetStreamSource in DrawVertexList failed: %s");
    SelectVertexProcessing(format.fvf);
    result = device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(list->GetPrimitiveType()),
                                   static_cast<UINT>(first), static_cast<UINT>(count));
    if (FAILED(result)) Error("DrawPrimitive in DrawTriangleList failed: %s", ErrorText(result));
}

void DXC_Gfx::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride, const char* message) {
    result = device->SetStreamSource(stream, buffer, stride);
    if (FAILED(result)) {
        char text[256];
        FormatFailure(text, sizeof text, message, result);
        Error("%s", text);
    }
    if (stream < Stages) {
        streamBuffer[stream] = buffer;
        streamStride[stream] = stride;
    }
}

void DXC_Gfx::SetIndices(IDirect3DIndexBuffer8* indices, const char* message) {
    result = device->SetIndices(indices, 0);
    if (FAILED(result)) {
        char text[256];
        FormatFailure(text, sizeof text, message, result);
        Error("%s", text);
    }
    indexBuffer = indices;
}

void DXC_Gfx::SetVertexFormat(DWORD fvf) {
    if (currentFormat == fvf && currentShader == 0) return;
    result = device->SetVertexShader(fvf);
    if (FAILED(result)) Error("Failed to set vertex shader: %s", ErrorText(result));
    currentFormat = fvf;
    currentShader = 0;
}

void DXC_Gfx::SelectVertexProcessing(DWORD fvf) {
    if (DXC_VertexShader* shader = lastTexture ? TextureVertexShader(lastTexture) : nullptr) {
        SetVertexShaderObject(shader);
        return;
    }
    if (activeMultiShader) {
        SelectVertexShader(activeMultiShader, fvf);
        return;
    }
    SetVertexFormat(fvf);
}

void DXC_Gfx::BindMeshBuffers(ID3DXMesh* mesh, int32_t hardware) {
    SetSoftwareVertexProcessing(hardware ? 0 : 1);
    IDirect3DVertexBuffer8* vertices = nullptr;
    IDirect3DIndexBuffer8* indices = nullptr;
    result = mesh->GetVertexBuffer(&vertices);
    if (FAILED(result)) Error("GetVertexBuffer failed: %s", ErrorText(result));
    result = mesh->GetIndexBuffer(&indices);
    if (FAILED(result)) {
        vertices->Release();
        Error("GetIndexBuffer failed: %s", ErrorText(result));
    }
    // The fetched references go before any error leaves.
    struct Held {
        IDirect3DVertexBuffer8* v;
        IDirect3DIndexBuffer8* i;
        ~Held() {
            v->Release();
            i->Release();
        }
    } held{vertices, indices};
    SetIndices(indices, "SetIndices failed: %s");
    SetStreamSource(0, vertices, mesh->GetNumBytesPerVertex(), "SetStreamSource failed: %s");
    SelectVertexProcessing(mesh->GetFVF());
}

int32_t DXC_Gfx::DrawIndexedSubset(ID3DXMesh* mesh, int32_t faceStart, int32_t faceCount, int32_t hardware) {
    if (!mesh || faceCount <= 0) return 0;
    BindMeshBuffers(mesh, hardware);
    result = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, mesh->GetNumVertices(),
                                          static_cast<UINT>(3 * faceStart), static_cast<UINT>(faceCount));
    if (FAILED(result)) Error("DrawIndexedPrimitive failed: %s", ErrorText(result));
    return 1;
}

int32_t DXC_Gfx::DrawIndexedSubset(ID3DXMesh* mesh, const D3DXATTRIBUTERANGE& range, int32_t hardware) {
    if (!mesh || range.FaceCount == 0 || range.VertexCount == 0) return 0;
    BindMeshBuffers(mesh, hardware);
    result = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, range.VertexStart, range.VertexCount,
                                          3 * range.FaceStart, range.FaceCount);
    if (FAILED(result)) Error("DrawIndexedPrimitive failed: %s", ErrorText(result));
    return 1;
}

void DXC_Gfx::DrawSubset(ID3DXMesh* mesh, DWORD attribId) {
    if (!mesh) return;
    result = mesh->DrawSubset(attribId);
    // Whatever the mesh got to set before a failure is on the device now.
    ReadBackStreamCache();
    if (FAILED(result)) Error("DrawSubset failed: %s", ErrorText(result));
}

void DXC_Gfx::ReadBackStreamCache() {
    DWORD handle = 0;
    if (SUCCEEDED(device->GetVertexShader(&handle))) {
        // A flexible vertex format never has the reserved bit that marks shader handles.
        const bool shader = (handle & D3DFVF_RESERVED0) != 0;
        currentFormat = shader ? 0xFFFFFFFFu : handle;
        currentShader = shader ? handle : 0;
    }
    IDirect3DVertexBuffer8* stream = nullptr;
    UINT stride = 0;
    if (SUCCEEDED(device->GetStreamSource(0, &stream, &stride))) {
        streamBuffer[0] = stream; // the cache only names the buffer; the device holds it
        streamStride[0] = stride;
        if (stream) stream->Release();
    }
    IDirect3DIndexBuffer8* indices = nullptr;
    UINT base = 0;
    if (SUCCEEDED(device->GetIndices(&indices, &base))) {
        indexBuffer = indices;
        if (indices) indices->Release();
    }
}
