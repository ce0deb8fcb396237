#include "platform/d3dx/DdsReader.h"

#include <cstring>

#include "platform/d3dx/D3DXImagePixels.h"

namespace {

constexpr size_t kMagicBytes = 4;
constexpr size_t kHeaderBytes = 124;
constexpr size_t kDataStart = kMagicBytes + kHeaderBytes;

constexpr uint32_t kFlagMipMapCount = 0x20000;
constexpr uint32_t kFlagDepth = 0x800000;
constexpr uint32_t kCaps2Volume = 0x200000;

constexpr uint32_t kPfAlphaPixels = 0x1;
constexpr uint32_t kPfAlpha = 0x2;
constexpr uint32_t kPfFourCC = 0x4;
constexpr uint32_t kPfRgb = 0x40;
constexpr uint32_t kPfLuminance = 0x20000;

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct DdsHeader {
    uint32_t flags, height, width, depth, mipCount;
    uint32_t pfFlags, fourCC, bitCount, rMask, gMask, bMask, aMask;
    uint32_t caps2;
};

DdsHeader ReadHeader(const uint8_t* h) {
    DdsHeader d{};
    d.flags = U32(h + 4);
    d.height = U32(h + 8);
    d.width = U32(h + 12);
    d.depth = U32(h + 20);
    d.mipCount = U32(h + 24);
    d.pfFlags = U32(h + 76);
    d.fourCC = U32(h + 80);
    d.bitCount = U32(h + 84);
    d.rMask = U32(h + 88);
    d.gMask = U32(h + 92);
    d.bMask = U32(h + 96);
    d.aMask = U32(h + 100);
    d.caps2 = U32(h + 108);
    return d;
}

// How the pixels of the file are stored: a block format, or masks over words of `bytes`.
struct DdsPixels {
    D3DFORMAT format = D3DFMT_UNKNOWN; // what the file reports
    bool blocks = false;
    DxtKind kind = DxtKind::Dxt1;
    PixelLayout layout;
};

// A FOURCC field may also hold a plain D3DFORMAT number for the formats we know.
bool FromFourCC(uint32_t fourCC, DdsPixels& out) {
    auto format = static_cast<D3DFORMAT>(fourCC);
    if (GetDxtKind(format, out.kind)) {
        out.format = format;
        out.blocks = true;
        return true;
    }
    if (GetPixelLayout(format, out.layout)) {
        out.format = format;
        return true;
    }
    return false;
}

// The D3DFORMAT with exactly this layout, else the nearest 32-bit one for reporting.
D3DFORMAT FormatOfLayout(const PixelLayout& layout) {
    const D3DFORMAT known[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R8G8B8,   D3DFMT_R5G6B5,
                               D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4,
                               D3DFMT_R3G3B2,   D3DFMT_A8R3G3B2, D3DFMT_A8,       D3DFMT_L8,
                               D3DFMT_A8L8,     D3DFMT_A4L4};
    for (D3DFORMAT f : known) {
        PixelLayout k;
        GetPixelLayout(f, k);
        if (k.bytes == layout.bytes && k.red == layout.red && k.green == layout.green &&
            k.blue == layout.blue && k.alpha == layout.alpha && k.luminance == layout.luminance)
            return f;
    }
    return layout.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

bool MasksFit(const PixelLayout& l) {
    uint64_t limit = l.bytes >= 4 ? 0xFFFFFFFFull : (1ull << (8 * l.bytes)) - 1;
    uint32_t all = l.red | l.green | l.blue | l.alpha;
    return all != 0 && all <= limit;
}

bool DescribePixels(const DdsHeader& h, DdsPixels& out) {
    if (h.pfFlags & kPfFourCC) return FromFourCC(h.fourCC, out);
    if (h.bitCount != 8 && h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32) return false;
    PixelLayout& l = out.layout;
    l.bytes = h.bitCount / 8;
    l.alpha = (h.pfFlags & (kPfAlphaPixels | kPfAlpha)) ? h.aMask : 0;
    if (h.pfFlags & kPfRgb) {
        l.red = h.rMask;
        l.green = h.gMask;
        l.blue = h.bMask;
    } else if (h.pfFlags & kPfLuminance) {
        l.red = h.rMask;
        l.luminance = true;
    } else if (!(h.pfFlags & kPfAlpha)) {
        return false;
    }
    if (!MasksFit(l)) return false;
    out.format = FormatOfLayout(l);
    return true;
}

// Bytes of one level; sizes are at most the side limit, so 64 bits cannot overflow.
uint64_t LevelBytes(const DdsPixels& px, uint32_t w, uint32_t h) {
    if (px.blocks) return ((w + 3ull) / 4) * ((h + 3ull) / 4) * DxtBlockBytes(px.kind);
    return static_cast<uint64_t>(w) * h * px.layout.bytes;
}

uint32_t Half(uint32_t v) {
    return v > 1 ? v / 2 : 1;
}

struct DdsLayout {
    DdsHeader header;
    DdsPixels pixels;
    uint32_t levels;
};

ImageStatus Parse(const uint8_t* data, size_t size, const ImageLimits& limits, DdsLayout& out) {
    if (!IsDdsFile(data, size) || size < kDataStart) return ImageStatus::InvalidData;
    const uint8_t* h = data + kMagicBytes;
    if (U32(h) != kHeaderBytes || U32(h + 72) != 32) return ImageStatus::InvalidData;
    out.header = ReadHeader(h);
    const DdsHeader& d = out.header;
    if (d.width == 0 || d.height == 0 || d.width > limits.maxSide || d.height > limits.maxSide ||
        static_cast<uint64_t>(d.width) * d.height > limits.maxPixels)
        return ImageStatus::InvalidData;
    if ((d.caps2 & kCaps2Volume) || ((d.flags & kFlagDepth) && d.depth > 1)) return ImageStatus::InvalidData;
    if (!DescribePixels(d, out.pixels)) return ImageStatus::InvalidData;

    uint32_t full = FullMipChainLength(d.width, d.height);
    out.levels = (d.flags & kFlagMipMapCount) && d.mipCount > 0 ? d.mipCount : 1;
    if (out.levels > full) return ImageStatus::InvalidData;

    // Every level the header announces must be present.
    uint64_t need = 0;
    for (uint32_t i = 0, w = d.width, hgt = d.height; i < out.levels; ++i, w = Half(w), hgt = Half(hgt))
        need += LevelBytes(out.pixels, w, hgt);
    if (need > size - kDataStart) return ImageStatus::InvalidData;
    return ImageStatus::Ok;
}

} // namespace

bool IsDdsFile(const uint8_t* data, size_t size) {
    return data != nullptr && size >= kMagicBytes && std::memcmp(data, "DDS ", 4) == 0;
}

ImageStatus ProbeDds(const uint8_t* data, size_t size, ImageDescription& out, const ImageLimits& limits) {
    DdsLayout layout;
    ImageStatus status = Parse(data, size, limits, layout);
    if (status != ImageStatus::Ok) return status;
    out.width = layout.header.width;
    out.height = layout.header.height;
    out.mipLevels = layout.levels;
    out.format = layout.pixels.format;
    out.kind = ImageFileKind::Dds;
    return ImageStatus::Ok;
}

ImageStatus DecodeDds(const uint8_t* data, size_t size, DecodedImage& out, const ImageLimits& limits) {
    DdsLayout layout;
    ImageStatus status = Parse(data, size, limits, layout);
    if (status != ImageStatus::Ok) return status;
    out = DecodedImage();
    out.description = {layout.header.width, layout.header.height, layout.levels, layout.pixels.format,
                       ImageFileKind::Dds};
    const DdsPixels& px = layout.pixels;
    const uint8_t* p = data + kDataStart;
    uint32_t w = layout.header.width, h = layout.header.height;
    out.levels.resize(layout.levels);
    if (px.blocks) out.blocks.resize(layout.levels);
    for (uint32_t i = 0; i < layout.levels; ++i) {
        uint64_t bytes = LevelBytes(px, w, h);
        PixelImage& level = out.levels[i];
        bool ok = px.blocks
                      ? ReadPixels(px.format, p, static_cast<size_t>(RowBytes(px.format, w)), w, h, level)
                      : MakePixelImage(level, w, h);
        if (!ok) return ImageStatus::OutOfMemory;
        if (px.blocks) {
            out.blocks[i].assign(p, p + bytes);
        } else {
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                    level.At(x, y) =
                        DecodePixel(px.layout, p + (static_cast<size_t>(y) * w + x) * px.layout.bytes);
        }
        p += bytes;
        w = Half(w);
        h = Half(h);
    }
    return ImageStatus::Ok;
}
