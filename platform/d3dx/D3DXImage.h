#pragma once

// D3DX image files: the constants and records shared by the texture and surface functions,
// and the image information of a file. Texture creation is in D3DXTexture.h, surface loading
// and saving in D3DXSurface.h.
//
// Files read: BMP, JPG, PNG, TGA, binary PPM/PGM (through stb_image) and DDS (our own reader:
// DXT1 to DXT5, uncompressed RGB, luminance and alpha layouts, mip levels). A file that is cut
// short, inconsistent, or larger than 16384 pixels a side or 4096 x 4096 in area gives
// D3DXERR_INVALIDDATA.

#include "platform/d3d8/D3D8.h"

// "Use the default": sizes from the file, a full mip chain, the file's format, the default filter.
constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;

// Filters: one of NONE to BOX in the low bits, optionally with MIRROR and DITHER flags (both
// accepted and ignored here: edges are clamped, no dithering).
constexpr DWORD D3DX_FILTER_NONE = 1;
constexpr DWORD D3DX_FILTER_POINT = 2;
constexpr DWORD D3DX_FILTER_LINEAR = 3;
constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
constexpr DWORD D3DX_FILTER_BOX = 5;
constexpr DWORD D3DX_FILTER_MIRROR_U = 1u << 16;
constexpr DWORD D3DX_FILTER_MIRROR_V = 2u << 16;
constexpr DWORD D3DX_FILTER_MIRROR_W = 4u << 16;
constexpr DWORD D3DX_FILTER_MIRROR = 7u << 16;
constexpr DWORD D3DX_FILTER_DITHER = 8u << 16;

enum D3DXIMAGE_FILEFORMAT : DWORD {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_FORCE_DWORD = 0x7FFFFFFF
};

struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// Palette entry of palettized formats. Our devices have no palettized formats: palette
// arguments are accepted and ignored.
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// Size, mip levels, format and container of an image file. The format is the one the file
// stores: R8G8B8 for 24-bit colour, X8R8G8B8 for JPG colour, A8R8G8B8 with alpha, L8 for grey,
// X1R5G5B5/R5G6B5/A1R5G5B5 for 16-bit BMP and TGA, P8 for palettized BMP and TGA, the DDS
// file's own format. A missing file gives HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
HRESULT D3DXGetImageInfoFromFileA(const char* srcFile, D3DXIMAGE_INFO* srcInfo);
HRESULT D3DXGetImageInfoFromFileInMemory(const void* srcData, UINT srcDataSize, D3DXIMAGE_INFO* srcInfo);

inline HRESULT D3DXGetImageInfoFromFile(const char* srcFile, D3DXIMAGE_INFO* srcInfo) {
    return D3DXGetImageInfoFromFileA(srcFile, srcInfo);
}
