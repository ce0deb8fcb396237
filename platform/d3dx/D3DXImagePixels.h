#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3dx/DdsBlocks.h"
#include "platform/d3dx/ImageCodec.h"

// Pixel formats as the image functions read and write them. Every uncompressed format is a
// set of channel masks over a little-endian word of 1 to 4 bytes; the block formats go
// through DdsBlocks.

struct PixelLayout {
    uint32_t bytes = 0; // per pixel
    uint32_t red = 0, green = 0, blue = 0, alpha = 0;
    bool luminance = false; // `red` masks one grey value for all three colours
};

// The layout of an uncompressed format; false for block formats and formats we do not handle.
bool GetPixelLayout(D3DFORMAT format, PixelLayout& layout);

// The block kind of DXT1 to DXT5 (DXT2 and DXT4 decode as DXT3 and DXT5); false otherwise.
bool GetDxtKind(D3DFORMAT format, DxtKind& kind);

// True for every format ReadPixels and WritePixels handle.
bool IsImageFormat(D3DFORMAT format);
bool HasAlphaChannel(D3DFORMAT format);

// Bytes of `rows` rows (block rows for DXT) of `width` pixels; 0 for unknown formats.
uint64_t RowBytes(D3DFORMAT format, uint32_t width);
// Number of rows (block rows for DXT) that hold `height` pixel rows.
uint32_t RowCount(D3DFORMAT format, uint32_t height);

uint32_t DecodePixel(const PixelLayout& layout, const uint8_t* p);
void EncodePixel(const PixelLayout& layout, uint32_t argb, uint8_t* p);

// Converts a width x height area stored at `bits` with row pitch `pitch` (bytes between rows,
// block rows for DXT) into `out`, and back. The caller guarantees the memory covers the area.
bool ReadPixels(D3DFORMAT format, const uint8_t* bits, size_t pitch, uint32_t width, uint32_t height,
                PixelImage& out);
bool WritePixels(D3DFORMAT format, const PixelImage& image, uint8_t* bits, size_t pitch);

// Grey value used when writing luminance formats: 0.2125 R + 0.7154 G + 0.0721 B, rounded.
uint8_t LuminanceOf(uint32_t argb);
