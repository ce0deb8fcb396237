// Composite settings: one number of the engine's own turned into a group of device states.
#include "render/DXC_Gfx.h"

#include <algorithm>

void DXC_Gfx::SetLighting(int32_t flag, const D3DCOLOR* unlit) {
    lighting = flag;
    unlitColor = (flag == 0 && unlit) ? *unlit : 0xFFFFFFFF;
    SetRenderStateCached(D3DRS_LIGHTING, static_cast<DWORD>(flag));
}

void DXC_Gfx::SetZBufferMode(int32_t mode) {
    if (mode == D3DZB_USEW && !(caps.RasterCaps & D3DPRASTERCAPS_WBUFFER)) mode = D3DZB_TRUE;
    zBufferMode = mode;
    zSuspendCount = 0;
    SetRenderState(D3DRS_ZENABLE, static_cast<DWORD>(mode));
}

void DXC_Gfx::SuspendZBuffer() {
    if (zSuspendCount > 0) {
        ++zSuspendCount;
        return;
    }
    zSuspendCount = 1;
    SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
}

void DXC_Gfx::ResumeZBuffer() {
    if (zSuspendCount <= 0) return;
    if (--zSuspendCount == 0 && zBufferMode != 0)
        SetRenderState(D3DRS_ZENABLE, static_cast<DWORD>(zBufferMode));
}

void DXC_Gfx::SetAlphaTest(int32_t mode, DWORD reference) {
    alphaTestMode = mode;
    alphaRef = reference;
    if (alphaTestCache == mode && alphaRefCache == reference) return;
    alphaTestCache = mode;
    alphaRefCache = reference;
    SetRenderState(D3DRS_ALPHATESTENABLE, static_cast<DWORD>(mode));
    if (mode == 0) return;
    SetRenderState(D3DRS_ALPHAFUNC, mode == 255 ? D3DCMP_EQUAL : D3DCMP_GREATER);
    SetRenderState(D3DRS_ALPHAREF, reference);
}

void DXC_Gfx::SetCullMode(int32_t mode) {
    DWORD value = D3DCULL_CCW;
    switch (mode) {
    case 0:
        value = D3DCULL_NONE;
        break;
    case 1:
        value = D3DCULL_CW;
        break;
    case -1:
        value = D3DCULL_CCW;
        break;
    default:
        Error("Invalid culling mode");
    }
    cullMode = mode;
    if (cullModeCache == mode) return;
    SetRenderState(D3DRS_CULLMODE, value);
    cullModeCache = mode;
}

void DXC_Gfx::SetFillMode(int32_t mode, const PointParameters* parameters) {
    fillMode = mode;
    if (parameters) pointParameters = *parameters;
    if (mode == D3DFILL_POINT) ApplyPointParameters(pointParameters, 0);
    SetRenderState(D3DRS_FILLMODE, static_cast<DWORD>(mode));
}

int32_t DXC_Gfx::SetMipmapMode(int32_t mode, float bias, DWORD stage) {
    mipMode = mode;
    mipBias = bias;
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) return 0;
    if (mode < 0 || mode > 2) Error("Wrong mipmap mode!");
    SetTextureStageState(stage, D3DTSS_MIPFILTER, static_cast<DWORD>(mode));
    if (caps.RasterCaps & D3DPRASTERCAPS_MIPMAPLODBIAS)
        SetTextureStageState(stage, D3DTSS_MIPMAPLODBIAS, FloatToDWORD(bias));
    return 1;
}

void DXC_Gfx::SetFog(const FogParameters& parameters) {
    fog = parameters;
    SetRenderState(D3DRS_FOGCOLOR, parameters.color);
    if (parameters.vertexFog) {
        SetRenderState(D3DRS_FOGVERTEXMODE, static_cast<DWORD>(parameters.mode));
        SetRenderState(D3DRS_RANGEFOGENABLE, 1);
    } else {
        SetRenderState(D3DRS_FOGTABLEMODE, static_cast<DWORD>(parameters.mode));
    }
    if (parameters.mode == D3DFOG_LINEAR) {
        SetRenderState(D3DRS_FOGSTART, FloatToDWORD(parameters.start));
        SetRenderState(D3DRS_FOGEND, FloatToDWORD(parameters.end));
    } else {
        SetRenderState(D3DRS_FOGDENSITY, FloatToDWORD(parameters.density));
    }
}

void DXC_Gfx::SetTextureTransform(const D3DXMATRIX* matrix, int32_t stage) {
    if (stage < 0 || stage >= Stages) Error("Invalid texture stage in SetTextureTransform()");
    if (!matrix) {
        D3DXMatrixIdentity(&textureMatrix[stage]);
        SetTextureTransformFlags(static_cast<DWORD>(stage), D3DTTFF_DISABLE);
        return;
    }
    SetTextureTransformFlags(static_cast<DWORD>(stage), D3DTTFF_COUNT3);
    textureMatrix[stage] = *matrix;
    SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage), *matrix);
}

void DXC_Gfx::SetWorldMatrix(int32_t index, const D3DXMATRIX& matrix) {
    if (index < 0 || index >= WorldMatrices) Error("Invalid world matrix index: %i", index);
    worldMatrix[index] = matrix;
    SetTransform(D3DTS_WORLDMATRIX(static_cast<DWORD>(index)), matrix);
}

void DXC_Gfx::SetRenderSource(int32_t source, int32_t stage, D3DCOLOR color) {
    if (stage < 0 || stage >= Stages) Error("Invalid stage: %i", stage);
    const DWORD s = static_cast<DWORD>(stage);
    switch (source) {
    case 1:
    case -1:
        SetColorOp(s, D3DTOP_MODULATE);
        SetColorArg1(s, D3DTA_TEXTURE);
        SetColorArg2(s, D3DTA_DIFFUSE);
        break;
    case 2:
        SetColorOp(s, D3DTOP_SELECTARG2);
        SetColorArg2(s, D3DTA_DIFFUSE);
        break;
    case 3:
        SetColorOp(s, D3DTOP_SELECTARG2);
        SetColorArg2(s, D3DTA_TFACTOR);
        SetTextureFactor(color);
        break;
    default:
        Error("Invalid render source selected");
    }
    stageCache[s].renderSource = source;
    rememberedRenderSource[s] = source;
}

int32_t DXC_Gfx::SetTextureFilter(int32_t preset, DWORD stage) {
    switch (preset) {
    case 1:
        SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        break;
    case 2:
        SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_POINT);
        break;
    case 3:
        SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        break;
    case 4:
        SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_POINT);
        break;
    case 5:
        SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_ANISOTROPIC);
        break;
    case 6:
        SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_ANISOTROPIC);
        break;
    case 7:
        SetAddressMode(D3DTADDRESS_WRAP, stage);
        break;
    case 8:
        SetAddressMode(D3DTADDRESS_CLAMP, stage);
        break;
    case 9:
        SetAddressMode(D3DTADDRESS_MIRROR, stage);
        break;
    case -1:
        break;
    default:
        return 0;
    }
    return 1;
}

void DXC_Gfx::ApplyPointParameters(PointParameters& p, int32_t hardwareLimit) {
    SetRenderStateCached(D3DRS_POINTSPRITEENABLE, static_cast<DWORD>(p.sprite));
    SetRenderStateCached(D3DRS_POINTSCALEENABLE, static_cast<DWORD>(p.scale));
    SetRenderStateCached(D3DRS_POINTSIZE, FloatToDWORD(p.size));
    if (p.scale == 0) return;
    const float limit = hardwareLimit ? caps.MaxPointSize : std::max(64.0f, caps.MaxPointSize);
    if (p.sizeMax > limit) {
        Warning("Point size max adjusted from %f to %f", static_cast<double>(p.sizeMax),
                static_cast<double>(limit));
        p.sizeMax = limit;
    }
    SetRenderStateCached(D3DRS_POINTSIZE_MIN, FloatToDWORD(p.sizeMin));
    SetRenderStateCached(D3DRS_POINTSIZE_MAX, FloatToDWORD(p.sizeMax));
    SetRenderStateCached(D3DRS_POINTSCALE_A, FloatToDWORD(p.scaleA));
    SetRenderStateCached(D3DRS_POINTSCALE_B, FloatToDWORD(p.scaleB));
    SetRenderStateCached(D3DRS_POINTSCALE_C, FloatToDWORD(p.scaleC));
}
