// Frame-buffer blending and alpha test against Direct3D's blend equation.

#include "GlTestDevice.h"

#include <algorithm>

namespace {

class GlBlendTest : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        // The quad's colour and alpha come straight from its vertices.
        Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        Device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        Device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }
};

// One blend factor of Direct3D for the colour channel c (0..2) or alpha (3).
float Factor(DWORD blend, const float s[4], const float d[4], int c) {
    switch (blend) {
    case D3DBLEND_ZERO:
        return 0;
    case D3DBLEND_ONE:
        return 1;
    case D3DBLEND_SRCCOLOR:
        return s[c];
    case D3DBLEND_INVSRCCOLOR:
        return 1 - s[c];
    case D3DBLEND_SRCALPHA:
        return s[3];
    case D3DBLEND_INVSRCALPHA:
        return 1 - s[3];
    case D3DBLEND_DESTALPHA:
        return d[3];
    case D3DBLEND_INVDESTALPHA:
        return 1 - d[3];
    case D3DBLEND_DESTCOLOR:
        return d[c];
    case D3DBLEND_INVDESTCOLOR:
        return 1 - d[c];
    case D3DBLEND_SRCALPHASAT:
        return c == 3 ? 1 : std::min(s[3], 1 - d[3]);
    default:
        return 0;
    }
}

TEST_F(GlBlendTest, EveryFactorPairFollowsTheBlendEquation) {
    const D3DCOLOR source = 0x66CC8033, dest = 0xFF336699; // X8 frame: destination alpha reads 1
    const Rgba sc = ToRgba(source), dc = ToRgba(dest);
    const float s[4] = {sc.r, sc.g, sc.b, sc.a}, d[4] = {dc.r, dc.g, dc.b, 1.0f};
    Device()->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    int checked = 0;
    for (DWORD src = D3DBLEND_ZERO; src <= D3DBLEND_SRCALPHASAT; ++src) {
        for (DWORD dst = D3DBLEND_ZERO; dst <= D3DBLEND_SRCALPHASAT; ++dst) {
            if (dst == D3DBLEND_SRCALPHASAT) continue; // a source-only factor in Direct3D 8
            Device()->SetRenderState(D3DRS_SRCBLEND, src);
            Device()->SetRenderState(D3DRS_DESTBLEND, dst);
            Begin(dest);
            DrawScreenQuad(0, 0, 8, 8, source);
            End();
            float out[3];
            for (int c = 0; c < 3; ++c)
                out[c] = std::clamp(s[c] * Factor(src, s, d, c) + d[c] * Factor(dst, s, d, c), 0.0f, 1.0f);
            EXPECT_TRUE(ColorNear(Pixel(4, 4), Rgba{out[0], out[1], out[2], 1}))
                << "SRCBLEND " << src << " DESTBLEND " << dst;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 110);
}

// The blend modes the engine's state layer sets: a textured, vertex-coloured quad whose
// stage 0 multiplies texture and diffuse colour (or selects the texture), the alpha from the
// mode's stage-0 alpha operation and texture factor (alpha over the unlit colour's white),
// and the mode's factor pair, drawn over a known background.
TEST_F(GlBlendTest, EngineBlendModesCombineStageAlphaAndFactors) {
    const D3DCOLOR texel = 0x80996633, diffuse = 0xBF8040FF, background = 0xFF336699;
    const DWORD alpha = 0x99;
    IDirect3DTexture8* texture = MakeTexture(1, 1, {texel});
    ASSERT_NE(texture, nullptr);
    Device()->SetTexture(0, texture);
    const Rgba t = ToRgba(texel), d = ToRgba(diffuse), bg = ToRgba(background);
    const float fa = alpha / 255.0f;
    enum AlphaFrom { TextureAlpha, TextureTimesDiffuse, FactorTimesTexture, FactorAlpha, Untouched };
    const struct {
        int mode;
        AlphaFrom alphaFrom;
        D3DCOLOR factor;
        bool selectTexture; // COLOROP SELECTARG1 TEXTURE instead of MODULATE TEXTURE DIFFUSE
        DWORD src, dst;
    } modes[] = {
        {2, TextureAlpha, 0, false, D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR},
        {3, TextureTimesDiffuse, 0, false, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
        {4, TextureAlpha, 0, false, D3DBLEND_INVDESTCOLOR, D3DBLEND_INVSRCCOLOR},
        {5, TextureAlpha, 0, false, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},
        {6, TextureAlpha, 0, false, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},
        {7, FactorTimesTexture, alpha << 24 | 0xFFFFFF, false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
        {9, TextureTimesDiffuse, 0, false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
        {11, TextureAlpha, 0, false, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},
        {12, FactorTimesTexture, alpha << 24 | 0xFFFFFF, false, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
        {13, FactorAlpha, alpha << 24, false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
        {14, Untouched, 0, false, D3DBLEND_ZERO, D3DBLEND_ONE},
        {15, FactorAlpha, alpha << 24 | 0xFFFFFF, true, D3DBLEND_ONE, D3DBLEND_ZERO},
        {16, FactorAlpha, alpha << 24 | 0xFFFFFF, true, D3DBLEND_ONE, D3DBLEND_ONE},
        {17, FactorTimesTexture, alpha << 24 | 0xFFFFFF, false, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},
    };
    Device()->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (const auto& m : modes) {
        Device()->SetTextureStageState(0, D3DTSS_COLOROP,
                                       m.selectTexture ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE);
        Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        Device()->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        float a = 1.0f;
        switch (m.alphaFrom) {
        case TextureAlpha:
            Device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            Device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            a = t.a;
            break;
        case TextureTimesDiffuse:
            Device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            Device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            Device()->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
            a = t.a * d.a;
            break;
        case FactorTimesTexture:
            Device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            Device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
            Device()->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
            a = fa * t.a;
            break;
        case FactorAlpha:
            Device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            Device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
            a = fa;
            break;
        case Untouched:
            break;
        }
        Device()->SetRenderState(D3DRS_TEXTUREFACTOR, m.factor);
        Device()->SetRenderState(D3DRS_SRCBLEND, m.src);
        Device()->SetRenderState(D3DRS_DESTBLEND, m.dst);
        const Rgba c = m.selectTexture ? t : Rgba{t.r * d.r, t.g * d.g, t.b * d.b, 1};
        const float s[4] = {c.r, c.g, c.b, a}, dst[4] = {bg.r, bg.g, bg.b, 1.0f};
        Begin(background);
        DrawScreenQuad(0, 0, 8, 8, diffuse);
        End();
        float out[3];
        for (int k = 0; k < 3; ++k)
            out[k] =
                std::clamp(s[k] * Factor(m.src, s, dst, k) + dst[k] * Factor(m.dst, s, dst, k), 0.0f, 1.0f);
        EXPECT_TRUE(ColorNear(Pixel(4, 4), Rgba{out[0], out[1], out[2], 1}, 3)) << "blend mode " << m.mode;
    }
    Device()->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(GlBlendTest, BothSourceAlphaFactorsSetTheDestinationToo) {
    const D3DCOLOR source = 0x40FF0000, dest = 0xFF0000FF;
    const float a = 0x40 / 255.0f;
    Device()->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    Device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BOTHSRCALPHA);
    Device()->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO); // ignored
    Begin(dest);
    DrawScreenQuad(0, 0, 8, 8, source);
    End();
    EXPECT_TRUE(ColorNear(Pixel(4, 4), Rgba{a, 0, 1 - a, 1}));
    Device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BOTHINVSRCALPHA);
    Begin(dest);
    DrawScreenQuad(0, 0, 8, 8, source);
    End();
    EXPECT_TRUE(ColorNear(Pixel(4, 4), Rgba{1 - a, 0, a, 1}));
}

TEST_F(GlBlendTest, BlendingOffWritesTheSource) {
    Device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    Device()->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Begin(0xFF0000FF);
    DrawScreenQuad(0, 0, 8, 8, 0x10FF0000);
    End();
    EXPECT_TRUE(ColorNear(Pixel(4, 4), 0xFFFF0000u, 0));
}

TEST_F(GlBlendTest, AlphaTestComparesEightBitAlphaWithTheReference) {
    Device()->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    struct Case {
        DWORD func, ref, alpha;
        bool drawn;
    } cases[] = {{D3DCMP_GREATER, 0x80, 0x80, false}, {D3DCMP_GREATER, 0x80, 0x81, true},
                 {D3DCMP_GREATER, 0x00, 0x00, false}, {D3DCMP_GREATER, 0x00, 0x01, true},
                 {D3DCMP_EQUAL, 0xFF, 0xFF, true},    {D3DCMP_EQUAL, 0xFF, 0xFE, false},
                 {D3DCMP_LESS, 0x40, 0x3F, true},     {D3DCMP_LESS, 0x40, 0x40, false},
                 {D3DCMP_NEVER, 0x00, 0xFF, false},   {D3DCMP_ALWAYS, 0xFF, 0x00, true}};
    for (const Case& c : cases) {
        Device()->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        Device()->SetRenderState(D3DRS_ALPHAREF, c.ref);
        Begin(0xFF000000);
        DrawScreenQuad(0, 0, 8, 8, (c.alpha << 24) | 0x00FFFFFF);
        End();
        EXPECT_EQ((Pixel(4, 4) & 0xFFFFFF) != 0, c.drawn)
            << "func " << c.func << " ref " << c.ref << " alpha " << c.alpha;
    }
}

} // namespace
