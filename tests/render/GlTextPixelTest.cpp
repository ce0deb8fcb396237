// Pixels on the OpenGL device (headless): built-in text in colour and scale, textures drawn as
// screen quads, and screenshots holding what was shown.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "GfxTestSupport.h"
#include "platform/TemporaryFolder.h"
#include "render/DXC_Font.h"
#include "render/DXC_PrintfContainer.h"
#include "render/DXC_Texture.h"
#include "render/DXC_TextureAccess.h"

namespace fs = std::filesystem;

namespace {

constexpr D3DCOLOR First = 0xFF96DCFF, Second = 0xFF006473;
constexpr uint32_t Black = 0xFF000000;

// The start-up graphics, headless at 320 x 240, in a scratch working folder for screenshots.
class GlPixels : public ::testing::Test {
protected:
    void SetUp() override {
        home = fs::current_path();
        dir = folder.Path();
        fs::current_path(dir);
        GraphicsOptions options;
        options.width = 320;
        options.height = 240;
        const std::string error = GfxErrorOf([&] { InitGraphics(nullptr, options); });
        ASSERT_EQ(error, "") << "no GL device";
        ASSERT_NE(g_Gfx, nullptr);
    }
    void TearDown() override {
        ShutdownGraphics();
        fs::current_path(home);
    }
    // Shows the frame, takes the next screenshot and reads it back.
    BmpImage Shoot() {
        g_Gfx->Present();
        const int n = g_Gfx->GetScreenShotCounter();
        g_Gfx->ScreenShot("ScreenShot", 0);
        BmpImage image;
        EXPECT_TRUE(ReadBmp("ScreenShot" + std::to_string(n) + ".bmp", image));
        return image;
    }
    // The colour of pixel (column, row) of the built-in glyph of c.
    static uint32_t GlyphColour(char c, int column, int row) {
        return DXC_Font::BuiltInPixel(c - 32, row * 5 + column, First, Second);
    }
    TemporaryFolder folder{"kzv_gl_pixels_"};
    fs::path home, dir;
};

uint32_t Modulate(uint32_t a, uint32_t b) {
    uint32_t out = 0xFF000000;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= (((a >> shift) & 0xFF) * ((b >> shift) & 0xFF) / 255) << shift;
    return out;
}

} // namespace

TEST_F(GlPixels, BuiltInTextInColourAndScale) {
    g_Gfx->Clear(Black);
    g_Gfx->BeginScene();
    g_Gfx->Printf(8, 8, "H");       // size factor 4: each glyph pixel is 4 x 4
    g_Gfx->Printf(8, 40, "|c0F8H"); // 0xFF00FF88 times the glyph colours; the colour stays current
    // The second form starts from the default style and gives the current one back.
    g_Gfx->PrintfDefaultStyle(8, 80, "|s20H"); // twice the size: 8 x 8 blocks
    g_Gfx->PrintfDefaultStyle(100, 8, "h^");   // lower case in capitals, '^' blank
    EXPECT_EQ(g_Gfx->GetPrintfContainer()->CurrentStyle().color, 0xFF00FF88u);
    g_Gfx->EndScene();
    const BmpImage image = Shoot();
    ASSERT_EQ(image.width, 320);
    ASSERT_EQ(image.height, 240);
    // Block centres of glyph pixel (column, row) for text at (x, y) with block size s.
    auto at = [&](int x, int y, int s, int column, int row) {
        return image.At(x + s * column + s / 2, y + s * row + s / 2);
    };
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 5; ++column) {
            const uint32_t glyph = GlyphColour('H', column, row);
            const uint32_t expected = glyph ? glyph : Black;
            EXPECT_TRUE(ColourNear(at(8, 8, 4, column, row), expected))
                << column << "," << row << " " << std::hex << at(8, 8, 4, column, row);
            EXPECT_TRUE(ColourNear(at(8, 40, 4, column, row), glyph ? Modulate(glyph, 0xFF00FF88) : Black))
                << "colour run " << column << "," << row;
            EXPECT_TRUE(ColourNear(at(8, 80, 8, column, row), expected)) << "scaled " << column << "," << row;
            EXPECT_TRUE(ColourNear(at(100, 8, 4, column, row), expected))
                << "lower case " << column << "," << row;
            EXPECT_TRUE(ColourNear(at(124, 8, 4, column, row), Black)) << "caret " << column << "," << row;
        }
    // Nothing outside the text.
    EXPECT_EQ(image.At(300, 200), Black);
}

TEST_F(GlPixels, TexturesDrawnAsScreenQuads) {
    DXC_Texture texture(g_Gfx);
    g_Gfx->CreateTexture(&texture, 8, 8, 4, D3DFMT_A8R8G8B8, 1);
    texture.Lock(nullptr, 0);
    texture.Fill(0xFFFF0000);
    texture.SetPixel(0, 0, 0xFF00FF00);
    texture.Unlock();
    g_Gfx->Clear(Black);
    g_Gfx->BeginScene();
    BindTextImage(g_Gfx, &texture);
    g_Gfx->SetTextureFilter(2, 0); // point magnification: whole texels
    g_Gfx->SetLastTexture(&texture);
    g_Gfx->DrawTexture(100, 100, 0xFFFFFFFF, 0.0f, 4.0f, 4.0f); // 32 x 32 at (100, 100)
    g_Gfx->DrawTextureRect(RECT{200, 20, 264, 84}, 0xFF808080); // stretched to 64 x 64, half bright
    g_Gfx->EndScene();
    const BmpImage image = Shoot();
    EXPECT_TRUE(ColourNear(image.At(102, 102), 0xFF00FF00));
    EXPECT_TRUE(ColourNear(image.At(116, 116), 0xFFFF0000));
    EXPECT_TRUE(ColourNear(image.At(130, 130), 0xFFFF0000));
    EXPECT_EQ(image.At(134, 116), Black);
    EXPECT_EQ(image.At(116, 134), Black);
    EXPECT_TRUE(ColourNear(image.At(203, 23), 0xFF008000));
    EXPECT_TRUE(ColourNear(image.At(240, 60), 0xFF800000));
    EXPECT_EQ(image.At(268, 60), Black);
    EXPECT_EQ(image.At(240, 88), Black);
    // Drawing a texture leaves culling, depth and the address modes as they were.
    EXPECT_EQ(g_Gfx->GetCullMode(), -1);
    EXPECT_EQ(g_Gfx->GetZBufferSuspendCount(), 0);
    EXPECT_EQ(g_Gfx->GetAddressU(0), static_cast<DWORD>(D3DTADDRESS_WRAP));
    g_Gfx->SetLastTexture(nullptr);
    EXPECT_EQ(GfxErrorOf([] { g_Gfx->DrawTexture(0, 0); }), "No texture set");
}

TEST_F(GlPixels, ThreeScreenshotsHoldTheirFrames) {
    const D3DCOLOR colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (D3DCOLOR colour : colours) {
        g_Gfx->Clear(colour);
        g_Gfx->BeginScene();
        g_Gfx->Printf(4, 4, "OK");
        g_Gfx->EndScene();
        g_Gfx->Present();
        g_Gfx->ScreenShot("ScreenShot", 0);
    }
    for (int i = 0; i < 3; ++i) {
        BmpImage image;
        ASSERT_TRUE(ReadBmp("ScreenShot" + std::to_string(i) + ".bmp", image)) << i;
        EXPECT_EQ(image.width, 320);
        EXPECT_EQ(image.height, 240);
        EXPECT_EQ(image.At(200, 200), colours[i]) << i;
        // The 'O' of "OK": glyph pixel (1, 0) of the first character.
        EXPECT_TRUE(ColourNear(image.At(4 + 4 + 2, 4 + 2), GlyphColour('O', 1, 0))) << i;
    }
    EXPECT_FALSE(fs::exists("ScreenShot3.bmp"));
}
