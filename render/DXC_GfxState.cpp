// The state wrappers, the cached simple setters and the invalidation and restore of the cache.
#include "render/DXC_Gfx.h"

#include "platform/d3d8/ErrorText.h"

namespace {

constexpr DWORD Unknown = 0xFFFFFFFFu;

bool IsPointFloatState(DWORD state) {
    return state == D3DRS_POINTSIZE || state == D3DRS_POINTSIZE_MIN || state == D3DRS_POINTSIZE_MAX ||
           state == D3DRS_POINTSCALE_A || state == D3DRS_POINTSCALE_B || state == D3DRS_POINTSCALE_C;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Wrappers
// ---------------------------------------------------------------------------------------------

void DXC_Gfx::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    result = device->SetRenderState(state, value);
    if (FAILED(result))
        Error(" SetRenderState (state %i, value: %i failed: %s", static_cast<int>(state),
              static_cast<int>(value), ErrorText(result));
    if (state < D3DRS_MAX) renderStateCache[state] = value;
}

void DXC_Gfx::SetRenderStateCached(D3DRENDERSTATETYPE state, DWORD value) {
    if (state < D3DRS_MAX && renderStateCache[state] == value) return;
    SetRenderState(state, value);
}

void DXC_Gfx::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    result = device->SetTextureStageState(stage, type, value);
    if (FAILED(result))
        Error(" SetTextureStageState failed: %s (stage %i, type %i, value %i)", ErrorText(result),
              static_cast<int>(stage), static_cast<int>(type), static_cast<int>(value));
}

void DXC_Gfx::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix) {
    result = device->SetTransform(type, &matrix);
    if (FAILED(result)) Error("SetTransform failed: %s", ErrorText(result));
}

void DXC_Gfx::SetMaterial(const D3DMATERIAL8& material) {
    result = device->SetMaterial(&material);
    if (FAILED(result)) Error("SetMaterial failed: %s", ErrorText(result));
}

// ---------------------------------------------------------------------------------------------
// Simple setters
// ---------------------------------------------------------------------------------------------

void DXC_Gfx::SetClipping(int32_t flag) {
    clipping = flag;
    SetRenderState(D3DRS_CLIPPING, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetEdgeAntialias(int32_t flag) {
    edgeAntialias = flag;
    SetRenderState(D3DRS_EDGEANTIALIAS, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetZWrite(int32_t flag) {
    zWrite = flag;
    SetRenderStateCached(D3DRS_ZWRITEENABLE, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetIndexedVertexBlend(int32_t flag) {
    SetRenderStateCached(D3DRS_INDEXEDVERTEXBLENDENABLE, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetVertexBlend(DWORD blend) {
    SetRenderStateCached(D3DRS_VERTEXBLEND, blend);
}

void DXC_Gfx::SetNormalizeNormals(int32_t flag) {
    SetRenderStateCached(D3DRS_NORMALIZENORMALS, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetSpecular(int32_t flag) {
    specular = flag;
    SetRenderStateCached(D3DRS_SPECULARENABLE, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetAmbient(D3DCOLOR color) {
    SetRenderState(D3DRS_AMBIENT, color);
}

void DXC_Gfx::SetTextureFactor(D3DCOLOR color) {
    SetRenderState(D3DRS_TEXTUREFACTOR, color);
}

void DXC_Gfx::SetFogEnable(int32_t flag) {
    fogEnable = flag;
    SetRenderState(D3DRS_FOGENABLE, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetSoftwareVertexProcessing(int32_t flag) {
    // A device made for software processing has no choice to switch.
    if (!hardwareVertexProcessing) return;
    SetRenderStateCached(D3DRS_SOFTWAREVERTEXPROCESSING, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetColorOp(DWORD stage, DWORD op) {
    StageCache& c = stageCache[stage & 7];
    if (c.colorOp == op) return;
    SetTextureStageState(stage, D3DTSS_COLOROP, op);
    c.colorOp = op;
}

void DXC_Gfx::SetColorArg1(DWORD stage, DWORD arg) {
    StageCache& c = stageCache[stage & 7];
    if (c.colorArg1 == arg) return;
    SetTextureStageState(stage, D3DTSS_COLORARG1, arg);
    c.colorArg1 = arg;
}

void DXC_Gfx::SetColorArg2(DWORD stage, DWORD arg) {
    StageCache& c = stageCache[stage & 7];
    if (c.colorArg2 == arg) return;
    SetTextureStageState(stage, D3DTSS_COLORARG2, arg);
    c.colorArg2 = arg;
}

void DXC_Gfx::SetAlphaOp(DWORD stage, DWORD op) {
    SetTextureStageState(stage, D3DTSS_ALPHAOP, op);
}

void DXC_Gfx::SetAlphaArg1(DWORD stage, DWORD arg) {
    SetTextureStageState(stage, D3DTSS_ALPHAARG1, arg);
}

void DXC_Gfx::SetTexCoordIndex(DWORD stage, DWORD index) {
    stageCache[stage & 7].texCoordIndex = index;
    SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, index);
}

void DXC_Gfx::SetTextureTransformFlags(DWORD stage, DWORD flags) {
    StageCache& c = stageCache[stage & 7];
    if (c.transformFlags == flags) return;
    SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, flags);
    c.transformFlags = flags;
}

int32_t DXC_Gfx::SetAddressU(DWORD stage, DWORD mode) {
    StageCache& c = stageCache[stage & 7];
    if (c.addressU == mode) return 1;
    result = device->SetTextureStageState(stage, D3DTSS_ADDRESSU, mode);
    if (FAILED(result)) return Warning("Failed to set texture U-adress mode %i", static_cast<int>(mode));
    c.addressU = mode;
    if (stage == 0) rememberedAddressU = mode;
    return 1;
}

int32_t DXC_Gfx::SetAddressV(DWORD stage, DWORD mode) {
    StageCache& c = stageCache[stage & 7];
    if (c.addressV == mode) return 1;
    result = device->SetTextureStageState(stage, D3DTSS_ADDRESSV, mode);
    if (FAILED(result)) return Warning("Failed to set texture V-adress mode %i", static_cast<int>(mode));
    c.addressV = mode;
    if (stage == 0) rememberedAddressV = mode;
    return 1;
}

void DXC_Gfx::SetAddressMode(DWORD mode, DWORD stage) {
    SetAddressU(stage, mode);
    SetAddressV(stage, mode);
}

void DXC_Gfx::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    StageCache& c = stageCache[stage & 7];
    if (c.textureKnown && c.texture == texture) return;
    result = device->SetTexture(stage, texture);
    if (FAILED(result)) Error("SetTexture failed: %s", ErrorText(result));
    c.texture = texture;
    c.textureKnown = 1;
}

// ---------------------------------------------------------------------------------------------
// Invalidation and restore
// ---------------------------------------------------------------------------------------------

void DXC_Gfx::InvalidateStateCache() {
    for (DWORD s = 0; s < D3DRS_MAX; ++s)
        renderStateCache[s] = IsPointFloatState(s) ? FloatToDWORD(-1.0f) : Unknown;
    for (StageCache& c : stageCache) {
        c.colorOp = c.colorArg1 = c.colorArg2 = Unknown;
        c.addressU = c.addressV = c.texCoordIndex = c.transformFlags = Unknown;
        c.renderSource = -1;
        c.texture = nullptr;
        c.textureKnown = 0;
    }
    for (int32_t& l : lightEnableCache) l = -1;
    cullModeCache = 999;
    blendModeCache = -1;
    blendAlphaCache = -1;
    alphaTestCache = -1;
    alphaRefCache = Unknown;
    currentFormat = Unknown;
    currentShader = 0;
    inScene = -1;
    for (D3DXMATRIX& m : textureMatrix) D3DXMatrixIdentity(&m);
    for (UINT i = 0; i < Stages; ++i) {
        streamBuffer[i] = nullptr;
        streamStride[i] = 0;
    }
    indexBuffer = nullptr;
}

void DXC_Gfx::RestoreStates() {
    if (windowed)
        SetViewPort(windowRect.left, windowRect.top, windowRect.right, windowRect.bottom, viewport.MinZ,
                    viewport.MaxZ);
    SetProjection(nearPlane, farPlane, 0.7854f, -1.0f);
    SetViewMatrix(viewMatrix);
    SetLighting(lighting);
    SetSpecular(specular);
    SetBlendMode(blendMode, blendAlpha);
    SetCullMode(cullMode);
    SetFog(fog);
    SetFogEnable(fogEnable);
    SetClipping(clipping);
    SetAlphaTest(alphaTestMode, alphaRef);
    SetEdgeAntialias(edgeAntialias);
    SetMipmapMode(mipMode, mipBias, 0);
    SetFillMode(fillMode);
    SetZWrite(zWrite);
    const DWORD u = rememberedAddressU, v = rememberedAddressV;
    SetAddressU(0, u);
    SetAddressV(0, v);
    ApplySamplerDefaults();
}
