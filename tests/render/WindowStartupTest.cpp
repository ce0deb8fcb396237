// The start-up of the graphics as the entry runs it: the main window when a display exists (the
// test fails without one when KZV_EXPECT_WINDOW=1), else headless; then text, a resize and a
// screenshot whose pixels show the text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "GfxTestSupport.h"
#include "platform/TemporaryFolder.h"
#include "platform/Window.h"
#include "render/DXC_Font.h"

namespace fs = std::filesystem;

TEST(WindowStartup, WindowOrHeadlessDrawsTextIntoTheScreenshot) {
    const char* expect = std::getenv("KZV_EXPECT_WINDOW");
    const bool windowRequired = expect && std::string(expect) == "1";
    GraphicsOptions options;
    options.width = 320;
    options.height = 240;
    WindowOptions windowOptions;
    windowOptions.width = options.width;
    windowOptions.height = options.height;

    std::unique_ptr<PlatformWindow> window;
    if (DisplayAvailable()) window = PlatformWindow::Create(windowOptions, nullptr);
    if (windowRequired) ASSERT_NE(window, nullptr) << "no window was made";
    if (window) {
        int w = 0, h = 0;
        window->GetClientSize(&w, &h);
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);
        window->ShowMessageBoxes();
    }
    ASSERT_EQ(GfxErrorOf([&] { InitGraphics(window ? window->Handle() : nullptr, options); }), "");
    const fs::path home = fs::current_path();
    const TemporaryFolder folder("kzv_window_startup_");
    const fs::path dir = folder.Path();
    fs::current_path(dir);

    auto frame = [] {
        g_Gfx->Clear(0xFF000000);
        g_Gfx->BeginScene();
        g_Gfx->Printf(8, 8, "HELLO");
        g_Gfx->EndScene();
        return g_Gfx->Present();
    };
    EXPECT_EQ(frame(), 1);
    if (window) {
        // A resized window skips one frame, resets the device and then draws over the new area.
        window->SetClientSize(400, 300);
        EXPECT_EQ(frame(), 0);
        EXPECT_EQ(g_Gfx->GetViewport().Width, 400u);
        EXPECT_EQ(g_Gfx->GetViewport().Height, 300u);
        EXPECT_EQ(frame(), 1);
    }
    g_Gfx->ScreenShot("ScreenShot", 0);
    BmpImage image;
    ASSERT_TRUE(ReadBmp("ScreenShot0.bmp", image));
    EXPECT_EQ(image.width, window ? 400 : 320);
    // 'H' at (8, 8) in blocks of 4: glyph pixel (0, 0) is the first font colour, (1, 0) empty.
    EXPECT_TRUE(ColourNear(image.At(10, 10), DXC_Font::BuiltInPixel('H' - 32, 0, 0xFF96DCFF, 0xFF006473)));
    EXPECT_EQ(image.At(14, 10), 0xFF000000u);
    // 'E' follows after an advance of 6 glyph pixels: its top row is full.
    EXPECT_TRUE(
        ColourNear(image.At(8 + 24 + 6, 10), DXC_Font::BuiltInPixel('E' - 32, 1, 0xFF96DCFF, 0xFF006473)));

    ShutdownGraphics();
    EXPECT_EQ(g_Gfx, nullptr);
    fs::current_path(home);
}
