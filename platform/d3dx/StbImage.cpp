// stb_image compiled here, limited to the containers the image reader accepts and to the
// dimension limit of ImageLimits.
#include <climits>
#include <cstring>

#include "platform/d3dx/ImageCodecStb.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_PNM
#define STBI_MAX_DIMENSIONS 16384
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#pragma GCC diagnostic pop

bool StbProbe(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height, int& channels) {
    if (data == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) return false;
    int w = 0, h = 0, c = 0;
    if (!stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &c)) return false;
    if (w <= 0 || h <= 0 || c < 1 || c > 4) return false;
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
    channels = c;
    return true;
}

bool StbDecode(const uint8_t* data, size_t size, PixelImage& out) {
    if (data == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) return false;
    int w = 0, h = 0, c = 0;
    stbi_uc* rgba = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &c, 4);
    if (rgba == nullptr) return false;
    bool ok = w > 0 && h > 0 && MakePixelImage(out, static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    if (ok) {
        const stbi_uc* p = rgba;
        for (uint32_t& pixel : out.pixels) {
            pixel = (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[0]) << 16) |
                    (static_cast<uint32_t>(p[1]) << 8) | p[2];
            p += 4;
        }
    }
    stbi_image_free(rgba);
    return ok;
}
