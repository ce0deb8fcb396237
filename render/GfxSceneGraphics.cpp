#include "render/GfxSceneGraphics.h"

#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "scene/Mesh.h"

namespace {

constexpr D3DFORMAT DefaultFormat = static_cast<D3DFORMAT>(-1); // the graphics object's choice

// Partial alpha is read from 4-byte pixels only; the pixel accessor refuses formats such as
// L8 or A8L8 that a grey image loads as, and a probe must not stop the load.
bool HoldsFourBytePixels(DXC_Texture& texture) {
    IDirect3DTexture8* current = texture.GetCurrentTexture();
    D3DSURFACE_DESC desc{};
    if (!current || FAILED(current->GetLevelDesc(0, &desc))) return false;
    return desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8;
}

// The slot's texture matrix from a uv placement, written to that slot whichever is current
// (with a sequence the texture keeps slot 0 current).
void PlaceSlot(DXC_Texture::Slot& slot, const float base[DXC_TextMatrixAni::ValueCount]) {
    D3DXMATRIX m;
    slot.matrixSet = ComputeUVTransform(base[0], base[1], base[2], base[3], base[4], &m);
    if (slot.matrixSet)
        slot.uvMatrix = m;
    else
        D3DXMatrixIdentity(&slot.uvMatrix);
}

} // namespace

ID3DXMesh* GfxSceneGraphics::CreateMesh(DXC_Mesh* mesh, const MeshCreateParams& params) {
    DXC_MeshData* data =
        ::CreateMesh(&gfx, mesh, params.faceCount, params.vertexCount, params.attributeCount,
                     params.vertexFormat, params.systemMemory, params.boneCount, params.newMesh,
                     params.extraOptions, params.forceSoftware, params.weightsPerVertex);
    if (!data) gfx.Error("No mesh data for mesh '%s'", mesh ? mesh->name.Text() : "");
    data->sphereMapChannel = params.sphereMapChannel;
    // The render pass blends a mesh with bones through one matrix per bone list entry.
    data->skinned = params.boneCount > 0 ? 1 : 0;
    data->blendMatrixCount = params.boneCount > 0 ? params.boneCount : 0;
    return data->GetMesh();
}

std::unique_ptr<DXC_AnimatedTexture> GfxSceneGraphics::CreateTexture() {
    return std::make_unique<DXC_Texture>(&gfx);
}

std::unique_ptr<DXC_AnimatedTexture> GfxSceneGraphics::CopyTexture(const DXC_AnimatedTexture& source) {
    const auto* from = dynamic_cast<const DXC_Texture*>(&source);
    if (!from) gfx.Error("Texture of another graphics object");
    auto copy = std::make_unique<DXC_Texture>(&gfx);
    copy->Copy(*from);
    return copy;
}

int32_t GfxSceneGraphics::SetupMap(DXC_AnimatedTexture& texture, const MapSetup& setup) {
    auto* target = dynamic_cast<DXC_Texture*>(&texture);
    if (!target) gfx.Error("Texture of another graphics object");
    DXC_Texture::Slot& slot = target->GetSlot(setup.slot); // a slot outside 0..7 is an error

    int32_t partialAlpha = 0;
    if (setup.file) {
        // Loading goes into the current slot. A texture that already shows an image sequence
        // refuses the selection: a second image would replace one of its frames.
        target->SelectSlot(setup.slot);
        gfx.LoadTexture(target, setup.file, 0, setup.type, DefaultFormat, setup.mipLevels);
        // Loading stored the resolved name (or none, for a sequence); the slot keeps the name
        // the scene gave, which a saved scene resolves again against its own folder.
        if (setup.writtenName) slot.fileName = setup.writtenName;
        if (HoldsFourBytePixels(*target)) partialAlpha = target->TestPartialAlpha();
    }
    // Without an image (a bump map while bump mapping is off) nothing is selected: the slot
    // only takes its operation and placement, also beside a sequence.
    if (setup.setTiming) target->SetSequenceTiming(setup.timing);
    if (setup.setBlendAmount) target->blendAmount = setup.blendAmount;
    if (setup.operation) target->SetSlotOperation(setup.slot, setup.operation, setup.factor);
    if (setup.setUV) {
        DXC_TextMatrixAni& uv = slot.uvAnimation;
        for (int32_t i = 0; i < DXC_TextMatrixAni::ValueCount; ++i) {
            uv.baseValues[i] = setup.uvBase[i];
            uv.tracks[i] = setup.uvTracks ? setup.uvTracks[i] : FloatTrack{};
        }
        PlaceSlot(slot, setup.uvBase);
    }
    return partialAlpha;
}

std::unique_ptr<DXC_MeshGeometry> GfxSceneGraphics::CreateGeometry(DXC_Mesh& mesh) {
    auto data = std::make_unique<DXC_MeshData>(&mesh);
    data->AttachGfx(&gfx);
    return data;
}
