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
