// Texture-stage operations and texture transforms against Direct3D's stage formulas.

#include "GlTestDevice.h"

#include <algorithm>

namespace {

const D3DCOLOR kTexel = 0x80996633;   // T: 0.6, 0.4, 0.2, alpha 0.5
const D3DCOLOR kDiffuse = 0xBF8040FF; // D: 0.5, 0.25, 1.0, alpha 0.75
const D3DCOLOR kFactor = 0x4033CC66;  // F: 0.2, 0.8, 0.4, alpha 0.25

class GlStageTest : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        texture_ = MakeTexture(1, 1, {kTexel});
        ASSERT_NE(texture_, nullptr);
        Device()->SetTexture(0, texture_);
        Device()->SetRenderState(D3DRS_TEXTUREFACTOR, kFactor);
    }
    void TearDown() override {
        Device()->SetTexture(0, nullptr);
        SafeRelease(texture_);
    }
    D3DCOLOR Draw() {
        Begin();
        DrawScreenQuad(0, 0, 8, 8, kDiffuse);
        End();
        return Pixel(4, 4);
    }
    IDirect3DTexture8* texture_ = nullptr;
};

struct OpCase {
    const char* name;
    DWORD op, arg1, arg2, arg0;
    Rgba (*expected)(Rgba t, Rgba d, Rgba f);
};

Rgba Map(Rgba a, Rgba b, float (*f)(float, float)) {
    return {f(a.r, b.r), f(a.g, b.g), f(a.b, b.b), 1};
}
Rgba Lerp(Rgba a, Rgba b, float s) {
    return {a.r * s + b.r * (1 - s), a.g * s + b.g * (1 - s), a.b * s + b.b * (1 - s), 1};
}

const OpCase kOps[] = {
    {"MODULATE", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) { return Map(t, d, [](float a, float b) { return a * b; }); }},
    {"MODULATE2X", D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) { return Map(t, d, [](float a, float b) { return 2 * a * b; }); }},
    {"MODULATE4X", D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) { return Map(t, d, [](float a, float b) { return 4 * a * b; }); }},
    {"ADD", D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) { return Map(t, d, [](float a, float b) { return a + b; }); }},
    {"ADDSIGNED", D3DTOP_ADDSIGNED, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) { return Map(t, d, [](float a, float b) { return a + b - 0.5f; }); }},
    {"ADDSIGNED2X", D3DTOP_ADDSIGNED2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) { return Map(t, d, [](float a, float b) { return 2 * (a + b - 0.5f); }); }},
    {"SUBTRACT", D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) { return Map(t, d, [](float a, float b) { return a - b; }); }},
    {"ADDSMOOTH", D3DTOP_ADDSMOOTH, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) { return Map(t, d, [](float a, float b) { return a + b - a * b; }); }},
    {"BLENDDIFFUSEALPHA", D3DTOP_BLENDDIFFUSEALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR, 0,
     [](Rgba t, Rgba d, Rgba f) { return Lerp(t, f, d.a); }},
    {"BLENDTEXTUREALPHA", D3DTOP_BLENDTEXTUREALPHA, D3DTA_TFACTOR, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba f) { return Lerp(f, d, t.a); }},
    {"BLENDFACTORALPHA", D3DTOP_BLENDFACTORALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba f) { return Lerp(t, d, f.a); }},
    {"BLENDCURRENTALPHA", D3DTOP_BLENDCURRENTALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR, 0,
     [](Rgba t, Rgba d, Rgba f) { return Lerp(t, f, d.a); }}, // current is the diffuse colour at stage 0
    {"BLENDTEXTUREALPHAPM", D3DTOP_BLENDTEXTUREALPHAPM, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) {
         return Rgba{t.r + d.r * (1 - t.a), t.g + d.g * (1 - t.a), t.b + d.b * (1 - t.a), 1};
     }},
    {"MODULATEALPHA_ADDCOLOR", D3DTOP_MODULATEALPHA_ADDCOLOR, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) {
         return Rgba{t.r + t.a * d.r, t.g + t.a * d.g, t.b + t.a * d.b, 1};
     }},
    {"MODULATECOLOR_ADDALPHA", D3DTOP_MODULATECOLOR_ADDALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) {
         return Rgba{t.r * d.r + t.a, t.g * d.g + t.a, t.b * d.b + t.a, 1};
     }},
    {"MODULATEINVALPHA_ADDCOLOR", D3DTOP_MODULATEINVALPHA_ADDCOLOR, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) {
         return Rgba{(1 - t.a) * d.r + t.r, (1 - t.a) * d.g + t.g, (1 - t.a) * d.b + t.b, 1};
     }},
    {"MODULATEINVCOLOR_ADDALPHA", D3DTOP_MODULATEINVCOLOR_ADDALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba d, Rgba) {
         return Rgba{(1 - t.r) * d.r + t.a, (1 - t.g) * d.g + t.a, (1 - t.b) * d.b + t.a, 1};
     }},
    {"DOTPRODUCT3", D3DTOP_DOTPRODUCT3, D3DTA_TEXTURE, D3DTA_TFACTOR, 0,
     [](Rgba t, Rgba, Rgba f) {
         const float v = std::clamp(
             4 * ((t.r - 0.5f) * (f.r - 0.5f) + (t.g - 0.5f) * (f.g - 0.5f) + (t.b - 0.5f) * (f.b - 0.5f)),
             0.0f, 1.0f);
         return Rgba{v, v, v, 1};
     }},
    {"MULTIPLYADD", D3DTOP_MULTIPLYADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTA_TFACTOR,
     [](Rgba t, Rgba d, Rgba f) {
         return Rgba{f.r + t.r * d.r, f.g + t.g * d.g, f.b + t.b * d.b, 1};
     }},
    {"LERP", D3DTOP_LERP, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTA_TFACTOR,
     [](Rgba t, Rgba d, Rgba f) {
         return Rgba{f.r * t.r + (1 - f.r) * d.r, f.g * t.g + (1 - f.g) * d.g, f.b * t.b + (1 - f.b) * d.b,
                     1};
     }},
    {"SELECTARG1 complement", D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 0,
     [](Rgba t, Rgba, Rgba) {
         return Rgba{1 - t.r, 1 - t.g, 1 - t.b, 1};
     }},
    {"SELECTARG2 alpha replicate", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE, 0,
     [](Rgba, Rgba d, Rgba) {
         return Rgba{d.a, d.a, d.a, 1};
     }},
};

TEST_F(GlStageTest, ColourOperationsFollowTheirFormulas) {
    const Rgba t = ToRgba(kTexel), d = ToRgba(kDiffuse), f = ToRgba(kFactor);
    for (const OpCase& c : kOps) {
        Device()->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
        Device()->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        Device()->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
        Device()->SetTextureStageState(0, D3DTSS_COLORARG0, c.arg0);
        EXPECT_TRUE(ColorNear(Draw(), c.expected(t, d, f))) << c.name;
    }
}

TEST_F(GlStageTest, AlphaOperationDecidesTheBlendAlpha) {
    // White colour blended with SRCALPHA / ZERO shows the stage's alpha as grey.
    Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device()->SetTextureStageState(0, D3DTSS_COLORARG1,
                                   D3DTA_TFACTOR | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE);
    Device()->SetRenderState(D3DRS_TEXTUREFACTOR, 0x00000000);
    Device()->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    Device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    Device()->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    Device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    Device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    Device()->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    const float a = ToRgba(kTexel).a * ToRgba(kDiffuse).a;
    EXPECT_TRUE(ColorNear(Draw(), Rgba{a, a, a, 1}));
}

TEST_F(GlStageTest, SecondStageWorksOnTheFirstStageResult) {
    Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Device()->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    Device()->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    Device()->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    const Rgba t = ToRgba(kTexel), f = ToRgba(kFactor);
    EXPECT_TRUE(ColorNear(Draw(), Rgba{t.r + f.r, t.g + f.g, t.b + f.b, 1}));
    // A disabled stage ends the cascade.
    Device()->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    EXPECT_TRUE(ColorNear(Draw(), kTexel | 0xFF000000u));
}

TEST_F(GlStageTest, TemporaryRegisterKeepsAStageResult) {
    Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Device()->SetTextureStageState(0, D3DTSS_RESULTARG, D3DTA_TEMP);
    Device()->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    Device()->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEMP);
    Device()->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT); // still the diffuse colour
    const Rgba t = ToRgba(kTexel), d = ToRgba(kDiffuse);
    EXPECT_TRUE(ColorNear(Draw(), Rgba{t.r * d.r, t.g * d.g, t.b * d.b, 1}));
}

TEST_F(GlStageTest, ManagedTextureChangesReachTheNextDraw) {
    Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    EXPECT_TRUE(ColorNear(Draw(), kTexel | 0xFF000000u, 0));
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture_->LockRect(0, &locked, nullptr, 0), D3D_OK);
    *static_cast<D3DCOLOR*>(locked.pBits) = 0xFF12AB34;
    ASSERT_EQ(texture_->UnlockRect(0), D3D_OK);
    EXPECT_TRUE(ColorNear(Draw(), 0xFF12AB34u, 0));
}

// The texture matrix of a map slot in its 2D form: move the centre to the origin, rotate,
// tile, move back; the translation sits in the third row for two-component coordinates.
D3DMATRIX UvMatrix(float uOffset, float vOffset, float uTile, float vTile, float angle) {
    D3DMATRIX m = Multiply(Multiply(Translation(-0.5f - uOffset, vOffset - 0.5f, 0), RotationZ(-angle)),
                           Scaling(uTile, vTile, 1));
    m._41 += 0.5f;
    m._42 += 0.5f;
    D3DMATRIX r = Identity();
    r._11 = m._11;
    r._12 = m._12;
    r._21 = m._21;
    r._22 = m._22;
    r._31 = m._41;
    r._32 = m._42;
    return r;
}

TEST_F(GlStageTest, TiledAndRotatedTextureTransform) {
    std::vector<D3DCOLOR> texels(16);
    for (int i = 0; i < 16; ++i)
        texels[i] = 0xFF000000u | (i * 0x0F0000u) | ((15 - i) * 0x000F00u) | (i % 4 * 0x40);
    IDirect3DTexture8* grid = MakeTexture(4, 4, texels);
    ASSERT_NE(grid, nullptr);
    Device()->SetTexture(0, grid);
    Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Device()->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    Device()->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    const D3DMATRIX uv = UvMatrix(0.1f, 0.2f, 2.0f, 1.5f, 0.5f);
    Device()->SetTransform(D3DTS_TEXTURE0, &uv);
    Device()->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);

    // A quad covering the frame: uv (0, 0) top left to (1, 1) bottom right.
    SetPerspective();
    const LitVertex quad[4] = {{-10, 10, 10, 0, 0, -1, 0, 0},
                               {10, 10, 10, 0, 0, -1, 1, 0},
                               {-10, -10, 10, 0, 0, -1, 0, 1},
                               {10, -10, 10, 0, 0, -1, 1, 1}};
    Begin();
    Device()->SetVertexShader(kLitVertexFvf);
    ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitVertex)), D3D_OK);
    End();
    const std::vector<D3DCOLOR> p = Pixels();
    int compared = 0, wrong = 0;
    for (int y = 0; y < 64; y += 3)
        for (int x = 0; x < 64; x += 3) {
            // Pixel centres sit on integer coordinates: pixel x has u = x / 64.
            const float u = x / 64.0f, v = y / 64.0f;
            const float tu = u * uv._11 + v * uv._21 + uv._31, tv = u * uv._12 + v * uv._22 + uv._32;
            const float su = (tu - std::floor(tu)) * 4, sv = (tv - std::floor(tv)) * 4;
            // Skip samples too close to a texel edge to call.
            if (std::fabs(su - std::round(su)) < 0.1f || std::fabs(sv - std::round(sv)) < 0.1f) continue;
            const D3DCOLOR expected = texels[static_cast<int>(sv) % 4 * 4 + static_cast<int>(su) % 4];
            ++compared;
            wrong += (p[y * 64 + x] & 0xFFFFFF) != (expected & 0xFFFFFF);
        }
    EXPECT_GT(compared, 150);
    EXPECT_EQ(wrong, 0);
    Device()->SetTexture(0, nullptr);
    grid->Release();
}

} // namespace
