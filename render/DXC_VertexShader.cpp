#include "render/DXC_VertexShader.h"

#include <cstdint>

#include "render/DXC_Gfx.h"

namespace {

void* HandleEntry(DWORD handle) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(handle));
}

} // namespace

DXC_VertexShader::DXC_VertexShader(DXC_Gfx* owner) : gfx(owner) {
    SetObjectName("DXC_VertexShader");
    for (auto& r : constants) {
        r[0] = r[1] = r[2] = 0.0f;
        r[3] = 1.0f;
    }
}

DXC_VertexShader::~DXC_VertexShader() {
    ReleaseHandle();
}

void DXC_VertexShader::SetHandle(DWORD shaderHandle, DWORD vertexFormat, int32_t isSoftware,
                                 const char* name) {
    ReleaseHandle();
    handle = shaderHandle;
    format = vertexFormat;
    software = isSoftware;
    if (gfx && handle) listId = gfx->GetVertexShaderList().Add(HandleEntry(handle), name ? name : "");
}

void DXC_VertexShader::CopyFrom(const DXC_VertexShader& other) {
    if (this == &other) return;
    ReleaseHandle();
    if (!gfx) gfx = other.gfx;
    handle = other.handle;
    format = other.format;
    software = other.software;
    if (gfx && other.listId >= 0) listId = gfx->GetVertexShaderList().Acquire(other.listId);
    for (int32_t i = 0; i < Registers; ++i)
        for (int32_t j = 0; j < 4; ++j) constants[i][j] = other.constants[i][j];
    uploadRegisters = other.uploadRegisters;
    uploadWorldViewProjection = other.uploadWorldViewProjection;
    uploadWorld = other.uploadWorld;
    uploadEyePosition = other.uploadEyePosition;
    uploadTextureMatrix = other.uploadTextureMatrix;
    screenSpace = other.screenSpace;
}

void DXC_VertexShader::ReleaseHandle() {
    if (gfx && listId >= 0 && gfx->GetVertexShaderList().Unacquire(listId) == 1 && gfx->GetDevice())
        gfx->GetDevice()->DeleteVertexShader(handle);
    listId = -1;
    handle = 0;
}

DXC_MultiVertexShader::~DXC_MultiVertexShader() {
    for (DXC_VertexShader*& v : variants) {
        delete v;
        v = nullptr;
    }
}

void DXC_MultiVertexShader::SetVariant(int32_t slot, DXC_VertexShader* shader) {
    if (slot < 0 || slot >= Variants) Error("Invalid vertex shader variant: %i", slot);
    delete variants[slot];
    variants[slot] = shader;
}

DXC_VertexShader* DXC_MultiVertexShader::Find(DWORD vertexFormat) const {
    for (DXC_VertexShader* v : variants)
        if (v && v->GetFormat() != 0 && v->GetFormat() == vertexFormat) return v;
    return nullptr;
}

DXC_PixelShader::DXC_PixelShader(DXC_Gfx* owner) : gfx(owner) {
    SetObjectName("DXC_PixelShader");
}

DXC_PixelShader::~DXC_PixelShader() {
    ReleaseHandle();
}

void DXC_PixelShader::SetHandle(DWORD shaderHandle, const char* name) {
    ReleaseHandle();
    handle = shaderHandle;
    if (gfx && handle) listId = gfx->GetPixelShaderList().Add(HandleEntry(handle), name ? name : "");
}

void DXC_PixelShader::CopyFrom(const DXC_PixelShader& other) {
    if (this == &other) return;
    ReleaseHandle();
    if (!gfx) gfx = other.gfx;
    handle = other.handle;
    if (gfx && other.listId >= 0) listId = gfx->GetPixelShaderList().Acquire(other.listId);
}

void DXC_PixelShader::ReleaseHandle() {
    if (gfx && listId >= 0 && gfx->GetPixelShaderList().Unacquire(listId) == 1 && gfx->GetDevice())
        gfx->GetDevice()->DeletePixelShader(handle);
    listId = -1;
    handle = 0;
}
