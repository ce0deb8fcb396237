#pragma once

// D3DX texture creation: plain textures checked against the device, and textures loaded from
// image files with scaling, colour key, format conversion and a mip chain.

#include "platform/d3dx/D3DXImage.h"

// Corrects texture parameters to what the device accepts (any pointer may be null):
//  - size 0 or D3DX_DEFAULT becomes 256; sizes are rounded up to powers of two when the device
//    has D3DPTEXTURECAPS_POW2 (unless it also allows non-powers of two conditionally and one
//    level is asked for), made square for SQUAREONLY, and cut to the maximum texture size;
//  - mip levels 0 or D3DX_DEFAULT become the full chain; more than the full chain are cut; a
//    device without mipmaps gets 1;
//  - format UNKNOWN or D3DX_DEFAULT becomes A8R8G8B8; a format the device (CheckDeviceFormat)
//    or our converters do not take becomes the nearest one that both take, keeping alpha where
//    the request has it (R8G8B8 -> X8R8G8B8, DXTn -> A8R8G8B8 on a device without DXT,
//    P8 -> X8R8G8B8). D3DERR_NOTAVAILABLE when nothing fits.
HRESULT D3DXCheckTextureRequirements(IDirect3DDevice8* device, UINT* width, UINT* height, UINT* numMipLevels,
                                     DWORD usage, D3DFORMAT* format, D3DPOOL pool);

HRESULT D3DXCreateTexture(IDirect3DDevice8* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** texture);

// Loads an image file into a new texture.
//  - width/height 0 or D3DX_DEFAULT: the file's size rounded up to powers of two; otherwise
//    the given size, corrected as D3DXCheckTextureRequirements does;
//  - format UNKNOWN or D3DX_DEFAULT: the file's format, then corrected for the device;
//  - filter (D3DX_DEFAULT = TRIANGLE) scales the image to the texture; NONE copies it unscaled
//    to the top-left corner with transparent black around it. TRIANGLE and BOX average areas
//    when shrinking and interpolate linearly when growing; LINEAR interpolates; POINT picks;
//  - mipFilter (D3DX_DEFAULT = BOX) makes each further level from the one above; levels a DDS
//    file carries at the right size are taken from the file instead;
//  - colorKey: pixels equal to this A8R8G8B8 value (as decoded from the file) become
//    transparent black before scaling; 0 disables it;
//  - srcInfo, when given, receives the file's image information; palette is ignored.
// DXT blocks of a DDS file go unchanged into a texture of the same format and size; any other
// DXT texture is compressed from the decoded pixels.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8* device, const char* srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture8** texture);
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, const void* srcData, UINT srcDataSize,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            IDirect3DTexture8** texture);
// All defaults, managed pool.
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, const char* srcFile,
                                   IDirect3DTexture8** texture);
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice8* device, const void* srcData, UINT srcDataSize,
                                          IDirect3DTexture8** texture);

// Rebuilds the levels below srcLevel (D3DX_DEFAULT = 0) of a texture, each from the one above
// with `filter` (D3DX_DEFAULT = BOX).
HRESULT D3DXFilterTexture(IDirect3DBaseTexture8* baseTexture, const PALETTEENTRY* palette, UINT srcLevel,
                          DWORD filter);

inline HRESULT D3DXCreateTextureFromFileEx(IDirect3DDevice8* device, const char* srcFile, UINT width,
                                           UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                           D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                           D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                           IDirect3DTexture8** texture) {
    return D3DXCreateTextureFromFileExA(device, srcFile, width, height, mipLevels, usage, format, pool,
                                        filter, mipFilter, colorKey, srcInfo, palette, texture);
}
inline HRESULT D3DXCreateTextureFromFile(IDirect3DDevice8* device, const char* srcFile,
                                         IDirect3DTexture8** texture) {
    return D3DXCreateTextureFromFileA(device, srcFile, texture);
}
