#include "platform/d3dx/ImageCodec.h"

#include <cstring>
#include <new>

#include "platform/d3dx/DdsReader.h"
#include "platform/d3dx/ImageCodecStb.h"

namespace {

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool WithinLimits(uint64_t w, uint64_t h, const ImageLimits& limits) {
    return w > 0 && h > 0 && w <= limits.maxSide && h <= limits.maxSide && w * h <= limits.maxPixels;
}

// What the container header says before stb decodes it: the kind, the format D3DX would
// report, and whether the file is long enough for the pixels it announces. stb reads missing
// bytes of uncompressed files as zeros, so a cut file would otherwise decode "successfully".
struct HeaderFacts {
    ImageFileKind kind = ImageFileKind::Bmp;
    D3DFORMAT format = D3DFMT_UNKNOWN; // UNKNOWN: take it from stb's channel count
    bool complete = true;
};

bool InspectBmp(const uint8_t* d, size_t size, HeaderFacts& facts) {
    if (size < 2 || d[0] != 'B' || d[1] != 'M') return false;
    facts.kind = ImageFileKind::Bmp;
    if (size < 26) {
        facts.complete = false;
        return true;
    }
    uint32_t offBits = U32(d + 10), infoSize = U32(d + 14);
    uint64_t w, h;
    uint32_t bpp, compression = 0, greenMask = 0, alphaMask = 0;
    if (infoSize == 12) {
        w = U16(d + 18);
        h = U16(d + 20);
        bpp = U16(d + 24);
    } else {
        if (size < 34) {
            facts.complete = false;
            return true;
        }
        int32_t sw = static_cast<int32_t>(U32(d + 18)), sh = static_cast<int32_t>(U32(d + 22));
        w = sw < 0 ? 0 : static_cast<uint64_t>(sw);
        h = sh < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(sh)) : static_cast<uint64_t>(sh);
        bpp = U16(d + 28);
        compression = U32(d + 30);
        if (compression == 3 && size >= 62) greenMask = U32(d + 58);
        if (infoSize >= 56 && size >= 70) alphaMask = U32(d + 66);
    }
    if (bpp <= 8)
        facts.format = D3DFMT_P8;
    else if (bpp == 16)
        facts.format = greenMask == 0x07E0 ? D3DFMT_R5G6B5 : D3DFMT_X1R5G5B5;
    else if (bpp == 24)
        facts.format = D3DFMT_R8G8B8;
    else if (bpp == 32)
        facts.format = alphaMask != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    if (compression == 0 || compression == 3) {
        uint64_t stride = (w * bpp + 31) / 32 * 4;
        facts.complete = offBits <= size && stride * h <= size - offBits;
    }
    return true;
}

bool InspectTga(const uint8_t* d, size_t size, HeaderFacts& facts) {
    if (size < 18) return false;
    // A colour-map type other than 0 or 1 is no TGA; refusing it also keeps stb from taking
    // such a file for a JPEG whose start marker follows fill bytes.
    if (d[1] > 1) {
        facts.complete = false;
        return true;
    }
    uint32_t type = d[2], bpp = d[16];
    facts.kind = ImageFileKind::Tga;
    uint32_t base = type & ~8u; // 1 palette, 2 colour, 3 grey; +8 run-length coded
    if (base == 1)
        facts.format = D3DFMT_P8;
    else if (base == 3)
        facts.format = bpp == 16 ? D3DFMT_A8L8 : D3DFMT_L8;
    else if (bpp == 15 || bpp == 16)
        facts.format = (d[17] & 15) ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    else if (bpp == 24)
        facts.format = D3DFMT_R8G8B8;
    else if (bpp == 32)
        facts.format = D3DFMT_A8R8G8B8;
    if (type >= 1 && type <= 3) {
        uint64_t mapBytes = d[1] ? static_cast<uint64_t>(U16(d + 5)) * ((d[7] + 7u) / 8) : 0;
        uint64_t need =
            18ull + d[0] + mapBytes + static_cast<uint64_t>(U16(d + 12)) * U16(d + 14) * ((bpp + 7) / 8);
        facts.complete = need <= size;
    }
    return true;
}

bool IsBlank(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Binary PGM (P5) and PPM (P6): magic, width, height and maximum value separated by blanks
// and comments, then one blank and the samples.
bool InspectPnm(const uint8_t* d, size_t size, HeaderFacts& facts) {
    if (size < 3 || d[0] != 'P' || (d[1] != '5' && d[1] != '6')) return false;
    facts.kind = ImageFileKind::Ppm;
    facts.format = d[1] == '5' ? D3DFMT_L8 : D3DFMT_R8G8B8;
    size_t pos = 2;
    uint64_t values[3] = {0, 0, 0};
    for (uint64_t& v : values) {
        while (pos < size && (IsBlank(d[pos]) || d[pos] == '#')) {
            if (d[pos] == '#')
                while (pos < size && d[pos] != '\n' && d[pos] != '\r') ++pos;
            else
                ++pos;
        }
        if (pos >= size || d[pos] < '0' || d[pos] > '9') {
            facts.complete = false;
            return true;
        }
        // stb_image's own number reader overflows on long digit runs; no valid header has them.
        size_t digits = 0;
        while (pos < size && d[pos] >= '0' && d[pos] <= '9' && ++digits <= 6) v = v * 10 + (d[pos++] - '0');
        if (digits > 6) {
            facts.complete = false;
            return true;
        }
    }
    ++pos; // the single blank before the samples
    // 16-bit samples (maximum above 255) are refused: this stb_image version converts them to
    // the requested channel count as if they were 8-bit and then reads past its buffer.
    if (values[2] == 0 || values[2] > 255) {
        facts.complete = false;
        return true;
    }
    uint64_t channels = d[1] == '5' ? 1 : 3;
    uint64_t need = values[0] * values[1] * channels;
    facts.complete = pos <= size && need <= size - pos;
    return true;
}

// Huffman tables of one DHT segment [p, end): each holds at most 256 codes. stb_image 2.27
// writes past its table for more (found by the fuzzer).
bool HuffmanTablesValid(const uint8_t* p, const uint8_t* end) {
    while (p < end) {
        if (end - p < 17) return false;
        size_t codes = 0;
        for (int i = 1; i <= 16; ++i) codes += p[i];
        if (codes > 256 || static_cast<size_t>(end - p) < 17 + codes) return false;
        p += 17 + codes;
    }
    return true;
}

// Walks a JPEG stream marker by marker (stepping over entropy-coded data) up to EOI: a file
// cut before EOI is refused rather than decoded with invented data, and every Huffman table
// is checked before stb reads it.
bool InspectJpg(const uint8_t* d, size_t size, HeaderFacts& facts) {
    if (size < 3 || d[0] != 0xFF || d[1] != 0xD8 || d[2] != 0xFF) return false;
    facts.kind = ImageFileKind::Jpg;
    facts.complete = false;
    size_t pos = 2;
    bool inScan = false;
    while (pos + 1 < size) {
        if (d[pos] != 0xFF) {
            if (!inScan) return true; // garbage between segments
            ++pos;
            continue;
        }
        uint8_t marker = d[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (inScan && (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7))) { // stuffed byte, restart
            pos += 2;
            continue;
        }
        if (marker == 0xD9) {
            facts.complete = true;
            return true;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        if (pos + 4 > size) return true;
        size_t length = (static_cast<size_t>(d[pos + 2]) << 8) | d[pos + 3];
        if (length < 2 || length > size - pos - 2) return true;
        if (marker == 0xC4 && !HuffmanTablesValid(d + pos + 4, d + pos + 2 + length)) return true;
        inScan = marker == 0xDA;
        pos += 2 + length;
    }
    return true;
}

bool InspectPng(const uint8_t* d, size_t size, HeaderFacts& facts) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(d, kSignature, 8) != 0) return false;
    facts.kind = ImageFileKind::Png;
    // The chunks must reach IEND inside the file.
    facts.complete = false;
    for (uint64_t pos = 8; pos + 12 <= size;) {
        uint64_t length =
            (static_cast<uint64_t>(d[pos]) << 24) | (d[pos + 1] << 16) | (d[pos + 2] << 8) | d[pos + 3];
        if (std::memcmp(d + pos + 4, "IEND", 4) == 0) {
            facts.complete = true;
            break;
        }
        pos += 12 + length;
    }
    return true;
}

HeaderFacts Inspect(const uint8_t* d, size_t size) {
    HeaderFacts facts;
    if (InspectPng(d, size, facts) || InspectJpg(d, size, facts) || InspectBmp(d, size, facts) ||
        InspectPnm(d, size, facts))
        return facts;
    // TGA has no signature: anything else that stb accepts is taken as TGA, and nothing is
    // shorter than its 18-byte header.
    if (!InspectTga(d, size, facts)) facts.complete = false;
    return facts;
}

D3DFORMAT FormatOfChannels(ImageFileKind kind, int channels) {
    switch (channels) {
    case 1:
        return D3DFMT_L8;
    case 2:
        return D3DFMT_A8L8;
    case 3:
        return kind == ImageFileKind::Jpg ? D3DFMT_X8R8G8B8 : D3DFMT_R8G8B8;
    default:
        return D3DFMT_A8R8G8B8;
    }
}

ImageStatus ProbeStb(const uint8_t* data, size_t size, ImageDescription& out, const ImageLimits& limits) {
    // Our header checks run first, so stb never sees a file they refuse.
    HeaderFacts facts = Inspect(data, size);
    if (!facts.complete) return ImageStatus::InvalidData;
    uint32_t w = 0, h = 0;
    int channels = 0;
    if (!StbProbe(data, size, w, h, channels) || !WithinLimits(w, h, limits)) return ImageStatus::InvalidData;
    out.width = w;
    out.height = h;
    out.mipLevels = 1;
    out.kind = facts.kind;
    out.format = facts.format != D3DFMT_UNKNOWN ? facts.format : FormatOfChannels(facts.kind, channels);
    return ImageStatus::Ok;
}

} // namespace

bool MakePixelImage(PixelImage& image, uint32_t width, uint32_t height, uint32_t fill) {
    ImageLimits limits;
    if (!WithinLimits(width, height, limits)) return false;
    try {
        image.pixels.assign(static_cast<size_t>(width) * height, fill);
    } catch (const std::bad_alloc&) {
        image = PixelImage();
        return false;
    }
    image.width = width;
    image.height = height;
    return true;
}

uint32_t FullMipChainLength(uint32_t width, uint32_t height) {
    uint32_t levels = 1;
    while (width > 1 || height > 1) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        ++levels;
    }
    return levels;
}

ImageStatus ProbeImage(const uint8_t* data, size_t size, ImageDescription& out, const ImageLimits& limits) {
    if (data == nullptr || size == 0) return ImageStatus::InvalidData;
    if (IsDdsFile(data, size)) return ProbeDds(data, size, out, limits);
    return ProbeStb(data, size, out, limits);
}

ImageStatus DecodeImage(const uint8_t* data, size_t size, DecodedImage& out, const ImageLimits& limits) {
    if (data == nullptr || size == 0) return ImageStatus::InvalidData;
    try {
        if (IsDdsFile(data, size)) return DecodeDds(data, size, out, limits);
        ImageDescription description;
        ImageStatus status = ProbeStb(data, size, description, limits);
        if (status != ImageStatus::Ok) return status;
        out = DecodedImage();
        out.levels.resize(1);
        if (!StbDecode(data, size, out.levels[0])) return ImageStatus::InvalidData;
        if (out.levels[0].width != description.width || out.levels[0].height != description.height)
            return ImageStatus::InvalidData;
        out.description = description;
        return ImageStatus::Ok;
    } catch (const std::bad_alloc&) {
        out = DecodedImage();
        return ImageStatus::OutOfMemory;
    }
}
