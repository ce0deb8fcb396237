// Blend modes: a mode number selects alpha blending, the stage-0 alpha states, the texture
// factor and the blend factors together.
#include "render/DXC_Gfx.h"

namespace {

// One row of the blend table. 0 in an op, argument or factor means "not touched".
struct BlendRow {
    DWORD alphaOp, alphaArg1, alphaArg2;
    bool colorFromTexture; // stage 0 COLOROP SELECTARG1, COLORARG1 TEXTURE
    int factor;            // 0 none, 1 alpha + unlit RGB, 2 alpha with RGB 0
    DWORD srcBlend, destBlend;
    int alphaRule; // 0 unchanged, 1 becomes 255, 2 becomes the given alpha
};

const BlendRow* FindBlendRow(int32_t mode) {
    static const BlendRow rows[18] = {
        {}, // 0: invalid
        {}, // 1: blending off, handled apart
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, false, 0, D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR, 1},
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE + 0x100, false, 0, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 1},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, false, 0, D3DBLEND_INVDESTCOLOR, D3DBLEND_INVSRCCOLOR, 1},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE + 0x100, false, 0, D3DBLEND_ZERO,
         D3DBLEND_INVSRCCOLOR, 1},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, false, 0, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 1},
        {D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTA_TEXTURE, false, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 2},
        {}, // 8: invalid
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE + 0x100, false, 0, D3DBLEND_SRCALPHA,
         D3DBLEND_INVSRCALPHA, 1},
        {}, // 10: fade, sent as mode 7
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, 0, false, 0, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, 1},
        {D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTA_TEXTURE, false, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 2},
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR, 0, false, 2, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 2},
        {0, 0, 0, false, 0, D3DBLEND_ZERO, D3DBLEND_ONE, 0},
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR, 0, true, 1, D3DBLEND_ONE, D3DBLEND_ZERO, 0},
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR, 0, true, 1, D3DBLEND_ONE, D3DBLEND_ONE, 0},
        {D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTA_TEXTURE, false, 1, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, 0},
    };
    if (mode < 2 || mode > 17 || mode == 8 || mode == 10) return nullptr;
    return &rows[mode];
}

} // namespace

void DXC_Gfx::SetBlendMode(int32_t mode, int32_t alpha) {
    if (mode == -1) mode = 1;
    if (mode == 10) {
        // Fades the present blend alpha by alpha / 255 and continues as mode 7.
        alpha = static_cast<int32_t>(blendAlpha * alpha / 255.0);
        mode = 7;
    }
    if (mode != 1 && !FindBlendRow(mode)) Error("Invalid Blending mode selected!");
    blendMode = mode;
    if (blendModeCache == mode && blendAlphaCache == alpha) return;
    blendModeCache = mode;
    blendAlphaCache = alpha;
    if (mode == 1) {
        SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        return;
    }
    SendBlendStates(mode, alpha);
}

void DXC_Gfx::SendBlendStates(int32_t mode, int32_t alpha) {
    const BlendRow& row = *FindBlendRow(mode);
    SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    if (row.alphaOp) SetAlphaOp(0, row.alphaOp);
    if (row.alphaArg1) SetAlphaArg1(0, row.alphaArg1);
    // Arguments are stored +0x100 where the value itself is 0 (D3DTA_DIFFUSE).
    if (row.alphaArg2) SetTextureStageState(0, D3DTSS_ALPHAARG2, row.alphaArg2 & 0xFF);
    if (row.colorFromTexture) {
        SetColorOp(0, D3DTOP_SELECTARG1);
        SetColorArg1(0, D3DTA_TEXTURE);
    }
    const DWORD a = static_cast<DWORD>(alpha) & 0xFFu;
    if (row.factor == 1) SetTextureFactor((a << 24) | (unlitColor & 0x00FFFFFFu));
    if (row.factor == 2) SetTextureFactor(a << 24);
    SetRenderState(D3DRS_SRCBLEND, row.srcBlend);
    SetRenderState(D3DRS_DESTBLEND, row.destBlend);
    if (row.alphaRule == 1) blendAlpha = 255;
    if (row.alphaRule == 2) blendAlpha = alpha;
}

void DXC_Gfx::RestoreBlendMode(int32_t mode, int32_t alpha) {
    SetBlendMode(mode, alpha);
    blendAlpha = alpha;
}
