// stb_image_write compiled here for the PNG, TGA and JPG encoders of the surface saver.
#include <climits>

#include "platform/d3dx/ImageCodecStb.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (size > 0) out->insert(out->end(), bytes, bytes + size);
}

// R, G, B (and A) bytes per pixel, the layout stb writes from.
std::vector<uint8_t> ToBytes(const PixelImage& image, int channels) {
    std::vector<uint8_t> bytes;
    bytes.reserve(image.pixels.size() * static_cast<size_t>(channels));
    for (uint32_t p : image.pixels) {
        bytes.push_back(static_cast<uint8_t>(p >> 16));
        bytes.push_back(static_cast<uint8_t>(p >> 8));
        bytes.push_back(static_cast<uint8_t>(p));
        if (channels == 4) bytes.push_back(static_cast<uint8_t>(p >> 24));
    }
    return bytes;
}

bool Encodable(const PixelImage& image) {
    return image.width > 0 && image.height > 0 && image.width <= INT_MAX / 4 && image.height <= INT_MAX &&
           image.pixels.size() == static_cast<size_t>(image.width) * image.height;
}

} // namespace

bool StbEncodePng(const PixelImage& image, bool withAlpha, std::vector<uint8_t>& out) {
    if (!Encodable(image)) return false;
    int channels = withAlpha ? 4 : 3;
    std::vector<uint8_t> bytes = ToBytes(image, channels);
    out.clear();
    int w = static_cast<int>(image.width), h = static_cast<int>(image.height);
    return stbi_write_png_to_func(Append, &out, w, h, channels, bytes.data(), w * channels) != 0;
}

bool StbEncodeTga(const PixelImage& image, bool withAlpha, std::vector<uint8_t>& out) {
    if (!Encodable(image)) return false;
    int channels = withAlpha ? 4 : 3;
    std::vector<uint8_t> bytes = ToBytes(image, channels);
    out.clear();
    return stbi_write_tga_to_func(Append, &out, static_cast<int>(image.width), static_cast<int>(image.height),
                                  channels, bytes.data()) != 0;
}

bool StbEncodeJpg(const PixelImage& image, int quality, std::vector<uint8_t>& out) {
    if (!Encodable(image)) return false;
    std::vector<uint8_t> bytes = ToBytes(image, 3);
    out.clear();
    return stbi_write_jpg_to_func(Append, &out, static_cast<int>(image.width), static_cast<int>(image.height),
                                  3, bytes.data(), quality) != 0;
}
