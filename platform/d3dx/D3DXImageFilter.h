#pragma once

#include <cstdint>

#include "platform/d3dx/ImageCodec.h"

// Scaling of decoded images for texture loading and mip levels.

enum class ResampleMode {
    None,   // no scaling: the overlapping top-left area is copied, the rest is transparent black
    Point,  // nearest source pixel
    Linear, // bilinear between the four nearest pixel centres
    Box,    // area average when shrinking (a 2:1 step averages 2 x 2 pixels), bilinear when growing
};

// Scales `src` to width x height; false when the size is not possible.
bool Resample(const PixelImage& src, uint32_t width, uint32_t height, ResampleMode mode, PixelImage& out);

// Every pixel equal to `key` becomes transparent black; a key of 0 does nothing.
void ApplyColorKey(PixelImage& image, uint32_t key);

// The area [left, right) x [top, bottom) of `src`; false when it is empty or outside.
bool CropImage(const PixelImage& src, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom,
               PixelImage& out);
