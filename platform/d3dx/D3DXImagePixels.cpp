#include "platform/d3dx/D3DXImagePixels.h"

#include <bit>

namespace {

struct FormatEntry {
    D3DFORMAT format;
    PixelLayout layout;
};

constexpr FormatEntry kFormats[] = {
    {D3DFMT_A8R8G8B8, {4, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, false}},
    {D3DFMT_X8R8G8B8, {4, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, false}},
    {D3DFMT_R8G8B8, {3, 0xFF0000, 0x00FF00, 0x0000FF, 0, false}},
    {D3DFMT_R5G6B5, {2, 0xF800, 0x07E0, 0x001F, 0, false}},
    {D3DFMT_X1R5G5B5, {2, 0x7C00, 0x03E0, 0x001F, 0, false}},
    {D3DFMT_A1R5G5B5, {2, 0x7C00, 0x03E0, 0x001F, 0x8000, false}},
    {D3DFMT_A4R4G4B4, {2, 0x0F00, 0x00F0, 0x000F, 0xF000, false}},
    {D3DFMT_X4R4G4B4, {2, 0x0F00, 0x00F0, 0x000F, 0, false}},
    {D3DFMT_R3G3B2, {1, 0xE0, 0x1C, 0x03, 0, false}},
    {D3DFMT_A8R3G3B2, {2, 0x00E0, 0x001C, 0x0003, 0xFF00, false}},
    {D3DFMT_A8, {1, 0, 0, 0, 0xFF, false}},
    {D3DFMT_L8, {1, 0xFF, 0, 0, 0, true}},
    {D3DFMT_A8L8, {2, 0x00FF, 0, 0, 0xFF00, true}},
    {D3DFMT_A4L4, {1, 0x0F, 0, 0, 0xF0, true}},
};

// A channel's value scaled from its mask width to 8 bits, rounded; an absent channel is `none`.
uint32_t Extract(uint32_t word, uint32_t mask, uint32_t none) {
    if (mask == 0) return none;
    uint32_t shift = static_cast<uint32_t>(std::countr_zero(mask));
    uint32_t max = mask >> shift;
    uint32_t v = (word & mask) >> shift;
    return static_cast<uint32_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max);
}

uint32_t Insert(uint32_t value8, uint32_t mask) {
    if (mask == 0) return 0;
    uint32_t shift = static_cast<uint32_t>(std::countr_zero(mask));
    uint32_t max = mask >> shift;
    uint32_t v = static_cast<uint32_t>((static_cast<uint64_t>(value8) * max + 127) / 255);
    return (v << shift) & mask;
}

uint32_t LoadWord(const uint8_t* p, uint32_t bytes) {
    uint32_t w = 0;
    for (uint32_t i = 0; i < bytes; ++i) w |= static_cast<uint32_t>(p[i]) << (8 * i);
    return w;
}

void StoreWord(uint8_t* p, uint32_t bytes, uint32_t w) {
    for (uint32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(w >> (8 * i));
}

// One 4 x 4 block taken from the image at (bx, by); pixels beyond the edge repeat the edge.
void GatherBlock(const PixelImage& image, uint32_t bx, uint32_t by, uint32_t out[16]) {
    for (uint32_t y = 0; y < 4; ++y) {
        uint32_t sy = by + y < image.height ? by + y : image.height - 1;
        for (uint32_t x = 0; x < 4; ++x) {
            uint32_t sx = bx + x < image.width ? bx + x : image.width - 1;
            out[y * 4 + x] = image.At(sx, sy);
        }
    }
}

} // namespace

bool GetPixelLayout(D3DFORMAT format, PixelLayout& layout) {
    for (const FormatEntry& e : kFormats) {
        if (e.format == format) {
            layout = e.layout;
            return true;
        }
    }
    return false;
}

bool GetDxtKind(D3DFORMAT format, DxtKind& kind) {
    switch (format) {
    case D3DFMT_DXT1:
        kind = DxtKind::Dxt1;
        return true;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
        kind = DxtKind::Dxt3;
        return true;
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        kind = DxtKind::Dxt5;
        return true;
    default:
        return false;
    }
}

bool IsImageFormat(D3DFORMAT format) {
    PixelLayout layout;
    DxtKind kind;
    return GetPixelLayout(format, layout) || GetDxtKind(format, kind);
}

bool HasAlphaChannel(D3DFORMAT format) {
    PixelLayout layout;
    if (GetPixelLayout(format, layout)) return layout.alpha != 0;
    DxtKind kind;
    return GetDxtKind(format, kind);
}

uint64_t RowBytes(D3DFORMAT format, uint32_t width) {
    PixelLayout layout;
    if (GetPixelLayout(format, layout)) return static_cast<uint64_t>(width) * layout.bytes;
    DxtKind kind;
    if (GetDxtKind(format, kind)) return (static_cast<uint64_t>(width) + 3) / 4 * DxtBlockBytes(kind);
    return 0;
}

uint32_t RowCount(D3DFORMAT format, uint32_t height) {
    DxtKind kind;
    if (GetDxtKind(format, kind)) return static_cast<uint32_t>((static_cast<uint64_t>(height) + 3) / 4);
    return height;
}

uint8_t LuminanceOf(uint32_t argb) {
    double r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
    double l = 0.2125 * r + 0.7154 * g + 0.0721 * b + 0.5;
    return static_cast<uint8_t>(l >= 255.0 ? 255 : static_cast<uint32_t>(l));
}

uint32_t DecodePixel(const PixelLayout& layout, const uint8_t* p) {
    uint32_t w = LoadWord(p, layout.bytes);
    uint32_t a = Extract(w, layout.alpha, 255);
    uint32_t r, g, b;
    if (layout.luminance) {
        r = g = b = Extract(w, layout.red, 0);
    } else {
        r = Extract(w, layout.red, 0);
        g = Extract(w, layout.green, 0);
        b = Extract(w, layout.blue, 0);
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

void EncodePixel(const PixelLayout& layout, uint32_t argb, uint8_t* p) {
    uint32_t w = Insert(argb >> 24, layout.alpha);
    if (layout.luminance) {
        w |= Insert(LuminanceOf(argb), layout.red);
    } else {
        w |= Insert((argb >> 16) & 255, layout.red) | Insert((argb >> 8) & 255, layout.green) |
             Insert(argb & 255, layout.blue);
    }
    // Bits outside every mask (the X of X8R8G8B8) are written as ones, as a display would show.
    uint32_t used = layout.red | layout.green | layout.blue | layout.alpha;
    uint32_t all = layout.bytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * layout.bytes)) - 1;
    w |= all & ~used;
    StoreWord(p, layout.bytes, w);
}

bool ReadPixels(D3DFORMAT format, const uint8_t* bits, size_t pitch, uint32_t width, uint32_t height,
                PixelImage& out) {
    if (!MakePixelImage(out, width, height)) return false;
    PixelLayout layout;
    if (GetPixelLayout(format, layout)) {
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = bits + y * pitch;
            for (uint32_t x = 0; x < width; ++x) out.At(x, y) = DecodePixel(layout, row + x * layout.bytes);
        }
        return true;
    }
    DxtKind kind;
    if (!GetDxtKind(format, kind)) return false;
    size_t blockBytes = DxtBlockBytes(kind);
    uint32_t block[16];
    for (uint32_t by = 0; by < height; by += 4) {
        const uint8_t* row = bits + (by / 4) * pitch;
        for (uint32_t bx = 0; bx < width; bx += 4) {
            DecodeDxtBlock(kind, row + (bx / 4) * blockBytes, block);
            for (uint32_t y = 0; y < 4 && by + y < height; ++y)
                for (uint32_t x = 0; x < 4 && bx + x < width; ++x) out.At(bx + x, by + y) = block[y * 4 + x];
        }
    }
    return true;
}

bool WritePixels(D3DFORMAT format, const PixelImage& image, uint8_t* bits, size_t pitch) {
    PixelLayout layout;
    if (GetPixelLayout(format, layout)) {
        for (uint32_t y = 0; y < image.height; ++y) {
            uint8_t* row = bits + y * pitch;
            for (uint32_t x = 0; x < image.width; ++x)
                EncodePixel(layout, image.At(x, y), row + x * layout.bytes);
        }
        return true;
    }
    DxtKind kind;
    if (!GetDxtKind(format, kind)) return false;
    size_t blockBytes = DxtBlockBytes(kind);
    uint32_t block[16];
    for (uint32_t by = 0; by < image.height; by += 4) {
        uint8_t* row = bits + (by / 4) * pitch;
        for (uint32_t bx = 0; bx < image.width; bx += 4) {
            GatherBlock(image, bx, by, block);
            EncodeDxtBlock(kind, block, row + (bx / 4) * blockBytes);
        }
    }
    return true;
}
