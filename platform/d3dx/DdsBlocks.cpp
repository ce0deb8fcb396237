#include "platform/d3dx/DdsBlocks.h"

#include "platform/d3dx/ImageCodecStb.h"

namespace {

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Rgb {
    int r, g, b;
};

// 5:6:5 to 8 bits per channel by bit replication, so 31 and 63 become 255.
Rgb Expand565(uint16_t c) {
    int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

uint32_t Pack(int a, Rgb c) {
    return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(c.r) << 16) |
           (static_cast<uint32_t>(c.g) << 8) | static_cast<uint32_t>(c.b);
}

Rgb Mix(Rgb x, Rgb y, int wx, int wy, int div) {
    return {(wx * x.r + wy * y.r) / div, (wx * x.g + wy * y.g) / div, (wx * x.b + wy * y.b) / div};
}

// The colour half of a block. DXT1 uses the three-colour mode with transparent black when
// the first endpoint is not above the second; DXT3 and DXT5 always use four colours.
void DecodeColours(const uint8_t* p, bool allowThreeColour, uint32_t out[16]) {
    uint16_t c0 = ReadU16(p), c1 = ReadU16(p + 2);
    Rgb e0 = Expand565(c0), e1 = Expand565(c1);
    uint32_t palette[4];
    palette[0] = Pack(255, e0);
    palette[1] = Pack(255, e1);
    if (c0 > c1 || !allowThreeColour) {
        palette[2] = Pack(255, Mix(e0, e1, 2, 1, 3));
        palette[3] = Pack(255, Mix(e0, e1, 1, 2, 3));
    } else {
        palette[2] = Pack(255, Mix(e0, e1, 1, 1, 2));
        palette[3] = 0;
    }
    uint32_t indices = ReadU32(p + 4);
    for (int i = 0; i < 16; ++i) out[i] = palette[(indices >> (2 * i)) & 3];
}

void SetAlpha(uint32_t& pixel, int alpha) {
    pixel = (pixel & 0x00FFFFFFu) | (static_cast<uint32_t>(alpha) << 24);
}

void DecodeExplicitAlpha(const uint8_t* p, uint32_t out[16]) {
    for (int i = 0; i < 16; ++i) {
        int nibble = (p[i / 2] >> ((i & 1) * 4)) & 15;
        SetAlpha(out[i], nibble * 17);
    }
}

void DecodeInterpolatedAlpha(const uint8_t* p, uint32_t out[16]) {
    int a0 = p[0], a1 = p[1];
    int table[8] = {a0, a1, 0, 0, 0, 0, 0, 0};
    if (a0 > a1) {
        for (int i = 1; i <= 6; ++i) table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (int i = 1; i <= 4; ++i) table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        table[6] = 0;
        table[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(p[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) SetAlpha(out[i], table[(bits >> (3 * i)) & 7]);
}

uint16_t To565(uint32_t p) {
    int r = ((p >> 16) & 255) * 31 + 127, g = ((p >> 8) & 255) * 63 + 127, b = (p & 255) * 31 + 127;
    return static_cast<uint16_t>(((r / 255) << 11) | ((g / 255) << 5) | (b / 255));
}

int Distance(Rgb x, uint32_t p) {
    int dr = x.r - static_cast<int>((p >> 16) & 255), dg = x.g - static_cast<int>((p >> 8) & 255),
        db = x.b - static_cast<int>(p & 255);
    return dr * dr + dg * dg + db * db;
}

// Three-colour DXT1 block: the endpoints are the darkest and brightest opaque pixels (by
// their 5:6:5 value), stored with the first not above the second.
void EncodeDxt1Transparent(const uint32_t pixels[16], uint8_t* block) {
    uint16_t lo = 0xFFFF, hi = 0;
    for (int i = 0; i < 16; ++i) {
        if ((pixels[i] >> 24) < 128) continue;
        uint16_t c = To565(pixels[i]);
        if (c < lo) lo = c;
        if (c > hi) hi = c;
    }
    if (lo > hi) lo = hi = 0; // every pixel transparent
    Rgb e0 = Expand565(lo), e1 = Expand565(hi);
    Rgb palette[3] = {e0, e1, Mix(e0, e1, 1, 1, 2)};
    uint32_t indices = 0;
    for (int i = 0; i < 16; ++i) {
        uint32_t index = 3;
        if ((pixels[i] >> 24) >= 128) {
            index = 0;
            for (uint32_t k = 1; k < 3; ++k)
                if (Distance(palette[k], pixels[i]) < Distance(palette[index], pixels[i])) index = k;
        }
        indices |= index << (2 * i);
    }
    block[0] = static_cast<uint8_t>(lo);
    block[1] = static_cast<uint8_t>(lo >> 8);
    block[2] = static_cast<uint8_t>(hi);
    block[3] = static_cast<uint8_t>(hi >> 8);
    for (int i = 0; i < 4; ++i) block[4 + i] = static_cast<uint8_t>(indices >> (8 * i));
}

} // namespace

size_t DxtBlockBytes(DxtKind kind) {
    return kind == DxtKind::Dxt1 ? 8 : 16;
}

void DecodeDxtBlock(DxtKind kind, const uint8_t* block, uint32_t out[16]) {
    switch (kind) {
    case DxtKind::Dxt1:
        DecodeColours(block, true, out);
        break;
    case DxtKind::Dxt3:
        DecodeColours(block + 8, false, out);
        DecodeExplicitAlpha(block, out);
        break;
    case DxtKind::Dxt5:
        DecodeColours(block + 8, false, out);
        DecodeInterpolatedAlpha(block, out);
        break;
    }
}

void EncodeDxtBlock(DxtKind kind, const uint32_t pixels[16], uint8_t* block) {
    uint8_t rgba[64];
    bool anyTransparent = false;
    for (int i = 0; i < 16; ++i) {
        uint32_t p = pixels[i];
        rgba[4 * i + 0] = static_cast<uint8_t>(p >> 16);
        rgba[4 * i + 1] = static_cast<uint8_t>(p >> 8);
        rgba[4 * i + 2] = static_cast<uint8_t>(p);
        rgba[4 * i + 3] = static_cast<uint8_t>(p >> 24);
        if ((p >> 24) < 128) anyTransparent = true;
    }
    switch (kind) {
    case DxtKind::Dxt1:
        // The colour encoder knows no transparency; a block with transparent pixels is
        // written in the three-colour mode, where index 3 is transparent black.
        if (anyTransparent)
            EncodeDxt1Transparent(pixels, block);
        else
            CompressDxtColourBlock(block, rgba);
        break;
    case DxtKind::Dxt3:
        for (int i = 0; i < 8; ++i) {
            int lo = ((pixels[2 * i] >> 24) * 15 + 127) / 255;
            int hi = ((pixels[2 * i + 1] >> 24) * 15 + 127) / 255;
            block[i] = static_cast<uint8_t>(lo | (hi << 4));
        }
        CompressDxtColourBlock(block + 8, rgba);
        break;
    case DxtKind::Dxt5:
        CompressDxtAlphaColourBlock(block, rgba);
        break;
    }
}
