// Screen-space drawing: pixel placement, depth order, culling, fill modes, presentation.

#include "GlTestDevice.h"

#include "platform/d3d8/GlDevice.h"

namespace {

class GlRasterTest : public GlDeviceTest {};

TEST_F(GlRasterTest, PretransformedQuadCoversExactPixels) {
    Begin(0xFF000000);
    DrawScreenQuad(10.0f, 12.0f, 20.0f, 30.0f, 0xFFFF0000);
    End();
    const std::vector<D3DCOLOR> p = Pixels();
    auto at = [&](int x, int y) { return p[static_cast<size_t>(y) * kFrameWidth + x] & 0x00FFFFFF; };
    // Direct3D's pixel centres are on integers: the quad covers columns 10..19 and rows 12..29.
    EXPECT_EQ(at(10, 12), 0xFF0000u);
    EXPECT_EQ(at(19, 29), 0xFF0000u);
    EXPECT_EQ(at(9, 12), 0u);
    EXPECT_EQ(at(20, 12), 0u);
    EXPECT_EQ(at(10, 11), 0u);
    EXPECT_EQ(at(10, 30), 0u);
    int covered = 0;
    for (D3DCOLOR c : p) covered += (c & 0x00FFFFFF) == 0xFF0000u;
    EXPECT_EQ(covered, 10 * 18);
}

TEST_F(GlRasterTest, NearerSurfaceWinsWithDepthTestAndWBufferRequest) {
    for (DWORD zmode : {D3DZB_TRUE, D3DZB_USEW}) {
        Device()->SetRenderState(D3DRS_ZENABLE, zmode);
        Begin();
        DrawScreenQuad(0, 0, 32, 32, 0xFFFF0000, 0.25f);
        DrawScreenQuad(16, 16, 48, 48, 0xFF00FF00, 0.75f); // farther: hidden where red is
        End();
        EXPECT_TRUE(ColorNear(Pixel(20, 20), 0xFFFF0000u, 0));
        EXPECT_TRUE(ColorNear(Pixel(40, 40), 0xFF00FF00u, 0));
    }
    // Without depth testing the later quad covers the earlier one.
    Device()->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    Begin();
    DrawScreenQuad(0, 0, 32, 32, 0xFFFF0000, 0.25f);
    DrawScreenQuad(16, 16, 48, 48, 0xFF00FF00, 0.75f);
    End();
    EXPECT_TRUE(ColorNear(Pixel(20, 20), 0xFF00FF00u, 0));
}

TEST_F(GlRasterTest, DepthWriteOffKeepsEarlierDepth) {
    Device()->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    Begin();
    DrawScreenQuad(0, 0, 32, 32, 0xFFFF0000, 0.25f);
    DrawScreenQuad(0, 0, 32, 32, 0xFF00FF00, 0.75f); // passes: the near quad wrote no depth
    End();
    EXPECT_TRUE(ColorNear(Pixel(8, 8), 0xFF00FF00u, 0));
}

// A triangle clockwise on the screen (y down) and its mirror image.
void DrawTriangle(IDirect3DDevice8* device, bool clockwise, D3DCOLOR color) {
    TLVertex v[3] = {
        {8, 8, 0.5f, 1, color, 0, 0, 0}, {56, 8, 0.5f, 1, color, 0, 0, 0}, {8, 56, 0.5f, 1, color, 0, 0, 0}};
    if (!clockwise) std::swap(v[1], v[2]);
    device->SetVertexShader(kTLVertexFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TLVertex)), D3D_OK);
}

TEST_F(GlRasterTest, CullModesRemoveTheirWinding) {
    struct Case {
        DWORD cull;
        bool clockwise;
        bool visible;
    } cases[] = {{D3DCULL_CCW, true, true}, {D3DCULL_CCW, false, false}, {D3DCULL_CW, true, false},
                 {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true},  {D3DCULL_NONE, false, true}};
    for (const Case& c : cases) {
        Device()->SetRenderState(D3DRS_CULLMODE, c.cull);
        Begin();
        DrawTriangle(Device(), c.clockwise, 0xFFFFFFFF);
        End();
        EXPECT_EQ(Pixel(16, 16) == 0xFFFFFFFFu, c.visible)
            << "cull " << c.cull << " clockwise " << c.clockwise;
    }
}

TEST_F(GlRasterTest, MirroringWorldMatrixFlipsWhatTheCullModeRemoves) {
    SetPerspective();
    // A triangle at z = 10 that is clockwise on screen with the identity world matrix.
    const LitVertex tri[3] = {
        {-5, 5, 10, 0, 0, -1, 0, 0}, {5, 5, 10, 0, 0, -1, 0, 0}, {-5, -5, 10, 0, 0, -1, 0, 0}};
    Device()->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
    Device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    Device()->SetVertexShader(kLitVertexFvf);
    for (bool mirrored : {false, true}) {
        const D3DMATRIX world = mirrored ? Scaling(-1, 1, 1) : Identity();
        Device()->SetTransform(D3DTS_WORLD, &world);
        Begin();
        ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(LitVertex)), D3D_OK);
        End();
        // The default cull mode removes counter-clockwise triangles: the mirror image vanishes.
        const int x = mirrored ? 40 : 24;
        EXPECT_EQ(Pixel(x, 24) == 0xFFFFFFFFu, !mirrored) << "mirrored " << mirrored;
    }
}

TEST_F(GlRasterTest, WireframeDrawsEdgesOnly) {
    Device()->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    Device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Begin();
    DrawScreenQuad(8, 8, 56, 56, 0xFFFFFFFF);
    End();
    const std::vector<D3DCOLOR> p = Pixels();
    auto lit = [&](int x, int y) { return (p[static_cast<size_t>(y) * kFrameWidth + x] & 0xFFFFFF) != 0; };
    EXPECT_TRUE(lit(30, 8));   // top edge
    EXPECT_TRUE(lit(8, 30));   // left edge
    EXPECT_FALSE(lit(20, 40)); // inside, off the diagonal
    EXPECT_FALSE(lit(40, 20));
}

TEST_F(GlRasterTest, PointFillDrawsSquaresOfPointSize) {
    Device()->SetRenderState(D3DRS_FILLMODE, D3DFILL_POINT);
    Device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Device()->SetRenderState(D3DRS_POINTSIZE, FloatToDWORD(4.0f));
    Begin();
    DrawScreenQuad(16, 16, 48, 48, 0xFFFFFFFF);
    End();
    const std::vector<D3DCOLOR> p = Pixels();
    int lit = 0;
    for (D3DCOLOR c : p) lit += (c & 0xFFFFFF) != 0;
    EXPECT_EQ(lit, 4 * 16); // four corners, 4 x 4 pixels each
    EXPECT_NE(p[16 * kFrameWidth + 16] & 0xFFFFFF, 0u);
    EXPECT_EQ(p[32 * kFrameWidth + 32] & 0xFFFFFF, 0u);
}

struct PointVertex {
    float x, y, z;
    D3DCOLOR diffuse;
};

// Width and height of the lit pixels through the frame centre.
std::pair<int, int> LitExtent(const std::vector<D3DCOLOR>& p) {
    int width = 0, height = 0;
    for (int i = 0; i < 64; ++i) {
        width += (p[32 * kFrameWidth + i] & 0xFFFFFF) != 0;
        height += (p[i * kFrameWidth + 32] & 0xFFFFFF) != 0;
    }
    return {width, height};
}

TEST_F(GlRasterTest, PointScaleFollowsTheDistanceFunctionAndClamps) {
    SetPerspective();
    Device()->SetRenderState(D3DRS_POINTSIZE_MIN, FloatToDWORD(0.0f));
    Device()->SetRenderState(D3DRS_POINTSIZE_MAX, FloatToDWORD(64.0f));
    // S = viewport height x size x sqrt(1 / (A + B De + C De^2)), De the eye distance; 64 pixels high.
    const struct {
        BOOL scale;
        float size, a, b, c, z, min, max;
        int expected;
    } cases[] = {
        {FALSE, 6.0f, 1, 0, 0, 4, 0, 64, 6},  // scaling off: the size in pixels
        {TRUE, 0.125f, 1, 0, 0, 4, 0, 64, 8}, // 64 x 0.125
        {TRUE, 1.0f, 0, 0, 1, 4, 0, 64, 16},  // 64 / 4
        {TRUE, 1.0f, 0, 0, 1, 8, 0, 64, 8},   // 64 / 8: twice as far, half as large
        {TRUE, 0.25f, 0, 1, 0, 4, 0, 64, 8},  // 64 x 0.25 / sqrt(4)
        {TRUE, 1.0f, 0, 0, 1, 4, 0, 5, 5},    // cut to POINTSIZE_MAX
        {TRUE, 1.0f, 0, 0, 1, 8, 10, 64, 10}, // raised to POINTSIZE_MIN
    };
    for (const auto& c : cases) {
        Device()->SetRenderState(D3DRS_POINTSCALEENABLE, c.scale);
        Device()->SetRenderState(D3DRS_POINTSIZE, FloatToDWORD(c.size));
        Device()->SetRenderState(D3DRS_POINTSCALE_A, FloatToDWORD(c.a));
        Device()->SetRenderState(D3DRS_POINTSCALE_B, FloatToDWORD(c.b));
        Device()->SetRenderState(D3DRS_POINTSCALE_C, FloatToDWORD(c.c));
        Device()->SetRenderState(D3DRS_POINTSIZE_MIN, FloatToDWORD(c.min));
        Device()->SetRenderState(D3DRS_POINTSIZE_MAX, FloatToDWORD(c.max));
        const PointVertex point{0, 0, c.z, 0xFFFFFFFF};
        Begin();
        Device()->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof point), D3D_OK);
        End();
        const auto [width, height] = LitExtent(Pixels());
        EXPECT_EQ(width, c.expected) << "size " << c.size << " A " << c.a << " B " << c.b << " C " << c.c
                                     << " z " << c.z;
        EXPECT_EQ(height, c.expected);
    }
}

TEST_F(GlRasterTest, PresentKeepsTheFrameForGetFrontBuffer) {
    Begin(0xFF102030);
    DrawScreenQuad(0, 0, 8, 8, 0xFFFFFFFF);
    End();
    ASSERT_EQ(Device()->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // Drawing after Present does not change the shown frame.
    Begin(0xFF0000FF);
    End();
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(Device()->GetDisplayMode(&mode), D3D_OK);
    IDirect3DSurface8* surface = nullptr;
    ASSERT_EQ(Device()->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &surface), D3D_OK);
    ASSERT_EQ(Device()->GetFrontBuffer(surface), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) {
        return reinterpret_cast<const D3DCOLOR*>(static_cast<const BYTE*>(locked.pBits) +
                                                 y * locked.Pitch)[x];
    };
    EXPECT_EQ(at(2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(at(20, 20), 0xFF102030u);
    EXPECT_EQ(at(kFrameWidth - 1, kFrameHeight - 1), 0xFF102030u);
    if (mode.Width > kFrameWidth) EXPECT_EQ(at(kFrameWidth, 0), 0xFF000000u); // outside the frame
    surface->UnlockRect();
    surface->Release();
}

} // namespace

namespace {

// The reference-rasteriser request is served by Mesa's software rasteriser beside the
// default device; both draw in the same process.
TEST_F(GlRasterTest, ReferenceDeviceDrawsBesideTheDefaultDevice) {
    D3DPRESENT_PARAMETERS p = PresentParameters();
    IDirect3DDevice8* reference = nullptr;
    ASSERT_EQ(Direct3D()->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, nullptr,
                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &reference),
              D3D_OK);
    auto* gl = dynamic_cast<GlDevice*>(reference);
    ASSERT_NE(gl, nullptr);
    ASSERT_TRUE(gl->MakeContextCurrent());
    EXPECT_TRUE(gl->Context().IsSoftware()) << gl->Context().Renderer();
    D3DCAPS8 caps{};
    ASSERT_EQ(reference->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
    EXPECT_FALSE(caps.DevCaps & D3DDEVCAPS_HWRASTERIZATION);
    ASSERT_EQ(reference->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(reference->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(*static_cast<const D3DCOLOR*>(locked.pBits), 0xFF336699u);
    back->UnlockRect();
    back->Release();
    reference->Release();
    // The default device still draws after the other one is gone.
    Begin(0xFF00FF00);
    End();
    EXPECT_EQ(Pixel(0, 0), 0xFF00FF00u);
}

} // namespace
