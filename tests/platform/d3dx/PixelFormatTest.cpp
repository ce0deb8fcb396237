// Conversion between A8R8G8B8 and the texture formats, and the scaling filters.
#include <gtest/gtest.h>

#include "platform/d3dx/D3DXImageFilter.h"
#include "platform/d3dx/D3DXImagePixels.h"
#include "platform/d3dx/ImageTestFiles.h"

using namespace imagetest;

namespace {

uint32_t Encode(D3DFORMAT format, uint32_t argb) {
    PixelLayout layout;
    EXPECT_TRUE(GetPixelLayout(format, layout));
    uint8_t bytes[4] = {0, 0, 0, 0};
    EncodePixel(layout, argb, bytes);
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

uint32_t Decode(D3DFORMAT format, uint32_t word) {
    PixelLayout layout;
    EXPECT_TRUE(GetPixelLayout(format, layout));
    uint8_t bytes[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                        static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
    return DecodePixel(layout, bytes);
}

// Blue channel values of an image with alpha 255, the rest zero.
PixelImage BlueImage(uint32_t w, uint32_t h, const std::vector<uint32_t>& blue) {
    std::vector<uint32_t> pixels;
    for (uint32_t b : blue) pixels.push_back(0xFF000000u | b);
    return MakeImage(w, h, pixels);
}

std::vector<uint32_t> BlueOf(const PixelImage& image) {
    std::vector<uint32_t> out;
    for (uint32_t p : image.pixels) out.push_back(p & 255);
    return out;
}

} // namespace

TEST(PixelFormats, WritingRoundsEachChannelToItsWidth) {
    EXPECT_EQ(Encode(D3DFMT_R5G6B5, 0xFF808080), 0x8410u);
    EXPECT_EQ(Encode(D3DFMT_X1R5G5B5, 0xFFFF8000), 0xFE00u); // unused bit written as 1
    EXPECT_EQ(Encode(D3DFMT_A1R5G5B5, 0x7F0000FF), 0x001Fu); // alpha below half: 0
    EXPECT_EQ(Encode(D3DFMT_A1R5G5B5, 0x800000FF), 0x801Fu);
    EXPECT_EQ(Encode(D3DFMT_A4R4G4B4, 0x80FF0000), 0x8F00u);
    EXPECT_EQ(Encode(D3DFMT_L8, 0xFF00FF00), 182u); // 0.7154 * 255
    EXPECT_EQ(Encode(D3DFMT_L8, 0xFFFFFFFF), 255u);
    EXPECT_EQ(Encode(D3DFMT_X8R8G8B8, 0x00123456), 0xFF123456u);
    EXPECT_EQ(Encode(D3DFMT_R8G8B8, 0xFF123456), 0x123456u);
    EXPECT_EQ(Encode(D3DFMT_A8R8G8B8, 0x80123456), 0x80123456u);
}

TEST(PixelFormats, ReadingScalesChannelsToEightBits) {
    EXPECT_EQ(Decode(D3DFMT_R5G6B5, 0x8410), 0xFF848284u);
    EXPECT_EQ(Decode(D3DFMT_R5G6B5, 0xFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(Decode(D3DFMT_A4R4G4B4, 0x8F00), 0x88FF0000u);
    EXPECT_EQ(Decode(D3DFMT_A1R5G5B5, 0x801F), 0xFF0000FFu);
    EXPECT_EQ(Decode(D3DFMT_A1R5G5B5, 0x001F), 0x000000FFu);
    EXPECT_EQ(Decode(D3DFMT_X1R5G5B5, 0x001F), 0xFF0000FFu);
    EXPECT_EQ(Decode(D3DFMT_X8R8G8B8, 0x00123456), 0xFF123456u);
    EXPECT_EQ(Decode(D3DFMT_L8, 0x40), 0xFF404040u);
}

// Every 16-bit value survives a trip through A8R8G8B8 unchanged (the X bit comes back set).
TEST(PixelFormats, SixteenBitValuesSurviveTheTrip) {
    for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X1R5G5B5}) {
        uint32_t forced = format == D3DFMT_X1R5G5B5 ? 0x8000 : 0;
        int wrong = 0;
        for (uint32_t w = 0; w < 0x10000; ++w)
            if (Encode(format, Decode(format, w)) != (w | forced)) ++wrong;
        EXPECT_EQ(wrong, 0) << format;
    }
}

TEST(PixelFormats, RowsOfBlockFormats) {
    EXPECT_EQ(RowBytes(D3DFMT_DXT1, 5), 16u); // two blocks of 8 bytes
    EXPECT_EQ(RowBytes(D3DFMT_DXT5, 4), 16u);
    EXPECT_EQ(RowCount(D3DFMT_DXT3, 1), 1u);
    EXPECT_EQ(RowCount(D3DFMT_DXT3, 9), 3u);
    EXPECT_EQ(RowBytes(D3DFMT_R5G6B5, 5), 10u);
    EXPECT_EQ(RowBytes(D3DFMT_UYVY, 5), 0u);
    EXPECT_FALSE(IsImageFormat(D3DFMT_D16));
    EXPECT_TRUE(HasAlphaChannel(D3DFMT_DXT1));
    EXPECT_FALSE(HasAlphaChannel(D3DFMT_X8R8G8B8));

    // A 5 x 3 image written to DXT5 and read back covers partial blocks at both edges.
    PixelImage image;
    ASSERT_TRUE(MakePixelImage(image, 5, 3, 0x80FF0000));
    std::vector<uint8_t> memory(RowBytes(D3DFMT_DXT5, 5) * RowCount(D3DFMT_DXT5, 3));
    ASSERT_TRUE(WritePixels(D3DFMT_DXT5, image, memory.data(), RowBytes(D3DFMT_DXT5, 5)));
    PixelImage back;
    ASSERT_TRUE(ReadPixels(D3DFMT_DXT5, memory.data(), RowBytes(D3DFMT_DXT5, 5), 5, 3, back));
    ASSERT_EQ(back.pixels.size(), 15u);
    for (uint32_t p : back.pixels) EXPECT_EQ(p, 0x80FF0000u);
}

TEST(Resample, BoxAveragesAreasAndRoundsHalfUp) {
    PixelImage src = BlueImage(4, 4, {10, 20, 1, 2, 30, 40, 1, 2, 0, 0, 255, 255, 0, 255, 255, 255});
    PixelImage out;
    ASSERT_TRUE(Resample(src, 2, 2, ResampleMode::Box, out));
    EXPECT_EQ(BlueOf(out), (std::vector<uint32_t>{25, 2, 64, 255}));
    EXPECT_EQ(out.pixels[0] >> 24, 255u);

    // Odd sizes average the covered fractions.
    ASSERT_TRUE(Resample(BlueImage(5, 1, {0, 10, 20, 30, 40}), 2, 1, ResampleMode::Box, out));
    EXPECT_EQ(BlueOf(out), (std::vector<uint32_t>{8, 32}));
    ASSERT_TRUE(Resample(BlueImage(3, 1, {0, 30, 60}), 1, 1, ResampleMode::Box, out));
    EXPECT_EQ(BlueOf(out), (std::vector<uint32_t>{30}));
}

TEST(Resample, LinearPointAndUnscaled) {
    PixelImage out;
    ASSERT_TRUE(Resample(BlueImage(2, 1, {0, 255}), 4, 1, ResampleMode::Linear, out));
    EXPECT_EQ(BlueOf(out), (std::vector<uint32_t>{0, 64, 191, 255}));
    // Box grows like Linear.
    ASSERT_TRUE(Resample(BlueImage(2, 1, {0, 255}), 4, 1, ResampleMode::Box, out));
    EXPECT_EQ(BlueOf(out), (std::vector<uint32_t>{0, 64, 191, 255}));

    ASSERT_TRUE(Resample(BlueImage(4, 1, {1, 2, 3, 4}), 2, 1, ResampleMode::Point, out));
    EXPECT_EQ(BlueOf(out), (std::vector<uint32_t>{2, 4}));

    PixelImage src = BlueImage(2, 2, {1, 2, 3, 4});
    ASSERT_TRUE(Resample(src, 3, 3, ResampleMode::None, out));
    EXPECT_EQ(out.pixels,
              (std::vector<uint32_t>{0xFF000001, 0xFF000002, 0, 0xFF000003, 0xFF000004, 0, 0, 0, 0}));
    ASSERT_TRUE(Resample(src, 1, 1, ResampleMode::None, out));
    EXPECT_EQ(out.pixels, (std::vector<uint32_t>{0xFF000001}));

    // The same size is an exact copy in every mode.
    PixelImage odd = MakeImage(2, 1, {0x12345678, 0x9ABCDEF0});
    for (ResampleMode mode : {ResampleMode::Point, ResampleMode::Linear, ResampleMode::Box}) {
        ASSERT_TRUE(Resample(odd, 2, 1, mode, out));
        EXPECT_EQ(out.pixels, odd.pixels);
    }
    EXPECT_FALSE(Resample(odd, 0, 1, ResampleMode::Box, out));
}

TEST(Resample, ColourKeyMatchesTheWholeWord) {
    PixelImage image = MakeImage(3, 1, {0xFFFF00FF, 0xFEFF00FF, 0xFF00FF00});
    ApplyColorKey(image, 0xFFFF00FF);
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0, 0xFEFF00FF, 0xFF00FF00}));
    ApplyColorKey(image, 0);
    EXPECT_EQ(image.pixels[1], 0xFEFF00FFu);
}

TEST(Resample, MipChainLength) {
    EXPECT_EQ(FullMipChainLength(1, 1), 1u);
    EXPECT_EQ(FullMipChainLength(256, 64), 9u);
    EXPECT_EQ(FullMipChainLength(5, 3), 3u);
    EXPECT_EQ(FullMipChainLength(100, 60), 7u);
}
