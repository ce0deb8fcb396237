#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d8/D3D8Types.h"

// The decoding core behind the D3DX image functions: image files in memory become plain
// A8R8G8B8 pixel arrays, independent of any device.

// One image of A8R8G8B8 words (alpha in the top byte), row by row from the top.
struct PixelImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;

    uint32_t& At(uint32_t x, uint32_t y) { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t At(uint32_t x, uint32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Makes an image of the given size filled with one colour; false when the size is zero or
// beyond the limits below.
bool MakePixelImage(PixelImage& image, uint32_t width, uint32_t height, uint32_t fill = 0);

// Container kinds; the numbers are those of D3DXIMAGE_FILEFORMAT.
enum class ImageFileKind : uint32_t { Bmp = 0, Jpg = 1, Tga = 2, Png = 3, Dds = 4, Ppm = 5, Dib = 6 };

// What a file holds without decoding its pixels.
struct ImageDescription {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mipLevels = 1;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    ImageFileKind kind = ImageFileKind::Bmp;
};

// A decoded file: level 0 and, for DDS files that carry them, the smaller mip levels, each
// half the size of the one before (at least 1). A DXT file also keeps its blocks untouched
// per level so that a texture of the same format can take them without loss.
struct DecodedImage {
    ImageDescription description;
    std::vector<PixelImage> levels;
    std::vector<std::vector<uint8_t>> blocks;
};

// Limits against hostile files: a side above maxSide or an area above maxPixels is refused
// before any pixel memory is taken. The area limit (4096 x 4096) keeps the working copies
// of a decoded image well below a gigabyte.
struct ImageLimits {
    uint32_t maxSide = 16384;
    uint64_t maxPixels = 16ull * 1024 * 1024;
};

enum class ImageStatus {
    Ok,
    InvalidData, // not an image we know, truncated, inconsistent or beyond the limits
    OutOfMemory,
};

ImageStatus ProbeImage(const uint8_t* data, size_t size, ImageDescription& out,
                       const ImageLimits& limits = ImageLimits());
ImageStatus DecodeImage(const uint8_t* data, size_t size, DecodedImage& out,
                        const ImageLimits& limits = ImageLimits());

// Number of levels of a full mip chain down to 1 x 1.
uint32_t FullMipChainLength(uint32_t width, uint32_t height);
