#include "textscene/StandInGraphics.h"

#include <cstring>

#include "platform/FileSystem.h"
#include "platform/d3d8/D3D8.h"
#include "platform/d3d8/ErrorText.h"
#include "platform/d3dx/D3DXMesh.h"
#include "scene/Mesh.h"

// ---- mesh data --------------------------------------------------------------------------------

StandInMeshData::StandInMeshData(ID3DXMesh* mesh, const MeshCreateParams& params, int32_t hardwareBlending)
    : mesh(mesh), params(params), hardwareBlending(hardwareBlending), vertexBlend(0), shared(0) {
    if (mesh) mesh->AddRef();
}

StandInMeshData::~StandInMeshData() {
    if (mesh) mesh->Release();
}

std::unique_ptr<DXC_MeshGeometry> StandInMeshData::CopyShared(DXC_Mesh&) const {
    auto copy = std::make_unique<StandInMeshData>(mesh, params, hardwareBlending);
    copy->vertexBlend = vertexBlend;
    copy->shared = 1;
    return copy;
}

// ---- texture ----------------------------------------------------------------------------------

void StandInTexture::SelectSlot(int32_t slot) {
    // The graphics object reports this as an error of the texture; a stand-in has no name
    // to report with, so the slot is refused by throwing the same text.
    if (slot < 0 || slot >= SlotCount) {
        DXC_Error error{};
        std::snprintf(error.name, sizeof error.name, "DXC_Texture");
        std::snprintf(error.message, sizeof error.message, "Invalid texture stage selected: %i", slot);
        throw error;
    }
    currentSlot = slot;
}

void StandInTexture::SetSlotMatrix(const D3DXMATRIX* matrix) {
    Slot& slot = slots[currentSlot];
    slot.matrixSet = matrix != nullptr;
    if (matrix) slot.matrix = *matrix;
}

// ---- graphics ---------------------------------------------------------------------------------

StandInGraphics::StandInGraphics(IDirect3DDevice8* device, int32_t hardwareVertexProcessing)
    : device(device), hardwareVertexProcessing(hardwareVertexProcessing) {
    SetObjectName("DXC_Gfx");
    if (device) device->AddRef();
}

StandInGraphics::~StandInGraphics() {
    if (device) device->Release();
}

ID3DXMesh* StandInGraphics::CreateMesh(DXC_Mesh* mesh, const MeshCreateParams& params) {
    if (params.newMesh && mesh->GetGeometry()) mesh->SetGeometry(nullptr);
    DWORD options = params.systemMemory ? D3DXMESH_SYSTEMMEM : D3DXMESH_MANAGED;
    if (params.extraOptions != 0 && params.extraOptions != 0xFFFFFFFFu) options |= params.extraOptions;
    // Hardware blending needs hardware vertex processing; this stand-in has no shaders, so
    // skinned meshes and reflection maps go to software as on a device that can not blend.
    int32_t hardwareBlending = 0;
    if (hardwareVertexProcessing && params.boneCount == 0 && !params.forceSoftware)
        hardwareBlending = 1;
    else
        options = 0x18110; // D3DXMESH_SOFTWAREPROCESSING | D3DXMESH_SYSTEMMEM
    if (params.vertexCount > 65535)
        Error("Number of vertices too high: %i - only 65535 allowed", params.vertexCount);

    ID3DXMesh* created = nullptr;
    const HRESULT hr =
        D3DXCreateMeshFVF(static_cast<DWORD>(params.faceCount), static_cast<DWORD>(params.vertexCount),
                          options, params.vertexFormat, device, &created);
    if (FAILED(hr)) Error(" D3DXCreateMeshFVF failed: %s ", ErrorText(hr));
    if (!params.newMesh && params.attributeCount != mesh->GetMaterialCount()) {
        created->Release();
        Error("nrMat does not match!");
    }
    auto data = std::make_unique<StandInMeshData>(created, params, hardwareBlending);
    created->Release(); // the mesh data holds the reference
    switch (params.weightsPerVertex) {
    case 0:
        data->vertexBlend = D3DVBF_DISABLE;
        break;
    case 1:
        data->vertexBlend = D3DVBF_0WEIGHTS;
        break;
    case 2:
        data->vertexBlend = D3DVBF_1WEIGHTS;
        break;
    case 3:
        data->vertexBlend = D3DVBF_2WEIGHTS;
        break;
    case 4:
        data->vertexBlend = D3DVBF_3WEIGHTS;
        break;
    default:
        mesh->Error("Invalid weight number");
    }

    if (params.newMesh) {
        mesh->SetMaterialCount(params.attributeCount);
        for (int32_t i = 0; i < params.attributeCount; ++i) {
            D3DMATERIAL8& m = mesh->GetMaterial(i)->material;
            m.Diffuse = {0.9f, 0.9f, 0.9f, 1.0f};
            m.Ambient = {0.9f, 0.9f, 0.9f, 1.0f};
            m.Specular = {0.0f, 0.0f, 0.0f, 1.0f};
            m.Emissive = {0.0f, 0.0f, 0.0f, 1.0f};
            m.Power = 0.0f;
            mesh->SetTexture(i, CreateTexture());
        }
    }
    ID3DXMesh* result = data->mesh;
    mesh->SetGeometry(std::move(data));
    return result;
}

std::unique_ptr<DXC_AnimatedTexture> StandInGraphics::CreateTexture() {
    return std::make_unique<StandInTexture>();
}

std::unique_ptr<DXC_AnimatedTexture> StandInGraphics::CopyTexture(const DXC_AnimatedTexture& source) {
    auto copy = std::make_unique<StandInTexture>();
    if (const auto* from = dynamic_cast<const StandInTexture*>(&source)) {
        for (int32_t i = 0; i < DXC_AnimatedTexture::SlotCount; ++i) {
            copy->slots[i] = from->slots[i];
            copy->uv[i] = from->uv[i];
        }
        copy->timing = from->timing;
        copy->blendAmount = from->blendAmount;
    }
    return copy;
}

int32_t StandInGraphics::SetupMap(DXC_AnimatedTexture& texture, const MapSetup& setup) {
    auto* target = dynamic_cast<StandInTexture*>(&texture);
    if (!target) Error("Texture of another graphics object");
    target->SelectSlot(setup.slot);
    StandInTexture::Slot& slot = target->slots[setup.slot];
    if (setup.file) {
        const bool video = std::strlen(setup.file) >= 3 && setup.file[0] == '>' && setup.file[1] == '>';
        if (!video && !FileExists(setup.file)) Error("Can not open file %s", setup.file);
        slot.file = setup.file;
        slot.writtenName = setup.writtenName;
        loadedFiles.emplace_back(setup.file);
    }
    if (setup.setTiming) target->timing = setup.timing;
    if (setup.setBlendAmount) target->blendAmount = setup.blendAmount;
    if (setup.operation) {
        slot.operation = setup.operation;
        slot.factor = setup.factor;
    }
    if (setup.setUV) {
        DXC_TextMatrixAni& uv = target->uv[setup.slot];
        for (int32_t i = 0; i < DXC_TextMatrixAni::ValueCount; ++i) {
            uv.baseValues[i] = setup.uvBase[i];
            uv.tracks[i] = setup.uvTracks ? setup.uvTracks[i] : FloatTrack{};
        }
        SetUVTransform(*target, setup.uvBase[0], setup.uvBase[1], setup.uvBase[2], setup.uvBase[3],
                       setup.uvBase[4]);
    }
    return 0;
}
