// Vertex and table fog at a known depth against Direct3D's fog formulas.

#include "GlTestDevice.h"

namespace {

class GlFogTest : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        SetPerspective();
        Device()->SetRenderState(D3DRS_FOGENABLE, TRUE);
        Device()->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FF);
        Device()->SetRenderState(D3DRS_FOGSTART, FloatToDWORD(5.0f));
        Device()->SetRenderState(D3DRS_FOGEND, FloatToDWORD(25.0f));
    }

    // A white quad covering the frame at z = 10; returns the centre colour.
    D3DCOLOR DrawQuad() {
        const LitVertex quad[4] = {{-10, 10, 10, 0, 0, -1, 0, 0},
                                   {10, 10, 10, 0, 0, -1, 0, 0},
                                   {-10, -10, 10, 0, 0, -1, 0, 0},
                                   {10, -10, 10, 0, 0, -1, 0, 0}};
        Begin();
        Device()->SetVertexShader(kLitVertexFvf);
        EXPECT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitVertex)), D3D_OK);
        End();
        return Pixel(32, 32);
    }

    static Rgba Fogged(float f) { return {f, f, 1.0f, 1.0f}; } // white blended with blue
};

struct FogCase {
    DWORD mode;
    float density;
    float factor; // at distance 10 (start 5, end 25)
};

const FogCase kCases[] = {
    {D3DFOG_EXP, 0.05f, std::exp(-0.5f)},
    {D3DFOG_EXP2, 0.05f, std::exp(-0.25f)},
    {D3DFOG_LINEAR, 0.0f, (25.0f - 10.0f) / (25.0f - 5.0f)},
};

TEST_F(GlFogTest, VertexFogModesAtKnownDepth) {
    for (const FogCase& c : kCases) {
        Device()->SetRenderState(D3DRS_FOGVERTEXMODE, c.mode);
        Device()->SetRenderState(D3DRS_FOGDENSITY, FloatToDWORD(c.density));
        EXPECT_TRUE(ColorNear(DrawQuad(), Fogged(c.factor))) << "mode " << c.mode;
    }
}

TEST_F(GlFogTest, TableFogModesAtKnownDepth) {
    for (const FogCase& c : kCases) {
        Device()->SetRenderState(D3DRS_FOGTABLEMODE, c.mode);
        Device()->SetRenderState(D3DRS_FOGDENSITY, FloatToDWORD(c.density));
        EXPECT_TRUE(ColorNear(DrawQuad(), Fogged(c.factor))) << "mode " << c.mode;
    }
}

TEST_F(GlFogTest, RangeFogUsesTheDistanceToTheEye) {
    Device()->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    Device()->SetRenderState(D3DRS_RANGEFOGENABLE, TRUE);
    // Every corner lies sqrt(300) from the eye.
    const float d = std::sqrt(300.0f);
    EXPECT_TRUE(ColorNear(DrawQuad(), Fogged((25.0f - d) / 20.0f)));
}

TEST_F(GlFogTest, FogOffOrNoModeLeavesTheColour) {
    Device()->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFFFFFFFFu, 0));
    Device()->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    Device()->SetRenderState(D3DRS_FOGENABLE, FALSE);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFFFFFFFFu, 0));
}

TEST_F(GlFogTest, PretransformedVerticesCarryFogInSpecularAlpha) {
    Device()->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    Begin();
    DrawScreenQuad(0, 0, 64, 64, 0xFFFFFFFF, 0.5f, 0x40000000); // fog factor 64/255
    End();
    const float f = 0x40 / 255.0f;
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Fogged(f)));
}

} // namespace
