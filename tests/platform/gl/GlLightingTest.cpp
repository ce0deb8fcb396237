// Per-vertex lighting against Direct3D's lighting formulas. Each quad is set up so that all
// four vertices receive the same light, which makes the whole quad one expected colour.

#include "GlTestDevice.h"

#include <algorithm>

namespace {

constexpr float kHalf = 10.0f;  // the quad spans x and y from -10 to 10 ...
constexpr float kDepth = 10.0f; // ... at z = 10: the whole frame with a 90 degree view

class GlLightingTest : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        SetPerspective();
        Device()->SetRenderState(D3DRS_LIGHTING, TRUE);
        Device()->SetRenderState(D3DRS_AMBIENT, 0);
    }

    void SetMaterial(Rgba diffuse, Rgba ambient, Rgba specular = {0, 0, 0, 1}, float power = 0.0f) {
        D3DMATERIAL8 m{};
        m.Diffuse = {diffuse.r, diffuse.g, diffuse.b, diffuse.a};
        m.Ambient = {ambient.r, ambient.g, ambient.b, ambient.a};
        m.Specular = {specular.r, specular.g, specular.b, specular.a};
        m.Power = power;
        ASSERT_EQ(Device()->SetMaterial(&m), D3D_OK);
    }

    void SetLight(const D3DLIGHT8& light) {
        ASSERT_EQ(Device()->SetLight(0, &light), D3D_OK);
        ASSERT_EQ(Device()->LightEnable(0, TRUE), D3D_OK);
    }

    // Draws the quad facing the camera and returns the colour at the centre.
    D3DCOLOR DrawQuad() {
        const LitVertex quad[4] = {{-kHalf, kHalf, kDepth, 0, 0, -1, 0, 0},
                                   {kHalf, kHalf, kDepth, 0, 0, -1, 0, 0},
                                   {-kHalf, -kHalf, kDepth, 0, 0, -1, 0, 0},
                                   {kHalf, -kHalf, kDepth, 0, 0, -1, 0, 0}};
        Begin();
        Device()->SetVertexShader(kLitVertexFvf);
        EXPECT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitVertex)), D3D_OK);
        End();
        return Pixel(32, 32);
    }
};

D3DLIGHT8 Light(D3DLIGHTTYPE type) {
    D3DLIGHT8 l{};
    l.Type = type;
    l.Diffuse = ColorValue(1, 1, 1);
    l.Range = 1000.0f;
    l.Attenuation0 = 1.0f;
    return l;
}

// Distance from the light to each corner of the quad, for a light on the view axis at z.
float CornerDistance(float lightZ) {
    return std::sqrt(2 * kHalf * kHalf + (kDepth - lightZ) * (kDepth - lightZ));
}

TEST_F(GlLightingTest, DirectionalLightGivesAmbientPlusDiffuse) {
    const Rgba cd{0.8f, 0.6f, 0.4f, 1}, ca{0.5f, 0.5f, 0.5f, 1};
    SetMaterial(cd, ca);
    Device()->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
    D3DLIGHT8 l = Light(D3DLIGHT_DIRECTIONAL);
    l.Ambient = ColorValue(0.1f, 0.2f, 0.3f);
    l.Direction = {1, 0, 1}; // 45 degrees off the normal
    SetLight(l);
    const float nl = std::sqrt(0.5f), ga = 0x40 / 255.0f;
    const Rgba expected{ca.r * (ga + 0.1f) + cd.r * nl, ca.g * (ga + 0.2f) + cd.g * nl,
                        ca.b * (ga + 0.3f) + cd.b * nl, 1};
    EXPECT_TRUE(ColorNear(DrawQuad(), expected));
}

TEST_F(GlLightingTest, LightFacingAwayLeavesAmbientOnly) {
    SetMaterial({1, 1, 1, 1}, {1, 1, 1, 1});
    Device()->SetRenderState(D3DRS_AMBIENT, 0xFF336699);
    D3DLIGHT8 l = Light(D3DLIGHT_DIRECTIONAL);
    l.Direction = {0, 0, -1}; // shines from behind the quad
    SetLight(l);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFF336699u));
}

TEST_F(GlLightingTest, PointLightAttenuatesWithDistanceAndStopsAtRange) {
    SetMaterial({1, 1, 1, 1}, {0, 0, 0, 1});
    D3DLIGHT8 l = Light(D3DLIGHT_POINT);
    l.Position = {0, 0, 5};
    l.Attenuation0 = 0.5f;
    l.Attenuation1 = 0.1f;
    l.Attenuation2 = 0.01f;
    l.Diffuse = ColorValue(1.0f, 0.5f, 0.25f);
    SetLight(l);
    const float d = CornerDistance(5.0f);
    const float atten = 1.0f / (0.5f + 0.1f * d + 0.01f * d * d);
    const float nl = (kDepth - 5.0f) / d;
    EXPECT_TRUE(ColorNear(DrawQuad(), Rgba{atten * nl, 0.5f * atten * nl, 0.25f * atten * nl, 1}));

    // Beyond its range the light gives nothing, its ambient part included.
    l.Range = d - 0.5f;
    l.Ambient = ColorValue(1, 1, 1);
    SetMaterial({1, 1, 1, 1}, {1, 1, 1, 1});
    SetLight(l);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFF000000u));
}

TEST_F(GlLightingTest, SpotLightConeInnerFullOuterNoneBetweenFalloff) {
    SetMaterial({1, 1, 1, 1}, {0, 0, 0, 1});
    D3DLIGHT8 l = Light(D3DLIGHT_SPOT);
    l.Position = {0, 0, 0};
    l.Direction = {0, 0, 1};
    l.Falloff = 2.0f;
    const float d = CornerDistance(0.0f);
    const float rho = kDepth / d; // cos of the corners' angle off the axis (about 54.7 degrees)
    const float nl = kDepth / d;
    const float deg = 3.14159265f / 180.0f;
    struct Case {
        float theta, phi, spot;
    } cases[] = {
        {140 * deg, 160 * deg, 1.0f}, // inside the inner cone
        {40 * deg, 80 * deg, 0.0f},   // outside the outer cone
        {80 * deg, 140 * deg,         // between: ((rho - cos(phi/2)) / (cos(theta/2) - cos(phi/2)))^falloff
         std::pow((rho - std::cos(70 * deg)) / (std::cos(40 * deg) - std::cos(70 * deg)), 2.0f)},
    };
    for (const Case& c : cases) {
        l.Theta = c.theta;
        l.Phi = c.phi;
        SetLight(l);
        const float v = c.spot * nl;
        EXPECT_TRUE(ColorNear(DrawQuad(), Rgba{v, v, v, 1})) << "theta " << c.theta << " phi " << c.phi;
    }
}

TEST_F(GlLightingTest, SpecularUsesHalfVectorToTheLocalViewer) {
    SetMaterial({0, 0, 0, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}, 10.0f);
    Device()->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    D3DLIGHT8 l = Light(D3DLIGHT_DIRECTIONAL);
    l.Direction = {0, 0, 1}; // towards the quad, so L = (0, 0, -1) at every vertex
    l.Specular = ColorValue(0.5f, 0.75f, 1.0f);
    SetLight(l);
    // Corner (-10, 10, 10): V = unit vector to the eye, H = unit(V + L), N = (0, 0, -1).
    const float d = CornerDistance(0.0f);
    const float vx = kHalf / d, vy = -kHalf / d, vz = -kDepth / d;
    const float hx = vx, hy = vy, hz = vz - 1.0f;
    const float hl = std::sqrt(hx * hx + hy * hy + hz * hz);
    const float nh = -hz / hl;
    const float s = std::pow(nh, 10.0f);
    EXPECT_TRUE(ColorNear(DrawQuad(), Rgba{0.5f * s, 0.75f * s, s, 1}));

    // Without SPECULARENABLE the specular light is not added.
    Device()->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFF000000u));
}

TEST_F(GlLightingTest, PowerZeroMeansNoHighlight) {
    // A white highlight would wash the grey diffuse colour out; power 0 turns it off.
    SetMaterial({0.5f, 0.5f, 0.5f, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}, 0.0f);
    Device()->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    D3DLIGHT8 l = Light(D3DLIGHT_DIRECTIONAL);
    l.Direction = {0, 0, 1};
    l.Specular = ColorValue(1, 1, 1);
    SetLight(l);
    EXPECT_TRUE(ColorNear(DrawQuad(), Rgba{0.5f, 0.5f, 0.5f, 1}));
}

TEST_F(GlLightingTest, NineLightsAddUp) {
    SetMaterial({1, 1, 1, 1}, {0, 0, 0, 1});
    for (DWORD i = 0; i < 9; ++i) {
        D3DLIGHT8 l = Light(D3DLIGHT_DIRECTIONAL);
        l.Direction = {0, 0, 1};
        l.Diffuse = ColorValue(0.1f, 0.05f, 0.0f);
        ASSERT_EQ(Device()->SetLight(i, &l), D3D_OK);
        ASSERT_EQ(Device()->LightEnable(i, TRUE), D3D_OK);
    }
    EXPECT_TRUE(ColorNear(DrawQuad(), Rgba{0.9f, 0.45f, 0.0f, 1}));
}

TEST_F(GlLightingTest, MaterialSourcesTakeVertexColoursAndEmissiveIsAdded) {
    D3DMATERIAL8 m{};
    m.Diffuse = ColorValue(0.2f, 0.2f, 0.2f);
    m.Ambient = ColorValue(0.4f, 0.4f, 0.4f);
    m.Emissive = ColorValue(0.1f, 0.2f, 0.3f);
    ASSERT_EQ(Device()->SetMaterial(&m), D3D_OK);
    Device()->SetRenderState(D3DRS_AMBIENT, 0xFF808080);
    D3DLIGHT8 l = Light(D3DLIGHT_DIRECTIONAL);
    l.Direction = {0, 0, 1}; // straight at the quad: N . L = 1
    SetLight(l);
    struct ColourVertex {
        float x, y, z, nx, ny, nz;
        D3DCOLOR diffuse;
    };
    const D3DCOLOR vertexColour = 0xFF804020;
    const Rgba vc = ToRgba(vertexColour);
    const ColourVertex quad[4] = {{-kHalf, kHalf, kDepth, 0, 0, -1, vertexColour},
                                  {kHalf, kHalf, kDepth, 0, 0, -1, vertexColour},
                                  {-kHalf, -kHalf, kDepth, 0, 0, -1, vertexColour},
                                  {kHalf, -kHalf, kDepth, 0, 0, -1, vertexColour}};
    auto draw = [&] {
        Begin();
        Device()->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
        EXPECT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColourVertex)), D3D_OK);
        End();
        return Pixel(32, 32);
    };
    const float ga = 0x80 / 255.0f;
    // Defaults: the vertex colour is the diffuse colour, ambient and emissive come from the material.
    EXPECT_TRUE(ColorNear(
        draw(), Rgba{vc.r + 0.4f * ga + 0.1f, vc.g + 0.4f * ga + 0.2f, vc.b + 0.4f * ga + 0.3f, 1}));
    // Material as the diffuse source.
    Device()->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    EXPECT_TRUE(ColorNear(
        draw(), Rgba{0.2f + 0.4f * ga + 0.1f, 0.2f + 0.4f * ga + 0.2f, 0.2f + 0.4f * ga + 0.3f, 1}));
    // The vertex colour as ambient and emissive colour.
    Device()->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
    Device()->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR1);
    EXPECT_TRUE(ColorNear(
        draw(), Rgba{0.2f + vc.r * ga + vc.r, 0.2f + vc.g * ga + vc.g, 0.2f + vc.b * ga + vc.b, 1}));
    // Without COLORVERTEX every colour comes from the material.
    Device()->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    Device()->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    EXPECT_TRUE(ColorNear(
        draw(), Rgba{0.2f + 0.4f * ga + 0.1f, 0.2f + 0.4f * ga + 0.2f, 0.2f + 0.4f * ga + 0.3f, 1}));
}

TEST_F(GlLightingTest, VertexColourAsDiffuseSourceWhenLightingIsOff) {
    Device()->SetRenderState(D3DRS_LIGHTING, FALSE);
    Begin();
    DrawScreenQuad(0, 0, 64, 64, 0xFF203040);
    End();
    EXPECT_TRUE(ColorNear(Pixel(32, 32), 0xFF203040u, 0));
}

} // namespace
