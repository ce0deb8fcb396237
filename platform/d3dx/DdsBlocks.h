#pragma once

#include <cstddef>
#include <cstdint>

// Block-compressed (DXT1 to DXT5) pixel data. A block covers 4 x 4 pixels; pixels are
// A8R8G8B8 words (alpha in the top byte), 16 per block, row by row.

enum class DxtKind { Dxt1, Dxt3, Dxt5 };

// Bytes of one block: 8 for DXT1, 16 for DXT3 and DXT5.
size_t DxtBlockBytes(DxtKind kind);

// Decodes one block into 16 pixels.
void DecodeDxtBlock(DxtKind kind, const uint8_t* block, uint32_t out[16]);

// Encodes 16 pixels into one block. DXT1 keeps one bit of alpha: pixels with alpha below
// 128 become transparent black.
void EncodeDxtBlock(DxtKind kind, const uint32_t pixels[16], uint8_t* block);
