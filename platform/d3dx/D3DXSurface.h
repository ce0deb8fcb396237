#pragma once

// D3DX surface functions: loading an area of a surface from memory, another surface or an
// image file, with scaling, colour key and format conversion, and saving a surface to a file.

#include "platform/d3dx/D3DXImage.h"

// Common rules: a null destination rectangle means the whole surface; the source area is
// scaled to the destination area with `filter` (D3DX_DEFAULT = TRIANGLE, see D3DXTexture.h);
// colorKey (0 = none) turns equal source pixels transparent black; palettes are ignored.
// Rectangles outside their surface give D3DERR_INVALIDCALL; on block-compressed surfaces they
// must lie on 4-pixel block edges.

// srcRect is required; srcPitch is the byte distance between rows (block rows for DXT).
HRESULT D3DXLoadSurfaceFromMemory(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                  const RECT* destRect, const void* srcMemory, D3DFORMAT srcFormat,
                                  UINT srcPitch, const PALETTEENTRY* srcPalette, const RECT* srcRect,
                                  DWORD filter, D3DCOLOR colorKey);

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                   const RECT* destRect, IDirect3DSurface8* srcSurface,
                                   const PALETTEENTRY* srcPalette, const RECT* srcRect, DWORD filter,
                                   D3DCOLOR colorKey);

HRESULT D3DXLoadSurfaceFromFileInMemory(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                        const RECT* destRect, const void* srcData, UINT srcDataSize,
                                        const RECT* srcRect, DWORD filter, D3DCOLOR colorKey,
                                        D3DXIMAGE_INFO* srcInfo);
HRESULT D3DXLoadSurfaceFromFileA(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                 const RECT* destRect, const char* srcFile, const RECT* srcRect, DWORD filter,
                                 D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo);

// Writes an area of a surface (null = all) to a file, created or replaced through the
// platform file layer. BMP is written with 24 bits per pixel (alpha dropped), PNG and TGA keep
// alpha when the surface format has it, JPG (quality 90) and PPM drop it, DDS is written as
// uncompressed A8R8G8B8 or X8R8G8B8. DIB gives D3DERR_INVALIDCALL. A file that cannot be
// written gives E_FAIL.
HRESULT D3DXSaveSurfaceToFileA(const char* destFile, D3DXIMAGE_FILEFORMAT destFormat,
                               IDirect3DSurface8* srcSurface, const PALETTEENTRY* srcPalette,
                               const RECT* srcRect);

inline HRESULT D3DXLoadSurfaceFromFile(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                       const RECT* destRect, const char* srcFile, const RECT* srcRect,
                                       DWORD filter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo) {
    return D3DXLoadSurfaceFromFileA(destSurface, destPalette, destRect, srcFile, srcRect, filter, colorKey,
                                    srcInfo);
}
inline HRESULT D3DXSaveSurfaceToFile(const char* destFile, D3DXIMAGE_FILEFORMAT destFormat,
                                     IDirect3DSurface8* srcSurface, const PALETTEENTRY* srcPalette,
                                     const RECT* srcRect) {
    return D3DXSaveSurfaceToFileA(destFile, destFormat, srcSurface, srcPalette, srcRect);
}
