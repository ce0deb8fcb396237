#pragma once
// Block-compressed images (DXT1 to DXT5) decoded to A8R8G8B8 for upload: S3TC is no part
// of OpenGL 3.3 core.

#include "platform/d3d8/ResourceCommon.h"

#include <cstdint>

// Writes width x height A8R8G8B8 words, row by row, for a DXT1..DXT5 image.
void DecodeCompressedImage(const ImageMemory& image, uint32_t* out);
