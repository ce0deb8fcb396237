#pragma once

// Small image files built byte by byte for the image tests.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx/ImageCodec.h"

namespace imagetest {

using Bytes = std::vector<uint8_t>;

inline void PutU16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void PutU32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void SetU32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline PixelImage MakeImage(uint32_t w, uint32_t h, std::vector<uint32_t> pixels) {
    PixelImage image;
    image.width = w;
    image.height = h;
    image.pixels = std::move(pixels);
    return image;
}

// BMP with a BITMAPINFOHEADER, bottom-up, `bpp` 16, 24 or 32; pixels as stored words per
// row (16-bit words for 16 bpp, 0xRRGGBB or 0xAARRGGBB otherwise), rows given top first.
inline Bytes MakeBmp(uint32_t w, uint32_t h, uint32_t bpp, const std::vector<uint32_t>& words) {
    uint32_t stride = (w * bpp + 31) / 32 * 4;
    Bytes b{'B', 'M'};
    PutU32(b, 54 + stride * h);
    PutU32(b, 0);
    PutU32(b, 54);
    PutU32(b, 40);
    PutU32(b, w);
    PutU32(b, h);
    PutU16(b, 1);
    PutU16(b, bpp);
    PutU32(b, 0);
    PutU32(b, stride * h);
    for (int i = 0; i < 4; ++i) PutU32(b, 0);
    for (uint32_t y = h; y-- > 0;) {
        size_t start = b.size();
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t i = 0; i < bpp / 8; ++i)
                b.push_back(static_cast<uint8_t>(words[y * w + x] >> (8 * i)));
        while (b.size() - start < stride) b.push_back(0);
    }
    return b;
}

// Uncompressed TGA: type 2 (colour, 24 or 32 bpp) or 3 (grey, 8 bpp), rows stored bottom-up.
inline Bytes MakeTga(uint32_t w, uint32_t h, uint32_t type, uint32_t bpp,
                     const std::vector<uint32_t>& words) {
    Bytes b{0, 0, static_cast<uint8_t>(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    PutU16(b, w);
    PutU16(b, h);
    b.push_back(static_cast<uint8_t>(bpp));
    b.push_back(bpp == 32 ? 8 : 0); // alpha bits, bottom-left origin
    for (uint32_t y = h; y-- > 0;)
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t i = 0; i < bpp / 8; ++i)
                b.push_back(static_cast<uint8_t>(words[y * w + x] >> (8 * i)));
    return b;
}

// Binary PPM (P6) or PGM (P5) with a comment line in the header.
inline Bytes MakePnm(bool colour, uint32_t w, uint32_t h, const std::vector<uint8_t>& samples) {
    std::string header = std::string(colour ? "P6" : "P5") + "\n# made by a test\n" + std::to_string(w) +
                         " " + std::to_string(h) + "\n255\n";
    Bytes b(header.begin(), header.end());
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

// DDS header and data. Pixel format either by FOURCC or by bit count and masks.
struct DdsSpec {
    uint32_t width = 4, height = 4, mipCount = 0;
    uint32_t pfFlags = 0x40; // RGB
    uint32_t fourCC = 0, bitCount = 32;
    uint32_t r = 0x00FF0000, g = 0x0000FF00, b = 0x000000FF, a = 0;
    uint32_t caps2 = 0;
};

inline Bytes MakeDds(const DdsSpec& s, const Bytes& data) {
    Bytes b{'D', 'D', 'S', ' '};
    PutU32(b, 124);
    PutU32(b, 0x1007 | (s.mipCount ? 0x20000 : 0));
    PutU32(b, s.height);
    PutU32(b, s.width);
    PutU32(b, 0);
    PutU32(b, 0);
    PutU32(b, s.mipCount);
    for (int i = 0; i < 11; ++i) PutU32(b, 0);
    PutU32(b, 32);
    PutU32(b, s.pfFlags);
    PutU32(b, s.fourCC);
    PutU32(b, s.bitCount);
    PutU32(b, s.r);
    PutU32(b, s.g);
    PutU32(b, s.b);
    PutU32(b, s.a);
    PutU32(b, 0x1000);
    PutU32(b, s.caps2);
    for (int i = 0; i < 3; ++i) PutU32(b, 0);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

// One DXT1 block: endpoints and 16 two-bit indices (pixel 0 in the lowest bits).
inline Bytes Dxt1Block(uint16_t c0, uint16_t c1, uint32_t indices) {
    Bytes b;
    PutU16(b, c0);
    PutU16(b, c1);
    PutU32(b, indices);
    return b;
}

} // namespace imagetest
