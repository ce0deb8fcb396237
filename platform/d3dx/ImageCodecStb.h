#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3dx/ImageCodec.h"

// The stb libraries, compiled into our own translation units (StbImage*.cpp) so that the
// sanitizers and fuzzers see their code.

// Size and channel count (1 grey, 2 grey + alpha, 3 colour, 4 colour + alpha) of a BMP, JPG,
// PNG, TGA or PPM/PGM file; false when stb does not recognise it.
bool StbProbe(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height, int& channels);

// Decodes such a file into A8R8G8B8 words; false on any decoding error.
bool StbDecode(const uint8_t* data, size_t size, PixelImage& out);

// Encoders writing a whole file into `out`; withAlpha keeps the alpha channel where the
// container can hold it.
bool StbEncodePng(const PixelImage& image, bool withAlpha, std::vector<uint8_t>& out);
bool StbEncodeTga(const PixelImage& image, bool withAlpha, std::vector<uint8_t>& out);
bool StbEncodeJpg(const PixelImage& image, int quality, std::vector<uint8_t>& out);

// DXT block compression of 16 pixels given as R, G, B, A bytes: the 8-byte colour block, and
// the 16-byte block with interpolated alpha (DXT5).
void CompressDxtColourBlock(uint8_t* block, const uint8_t rgba[64]);
void CompressDxtAlphaColourBlock(uint8_t* block, const uint8_t rgba[64]);
