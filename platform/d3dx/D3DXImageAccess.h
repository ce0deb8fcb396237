#pragma once

// Shared pieces of the D3DX texture and surface functions: reading files, turning decoder
// results and filter words into result codes and modes, and moving pixels between decoded
// images and locked surfaces or texture levels.

#include <cstdint>
#include <vector>

#include "platform/d3dx/D3DXImage.h"
#include "platform/d3dx/D3DXImageFilter.h"
#include "platform/d3dx/ImageCodec.h"

// The whole file through the platform file layer; HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
// when it cannot be opened, D3DXERR_INVALIDDATA when it cannot be read.
HRESULT ReadImageFile(const char* path, std::vector<uint8_t>& out);

HRESULT ToResult(ImageStatus status);
HRESULT DecodeFileInMemory(const void* data, UINT size, DecodedImage& out);
void FillImageInfo(const ImageDescription& description, D3DXIMAGE_INFO* info);

// The resampling mode of a D3DX filter word; D3DX_DEFAULT gives `fallback`. False for a word
// whose filter type is not NONE to BOX.
bool ToResampleMode(DWORD filter, ResampleMode fallback, ResampleMode& mode);

// The area of a surface a rectangle names (the whole surface for none); false when the
// rectangle is empty or reaches outside.
bool ResolveRect(const RECT* rect, UINT width, UINT height, RECT& out);

// Reads or writes the area `rect` of a surface / texture level. A block-compressed area must
// start on a block edge and end on one or at the surface edge.
HRESULT ReadSurfacePixels(IDirect3DSurface8* surface, const RECT& rect, PixelImage& out);
HRESULT WriteSurfacePixels(IDirect3DSurface8* surface, const RECT& rect, const PixelImage& image);
HRESULT ReadTextureLevel(IDirect3DTexture8* texture, UINT level, PixelImage& out);
HRESULT WriteTextureLevel(IDirect3DTexture8* texture, UINT level, const PixelImage& image);
// Copies the blocks of a whole DXT level as the file stored them.
HRESULT WriteTextureBlocks(IDirect3DTexture8* texture, UINT level, const std::vector<uint8_t>& blocks);
