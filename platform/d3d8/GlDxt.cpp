#include "platform/d3d8/GlDxt.h"

#include "platform/d3d8/PixelFormat.h"

namespace {

uint32_t Expand565(uint16_t c) {
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb, uint32_t total) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * wa + cb * wb) / total) << shift;
    }
    return out;
}

uint16_t Word(const BYTE* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The colour half of a block: two 5-6-5 end points and 2-bit indices. DXT1 blocks whose
// first end point is not above the second have three colours and transparent black.
void DecodeColors(const BYTE* block, bool dxt1, uint32_t out[16]) {
    const uint16_t c0 = Word(block), c1 = Word(block + 2);
    uint32_t palette[4] = {Expand565(c0), Expand565(c1), 0, 0};
    if (!dxt1 || c0 > c1) {
        palette[2] = Mix(palette[0], palette[1], 2, 1, 3);
        palette[3] = Mix(palette[0], palette[1], 1, 2, 3);
    } else {
        palette[2] = Mix(palette[0], palette[1], 1, 1, 2);
        palette[3] = 0;
    }
    const uint32_t bits =
        block[4] | (block[5] << 8) | (block[6] << 16) | (static_cast<uint32_t>(block[7]) << 24);
    for (int i = 0; i < 16; ++i) out[i] = palette[(bits >> (2 * i)) & 3];
}

void DecodeExplicitAlpha(const BYTE* block, uint32_t out[16]) {
    for (int i = 0; i < 16; ++i) {
        const uint32_t a = (block[i / 2] >> ((i & 1) * 4)) & 15;
        out[i] = (out[i] & 0x00FFFFFFu) | ((a * 17) << 24);
    }
}

void DecodeInterpolatedAlpha(const BYTE* block, uint32_t out[16]) {
    const uint32_t a0 = block[0], a1 = block[1];
    uint32_t palette[8] = {a0, a1};
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i) palette[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (uint32_t i = 1; i < 5; ++i) palette[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        palette[6] = 0;
        palette[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) out[i] = (out[i] & 0x00FFFFFFu) | (palette[(bits >> (3 * i)) & 7] << 24);
}

} // namespace

void DecodeCompressedImage(const ImageMemory& image, uint32_t* out) {
    const D3DFORMAT format = image.Format();
    const bool dxt1 = format == D3DFMT_DXT1;
    const bool explicitAlpha = format == D3DFMT_DXT2 || format == D3DFMT_DXT3;
    const UINT blockBytes = FormatBlockBytes(format);
    const UINT width = image.Width(), height = image.Height();
    for (UINT by = 0; by < FormatRowCount(format, height); ++by) {
        const BYTE* row = image.Bits() + static_cast<size_t>(by) * image.Pitch();
        for (UINT bx = 0; bx * 4 < width; ++bx) {
            const BYTE* block = row + static_cast<size_t>(bx) * blockBytes;
            uint32_t pixels[16];
            DecodeColors(dxt1 ? block : block + 8, dxt1, pixels);
            if (explicitAlpha) DecodeExplicitAlpha(block, pixels);
            if (!dxt1 && !explicitAlpha) DecodeInterpolatedAlpha(block, pixels);
            for (UINT i = 0; i < 16; ++i) {
                const UINT x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x < width && y < height) out[static_cast<size_t>(y) * width + x] = pixels[i];
            }
        }
    }
}
