#include "render/DXC_MeshData.h"

#include "platform/d3d8/ErrorText.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_Texture.h"
#include "scene/Mesh.h"

namespace {

constexpr DWORD MaxVertices16 = 65535; // indices are 16-bit

} // namespace

DXC_MeshData::DXC_MeshData(DXC_Mesh* meshOwner) : owner(meshOwner) {}

DXC_MeshData::~DXC_MeshData() {
    if (mesh) {
        // No errors from a destructor: a failed unlock changes nothing for a released mesh.
        if (indexLocked) mesh->UnlockIndexBuffer();
        if (vertexLocked) mesh->UnlockVertexBuffer();
        if (attributeLocked) mesh->UnlockAttributeBuffer();
    }
    SafeRelease(mesh);
}

std::unique_ptr<DXC_MeshGeometry> DXC_MeshData::CopyShared(DXC_Mesh& newOwner) const {
    auto copy = std::make_unique<DXC_MeshData>(&newOwner);
    if (mesh) mesh->AddRef();
    copy->mesh = mesh;
    copy->vertexFormat = vertexFormat;
    copy->faceCount = faceCount;
    copy->vertexCount = vertexCount;
    copy->hardwareBlending = hardwareBlending;
    copy->vertexBlend = vertexBlend;
    copy->skinned = skinned;
    copy->blendMatrixCount = blendMatrixCount;
    copy->sphereMapChannel = sphereMapChannel;
    copy->attributeTable = attributeTable;
    copy->attributeTableRead = attributeTableRead;
    return copy;
}

void DXC_MeshData::UnlockAll() {
    UnlockIndexBuffer();
    UnlockVertexBuffer();
    UnlockAttributeBuffer();
}

void DXC_MeshData::SetMesh(ID3DXMesh* d3dxMesh) {
    if (mesh) UnlockAll();
    SafeRelease(mesh);
    mesh = d3dxMesh;
    attributeTable.clear();
    attributeTableRead = 0;
}

// ---- buffer locks ---------------------------------------------------------------------------

BYTE* DXC_MeshData::LockIndexBuffer(DWORD flags) {
    if (indexLocked) return indexData;
    const HRESULT hr = mesh ? mesh->LockIndexBuffer(flags, &indexData) : D3DERR_INVALIDCALL;
    if (FAILED(hr)) owner->Error("LockIndexBuffer failed: %s", ErrorText(hr));
    indexLocked = 1;
    return indexData;
}

void DXC_MeshData::UnlockIndexBuffer() {
    if (!indexLocked) return;
    indexLocked = 0;
    indexData = nullptr;
    const HRESULT hr = mesh->UnlockIndexBuffer();
    if (FAILED(hr)) owner->Error("UnlockIndexBuffer failed: %s", ErrorText(hr));
}

BYTE* DXC_MeshData::LockVertexBuffer(DWORD flags) {
    if (vertexLocked) return vertexData;
    const HRESULT hr = mesh ? mesh->LockVertexBuffer(flags, &vertexData) : D3DERR_INVALIDCALL;
    if (FAILED(hr)) owner->Error("LockVertexBuffer failed: %s", ErrorText(hr));
    vertexLocked = 1;
    return vertexData;
}

void DXC_MeshData::UnlockVertexBuffer() {
    if (!vertexLocked) return;
    vertexLocked = 0;
    vertexData = nullptr;
    const HRESULT hr = mesh->UnlockVertexBuffer();
    if (FAILED(hr)) owner->Error("UnlockVertexBuffer failed: %s", ErrorText(hr));
}

DWORD* DXC_MeshData::LockAttributeBuffer(DWORD flags) {
    if (attributeLocked) return attributeData;
    const HRESULT hr = mesh ? mesh->LockAttributeBuffer(flags, &attributeData) : D3DERR_INVALIDCALL;
    if (FAILED(hr)) owner->Error("LockAttributeBuffer failed: %s", ErrorText(hr));
    attributeLocked = 1;
    return attributeData;
}

void DXC_MeshData::UnlockAttributeBuffer() {
    if (!attributeLocked) return;
    attributeLocked = 0;
    attributeData = nullptr;
    const HRESULT hr = mesh->UnlockAttributeBuffer();
    if (FAILED(hr)) owner->Error("UnlockAttributeBuffer failed: %s", ErrorText(hr));
}

// ---- attributes and blending ----------------------------------------------------------------

int32_t DXC_MeshData::SortByAttribute() {
    if (!mesh) return 0;
    const HRESULT hr = mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
    if (FAILED(hr)) owner->Error("OptimizeInplace failed: %s", ErrorText(hr));
    attributeTable.clear();
    attributeTableRead = 0;
    GetAttributeTable();
    return 1;
}

const std::vector<D3DXATTRIBUTERANGE>& DXC_MeshData::GetAttributeTable() {
    if (attributeTableRead || !mesh) return attributeTable;
    DWORD size = 0;
    HRESULT hr = mesh->GetAttributeTable(nullptr, &size);
    if (SUCCEEDED(hr)) {
        attributeTable.resize(size);
        if (size > 0) hr = mesh->GetAttributeTable(attributeTable.data(), &size);
    }
    if (FAILED(hr)) {
        attributeTable.clear();
        owner->Error("GetAttributeTable failed: %s", ErrorText(hr));
    }
    attributeTable.resize(size);
    attributeTableRead = 1;
    return attributeTable;
}

int32_t DXC_MeshData::VertexBlendForWeights(int32_t weights, DWORD& blend) {
    switch (weights) {
    case 0:
        blend = D3DVBF_DISABLE;
        return 1;
    case 1:
        blend = D3DVBF_0WEIGHTS;
        return 1;
    case 2:
        blend = D3DVBF_1WEIGHTS;
        return 1;
    case 3:
        blend = D3DVBF_2WEIGHTS;
        return 1;
    case 4:
        blend = D3DVBF_3WEIGHTS;
        return 1;
    default:
        return 0;
    }
}

void DXC_MeshData::SetVertexBlendFromWeights(int32_t weights) {
    if (!VertexBlendForWeights(weights, vertexBlend)) owner->Error("Invalid weight number");
}

// ---- access from a scene mesh ---------------------------------------------------------------

DXC_MeshData* GetMeshData(const DXC_Mesh* mesh) {
    return mesh ? dynamic_cast<DXC_MeshData*>(mesh->GetGeometry()) : nullptr;
}

DXC_Texture* GetMeshTexture(const DXC_Mesh* mesh, int32_t i) {
    return mesh ? dynamic_cast<DXC_Texture*>(mesh->GetTexture(i)) : nullptr;
}

void SetMeshMaterial(DXC_Gfx* gfx, DXC_Mesh* mesh, int32_t i, const MeshMaterial& material,
                     const DXC_Texture* source) {
    MeshMaterial* target = mesh ? mesh->GetMaterial(i) : nullptr;
    if (!target) return;
    *target = material;
    auto texture = std::make_unique<DXC_Texture>(gfx);
    if (source) texture->Copy(*source);
    mesh->SetTexture(i, std::move(texture));
    mesh->InvalidateTransparency();
}

// ---- creation -------------------------------------------------------------------------------

DXC_MeshData* CreateMesh(DXC_Gfx* gfx, DXC_Mesh* mesh, int32_t faceCount, int32_t vertexCount,
                         int32_t attributeCount, DWORD vertexFormat, int32_t systemMemory, int32_t boneCount,
                         int32_t newMesh, DWORD extraOptions, int32_t forceSoftware,
                         int32_t weightsPerVertex) {
    if (!gfx) return nullptr;
    if (!mesh) gfx->Error("Mesh pointer in CreateMesh is NULL pointer!");
    if (newMesh && mesh->GetGeometry()) mesh->SetGeometry(nullptr);
    DXC_MeshData* data = GetMeshData(mesh);
    if (!data) {
        mesh->SetGeometry(std::make_unique<DXC_MeshData>(mesh));
        data = GetMeshData(mesh);
    }
    data->vertexFormat.Set(vertexFormat);

    DWORD options = systemMemory ? D3DXMESH_SYSTEMMEM : D3DXMESH_MANAGED;
    if (extraOptions != 0 && extraOptions != 0xFFFFFFFFu) options |= extraOptions;
    if (gfx->UsesHardwareVertexProcessing() &&
        gfx->CanProcessInHardware(data->vertexFormat, boneCount, forceSoftware)) {
        data->hardwareBlending = 1;
    } else {
        data->hardwareBlending = 0;
        options = D3DXMESH_SOFTWAREPROCESSING | D3DXMESH_SYSTEMMEM;
    }
    if (vertexCount > static_cast<int32_t>(MaxVertices16))
        gfx->Error("Number of vertices too high: %i - only 65535 allowed", vertexCount);

    ID3DXMesh* created = nullptr;
    const HRESULT hr = D3DXCreateMeshFVF(static_cast<DWORD>(faceCount > 0 ? faceCount : 0),
                                         static_cast<DWORD>(vertexCount > 0 ? vertexCount : 0), options,
                                         vertexFormat, gfx->GetDevice(), &created);
    if (FAILED(hr)) gfx->Error(" D3DXCreateMeshFVF failed: %s ", ErrorText(hr));
    if (!newMesh && attributeCount != mesh->GetMaterialCount()) {
        created->Release();
        gfx->Error("nrMat does not match!");
    }
    data->SetMesh(created);
    data->faceCount = faceCount;
    data->vertexCount = vertexCount;

    if (newMesh) {
        mesh->SetMaterialCount(attributeCount);
        for (int32_t i = 0; i < attributeCount; ++i) {
            mesh->GetMaterial(i)->SetNewMeshColours();
            mesh->SetTexture(i, std::make_unique<DXC_Texture>(gfx));
        }
    }
    const VertexFormat& format = data->vertexFormat;
    const int32_t weights =
        weightsPerVertex >= 0 ? weightsPerVertex : (format.blendValues > 0 ? format.blendWeights + 1 : 0);
    data->SetVertexBlendFromWeights(weights);
    return data;
}
