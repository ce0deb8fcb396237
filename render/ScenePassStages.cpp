// Texture stages from a material texture's map slots, and the blend of a material.
#include <cmath>

#include "render/DXC_Gfx.h"
#include "render/DXC_Texture.h"
#include "render/ScenePass.h"
#include "scene/MeshMaterial.h"

namespace {

constexpr int32_t MapDiffuse = 1;
constexpr int32_t MapBump = 2;
constexpr int32_t MapReflection = 3;
constexpr int32_t MapModulate = 4;
constexpr int32_t MapAdd = 5;
constexpr int32_t MapCameraReflection = 6;

bool SourceIsTexture(const DXC_Gfx& gfx, int32_t stage) {
    const int32_t source = gfx.GetRenderSource(static_cast<DWORD>(stage));
    return source == 1 || source == -1;
}

// COLORARG2 "from the render source": the unlit colour as texture factor when lighting is off
// and one is set, else the diffuse colour.
void ColourArg2FromSource(DXC_Gfx& gfx, DWORD stage) {
    if (!gfx.GetLighting() && gfx.GetUnlitColor() != 0xFFFFFFFF) {
        gfx.SetTextureFactor(gfx.GetUnlitColor());
        gfx.SetColorArg2(stage, D3DTA_TFACTOR);
    } else {
        gfx.SetColorArg2(stage, D3DTA_DIFFUSE);
    }
}

// Stage 0 showing a texture: times the lit colour with render source 1, else the colour alone.
void BaseStage(DXC_Gfx& gfx) {
    if (SourceIsTexture(gfx, 0)) {
        gfx.SetColorOp(0, D3DTOP_MODULATE);
        gfx.SetColorArg1(0, D3DTA_TEXTURE);
    } else {
        gfx.SetColorOp(0, D3DTOP_SELECTARG2);
    }
    ColourArg2FromSource(gfx, 0);
    gfx.SetTexCoordIndex(0, 0);
}

void ResendBlend(DXC_Gfx& gfx) {
    gfx.SetBlendMode(gfx.GetBlendMode(), gfx.GetBlendAlpha());
}

void StageOp(DXC_Gfx& gfx, int32_t stage, DWORD op, DWORD arg1, DWORD arg2, DWORD coordinates) {
    const DWORD s = static_cast<DWORD>(stage);
    gfx.SetColorOp(s, op);
    gfx.SetColorArg1(s, arg1);
    gfx.SetColorArg2(s, arg2);
    gfx.SetTexCoordIndex(s, coordinates);
}

// The reflection map's matrix for the present view: the view direction in world space as
// longitude and latitude offsets of a 0.3-scaled lookup.
D3DXMATRIX ViewReflectionMatrix(const DXC_Gfx& gfx) {
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &gfx.GetViewMatrix());
    const D3DXVECTOR3 d(inverse._31, inverse._32, inverse._33);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m._11 = 0.3f;
    m._22 = 0.3f;
    m._31 = 0.5f - std::atan2(d.y, d.x) * 0.159155f;
    m._32 = 0.5f - std::atan2(d.z, std::sqrt(d.x * d.x + d.y * d.y)) * 0.31831f;
    return m;
}

DWORD AddressFor(uint8_t mirror, uint8_t tile) {
    if (mirror) return D3DTADDRESS_MIRROR;
    return tile ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
}

} // namespace

void DXC_ScenePass::ClearStages(int32_t stage) {
    if (stage >= 0) {
        gfx.SetTexture(static_cast<DWORD>(stage), nullptr);
        return;
    }
    // The stage-0 alpha states are also the blend modes' own: the next blend mode is sent.
    gfx.ForgetBlendCache();
    for (int32_t s = 0; s < gfx.activeStages && s < DXC_Gfx::Stages; ++s)
        gfx.SetTexture(static_cast<DWORD>(s), nullptr);
    gfx.SetColorOp(0, D3DTOP_SELECTARG1);
    gfx.SetColorArg1(0, D3DTA_DIFFUSE);
    gfx.SetAlphaOp(0, D3DTOP_SELECTARG1);
    gfx.SetAlphaArg1(0, D3DTA_DIFFUSE);
    gfx.SetTextureTransform(nullptr, 0);
    for (int32_t s = 1; s < gfx.activeStages && s < DXC_Gfx::Stages; ++s)
        gfx.SetColorOp(static_cast<DWORD>(s), D3DTOP_DISABLE);
}

void DXC_ScenePass::SetupSequence(DXC_Texture& texture) {
    BaseStage(gfx);
    ResendBlend(gfx);
    const DXC_Texture::Slot& slot0 = texture.GetSlot(0);
    gfx.SetTextureTransform(slot0.matrixSet ? &slot0.uvMatrix : nullptr, 0);
    gfx.SetTexture(0, texture.GetCurrentTexture());
    for (int32_t s = 1; s < gfx.activeStages && s < DXC_Gfx::Stages; ++s)
        gfx.SetTexture(static_cast<DWORD>(s), nullptr);
    // An unbound stage that still combines would read no texture: the chain ends at stage 1.
    if (gfx.activeStages > 1) gfx.SetColorOp(1, D3DTOP_DISABLE);
}

int32_t DXC_ScenePass::SetTextureStages(DXC_Texture* texture, int32_t stage) {
    if (!texture || !texture->GetGfx()) {
        ClearStages(stage);
        return 1;
    }
    if (texture->videoSource >= 0) gfx.UpdateVideoSource(texture->videoSource);
    gfx.SetAlphaTest(texture->alphaTest ? 1 : 0, 0);
    if (texture->GetSequenceCount() > 0) {
        SetupSequence(*texture);
        return 1;
    }
    if (stage >= 0) {
        int32_t skip = 0;
        SetupSlot(*texture, texture->GetCurrentSlot(), stage, skip);
        return 1;
    }
    int32_t skip = 0;
    for (int32_t s = 0; s < gfx.activeStages && s < DXC_Gfx::Stages; ++s) {
        if (skip) {
            skip = 0;
            continue;
        }
        SetupSlot(*texture, s, s, skip);
    }
    return 1;
}

void DXC_ScenePass::SetupSlot(DXC_Texture& texture, int32_t slotIndex, int32_t stage, int32_t& skipNext) {
    DXC_Texture::Slot& slot = texture.GetSlot(slotIndex);
    IDirect3DTexture8* image = texture.GetSlotTexture(slotIndex);
    const DWORD s = static_cast<DWORD>(stage);
    int32_t type = slot.mapType;
    if (image && type == 0) type = MapDiffuse; // an image without an operation shows as a colour map
    if (!image) {
        if (stage == 0) {
            gfx.SetColorOp(0, D3DTOP_SELECTARG2);
            ColourArg2FromSource(gfx, 0);
        } else {
            gfx.SetColorOp(s, D3DTOP_DISABLE);
        }
    } else if (type == MapDiffuse && stage == 0 && gfx.addColor == 0) {
        BaseStage(gfx);
        ResendBlend(gfx);
    } else if (type == MapDiffuse && stage == 0) {
        if (SourceIsTexture(gfx, 0)) {
            StageOp(gfx, 0, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR, 0);
            StageOp(gfx, 1, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE, 0);
            gfx.SetAlphaOp(1, D3DTOP_SELECTARG1);
            gfx.SetAlphaArg1(1, D3DTA_CURRENT);
            gfx.SetColorOp(2, D3DTOP_DISABLE);
            gfx.SetAlphaOp(2, D3DTOP_DISABLE);
            skipNext = 1;
        } else {
            StageOp(gfx, 0, D3DTOP_ADD, D3DTA_TFACTOR, D3DTA_DIFFUSE, 0);
        }
        ResendBlend(gfx);
        gfx.SetTextureFactor((gfx.addColor & 0x00FFFFFFu) |
                             ((static_cast<DWORD>(gfx.GetBlendAlpha()) & 0xFFu) << 24));
    } else if (type == MapDiffuse) {
        if (texture.GetSlot(0).mapType != MapDiffuse || !texture.GetSlotTexture(0))
            Error("More than one diffuse map requires a diffuse map at stage 0");
        gfx.SetColorOp(0, D3DTOP_SELECTARG1);
        gfx.SetColorArg1(0, D3DTA_TEXTURE);
        StageOp(gfx, stage, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TEXTURE, 0);
        if (stage + 1 < DXC_Gfx::Stages)
            StageOp(gfx, stage + 1, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE, s);
        skipNext = 1;
    } else if (type == MapBump) {
        // The device offers no bump-map operation; the stage then stays out of the chain.
        if (gfx.GetCaps().TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAP)
            StageOp(gfx, stage, D3DTOP_BUMPENVMAP, D3DTA_CURRENT, D3DTA_TEXTURE, 0);
        else
            gfx.SetColorOp(s, D3DTOP_DISABLE);
    } else if (type == MapReflection && stage == 0) {
        if (gfx.modulateSwitch)
            StageOp(gfx, 0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0);
        else
            StageOp(gfx, 0, D3DTOP_SELECTARG2, D3DTA_CURRENT, D3DTA_TEXTURE, 0);
    } else if (type == MapReflection) {
        const D3DCAPS8& caps = gfx.GetCaps();
        const DWORD sets = caps.FVFCaps & D3DFVFCAPS_TEXCOORDCOUNTMASK;
        if (caps.MaxTextureBlendStages > 3 && sets >= 2) {
            // The coordinates the processor writes for this material's reflection.
            const DWORD set = sphereChannel >= 0 ? static_cast<DWORD>(sphereChannel) : 1;
            StageOp(gfx, stage, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TEXTURE, set);
            if (gfx.modulateSwitch) {
                gfx.SetColorOp(s - 1, D3DTOP_SELECTARG1);
                if (stage + 1 < DXC_Gfx::Stages)
                    StageOp(gfx, stage + 1, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE, s);
            }
        } else {
            gfx.SetColorOp(s, D3DTOP_DISABLE);
        }
    } else if (type == MapModulate) {
        StageOp(gfx, stage, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TEXTURE, 0);
    } else if (type == MapAdd) {
        StageOp(gfx, stage, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TEXTURE, 0);
    } else if (type == MapCameraReflection) {
        slot.uvMatrix = ViewReflectionMatrix(gfx);
        slot.matrixSet = 1;
        StageOp(gfx, stage, stage == 0 ? D3DTOP_SELECTARG2 : D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TEXTURE,
                D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    } else {
        gfx.SetColorOp(s, stage == 0 ? D3DTOP_SELECTARG2 : D3DTOP_DISABLE);
    }
    gfx.SetTextureTransform(slot.matrixSet ? &slot.uvMatrix : nullptr, stage);
    gfx.SetTexture(s, image);
}

void DXC_ScenePass::ApplyMaterialBlend(const MeshMaterial& material, int32_t hasTexture, int32_t defaultMode,
                                       int32_t alpha, int32_t zWrite) {
    const float t = material.transparency;
    const int32_t a = static_cast<int32_t>((1.0f - t) * static_cast<float>(alpha));
    const int32_t type = material.transparencyType;
    if (!hasTexture) {
        static constexpr int32_t UntexturedModes[3] = {13, 12, 17};
        if (type >= 0 && type <= 2) gfx.SetBlendMode(UntexturedModes[type], a);
        return;
    }
    switch (type) {
    case 0:
        if (t == 0.0f) {
            gfx.SetBlendMode(defaultMode, alpha);
        } else {
            const int32_t mode = (defaultMode == 12 || defaultMode == 3)   ? 12
                                 : (defaultMode == 17 || defaultMode == 5) ? 17
                                                                           : 7;
            gfx.SetBlendMode(mode, a);
        }
        if (zWrite) gfx.SetZWrite(1);
        break;
    case 1:
        gfx.SetBlendMode(t == 0.0f ? 3 : 12, t == 0.0f ? 0 : a);
        gfx.SetZWrite(0);
        break;
    case 2:
        gfx.SetBlendMode(t == 0.0f ? 5 : 17, t == 0.0f ? 0 : a);
        gfx.SetZWrite(0);
        break;
    default:
        Error("Unknown material blend mode: %i", type);
    }
    gfx.SetAddressU(0, AddressFor(material.mirrorU, material.tileU));
    gfx.SetAddressV(0, AddressFor(material.mirrorV, material.tileV));
}
