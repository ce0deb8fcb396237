// Pictures of the scene pass on the OpenGL device (headless), worked out from first
// principles: where the projection puts a quad, the exact colour of an unlit material, what
// full transparency and the X mirror leave.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "GfxTestSupport.h"
#include "PassTestScene.h"
#include "render/FrameCapture.h"
#include "render/ScenePass.h"
#include "support/LogCapture.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr int Width = 160, Height = 120;
constexpr uint32_t Background = 0xFF102030;

class ScenePassPixels : public LogCaptureTest {
protected:
    void SetUp() override {
        LogCaptureTest::SetUp();
        GraphicsOptions options;
        options.width = Width;
        options.height = Height;
        options.bitsPerPixel = 32;
        ASSERT_EQ(GfxErrorOf([&] { InitGraphics(nullptr, options); }), "") << "no GL device";
        scene = std::make_unique<DXC_3dScene>();
        PlainView(*scene);
        scene->backgroundColour = Background;
        pass = std::make_unique<DXC_ScenePass>(*g_Gfx);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        g_Gfx->SetViewMatrix(identity);
        g_Gfx->SetProjection(1.0f, 100.0f, Pi / 2);
    }
    void TearDown() override {
        pass.reset();
        scene.reset();
        ShutdownGraphics();
        LogCaptureTest::TearDown();
    }
    DXC_Mesh* Quad(float x, float y, float z, float size, D3DCOLORVALUE emissive) {
        QuadSpec spec;
        spec.position = D3DXVECTOR3(x, y, z);
        spec.size = size;
        spec.emissive = emissive;
        return AddQuad(*g_Gfx, *scene, "quad", spec);
    }
    BmpImage Frame() {
        g_Gfx->BeginScene();
        pass->RenderScene(scene.get());
        g_Gfx->EndScene();
        g_Gfx->Present();
        std::string error;
        const std::string path = PathOf("frame.bmp");
        EXPECT_TRUE(SavePresentedFrame(*g_Gfx, path, D3DXIFF_BMP, error)) << error;
        BmpImage image;
        EXPECT_TRUE(ReadBmp(path, image));
        return image;
    }
    // Pixels of the image that are not the background.
    static int Covered(const BmpImage& image) {
        int n = 0;
        for (uint32_t p : image.pixels) n += (p & 0xFFFFFF) != (Background & 0xFFFFFF);
        return n;
    }

    std::unique_ptr<DXC_3dScene> scene;
    std::unique_ptr<DXC_ScenePass> pass;
};

TEST_F(ScenePassPixels, UnitQuadAtKnownDistanceCoversTheProjectedRectangle) {
    // Field of view 90 degrees: at depth 2 the half-height of the view is 2 and its half-width
    // 2 x 4/3. A unit quad spans x/width = 0.5 / (2 x 8/3) = 3/32 of the frame on each side
    // of the centre (15 pixels of 160) and 0.5 / 4 = 1/8 (15 pixels of 120) vertically.
    Quad(0, 0, 2, 1.0f, {1, 1, 1, 1});
    const BmpImage image = Frame();
    ASSERT_EQ(image.width, Width);
    ASSERT_EQ(image.height, Height);
    for (int y = 46; y <= 73; ++y)
        for (int x = 66; x <= 93; ++x) ASSERT_EQ(image.At(x, y) & 0xFFFFFF, 0xFFFFFFu) << x << "," << y;
    EXPECT_EQ(image.At(63, 60) & 0xFFFFFF, Background & 0xFFFFFF);
    EXPECT_EQ(image.At(96, 60) & 0xFFFFFF, Background & 0xFFFFFF);
    EXPECT_EQ(image.At(80, 43) & 0xFFFFFF, Background & 0xFFFFFF);
    EXPECT_EQ(image.At(80, 76) & 0xFFFFFF, Background & 0xFFFFFF);
    EXPECT_EQ(Covered(image), 30 * 30);
}

TEST_F(ScenePassPixels, UnlitMaterialColourComesOutExactly) {
    // No lights, no ambient: the emissive colour alone, 0.2, 0.4, 0.6 as bytes 51, 102, 153.
    Quad(0, 0, 2, 1.0f, {0.2f, 0.4f, 0.6f, 1.0f});
    const BmpImage image = Frame();
    EXPECT_EQ(image.At(80, 60) & 0xFFFFFF, 0x336699u);
    EXPECT_EQ(image.At(2, 2) & 0xFFFFFF, Background & 0xFFFFFF);
}

TEST_F(ScenePassPixels, FullTransparencyLeavesOnlyTheBackground) {
    DXC_Mesh* mesh = Quad(0, 0, 2, 1.0f, {1, 1, 1, 1});
    mesh->GetMaterial(0)->transparency = 1.0f;
    mesh->GetMaterial(0)->transparent = 1;
    EXPECT_EQ(Covered(Frame()), 0);
    // 0.99 is drawn.
    mesh->GetMaterial(0)->transparency = 0.99f;
    EXPECT_GT(Covered(Frame()), 0);
}

TEST_F(ScenePassPixels, MirrorOffIsTheMirrorImageOfMirrorOn) {
    Quad(-1.0f, 0.3f, 4, 1.0f, {1, 0, 0, 1});
    Quad(1.5f, -0.5f, 5, 0.7f, {0, 1, 0, 1});
    scene->viewOptions.mirror = 0;
    const BmpImage plain = Frame();
    scene->viewOptions.mirror = 1;
    const BmpImage mirrored = Frame();
    // Without the mirror +X is on the right.
    EXPECT_EQ(plain.At(80 + 18, 65) & 0xFFFFFF, 0x00FF00u);
    int differing = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) differing += plain.At(x, y) != mirrored.At(Width - 1 - x, y);
    // Only pixels on a quad's edge may fall to the other side under the fill rule.
    EXPECT_LE(differing, 2 * Height);
    EXPECT_GT(Covered(plain), 200);
}

} // namespace
