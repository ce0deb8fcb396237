// Pixel formats: sizes, row pitches, mip chains and conversion of single pixels to and from
// 32-bit ARGB. Shared by every device and by the image code.
#pragma once

#include "platform/d3d8/D3D8Types.h"

// Bits per pixel of a format; 4 for DXT1, 8 for DXT2..5; 0 for formats we do not store.
UINT FormatBitsPerPixel(D3DFORMAT format);
// True for formats a surface or texture can hold (colour, luminance, depth, DXT).
bool IsKnownFormat(D3DFORMAT format);
bool IsCompressedFormat(D3DFORMAT format); // DXT1..DXT5: 4 x 4 pixel blocks
bool IsDepthFormat(D3DFORMAT format);
bool FormatHasStencil(D3DFORMAT format);
bool FormatHasAlpha(D3DFORMAT format);
// Bytes of one 4 x 4 block of a compressed format (8 for DXT1, 16 for the others), else 0.
UINT FormatBlockBytes(D3DFORMAT format);
// Bytes from one row to the next (a row of blocks for compressed formats), packed without padding.
UINT FormatRowPitch(D3DFORMAT format, UINT width);
// Rows in memory: the height, or the number of block rows for compressed formats.
UINT FormatRowCount(D3DFORMAT format, UINT height);
UINT FormatImageSize(D3DFORMAT format, UINT width, UINT height);

// Size of mip level `level` of a dimension: halved per level, never below 1.
constexpr UINT MipDimension(UINT size, UINT level) {
    UINT s = level >= 32 ? 0 : size >> level;
    return s == 0 ? 1 : s;
}
// Number of levels of a full chain down to 1 x 1.
UINT FullMipLevelCount(UINT width, UINT height);

constexpr bool IsPowerOfTwo(UINT v) {
    return v != 0 && (v & (v - 1)) == 0;
}

// Single pixels of uncompressed colour formats (R8G8B8, A8R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5,
// A1R5G5B5, A4R4G4B4, X4R4G4B4, R3G3B2, A8, L8, A8L8, A4L4). Formats without alpha read as alpha 255;
// narrow channels are widened by repeating their top bits (so 31 in 5 bits reads 255).
bool CanConvertPixels(D3DFORMAT format);
D3DCOLOR ReadPixelARGB(D3DFORMAT format, const BYTE* pixel);
void WritePixelARGB(D3DFORMAT format, BYTE* pixel, D3DCOLOR color);
