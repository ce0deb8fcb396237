#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3dx/ImageCodec.h"

// Writes a decoded image as a whole file into `out`.
//   BMP: 24 bits per pixel, bottom-up rows, no alpha (the screenshot format every viewer reads).
//   PNG, TGA: RGBA when withAlpha, else RGB.
//   JPG: quality 90, no alpha.
//   PPM: binary P6, no alpha.
//   DDS: uncompressed A8R8G8B8 (withAlpha) or X8R8G8B8, one level.
// DIB (a BMP without its file header) is not written. False for that and on failure.
bool EncodeImageFile(ImageFileKind kind, const PixelImage& image, bool withAlpha, std::vector<uint8_t>& out);

std::vector<uint8_t> EncodeBmp(const PixelImage& image);
std::vector<uint8_t> EncodeDds(const PixelImage& image, bool withAlpha);
std::vector<uint8_t> EncodePpm(const PixelImage& image);
