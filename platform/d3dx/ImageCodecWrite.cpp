#include "platform/d3dx/ImageCodecWrite.h"

#include <string>

#include "platform/d3dx/ImageCodecStb.h"

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool Valid(const PixelImage& image) {
    return image.width > 0 && image.height > 0 &&
           image.pixels.size() == static_cast<size_t>(image.width) * image.height;
}

} // namespace

std::vector<uint8_t> EncodeBmp(const PixelImage& image) {
    std::vector<uint8_t> out;
    if (!Valid(image)) return out;
    uint32_t stride = (image.width * 3 + 3) & ~3u;
    uint32_t pixelBytes = stride * image.height;
    out.reserve(54 + static_cast<size_t>(pixelBytes));
    out.push_back('B');
    out.push_back('M');
    PutU32(out, 54 + pixelBytes);
    PutU32(out, 0);  // reserved
    PutU32(out, 54); // pixel offset
    PutU32(out, 40); // BITMAPINFOHEADER
    PutU32(out, image.width);
    PutU32(out, image.height); // positive: bottom-up
    PutU16(out, 1);
    PutU16(out, 24);
    PutU32(out, 0); // BI_RGB
    PutU32(out, pixelBytes);
    PutU32(out, 2835); // 72 dpi
    PutU32(out, 2835);
    PutU32(out, 0);
    PutU32(out, 0);
    for (uint32_t y = image.height; y-- > 0;) {
        for (uint32_t x = 0; x < image.width; ++x) {
            uint32_t p = image.At(x, y);
            out.push_back(static_cast<uint8_t>(p));
            out.push_back(static_cast<uint8_t>(p >> 8));
            out.push_back(static_cast<uint8_t>(p >> 16));
        }
        for (uint32_t pad = image.width * 3; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> EncodeDds(const PixelImage& image, bool withAlpha) {
    std::vector<uint8_t> out;
    if (!Valid(image)) return out;
    out.reserve(128 + image.pixels.size() * 4);
    out.insert(out.end(), {'D', 'D', 'S', ' '});
    PutU32(out, 124);
    PutU32(out, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000); // caps, height, width, pitch, pixel format
    PutU32(out, image.height);
    PutU32(out, image.width);
    PutU32(out, image.width * 4); // pitch
    PutU32(out, 0);               // depth
    PutU32(out, 0);               // mip count
    for (int i = 0; i < 11; ++i) PutU32(out, 0);
    PutU32(out, 32);
    PutU32(out, 0x40 | (withAlpha ? 0x1 : 0)); // RGB (+ alpha pixels)
    PutU32(out, 0);
    PutU32(out, 32);
    PutU32(out, 0x00FF0000);
    PutU32(out, 0x0000FF00);
    PutU32(out, 0x000000FF);
    PutU32(out, withAlpha ? 0xFF000000 : 0);
    PutU32(out, 0x1000); // DDSCAPS_TEXTURE
    for (int i = 0; i < 4; ++i) PutU32(out, 0);
    for (uint32_t p : image.pixels) PutU32(out, withAlpha ? p : (p | 0xFF000000u));
    return out;
}

std::vector<uint8_t> EncodePpm(const PixelImage& image) {
    std::vector<uint8_t> out;
    if (!Valid(image)) return out;
    std::string header =
        "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    out.assign(header.begin(), header.end());
    out.reserve(out.size() + image.pixels.size() * 3);
    for (uint32_t p : image.pixels) {
        out.push_back(static_cast<uint8_t>(p >> 16));
        out.push_back(static_cast<uint8_t>(p >> 8));
        out.push_back(static_cast<uint8_t>(p));
    }
    return out;
}

bool EncodeImageFile(ImageFileKind kind, const PixelImage& image, bool withAlpha, std::vector<uint8_t>& out) {
    switch (kind) {
    case ImageFileKind::Bmp:
        out = EncodeBmp(image);
        return !out.empty();
    case ImageFileKind::Png:
        return StbEncodePng(image, withAlpha, out);
    case ImageFileKind::Tga:
        return StbEncodeTga(image, withAlpha, out);
    case ImageFileKind::Jpg:
        return StbEncodeJpg(image, 90, out);
    case ImageFileKind::Ppm:
        out = EncodePpm(image);
        return !out.empty();
    case ImageFileKind::Dds:
        out = EncodeDds(image, withAlpha);
        return !out.empty();
    case ImageFileKind::Dib:
        return false;
    }
    return false;
}
