#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3dx/ImageCodec.h"

// Our reader of DirectDraw Surface files: 2D images (the first face of a cube map) in DXT1 to
// DXT5 or in an uncompressed RGB, luminance or alpha layout given by channel masks, with
// their mip levels. Volume textures and the extended DX10 header are refused.

bool IsDdsFile(const uint8_t* data, size_t size);

ImageStatus ProbeDds(const uint8_t* data, size_t size, ImageDescription& out, const ImageLimits& limits);
ImageStatus DecodeDds(const uint8_t* data, size_t size, DecodedImage& out, const ImageLimits& limits);
