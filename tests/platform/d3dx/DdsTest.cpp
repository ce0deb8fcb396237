// Our DDS reader and the DXT block codec.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/d3dx/D3DXImage.h"
#include "platform/d3dx/DdsBlocks.h"
#include "platform/d3dx/ImageCodec.h"
#include "platform/d3dx/ImageTestFiles.h"

using namespace imagetest;

namespace {

std::vector<uint32_t> Decode(DxtKind kind, const Bytes& block) {
    std::vector<uint32_t> out(16);
    DecodeDxtBlock(kind, block.data(), out.data());
    return out;
}

DdsSpec FourCCSpec(uint32_t fourCC, uint32_t w, uint32_t h, uint32_t mips = 0) {
    DdsSpec s;
    s.pfFlags = 0x4;
    s.fourCC = fourCC;
    s.width = w;
    s.height = h;
    s.mipCount = mips;
    return s;
}

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) PutU32(b, w);
    return b;
}

} // namespace

TEST(DxtBlocks, Dxt1FourAndThreeColourModes) {
    // Red and blue endpoints, pixels 0 to 3 use indices 0 to 3, the rest index 0.
    std::vector<uint32_t> four = Decode(DxtKind::Dxt1, Dxt1Block(0xF800, 0x001F, 0xE4));
    EXPECT_EQ(four[0], 0xFFFF0000u);
    EXPECT_EQ(four[1], 0xFF0000FFu);
    EXPECT_EQ(four[2], 0xFFAA0055u); // 2/3 red + 1/3 blue
    EXPECT_EQ(four[3], 0xFF5500AAu);
    EXPECT_EQ(four[15], 0xFFFF0000u);

    // First endpoint not above the second: the midpoint and transparent black.
    std::vector<uint32_t> three = Decode(DxtKind::Dxt1, Dxt1Block(0x001F, 0xF800, 0xE4));
    EXPECT_EQ(three[0], 0xFF0000FFu);
    EXPECT_EQ(three[1], 0xFFFF0000u);
    EXPECT_EQ(three[2], 0xFF7F007Fu);
    EXPECT_EQ(three[3], 0x00000000u);
}

TEST(DxtBlocks, Dxt3ExplicitAlphaAlwaysFourColours) {
    Bytes block = {0x8F, 0xFF, 0, 0, 0, 0, 0, 0};
    Bytes colours = Dxt1Block(0x0000, 0x07E0, 0xE1); // black, green; indices 1, 0, 2, 3
    block.insert(block.end(), colours.begin(), colours.end());
    std::vector<uint32_t> p = Decode(DxtKind::Dxt3, block);
    EXPECT_EQ(p[0], 0xFF00FF00u);
    EXPECT_EQ(p[1], 0x88000000u); // alpha nibble 8 -> 136
    EXPECT_EQ(p[2], 0xFF005500u);
    EXPECT_EQ(p[3], 0xFF00AA00u); // index 3 is a colour here, not transparency
    EXPECT_EQ(p[4], 0x00000000u);
}

TEST(DxtBlocks, Dxt5InterpolatedAlphaInBothModes) {
    Bytes colours = Dxt1Block(0xFFFF, 0x0000, 0);
    Bytes eight = {255, 0, 0x88, 0x0E, 0, 0, 0, 0}; // indices 0, 1, 2, 7
    eight.insert(eight.end(), colours.begin(), colours.end());
    std::vector<uint32_t> p = Decode(DxtKind::Dxt5, eight);
    EXPECT_EQ(p[0] >> 24, 255u);
    EXPECT_EQ(p[1] >> 24, 0u);
    EXPECT_EQ(p[2] >> 24, 218u); // (6 * 255 + 0) / 7
    EXPECT_EQ(p[3] >> 24, 36u);  // (255 + 6 * 0) / 7
    EXPECT_EQ(p[0] & 0xFFFFFF, 0xFFFFFFu);

    Bytes six = {0, 255, 0xBE, 0, 0, 0, 0, 0}; // indices 6, 7, 2
    six.insert(six.end(), colours.begin(), colours.end());
    p = Decode(DxtKind::Dxt5, six);
    EXPECT_EQ(p[0] >> 24, 0u);
    EXPECT_EQ(p[1] >> 24, 255u);
    EXPECT_EQ(p[2] >> 24, 51u); // (4 * 0 + 255) / 5
}

TEST(DxtBlocks, EncodingKeepsColoursAndOneBitAlpha) {
    uint32_t solid[16];
    std::fill(std::begin(solid), std::end(solid), 0xFF808080u);
    uint32_t mixed[16];
    for (int i = 0; i < 16; ++i) mixed[i] = i % 2 ? 0x00000000u : 0xFFC04020u;
    uint32_t ramp[16];
    for (int i = 0; i < 16; ++i) ramp[i] = (static_cast<uint32_t>(i * 17) << 24) | 0x00336699u;

    for (DxtKind kind : {DxtKind::Dxt1, DxtKind::Dxt3, DxtKind::Dxt5}) {
        uint8_t block[16];
        uint32_t out[16];
        EncodeDxtBlock(kind, solid, block);
        DecodeDxtBlock(kind, block, out);
        for (uint32_t p : out) {
            EXPECT_EQ(p >> 24, 255u);
            for (int s = 0; s < 24; s += 8) EXPECT_LE(std::abs(static_cast<int>((p >> s) & 255) - 128), 4);
        }
    }
    uint8_t block[16];
    uint32_t out[16];
    EncodeDxtBlock(DxtKind::Dxt1, mixed, block);
    DecodeDxtBlock(DxtKind::Dxt1, block, out);
    for (int i = 0; i < 16; ++i) {
        if (i % 2) {
            EXPECT_EQ(out[i], 0u) << i;
        } else {
            EXPECT_EQ(out[i] >> 24, 255u) << i;
            EXPECT_LE(std::abs(static_cast<int>((out[i] >> 16) & 255) - 0xC0), 8) << i;
        }
    }
    EncodeDxtBlock(DxtKind::Dxt5, ramp, block);
    DecodeDxtBlock(DxtKind::Dxt5, block, out);
    for (int i = 0; i < 16; ++i) EXPECT_LE(std::abs(static_cast<int>(out[i] >> 24) - i * 17), 19) << i;
}

TEST(DdsReader, UncompressedLevelsAndInfo) {
    DdsSpec spec;
    spec.width = 4;
    spec.height = 2;
    spec.mipCount = 3;
    spec.pfFlags = 0x41;
    spec.a = 0xFF000000;
    Bytes data = Words({0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004, 0x80000005, 0xFF000006, 0xFF000007,
                        0xFF000008, 0x11223344, 0x55667788, 0x99AABBCC});
    Bytes file = MakeDds(spec, data);
    DecodedImage image;
    ASSERT_EQ(DecodeImage(file.data(), file.size(), image), ImageStatus::Ok);
    ASSERT_EQ(image.levels.size(), 3u);
    EXPECT_EQ(image.levels[0].At(0, 1), 0x80000005u);
    EXPECT_EQ(image.levels[1].width, 2u);
    EXPECT_EQ(image.levels[1].height, 1u);
    EXPECT_EQ(image.levels[1].pixels, (std::vector<uint32_t>{0x11223344, 0x55667788}));
    EXPECT_EQ(image.levels[2].pixels, (std::vector<uint32_t>{0x99AABBCC}));
    EXPECT_TRUE(image.blocks.empty());

    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info), D3D_OK);
    EXPECT_EQ(info.MipLevels, 3u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
}

TEST(DdsReader, DxtLevelsKeepTheirBlocks) {
    Bytes data;
    for (int i = 0; i < 4; ++i) {
        Bytes b = Dxt1Block(0xF800, 0x001F, 0); // red
        data.insert(data.end(), b.begin(), b.end());
    }
    for (int level = 1; level < 4; ++level) {
        Bytes b = Dxt1Block(0x001F, 0xF800, 0x55555555); // index 1 everywhere: red
        data.insert(data.end(), b.begin(), b.end());
    }
    Bytes file = MakeDds(FourCCSpec(FourCC('D', 'X', 'T', '1'), 8, 8, 4), data);
    DecodedImage image;
    ASSERT_EQ(DecodeImage(file.data(), file.size(), image), ImageStatus::Ok);
    EXPECT_EQ(image.description.format, D3DFMT_DXT1);
    ASSERT_EQ(image.levels.size(), 4u);
    ASSERT_EQ(image.blocks.size(), 4u);
    EXPECT_EQ(image.blocks[0].size(), 32u);
    EXPECT_EQ(image.blocks[3].size(), 8u);
    EXPECT_EQ(image.levels[3].width, 1u);
    for (const PixelImage& level : image.levels)
        for (uint32_t p : level.pixels) EXPECT_EQ(p, 0xFFFF0000u);
}

TEST(DdsReader, MaskLayoutsAndNumericFourCC) {
    struct Case {
        const char* name;
        uint32_t pfFlags, bitCount, r, g, b, a;
        Bytes data;
        D3DFORMAT format;
        uint32_t pixel;
    };
    const Case cases[] = {
        {"R5G6B5", 0x40, 16, 0xF800, 0x07E0, 0x001F, 0, {0x00, 0xF8}, D3DFMT_R5G6B5, 0xFFFF0000},
        {"A1R5G5B5", 0x41, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, {0x1F, 0x00}, D3DFMT_A1R5G5B5, 0x000000FF},
        {"L8", 0x20000, 8, 0xFF, 0, 0, 0, {0x40}, D3DFMT_L8, 0xFF404040},
        {"A8L8", 0x20001, 16, 0xFF, 0, 0, 0xFF00, {0x40, 0x80}, D3DFMT_A8L8, 0x80404040},
        {"A8", 0x2, 8, 0, 0, 0, 0xFF, {0x80}, D3DFMT_A8, 0x80000000},
        {"R8G8B8", 0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0, {0x33, 0x22, 0x11}, D3DFMT_R8G8B8, 0xFF112233},
        // Red in the low byte: no Direct3D 8 format has it; reported as A8R8G8B8.
        {"A8B8G8R8",
         0x41,
         32,
         0xFF,
         0xFF00,
         0xFF0000,
         0xFF000000,
         {0x11, 0x22, 0x33, 0x44},
         D3DFMT_A8R8G8B8,
         0x44112233},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DdsSpec spec;
        spec.width = spec.height = 1;
        spec.pfFlags = c.pfFlags;
        spec.bitCount = c.bitCount;
        spec.r = c.r;
        spec.g = c.g;
        spec.b = c.b;
        spec.a = c.a;
        Bytes file = MakeDds(spec, c.data);
        DecodedImage image;
        ASSERT_EQ(DecodeImage(file.data(), file.size(), image), ImageStatus::Ok);
        EXPECT_EQ(image.description.format, c.format);
        EXPECT_EQ(image.levels[0].pixels[0], c.pixel);
    }
    Bytes numeric = MakeDds(FourCCSpec(21, 1, 1), Words({0x12345678}));
    DecodedImage image;
    ASSERT_EQ(DecodeImage(numeric.data(), numeric.size(), image), ImageStatus::Ok);
    EXPECT_EQ(image.description.format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(image.levels[0].pixels[0], 0x12345678u);
}

TEST(DdsReader, InconsistentHeadersAreRefused) {
    const uint32_t dxt1 = FourCC('D', 'X', 'T', '1');
    Bytes blocks(64, 0);
    std::vector<std::pair<const char*, Bytes>> bad;
    Bytes header = MakeDds(FourCCSpec(dxt1, 4, 4), blocks);
    header[4] = 123;
    bad.push_back({"header size", header});
    Bytes pfSize = MakeDds(FourCCSpec(dxt1, 4, 4), blocks);
    pfSize[76] = 31;
    bad.push_back({"pixel format size", pfSize});
    bad.push_back({"zero width", MakeDds(FourCCSpec(dxt1, 0, 4), blocks)});
    bad.push_back({"width beyond limit", MakeDds(FourCCSpec(dxt1, 20000, 4), blocks)});
    bad.push_back({"area beyond limit", MakeDds(FourCCSpec(dxt1, 16384, 16384), blocks)});
    bad.push_back({"more levels than the chain", MakeDds(FourCCSpec(dxt1, 4, 4, 4), blocks)});
    bad.push_back({"data one byte short", MakeDds(FourCCSpec(dxt1, 8, 8, 2), Bytes(32 + 8 - 1, 0))});
    DdsSpec volume = FourCCSpec(dxt1, 4, 4);
    volume.caps2 = 0x200000;
    bad.push_back({"volume", MakeDds(volume, blocks)});
    bad.push_back({"unknown fourcc", MakeDds(FourCCSpec(FourCC('A', 'T', 'I', '2'), 4, 4), blocks)});
    bad.push_back({"extended header", MakeDds(FourCCSpec(FourCC('D', 'X', '1', '0'), 4, 4), blocks)});
    DdsSpec oddBits;
    oddBits.bitCount = 12;
    bad.push_back({"12 bits per pixel", MakeDds(oddBits, blocks)});
    DdsSpec wideMask;
    wideMask.bitCount = 16;
    bad.push_back({"mask beyond the pixel", MakeDds(wideMask, blocks)});
    DdsSpec noMasks;
    noMasks.r = noMasks.g = noMasks.b = 0;
    bad.push_back({"no channels", MakeDds(noMasks, blocks)});

    for (const auto& [name, file] : bad) {
        SCOPED_TRACE(name);
        DecodedImage image;
        EXPECT_EQ(DecodeImage(file.data(), file.size(), image), ImageStatus::InvalidData);
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info),
                  D3DXERR_INVALIDDATA);
    }
}
