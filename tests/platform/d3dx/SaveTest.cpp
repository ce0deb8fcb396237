// Saving surfaces to image files and loading surfaces from memory, surfaces and files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/FileSystem.h"
#include "platform/d3d8/RecordingDevice.h"
#include "platform/d3dx/D3DXImageAccess.h"
#include "platform/d3dx/D3DXSurface.h"
#include "platform/d3dx/ImageTestFiles.h"

using namespace imagetest;

namespace {

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = CreateRecordingDevice();
        ASSERT_NE(device_, nullptr);
        dir_ = std::string(KZV_BINARY_DIR) + "/test-output/d3dx-save";
        ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "'").c_str()), 0);
    }
    void TearDown() override { SafeRelease(device_); }

    // An image surface filled with `pixels` (A8R8G8B8 words) through D3DXLoadSurfaceFromMemory.
    IDirect3DSurface8* Surface(UINT w, UINT h, D3DFORMAT format, const std::vector<uint32_t>& pixels) {
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(device_->CreateImageSurface(w, h, format, &surface), D3D_OK);
        RECT all{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
        EXPECT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8, w * 4,
                                            nullptr, &all, D3DX_FILTER_NONE, 0),
                  D3D_OK);
        return surface;
    }

    std::vector<uint32_t> Pixels(IDirect3DSurface8* surface) {
        D3DSURFACE_DESC desc{};
        surface->GetDesc(&desc);
        PixelImage image;
        EXPECT_EQ(ReadSurfacePixels(surface,
                                    RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)},
                                    image),
                  D3D_OK);
        return image.pixels;
    }

    DecodedImage ReadBack(const std::string& path) {
        Bytes bytes;
        EXPECT_TRUE(ReadWholeFile(path.c_str(), bytes));
        DecodedImage image;
        EXPECT_EQ(DecodeImage(bytes.data(), bytes.size(), image), ImageStatus::Ok);
        return image;
    }

    IDirect3DDevice8* device_ = nullptr;
    std::string dir_;
};

const std::vector<uint32_t> kSix = {0xFF102030, 0x80405060, 0x00708090, 0xFFFFFFFF, 0xFF000000, 0x7FA0B0C0};

} // namespace

TEST_F(SaveTest, BmpIsTwentyFourBitBottomUpWithoutAlpha) {
    IDirect3DSurface8* surface = Surface(3, 2, D3DFMT_A8R8G8B8, kSix);
    std::string path = dir_ + "/shot.bmp";
    ASSERT_EQ(D3DXSaveSurfaceToFile(path.c_str(), D3DXIFF_BMP, surface, nullptr, nullptr), D3D_OK);
    surface->Release();

    Bytes bytes;
    ASSERT_TRUE(ReadWholeFile(path.c_str(), bytes));
    ASSERT_EQ(bytes.size(), 54u + 2 * 12); // rows of 9 bytes padded to 12
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[28], 24);
    // First stored row is the bottom one; pixels are blue, green, red.
    EXPECT_EQ((Bytes{bytes[54], bytes[55], bytes[56]}), (Bytes{0xFF, 0xFF, 0xFF}));
    DecodedImage image = ReadBack(path);
    std::vector<uint32_t> opaque;
    for (uint32_t p : kSix) opaque.push_back(p | 0xFF000000u);
    EXPECT_EQ(image.levels[0].pixels, opaque);
}

TEST_F(SaveTest, PngKeepsAlphaWhenTheFormatHasIt) {
    IDirect3DSurface8* withAlpha = Surface(3, 2, D3DFMT_A8R8G8B8, kSix);
    IDirect3DSurface8* opaque = Surface(3, 2, D3DFMT_X8R8G8B8, kSix);
    std::string a = dir_ + "/alpha.png", x = dir_ + "/opaque.png";
    ASSERT_EQ(D3DXSaveSurfaceToFile(a.c_str(), D3DXIFF_PNG, withAlpha, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(D3DXSaveSurfaceToFile(x.c_str(), D3DXIFF_PNG, opaque, nullptr, nullptr), D3D_OK);
    withAlpha->Release();
    opaque->Release();
    EXPECT_EQ(ReadBack(a).levels[0].pixels, kSix);
    DecodedImage image = ReadBack(x);
    EXPECT_EQ(image.description.format, D3DFMT_R8G8B8);
    EXPECT_EQ(image.levels[0].pixels[1], 0xFF405060u);
}

TEST_F(SaveTest, RectanglesFormatsAndRoundTripThroughFiles) {
    IDirect3DSurface8* r565 = Surface(3, 2, D3DFMT_R5G6B5, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0, 0, 0});
    std::string part = dir_ + "/part.tga";
    RECT right{1, 0, 3, 1};
    ASSERT_EQ(D3DXSaveSurfaceToFile(part.c_str(), D3DXIFF_TGA, r565, nullptr, &right), D3D_OK);
    r565->Release();
    DecodedImage image = ReadBack(part);
    EXPECT_EQ(image.levels[0].pixels, (std::vector<uint32_t>{0xFF00FF00, 0xFF0000FF}));

    // Saved and loaded again into a surface twice the size with point filtering.
    IDirect3DSurface8* source = Surface(2, 1, D3DFMT_A8R8G8B8, {0xFF112233, 0xFF445566});
    std::string path = dir_ + "/pair.dds";
    ASSERT_EQ(D3DXSaveSurfaceToFile(path.c_str(), D3DXIFF_DDS, source, nullptr, nullptr), D3D_OK);
    IDirect3DSurface8* dest = nullptr;
    ASSERT_EQ(device_->CreateImageSurface(4, 1, D3DFMT_A8R8G8B8, &dest), D3D_OK);
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(
        D3DXLoadSurfaceFromFile(dest, nullptr, nullptr, path.c_str(), nullptr, D3DX_FILTER_POINT, 0, &info),
        D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    EXPECT_EQ(Pixels(dest), (std::vector<uint32_t>{0xFF112233, 0xFF112233, 0xFF445566, 0xFF445566}));

    // From surface to surface, into a sub-rectangle with a colour key.
    RECT left{0, 0, 2, 1};
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(dest, nullptr, &left, source, nullptr, nullptr, D3DX_FILTER_NONE,
                                         0xFF445566),
              D3D_OK);
    EXPECT_EQ(Pixels(dest), (std::vector<uint32_t>{0xFF112233, 0, 0xFF445566, 0xFF445566}));
    source->Release();
    dest->Release();
}

TEST_F(SaveTest, ScreenshotOfTheFrontBuffer) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(device_->GetDisplayMode(&mode), D3D_OK);
    IDirect3DSurface8* shot = nullptr;
    ASSERT_EQ(device_->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &shot), D3D_OK);
    ASSERT_EQ(device_->GetFrontBuffer(shot), D3D_OK);
    std::string path = dir_ + "/ScreenShot0.bmp";
    ASSERT_EQ(D3DXSaveSurfaceToFile(path.c_str(), D3DXIFF_BMP, shot, nullptr, nullptr), D3D_OK);
    shot->Release();
    DecodedImage image = ReadBack(path);
    EXPECT_EQ(image.levels[0].width, mode.Width);
    EXPECT_EQ(image.levels[0].height, mode.Height);
    // The cleared window area sits at the top left of the screen image.
    EXPECT_EQ(image.levels[0].At(0, 0), 0xFF336699u);
}

TEST_F(SaveTest, BackBufferIsWrittenAndReadThroughSystemMemory) {
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    const uint32_t block[4] = {0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C};
    RECT src{0, 0, 2, 2}, dst{10, 20, 12, 22};
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(back, nullptr, &dst, block, D3DFMT_A8R8G8B8, 8, nullptr, &src,
                                        D3DX_FILTER_NONE, 0),
              D3D_OK);
    PixelImage image;
    ASSERT_EQ(ReadSurfacePixels(back, dst, image), D3D_OK);
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C}));
    back->Release();
}

TEST_F(SaveTest, FailuresAreReported) {
    IDirect3DSurface8* surface = Surface(3, 2, D3DFMT_A8R8G8B8, kSix);
    std::string ok = dir_ + "/x.bmp";
    EXPECT_EQ(D3DXSaveSurfaceToFile(ok.c_str(), D3DXIFF_DIB, surface, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFile((dir_ + "/no/such/folder/x.bmp").c_str(), D3DXIFF_BMP, surface, nullptr,
                                    nullptr),
              E_FAIL);
    RECT outside{2, 0, 4, 1};
    EXPECT_EQ(D3DXSaveSurfaceToFile(ok.c_str(), D3DXIFF_BMP, surface, nullptr, &outside), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFile(ok.c_str(), D3DXIFF_BMP, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFile("", D3DXIFF_BMP, surface, nullptr, nullptr), D3DERR_INVALIDCALL);

    // A cut file loads nothing and leaves the surface as it was.
    Bytes bmp = MakeBmp(3, 2, 24, std::vector<uint32_t>(6, 0));
    bmp.pop_back();
    EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(surface, nullptr, nullptr, bmp.data(),
                                              static_cast<UINT>(bmp.size()), nullptr, D3DX_DEFAULT, 0,
                                              nullptr),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(Pixels(surface), kSix);
    // Source rectangles must lie inside the source, and memory rows must hold them.
    RECT wide{0, 0, 4, 1};
    EXPECT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, kSix.data(), D3DFMT_A8R8G8B8, 12, nullptr,
                                        &wide, D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, kSix.data(), D3DFMT_A8R8G8B8, 12, nullptr,
                                        nullptr, D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
    surface->Release();
}
