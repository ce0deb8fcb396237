// Decoding of image files into A8R8G8B8 pixels, the reported file formats, and the refusal of
// cut, inconsistent and oversized files.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/d3dx/D3DXImage.h"
#include "platform/d3dx/ImageCodec.h"
#include "platform/d3dx/ImageCodecStb.h"
#include "platform/d3dx/ImageCodecWrite.h"
#include "platform/d3dx/ImageTestFiles.h"

using namespace imagetest;

namespace {

DecodedImage MustDecode(const Bytes& file) {
    DecodedImage image;
    EXPECT_EQ(DecodeImage(file.data(), file.size(), image), ImageStatus::Ok);
    return image;
}

D3DXIMAGE_INFO Info(const Bytes& file) {
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info), D3D_OK);
    return info;
}

void ExpectNear(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int a = static_cast<int>((actual >> shift) & 255), e = static_cast<int>((expected >> shift) & 255);
        EXPECT_LE(std::abs(a - e), tolerance) << std::hex << actual << " vs " << expected;
    }
}

} // namespace

TEST(ImageDecode, BmpOfEveryDepthWithReportedFormat) {
    Bytes bmp24 = MakeBmp(3, 2, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080});
    DecodedImage image = MustDecode(bmp24);
    EXPECT_EQ(image.levels[0].pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF,
                                                             0xFF000000, 0xFF808080}));
    D3DXIMAGE_INFO info = Info(bmp24);
    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 2u);
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.MipLevels, 1u);
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);

    Bytes bmp16 = MakeBmp(2, 1, 16, {0x7C00, 0x001F});
    EXPECT_EQ(MustDecode(bmp16).levels[0].pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF}));
    EXPECT_EQ(Info(bmp16).Format, D3DFMT_X1R5G5B5);

    Bytes bmp32 = MakeBmp(1, 1, 32, {0x00123456});
    EXPECT_EQ(MustDecode(bmp32).levels[0].pixels[0], 0xFF123456u);
    EXPECT_EQ(Info(bmp32).Format, D3DFMT_X8R8G8B8);
}

TEST(ImageDecode, TgaRowsComeTopFirstAndAlphaIsKept) {
    Bytes tga24 = MakeTga(2, 2, 2, 24, {0x112233, 0x445566, 0x778899, 0xAABBCC});
    EXPECT_EQ(MustDecode(tga24).levels[0].pixels,
              (std::vector<uint32_t>{0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC}));
    D3DXIMAGE_INFO info = Info(tga24);
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);

    Bytes tga32 = MakeTga(1, 1, 2, 32, {0x80102030});
    EXPECT_EQ(MustDecode(tga32).levels[0].pixels[0], 0x80102030u);
    EXPECT_EQ(Info(tga32).Format, D3DFMT_A8R8G8B8);

    Bytes grey = MakeTga(1, 1, 3, 8, {0x40});
    EXPECT_EQ(MustDecode(grey).levels[0].pixels[0], 0xFF404040u);
    EXPECT_EQ(Info(grey).Format, D3DFMT_L8);
}

TEST(ImageDecode, PpmAndPgm) {
    Bytes ppm = MakePnm(true, 2, 1, {255, 0, 0, 0, 0, 255});
    EXPECT_EQ(MustDecode(ppm).levels[0].pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF}));
    EXPECT_EQ(Info(ppm).Format, D3DFMT_R8G8B8);
    EXPECT_EQ(Info(ppm).ImageFileFormat, D3DXIFF_PPM);

    Bytes pgm = MakePnm(false, 1, 1, {0x40});
    EXPECT_EQ(MustDecode(pgm).levels[0].pixels[0], 0xFF404040u);
    EXPECT_EQ(Info(pgm).Format, D3DFMT_L8);
}

TEST(ImageDecode, PngWithAndWithoutAlpha) {
    PixelImage source = MakeImage(2, 2, {0x80FF0000, 0x0000FF00, 0xFF0000FF, 0x40FFFFFF});
    Bytes rgba, rgb;
    ASSERT_TRUE(StbEncodePng(source, true, rgba));
    ASSERT_TRUE(StbEncodePng(source, false, rgb));
    EXPECT_EQ(MustDecode(rgba).levels[0].pixels, source.pixels);
    EXPECT_EQ(Info(rgba).Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(Info(rgba).ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(MustDecode(rgb).levels[0].pixels,
              (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
    EXPECT_EQ(Info(rgb).Format, D3DFMT_R8G8B8);
}

TEST(ImageDecode, JpgKeepsColourWithinCompressionError) {
    PixelImage source;
    ASSERT_TRUE(MakePixelImage(source, 16, 16, 0xFF3366CC));
    Bytes jpg;
    ASSERT_TRUE(StbEncodeJpg(source, 95, jpg));
    DecodedImage image = MustDecode(jpg);
    ASSERT_EQ(image.levels[0].width, 16u);
    for (uint32_t p : image.levels[0].pixels) ExpectNear(p, 0xFF3366CC, 6);
    EXPECT_EQ(Info(jpg).Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(Info(jpg).ImageFileFormat, D3DXIFF_JPG);
}

// Every file cut short at any length is refused, by the probe and by the decoder.
TEST(ImageHostile, EveryTruncationIsRefused) {
    PixelImage source = MakeImage(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 0xFF00FF00});
    Bytes png, jpg;
    ASSERT_TRUE(StbEncodePng(source, true, png));
    ASSERT_TRUE(StbEncodeJpg(source, 90, jpg));
    DdsSpec dxt;
    dxt.pfFlags = 0x4;
    dxt.fourCC = FourCC('D', 'X', 'T', '1');
    dxt.width = dxt.height = 8;
    dxt.mipCount = 4;
    const std::vector<std::pair<const char*, Bytes>> files = {
        {"bmp", EncodeBmp(source)},
        {"tga", MakeTga(3, 3, 2, 32, source.pixels)},
        {"ppm", MakePnm(true, 3, 3, std::vector<uint8_t>(27, 7))},
        {"png", png},
        {"jpg", jpg},
        {"dds", MakeDds(dxt, Bytes(4 * 8 + 8 + 8 + 8, 0x55))},
    };
    for (const auto& [name, file] : files) {
        SCOPED_TRACE(name);
        DecodedImage whole;
        ASSERT_EQ(DecodeImage(file.data(), file.size(), whole), ImageStatus::Ok);
        for (size_t length = 0; length < file.size(); ++length) {
            DecodedImage image;
            ASSERT_NE(DecodeImage(file.data(), length, image), ImageStatus::Ok) << "length " << length;
            D3DXIMAGE_INFO info{};
            HRESULT hr = D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(length), &info);
            ASSERT_TRUE(hr == D3DXERR_INVALIDDATA || (length == 0 && hr == D3DERR_INVALIDCALL))
                << "length " << length;
        }
    }
}

TEST(ImageHostile, OversizedAndMeaninglessFilesAreRefused) {
    // Headers alone announcing huge images: refused before any pixel memory is taken.
    Bytes hugeBmp = MakeBmp(1, 1, 24, {0});
    SetU32(hugeBmp, 18, 16000);
    SetU32(hugeBmp, 22, 16000);
    Bytes wideBmp = MakeBmp(1, 1, 24, {0});
    SetU32(wideBmp, 18, 20000);
    Bytes wideTga = MakeTga(1, 1, 2, 24, {0});
    wideTga[12] = 0xFF;
    wideTga[13] = 0xFF;
    Bytes text = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    // 16-bit PGM samples: found by the fuzzer to make stb_image read past its buffer.
    Bytes pgm16 = {'P', '5', '\n', '3', ' ', '2', '\n', '2', '5', '7', '\n'};
    pgm16.resize(pgm16.size() + 12, 0x9F);
    // A digit run that overflows stb_image's number reader (also found by the fuzzer).
    std::string longNumber = "P6 2 55555555555\n255\n";
    Bytes ppmLong(longNumber.begin(), longNumber.end());
    ppmLong.resize(ppmLong.size() + 64, 1);
    // A JPEG Huffman table with more than 256 codes (stb writes past its table for it) and a
    // JPEG start marker behind fill bytes, which stb would accept.
    PixelImage grey;
    ASSERT_TRUE(MakePixelImage(grey, 8, 8, 0xFF808080));
    Bytes badTable;
    ASSERT_TRUE(StbEncodeJpg(grey, 90, badTable));
    size_t dht = 2;
    while (dht + 1 < badTable.size() && !(badTable[dht] == 0xFF && badTable[dht + 1] == 0xC4)) ++dht;
    ASSERT_LT(dht + 6, badTable.size());
    badTable[dht + 5] = 200; // code counts of the first table
    badTable[dht + 6] = 200;
    Bytes filled(13, 0xFF);
    filled.insert(filled.end(), badTable.begin(), badTable.end());
    for (const Bytes* file : {&hugeBmp, &wideBmp, &wideTga, &text, &pgm16, &ppmLong, &badTable, &filled}) {
        DecodedImage image;
        EXPECT_EQ(DecodeImage(file->data(), file->size(), image), ImageStatus::InvalidData);
    }

    // The area limit applies to complete files as well.
    PixelImage square;
    ASSERT_TRUE(MakePixelImage(square, 20, 20, 0xFF000000));
    Bytes bmp = EncodeBmp(square);
    DecodedImage image;
    EXPECT_EQ(DecodeImage(bmp.data(), bmp.size(), image, ImageLimits{16384, 399}), ImageStatus::InvalidData);
    EXPECT_EQ(DecodeImage(bmp.data(), bmp.size(), image, ImageLimits{19, 1000}), ImageStatus::InvalidData);
    EXPECT_EQ(DecodeImage(bmp.data(), bmp.size(), image, ImageLimits{20, 400}), ImageStatus::Ok);

    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(nullptr, 10, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(bmp.data(), static_cast<UINT>(bmp.size()), nullptr),
              D3DERR_INVALIDCALL);
}

TEST(ImageFiles, InfoFromFileThroughTheFileLayer) {
    std::string dir = std::string(KZV_BINARY_DIR) + "/test-output/d3dx-image";
    std::string cmd = "mkdir -p '" + dir + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string path = dir + "/Info.BMP";
    Bytes bmp = MakeBmp(5, 7, 24, std::vector<uint32_t>(35, 0x123456));
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bmp.data(), 1, bmp.size(), f);
    std::fclose(f);

    D3DXIMAGE_INFO info{};
    // Backslashes and a different letter case still find the file.
    std::string windowsName = dir + "\\info.bmp";
    ASSERT_EQ(D3DXGetImageInfoFromFile(windowsName.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Width, 5u);
    EXPECT_EQ(info.Height, 7u);
    EXPECT_EQ(D3DXGetImageInfoFromFile((dir + "/missing.bmp").c_str(), &info),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}
