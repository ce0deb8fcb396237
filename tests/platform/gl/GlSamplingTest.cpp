// Texture sampling: address modes, mip-level choice with filter and bias, generated
// camera-space reflection coordinates, and texture transforms on pre-transformed vertices.

#include "GlTestDevice.h"

#include <cmath>

namespace {

constexpr D3DCOLOR kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

class GlSamplingTest : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        Device()->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
        Device()->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    }
    void TearDown() override {
        Device()->SetTexture(0, nullptr);
        SafeRelease(texture_);
    }
    void Bind(IDirect3DTexture8* texture) {
        SafeRelease(texture_);
        texture_ = texture;
        ASSERT_NE(texture_, nullptr);
        ASSERT_EQ(Device()->SetTexture(0, texture_), D3D_OK);
    }
    // A screen quad over (x0, y0) - (x1, y1) whose u runs from u0 to u1 left to right, v 0 to 1.
    void DrawTexturedQuad(float x0, float y0, float x1, float y1, float u0, float u1) {
        const TLVertex quad[4] = {{x0, y0, 0.5f, 1, 0xFFFFFFFF, 0, u0, 0},
                                  {x1, y0, 0.5f, 1, 0xFFFFFFFF, 0, u1, 0},
                                  {x0, y1, 0.5f, 1, 0xFFFFFFFF, 0, u0, 1},
                                  {x1, y1, 0.5f, 1, 0xFFFFFFFF, 0, u1, 1}};
        ASSERT_EQ(Device()->SetVertexShader(kTLVertexFvf), D3D_OK);
        ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TLVertex)), D3D_OK);
    }
    IDirect3DTexture8* texture_ = nullptr;
};

// Where u lands in 0..1 for each address mode (border: -1 for "outside").
float Address(DWORD mode, float u) {
    switch (mode) {
    case D3DTADDRESS_WRAP:
        return u - std::floor(u);
    case D3DTADDRESS_MIRROR: {
        const float m = u - 2.0f * std::floor(u / 2.0f); // 0..2
        return m <= 1.0f ? m : 2.0f - m;
    }
    case D3DTADDRESS_CLAMP:
        return u < 0 ? 0.0f : (u > 1 ? 1.0f : u);
    default:
        return u < 0 || u > 1 ? -1.0f : u;
    }
}

TEST_F(GlSamplingTest, AddressModesWrapMirrorClampAndBorder) {
    Bind(MakeTexture(2, 1, {kRed, kGreen}));
    Device()->SetTextureStageState(0, D3DTSS_BORDERCOLOR, kBlue);
    for (DWORD mode : {D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR, D3DTADDRESS_CLAMP, D3DTADDRESS_BORDER}) {
        Device()->SetTextureStageState(0, D3DTSS_ADDRESSU, mode);
        Begin();
        DrawTexturedQuad(0, 0, 64, 8, -1.0f, 2.0f); // three texture widths across the frame
        End();
        const std::vector<D3DCOLOR> p = Pixels();
        int wrong = 0, compared = 0;
        for (int x = 0; x < 64; ++x) {
            const float u = -1.0f + 3.0f * x / 64.0f; // pixel centres on integers
            // Texel edges and the points where the modes fold or stop all lie at multiples of 0.5.
            if (std::fabs(2.0f * u - std::round(2.0f * u)) < 0.1f) continue;
            const float a = Address(mode, u);
            const D3DCOLOR expected = a < 0 ? kBlue : (a < 0.5f ? kRed : kGreen);
            ++compared;
            wrong += p[4 * kFrameWidth + x] != expected;
        }
        EXPECT_GT(compared, 48) << "mode " << mode;
        EXPECT_EQ(wrong, 0) << "mode " << mode;
    }
}

// A 64 x 64 texture whose levels are red, green, blue, then white.
IDirect3DTexture8* LevelColouredTexture(IDirect3DDevice8* device) {
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(64, 64, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    if (!texture) return nullptr;
    const D3DCOLOR colours[4] = {kRed, kGreen, kBlue, 0xFFFFFFFF};
    for (UINT level = 0; level < 4; ++level) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                    colours[level];
        texture->UnlockRect(level);
    }
    return texture;
}

TEST_F(GlSamplingTest, MipFilterAndBiasChooseTheLevel) {
    Bind(LevelColouredTexture(Device()));
    // 64 texels over 32 pixels: level of detail 1.
    const struct {
        DWORD mipFilter;
        float bias;
        Rgba expected;
    } cases[] = {
        {D3DTEXF_NONE, 0.0f, {1, 0, 0, 1}},         // no mipmapping: the top level
        {D3DTEXF_POINT, 0.0f, {0, 1, 0, 1}},        // the nearest level, 1
        {D3DTEXF_POINT, 1.0f, {0, 0, 1, 1}},        // biased one level smaller
        {D3DTEXF_POINT, -1.0f, {1, 0, 0, 1}},       // biased one level larger
        {D3DTEXF_LINEAR, 0.5f, {0, 0.5f, 0.5f, 1}}, // halfway between levels 1 and 2
    };
    for (const auto& c : cases) {
        Device()->SetTextureStageState(0, D3DTSS_MIPFILTER, c.mipFilter);
        Device()->SetTextureStageState(0, D3DTSS_MIPMAPLODBIAS, FloatToDWORD(c.bias));
        Begin();
        DrawTexturedQuad(16, 16, 48, 48, 0.0f, 1.0f);
        End();
        EXPECT_TRUE(ColorNear(Pixel(32, 32), c.expected, 4))
            << "mip filter " << c.mipFilter << " bias " << c.bias;
    }
}

TEST_F(GlSamplingTest, TextureTransformIsNotAppliedToPretransformedVertices) {
    // Direct3D leaves transformed and lit vertices alone, their texture coordinates included.
    Bind(MakeTexture(2, 1, {kRed, kGreen}));
    D3DMATRIX shift = Identity();
    shift._31 = 0.5f; // moves u by half a texture in the 2D form (translation in the third row)
    Device()->SetTransform(D3DTS_TEXTURE0, &shift);
    Device()->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    Begin();
    DrawTexturedQuad(0, 0, 64, 8, 0.0f, 1.0f);
    End();
    EXPECT_EQ(Pixel(8, 4), kRed);
    EXPECT_EQ(Pixel(56, 4), kGreen);

    // The same transform does move the coordinates of vertices that the device transforms.
    SetPerspective();
    const LitVertex quad[4] = {{-10, 10, 10, 0, 0, -1, 0, 0},
                               {10, 10, 10, 0, 0, -1, 1, 0},
                               {-10, -10, 10, 0, 0, -1, 0, 1},
                               {10, -10, 10, 0, 0, -1, 1, 1}};
    Begin();
    Device()->SetVertexShader(kLitVertexFvf);
    ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitVertex)), D3D_OK);
    End();
    EXPECT_EQ(Pixel(8, 32), kGreen);
    EXPECT_EQ(Pixel(56, 32), kRed);
}

TEST_F(GlSamplingTest, CameraSpaceReflectionVectorAsCoordinates) {
    // Red ramp: texel i has red 4 i.
    std::vector<D3DCOLOR> ramp(64);
    for (int i = 0; i < 64; ++i) ramp[i] = 0xFF000000u | (static_cast<DWORD>(i * 4) << 16);
    Bind(MakeTexture(64, 1, ramp));
    Device()->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    Device()->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    // u = 0.5 + 0.8 Rx from the generated (Rx, Ry, Rz, 1); v fixed at 0.5.
    D3DMATRIX m{};
    m._11 = 0.8f;
    m._41 = 0.5f;
    m._42 = 0.5f;
    m._44 = 1.0f;
    Device()->SetTransform(D3DTS_TEXTURE0, &m);
    Device()->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    SetPerspective();
    // A quad facing the eye at z = 10, covering the frame; its vertices carry no coordinates.
    struct NormalVertex {
        float x, y, z, nx, ny, nz;
    };
    const NormalVertex quad[4] = {
        {-10, 10, 10, 0, 0, -1}, {10, 10, 10, 0, 0, -1}, {-10, -10, 10, 0, 0, -1}, {10, -10, 10, 0, 0, -1}};
    Begin();
    Device()->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
    ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(NormalVertex)), D3D_OK);
    End();
    // R = 2 (N . E) N - E with E the unit vector from the vertex to the eye: at a corner (x, y, 10)
    // it is (x, y, -10) / |P|, so Rx runs linearly from -10 / sqrt(300) to +10 / sqrt(300).
    const float edge = 10.0f / std::sqrt(300.0f);
    const std::vector<D3DCOLOR> p = Pixels();
    int compared = 0, wrong = 0;
    for (int x = 0; x < 64; ++x) {
        const float rx = -edge + 2.0f * edge * x / 64.0f;
        const float texel = (0.5f + 0.8f * rx) * 64.0f;
        if (std::fabs(texel - std::round(texel)) < 0.2f) continue;
        ++compared;
        const DWORD red = (p[32 * kFrameWidth + x] >> 16) & 0xFF;
        wrong += red != static_cast<DWORD>(std::floor(texel)) * 4;
    }
    EXPECT_GT(compared, 30);
    EXPECT_EQ(wrong, 0);
}

} // namespace
