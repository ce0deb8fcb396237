// Texture creation from image files on the recording device: sizes, mip chains, formats,
// colour key, filters, DDS levels, default-pool textures, D3DXFilterTexture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/d3d8/RecordingDevice.h"
#include "platform/d3dx/D3DXImageAccess.h"
#include "platform/d3dx/D3DXSurface.h"
#include "platform/d3dx/D3DXTexture.h"
#include "platform/d3dx/ImageCodecStb.h"
#include "platform/d3dx/ImageCodecWrite.h"
#include "platform/d3dx/ImageTestFiles.h"

using namespace imagetest;

namespace {

struct DeviceHolder {
    IDirect3DDevice8* device;
    explicit DeviceHolder(const RecordingConfig& config = DefaultRecordingConfig())
        : device(CreateRecordingDevice(640, 480, true, config)) {}
    ~DeviceHolder() { SafeRelease(device); }
};

struct TextureHolder {
    IDirect3DTexture8* texture = nullptr;
    ~TextureHolder() { SafeRelease(texture); }
};

HRESULT Load(IDirect3DDevice8* device, const Bytes& file, TextureHolder& out, UINT w = D3DX_DEFAULT,
             UINT h = D3DX_DEFAULT, UINT levels = D3DX_DEFAULT, D3DFORMAT format = D3DFMT_UNKNOWN,
             DWORD filter = D3DX_DEFAULT, D3DCOLOR key = 0, D3DPOOL pool = D3DPOOL_MANAGED,
             D3DXIMAGE_INFO* info = nullptr) {
    return D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), w, h,
                                               levels, 0, format, pool, filter, D3DX_DEFAULT, key, info,
                                               nullptr, &out.texture);
}

D3DSURFACE_DESC LevelDesc(IDirect3DTexture8* texture, UINT level) {
    D3DSURFACE_DESC desc{};
    EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
    return desc;
}

std::vector<uint32_t> Texels(IDirect3DTexture8* texture, UINT level) {
    PixelImage image;
    EXPECT_EQ(ReadTextureLevel(texture, level, image), D3D_OK);
    return image.pixels;
}

// Raw bytes of a level as the texture stores them.
Bytes RawLevel(IDirect3DTexture8* texture, UINT level, size_t rowBytes, UINT rows) {
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    Bytes out;
    for (UINT y = 0; y < rows; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        out.insert(out.end(), row, row + rowBytes);
    }
    texture->UnlockRect(level);
    return out;
}

Bytes Png(uint32_t w, uint32_t h, const std::vector<uint32_t>& pixels) {
    Bytes file;
    EXPECT_TRUE(StbEncodePng(MakeImage(w, h, pixels), true, file));
    return file;
}

RecordingConfig ConfigWith(DWORD textureCaps, bool dxt = true) {
    RecordingConfig config = DefaultRecordingConfig();
    config.adapter.caps.TextureCaps |= textureCaps;
    if (!dxt) {
        auto& f = config.adapter.textureFormats;
        f.erase(std::remove_if(f.begin(), f.end(),
                               [](D3DFORMAT x) { return x >= D3DFMT_DXT1 && x <= D3DFMT_DXT5; }),
                f.end());
    }
    return config;
}

} // namespace

TEST(TextureRequirements, DefaultsAndDeviceCorrections) {
    DeviceHolder d;
    ASSERT_NE(d.device, nullptr);
    UINT w = D3DX_DEFAULT, h = 0, levels = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    ASSERT_EQ(D3DXCheckTextureRequirements(d.device, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED), D3D_OK);
    EXPECT_EQ(w, 256u);
    EXPECT_EQ(h, 256u);
    EXPECT_EQ(levels, 9u);
    EXPECT_EQ(format, D3DFMT_A8R8G8B8);

    w = 16, h = 16, levels = 20, format = D3DFMT_R8G8B8;
    ASSERT_EQ(D3DXCheckTextureRequirements(d.device, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED), D3D_OK);
    EXPECT_EQ(levels, 5u);
    EXPECT_EQ(format, D3DFMT_X8R8G8B8); // no 24-bit textures on the device
    format = D3DFMT_P8;
    ASSERT_EQ(D3DXCheckTextureRequirements(d.device, nullptr, nullptr, nullptr, 0, &format, D3DPOOL_MANAGED),
              D3D_OK);
    EXPECT_EQ(format, D3DFMT_X8R8G8B8);

    // Sizes stay as asked on a device without the power-of-two rule.
    w = 100, h = 60, levels = 0;
    ASSERT_EQ(D3DXCheckTextureRequirements(d.device, &w, &h, &levels, 0, nullptr, D3DPOOL_MANAGED), D3D_OK);
    EXPECT_EQ(w, 100u);
    EXPECT_EQ(h, 60u);
    EXPECT_EQ(levels, 7u);
}

TEST(TextureRequirements, PowerOfTwoSquareAndMissingFormats) {
    DeviceHolder pow2(ConfigWith(D3DPTEXTURECAPS_POW2));
    UINT w = 100, h = 60, levels = 0;
    ASSERT_EQ(D3DXCheckTextureRequirements(pow2.device, &w, &h, &levels, 0, nullptr, D3DPOOL_MANAGED),
              D3D_OK);
    EXPECT_EQ(w, 128u);
    EXPECT_EQ(h, 64u);
    EXPECT_EQ(levels, 8u);

    DeviceHolder conditional(ConfigWith(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL));
    w = 100, h = 60, levels = 1;
    ASSERT_EQ(D3DXCheckTextureRequirements(conditional.device, &w, &h, &levels, 0, nullptr, D3DPOOL_MANAGED),
              D3D_OK);
    EXPECT_EQ(w, 100u);
    EXPECT_EQ(h, 60u);

    DeviceHolder square(ConfigWith(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY));
    w = 100, h = 20;
    ASSERT_EQ(D3DXCheckTextureRequirements(square.device, &w, &h, nullptr, 0, nullptr, D3DPOOL_MANAGED),
              D3D_OK);
    EXPECT_EQ(w, 128u);
    EXPECT_EQ(h, 128u);

    DeviceHolder noDxt(ConfigWith(0, false));
    D3DFORMAT format = D3DFMT_DXT1;
    ASSERT_EQ(
        D3DXCheckTextureRequirements(noDxt.device, nullptr, nullptr, nullptr, 0, &format, D3DPOOL_MANAGED),
        D3D_OK);
    EXPECT_EQ(format, D3DFMT_A8R8G8B8);

    TextureHolder t;
    ASSERT_EQ(D3DXCreateTexture(pow2.device, 100, 60, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t.texture),
              D3D_OK);
    EXPECT_EQ(LevelDesc(t.texture, 0).Width, 128u);
    EXPECT_EQ(LevelDesc(t.texture, 0).Format, D3DFMT_R5G6B5);
}

TEST(TextureFromFile, SizesFromTheFileAreRoundedUpWithAFullChain) {
    DeviceHolder d;
    Bytes bmp = MakeBmp(100, 60, 24, std::vector<uint32_t>(6000, 0x204060));
    TextureHolder t;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(Load(d.device, bmp, t, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_UNKNOWN, D3DX_DEFAULT,
                   0, D3DPOOL_MANAGED, &info),
              D3D_OK);
    EXPECT_EQ(t.texture->GetLevelCount(), 8u);
    D3DSURFACE_DESC top = LevelDesc(t.texture, 0);
    EXPECT_EQ(top.Width, 128u);
    EXPECT_EQ(top.Height, 64u);
    EXPECT_EQ(top.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(LevelDesc(t.texture, 7).Width, 1u);
    EXPECT_EQ(info.Width, 100u);
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
    // A uniform image stays uniform through scaling and every level.
    for (UINT level : {0u, 3u, 7u})
        for (uint32_t p : Texels(t.texture, level)) ASSERT_EQ(p, 0xFF204060u);

    // The file's size asked for explicitly stays as it is on this device.
    TextureHolder exact;
    ASSERT_EQ(Load(d.device, bmp, exact, 100, 60, 0), D3D_OK);
    EXPECT_EQ(LevelDesc(exact.texture, 0).Width, 100u);
    EXPECT_EQ(exact.texture->GetLevelCount(), 7u);
}

TEST(TextureFromFile, ColourKeyAndFormatConversion) {
    DeviceHolder d;
    Bytes bmp = MakeBmp(4, 1, 24, {0xFF00FF, 0xFF00FF, 0x00FF00, 0x808080});
    TextureHolder keyed;
    ASSERT_EQ(Load(d.device, bmp, keyed, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_A8R8G8B8, D3DX_FILTER_NONE,
                   0xFFFF00FF),
              D3D_OK);
    EXPECT_EQ(Texels(keyed.texture, 0), (std::vector<uint32_t>{0, 0, 0xFF00FF00, 0xFF808080}));

    // Keyed pixels in a one-bit-alpha format.
    TextureHolder a1;
    ASSERT_EQ(Load(d.device, bmp, a1, 4, 1, 1, D3DFMT_A1R5G5B5, D3DX_FILTER_NONE, 0xFFFF00FF), D3D_OK);
    EXPECT_EQ(LevelDesc(a1.texture, 0).Format, D3DFMT_A1R5G5B5);
    Bytes raw = RawLevel(a1.texture, 0, 8, 1);
    EXPECT_EQ(raw, (Bytes{0x00, 0x00, 0x00, 0x00, 0xE0, 0x83, 0x10, 0xC2}));

    TextureHolder r565;
    ASSERT_EQ(Load(d.device, bmp, r565, 4, 1, 1, D3DFMT_R5G6B5, D3DX_FILTER_NONE), D3D_OK);
    EXPECT_EQ(RawLevel(r565.texture, 0, 8, 1), (Bytes{0x1F, 0xF8, 0x1F, 0xF8, 0xE0, 0x07, 0x10, 0x84}));

    TextureHolder l8;
    ASSERT_EQ(Load(d.device, bmp, l8, 4, 1, 1, D3DFMT_L8, D3DX_FILTER_NONE), D3D_OK);
    EXPECT_EQ(RawLevel(l8.texture, 0, 4, 1), (Bytes{73, 73, 182, 128}));
}

TEST(TextureFromFile, MipLevelsAreBoxFiltered) {
    DeviceHolder d;
    // Blue values; level 1 averages each 2 x 2 quarter, level 2 averages level 1.
    std::vector<uint32_t> blue = {10, 20, 1, 2, 30, 40, 1, 2, 0, 0, 255, 255, 0, 255, 255, 255};
    std::vector<uint32_t> pixels;
    for (uint32_t b : blue) pixels.push_back(0xFF000000u | b);
    TextureHolder t;
    ASSERT_EQ(Load(d.device, Png(4, 4, pixels), t, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_A8R8G8B8),
              D3D_OK);
    ASSERT_EQ(t.texture->GetLevelCount(), 3u);
    EXPECT_EQ(Texels(t.texture, 0), pixels);
    EXPECT_EQ(Texels(t.texture, 1), (std::vector<uint32_t>{0xFF000019, 0xFF000002, 0xFF000040, 0xFF0000FF}));
    EXPECT_EQ(Texels(t.texture, 2), (std::vector<uint32_t>{0xFF000057})); // (25 + 2 + 64 + 255) / 4 = 86.5
}

TEST(TextureFromFile, UnscaledCopyLeavesTheRestTransparent) {
    DeviceHolder d;
    Bytes bmp = MakeBmp(3, 3, 24, std::vector<uint32_t>(9, 0x112233));
    TextureHolder t;
    ASSERT_EQ(Load(d.device, bmp, t, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_A8R8G8B8, D3DX_FILTER_NONE),
              D3D_OK);
    std::vector<uint32_t> texels = Texels(t.texture, 0);
    ASSERT_EQ(texels.size(), 16u);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(texels[y * 4 + x], x < 3 && y < 3 ? 0xFF112233u : 0u);
}

TEST(TextureFromFile, DdsLevelsAreTakenFromTheFile) {
    // 8 x 8 DXT1 with four levels of different solid colours: red, green, blue, white.
    const uint16_t colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    const int blocks[4] = {4, 1, 1, 1};
    Bytes data;
    for (int level = 0; level < 4; ++level)
        for (int i = 0; i < blocks[level]; ++i) {
            Bytes b = Dxt1Block(colours[level], 0, 0);
            data.insert(data.end(), b.begin(), b.end());
        }
    DdsSpec spec;
    spec.pfFlags = 0x4;
    spec.fourCC = FourCC('D', 'X', 'T', '1');
    spec.width = spec.height = 8;
    spec.mipCount = 4;
    Bytes file = MakeDds(spec, data);

    DeviceHolder d;
    TextureHolder t;
    ASSERT_EQ(Load(d.device, file, t), D3D_OK);
    EXPECT_EQ(LevelDesc(t.texture, 0).Format, D3DFMT_DXT1);
    ASSERT_EQ(t.texture->GetLevelCount(), 4u);
    EXPECT_EQ(RawLevel(t.texture, 0, 16, 2), Bytes(data.begin(), data.begin() + 32));
    EXPECT_EQ(RawLevel(t.texture, 3, 8, 1), Bytes(data.end() - 8, data.end()));

    // Without DXT on the device the levels are decoded, still taken from the file.
    DeviceHolder noDxt(ConfigWith(0, false));
    TextureHolder decoded;
    ASSERT_EQ(Load(noDxt.device, file, decoded), D3D_OK);
    EXPECT_EQ(LevelDesc(decoded.texture, 0).Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(Texels(decoded.texture, 0)[0], 0xFFFF0000u);
    EXPECT_EQ(Texels(decoded.texture, 1)[0], 0xFF00FF00u);
    EXPECT_EQ(Texels(decoded.texture, 3)[0], 0xFFFFFFFFu);

    // An uncompressed image asked for in DXT5 is compressed on the way in.
    TextureHolder compressed;
    Bytes png = Png(4, 4, std::vector<uint32_t>(16, 0x80FF0000));
    ASSERT_EQ(Load(d.device, png, compressed, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_DXT5), D3D_OK);
    EXPECT_EQ(LevelDesc(compressed.texture, 0).Format, D3DFMT_DXT5);
    EXPECT_EQ(Texels(compressed.texture, 0)[5], 0x80FF0000u);
}

TEST(TextureFromFile, DefaultPoolTexturesAreFilledThroughSystemMemory) {
    DeviceHolder d;
    TextureHolder t;
    Bytes png = Png(2, 2, {0xFF010203, 0xFF040506, 0x80070809, 0x000A0B0C});
    ASSERT_EQ(Load(d.device, png, t, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_A8R8G8B8, D3DX_DEFAULT, 0,
                   D3DPOOL_DEFAULT),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_NE(t.texture->LockRect(0, &locked, nullptr, 0), D3D_OK); // not lockable, as in Direct3D 8
    IDirect3DSurface8* level = nullptr;
    ASSERT_EQ(t.texture->GetSurfaceLevel(0, &level), D3D_OK);
    PixelImage back;
    EXPECT_EQ(ReadSurfacePixels(level, RECT{0, 0, 2, 2}, back), D3D_OK);
    level->Release();
    EXPECT_EQ(back.pixels, (std::vector<uint32_t>{0xFF010203, 0xFF040506, 0x80070809, 0x000A0B0C}));
}

TEST(TextureFromFile, BadFilesAndArgumentsCreateNothing) {
    DeviceHolder d;
    Bytes bmp = MakeBmp(4, 4, 24, std::vector<uint32_t>(16, 0));
    Bytes cut(bmp.begin(), bmp.end() - 1);
    TextureHolder t;
    EXPECT_EQ(Load(d.device, cut, t), D3DXERR_INVALIDDATA);
    EXPECT_EQ(t.texture, nullptr);
    EXPECT_EQ(Load(d.device, bmp, t, D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_UNKNOWN, 7), D3DERR_INVALIDCALL);
    EXPECT_EQ(t.texture, nullptr);
    EXPECT_EQ(
        D3DXCreateTextureFromFileInMemory(nullptr, bmp.data(), static_cast<UINT>(bmp.size()), &t.texture),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFile(d.device, "/nonexistent/dir/texture.bmp", &t.texture),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(t.texture, nullptr);
}

TEST(FilterTexture, RebuildsLowerLevelsFromTheTop) {
    DeviceHolder d;
    TextureHolder t;
    ASSERT_EQ(D3DXCreateTexture(d.device, 4, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t.texture), D3D_OK);
    ASSERT_EQ(t.texture->GetLevelCount(), 3u);
    const uint32_t top[8] = {0xFF000000, 0xFF000002, 0xFF0000FF, 0xFF0000FF,
                             0xFF000004, 0xFF000006, 0xFF000001, 0xFF000000};
    IDirect3DSurface8* level0 = nullptr;
    ASSERT_EQ(t.texture->GetSurfaceLevel(0, &level0), D3D_OK);
    RECT all{0, 0, 4, 2};
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(level0, nullptr, nullptr, top, D3DFMT_A8R8G8B8, 16, nullptr, &all,
                                        D3DX_FILTER_NONE, 0),
              D3D_OK);
    level0->Release();
    ASSERT_EQ(D3DXFilterTexture(t.texture, nullptr, 0, D3DX_DEFAULT), D3D_OK);
    EXPECT_EQ(Texels(t.texture, 1), (std::vector<uint32_t>{0xFF000003, 0xFF000080})); // 3, 127.75
    EXPECT_EQ(Texels(t.texture, 2), (std::vector<uint32_t>{0xFF000042}));             // 65.5 rounds up

    ASSERT_EQ(D3DXFilterTexture(t.texture, nullptr, 0, D3DX_FILTER_POINT), D3D_OK);
    EXPECT_EQ(Texels(t.texture, 1), (std::vector<uint32_t>{0xFF000006, 0xFF000000}));
    EXPECT_EQ(D3DXFilterTexture(t.texture, nullptr, 3, D3DX_DEFAULT), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFilterTexture(nullptr, nullptr, 0, D3DX_DEFAULT), D3DERR_INVALIDCALL);
}
