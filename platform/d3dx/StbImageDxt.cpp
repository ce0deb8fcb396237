// stb_dxt compiled here for writing DXT textures from decoded pixels.
#include <cstring>

#include "platform/d3dx/ImageCodecStb.h"

#define STB_DXT_IMPLEMENTATION
#define STB_DXT_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_dxt.h>
#pragma GCC diagnostic pop

void CompressDxtColourBlock(uint8_t* block, const uint8_t rgba[64]) {
    stb_compress_dxt_block(block, rgba, 0, STB_DXT_HIGHQUAL);
}

void CompressDxtAlphaColourBlock(uint8_t* block, const uint8_t rgba[64]) {
    stb_compress_dxt_block(block, rgba, 1, STB_DXT_HIGHQUAL);
}
