// Pixel access of surfaces and textures: readers and writers per format, the locked
// rectangle, the partial-alpha test and brightness.
#include "tests/render/TextureTestSupport.h"

#include <cstring>
#include <memory>
#include <ostream>

#include "render/DXC_Surface.h"
#include "render/DXC_Texture.h"

namespace {

// An image in plain memory, locked by pointing the pixel access at its buffer.
class MemoryImage : public DXC_SurfaceBase {
public:
    MemoryImage(D3DFORMAT format, int32_t w, int32_t h, int32_t bytes)
        : format(format), buffer(w * h * bytes + 16) {
        SetObjectName("MemoryImage");
        width = w;
        height = h;
        rowPitch = w * bytes;
    }
    int32_t Lock(const RECT* rect, DWORD) override {
        SetPixelFormat(format);
        const RECT r = rect ? *rect : RECT{0, 0, width, height};
        SetLocked(buffer.data() + r.top * rowPitch + r.left * bytesPerPixel, rowPitch, r);
        return 1;
    }
    int32_t Unlock() override {
        ClearLocked();
        return 1;
    }
    RECT GetScreenRect() override { return RECT{0, 0, width, height}; }
    void GetSize(int32_t& w, int32_t& h) override { w = width, h = height; }
    int32_t GetSizeResult(int32_t& w, int32_t& h) override {
        GetSize(w, h);
        return 1;
    }
    D3DFORMAT format;
    std::vector<uint8_t> buffer;
    int32_t rowPitch;
};

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const DXC_Error& e) {
        return e.message;
    }
    return "<no error>";
}

struct FormatCase {
    D3DFORMAT format;
    int32_t bytes;
    uint32_t written;           // ARGB handed to the writer
    std::vector<uint8_t> store; // bytes it must store
    uint32_t read;              // ARGB the reader gives back
};

// Short and stable in test names.
void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << "format " << static_cast<int>(c.format);
}

class PixelFormatTest : public ::testing::TestWithParam<FormatCase> {
protected:
    void SetUp() override {
        ResetLogState();
        ResetReportState();
        SetLogObserver([](const char*) {});
    }
    void TearDown() override {
        SetLogObserver(nullptr);
        ResetLogState();
        ResetReportState();
    }
};

TEST_P(PixelFormatTest, WriterStoresAndReaderExpands) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(DXC_SurfaceBase::BytesPerPixelOf(c.format), c.bytes);
    MemoryImage image(c.format, 3, 2, c.bytes);
    image.Lock(nullptr, 0);
    EXPECT_EQ(image.GetBytesPerPixel(), c.bytes);
    image.SetPixel(2, 1, c.written);
    const uint8_t* p = image.buffer.data() + 1 * image.rowPitch + 2 * c.bytes;
    EXPECT_EQ(std::vector<uint8_t>(p, p + c.bytes), c.store);
    EXPECT_EQ(image.GetPixel(2, 1), c.read);
    // Writing back what was read keeps the stored value (the read widening is exact).
    image.SetPixel(0, 0, image.GetPixel(2, 1));
    EXPECT_EQ(std::vector<uint8_t>(image.buffer.data(), image.buffer.data() + c.bytes), c.store);
    image.Unlock();
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, PixelFormatTest,
    ::testing::Values(FormatCase{D3DFMT_R8G8B8, 3, 0x80112233, {0x33, 0x22, 0x11}, 0xFF112233},
                      FormatCase{D3DFMT_A8R8G8B8, 4, 0x80112233, {0x33, 0x22, 0x11, 0x80}, 0x80112233},
                      FormatCase{D3DFMT_X8R8G8B8, 4, 0x00112233, {0x33, 0x22, 0x11, 0xFF}, 0xFF112233},
                      FormatCase{D3DFMT_R5G6B5, 2, 0x00FF8008, {0x01, 0xFC}, 0xFFFF8208},
                      FormatCase{D3DFMT_A1R5G5B5, 2, 0x80FF0000, {0x00, 0xFC}, 0xFFFF0000},
                      FormatCase{D3DFMT_A1R5G5B5, 2, 0x7F00FF00, {0xE0, 0x03}, 0x0000FF00},
                      FormatCase{D3DFMT_A4R4G4B4, 2, 0x8F4A2B1C, {0x21, 0x84}, 0x88442211},
                      FormatCase{D3DFMT_D16, 2, 0x0001ABCD, {0xCD, 0xAB}, 0x0000ABCD}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
        return "Format" + std::to_string(static_cast<int>(info.param.format)) + "_" +
               std::to_string(info.index);
    });

TEST_F(PixelFormatTest, OtherFormatsAreRefusedAndBlockFormatsHaveNoPixels) {
    MemoryImage l8(D3DFMT_L8, 2, 2, 1);
    EXPECT_EQ(ErrorOf([&] { l8.Lock(nullptr, 0); }), "Unsupported pixel format! (50)");
    EXPECT_EQ(l8.IsLocked(), 0);
    EXPECT_EQ(DXC_SurfaceBase::BytesPerPixelOf(D3DFMT_X1R5G5B5), -1);
    for (D3DFORMAT dxt : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
        MemoryImage block(dxt, 4, 4, 1);
        block.Lock(nullptr, 0);
        EXPECT_EQ(block.GetBytesPerPixel(), 0);
        EXPECT_EQ(block.HasPartialAlpha(), 0);
        EXPECT_NE(ErrorOf([&] { block.GetPixel(0, 0); }).find("No pixel access for pixel format"),
                  std::string::npos);
        block.Unlock();
    }
}

TEST_F(PixelFormatTest, AccessOutsideTheLockedAreaOrWithoutLockIsRefused) {
    MemoryImage image(D3DFMT_A8R8G8B8, 4, 4, 4);
    EXPECT_EQ(ErrorOf([&] { image.GetPixel(0, 0); }), "Pixel access on an image that is not locked");
    const RECT part{1, 1, 3, 4};
    image.Lock(&part, 0);
    image.SetPixel(0, 0, 0xFFABCDEF); // (1, 1) of the image
    EXPECT_EQ(image.GetPixel(0, 0), 0xFFABCDEF);
    EXPECT_EQ(image.buffer[(1 * 4 + 1) * 4], 0xEF);
    EXPECT_EQ(ErrorOf([&] { image.GetPixel(2, 0); }), "Pixel (2, 0) outside the locked area of 2 x 3");
    EXPECT_EQ(ErrorOf([&] { image.SetPixel(0, -1, 0); }), "Pixel (0, -1) outside the locked area of 2 x 3");
    image.Fill(0xFF000001);
    image.Unlock();
    image.Lock(nullptr, 0);
    EXPECT_EQ(image.GetPixel(0, 0), 0u);          // outside the filled part
    EXPECT_EQ(image.GetPixel(2, 3), 0xFF000001u); // inside
    image.Unlock();
}

TEST_F(PixelFormatTest, PartialAlphaOnlyForFourBytePixels) {
    MemoryImage image(D3DFMT_A8R8G8B8, 4, 4, 4);
    image.Lock(nullptr, 0);
    image.Fill(0xFF808080);
    image.SetPixel(1, 1, 0x00000000);
    EXPECT_EQ(image.HasPartialAlpha(), 0);
    image.SetPixel(3, 3, 0xFE808080);
    EXPECT_EQ(image.HasPartialAlpha(), 1);
    image.Unlock();

    MemoryImage x8(D3DFMT_X8R8G8B8, 2, 2, 4); // the unused byte holds anything
    std::memset(x8.buffer.data(), 0x40, x8.buffer.size());
    x8.Lock(nullptr, 0);
    EXPECT_EQ(x8.HasPartialAlpha(), 0);
    x8.Unlock();

    MemoryImage a4(D3DFMT_A4R4G4B4, 2, 2, 2);
    a4.Lock(nullptr, 0);
    a4.Fill(0x80FFFFFF);
    EXPECT_EQ(a4.HasPartialAlpha(), 0);
    a4.Unlock();
}

TEST_F(PixelFormatTest, ScaledColoursAreCutToWholeNumbersAndHeldAt255) {
    MemoryImage image(D3DFMT_A8R8G8B8, 2, 1, 4);
    image.Lock(nullptr, 0);
    image.SetPixel(0, 0, 0x80816402);
    image.SetPixel(1, 0, 0xFF90FF10);
    image.ScaleColours(0.5f);
    EXPECT_EQ(image.GetPixel(0, 0), 0x80403201u);
    image.ScaleColours(4.0f);
    EXPECT_EQ(image.GetPixel(0, 0), 0x80FFC804u);
    EXPECT_EQ(image.GetPixel(1, 0), 0xFFFFFF20u); // 0x48 x 4 would wrap to 0x20 without the hold
    image.Unlock();
}

// ---- on the device --------------------------------------------------------------------------

class DevicePixelTest : public RecordingGfxTest {};

TEST_F(DevicePixelTest, SurfaceLocksItsRectangleAndReportsLockFailures) {
    IDirect3DSurface8* raw = nullptr;
    ASSERT_EQ(gfx->GetDevice()->CreateImageSurface(8, 4, D3DFMT_R5G6B5, &raw), D3D_OK);
    DXC_Surface surface(gfx);
    surface.Attach(raw);
    int32_t w = 0, h = 0;
    EXPECT_EQ(surface.GetSizeResult(w, h), 1);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(surface.GetScreenRect().right, 8);
    const RECT part{4, 2, 8, 4};
    surface.Lock(&part, 0);
    surface.Fill(0xFFFF0000);
    EXPECT_EQ(ErrorOf([&] { surface.Lock(nullptr, 0); }), "LockRect failed: D3DERR_INVALIDCALL");
    surface.Unlock();
    EXPECT_EQ(ErrorOf([&] { surface.Unlock(); }), "UnlockRect failed: D3DERR_INVALIDCALL");
    surface.Lock(nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(surface.GetPixel(3, 1), 0xFF000000u);
    EXPECT_EQ(surface.GetPixel(4, 2), 0xFFFF0000u);
    EXPECT_EQ(surface.GetPixel(7, 3), 0xFFFF0000u);
    surface.Unlock();
}

TEST_F(DevicePixelTest, TextureBrightnessAndPartialAlpha) {
    DXC_Texture texture(gfx);
    EXPECT_EQ(ErrorOf([&] { texture.Lock(nullptr, 0); }), "LockRect failed: D3DERR_INVALIDCALL");
    EXPECT_EQ(texture.TestPartialAlpha(), 0);
    gfx->CreateTexture(&texture, 4, 4, 4, D3DFMT_A8R8G8B8, 1);
    texture.Lock(nullptr, 0);
    texture.Fill(0xFF804020);
    texture.Unlock();
    EXPECT_EQ(texture.TestPartialAlpha(), 0);
    texture.Brightness(1.0f); // nothing to do
    texture.Brightness(1.5f);
    EXPECT_EQ(texture.GetBrightness(), 1.5f);
    texture.Lock(nullptr, 0);
    EXPECT_EQ(texture.GetPixel(2, 2), 0xFFC06030u);
    texture.SetPixel(0, 0, 0x7F000000);
    texture.Unlock();
    EXPECT_EQ(texture.TestPartialAlpha(), 1);
    EXPECT_EQ(texture.IsLocked(), 0);
}

TEST_F(DevicePixelTest, TextureScreenRectangleFollowsThePlacementEdges) {
    DXC_Texture texture(gfx);
    DXC_Texture::Placement p;
    p.x = 10.0f;
    p.y = 20.0f;
    p.edge1x = 3.0f;
    p.edge1y = 4.0f; // length 5
    p.edge2x = -6.0f;
    p.edge2y = 8.0f; // length 10
    texture.SetPlacement(p);
    const RECT r = texture.GetScreenRect();
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 15);
    EXPECT_EQ(r.bottom, 30);
    // The quad holds the placement as a strip: (left, bottom), (left, top), (right, bottom), (right, top).
    texture.EnsureQuad();
    BYTE* data = nullptr;
    ASSERT_EQ(texture.GetQuad()->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    const DXC_TLVertex* v = reinterpret_cast<const DXC_TLVertex*>(data);
    EXPECT_FLOAT_EQ(v[0].x, 4.0f);
    EXPECT_FLOAT_EQ(v[0].y, 28.0f);
    EXPECT_FLOAT_EQ(v[1].x, 10.0f);
    EXPECT_FLOAT_EQ(v[3].x, 13.0f);
    EXPECT_FLOAT_EQ(v[3].y, 24.0f);
    EXPECT_FLOAT_EQ(v[2].u, 1.0f);
    EXPECT_FLOAT_EQ(v[2].v, 1.0f);
    texture.GetQuad()->Unlock();
}

} // namespace
