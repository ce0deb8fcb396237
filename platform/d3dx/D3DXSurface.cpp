#include "platform/d3dx/D3DXSurface.h"

#include <cstdio>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/d3dx/D3DXImageAccess.h"
#include "platform/d3dx/D3DXImagePixels.h"
#include "platform/d3dx/ImageCodecWrite.h"

namespace {

// Scales an already cut-out source image into the destination area.
HRESULT StoreScaled(IDirect3DSurface8* dest, const RECT* destRect, PixelImage source, DWORD filter,
                    D3DCOLOR colorKey) {
    ResampleMode mode;
    if (!ToResampleMode(filter, ResampleMode::Box, mode)) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    HRESULT hr = dest->GetDesc(&desc);
    if (FAILED(hr)) return hr;
    RECT area;
    if (!ResolveRect(destRect, desc.Width, desc.Height, area)) return D3DERR_INVALIDCALL;
    ApplyColorKey(source, colorKey);
    PixelImage scaled;
    if (!Resample(source, static_cast<uint32_t>(area.right - area.left),
                  static_cast<uint32_t>(area.bottom - area.top), mode, scaled))
        return E_OUTOFMEMORY;
    return WriteSurfacePixels(dest, area, scaled);
}

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* f = OpenFile(path, "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

} // namespace

HRESULT D3DXLoadSurfaceFromMemory(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                  const RECT* destRect, const void* srcMemory, D3DFORMAT srcFormat,
                                  UINT srcPitch, const PALETTEENTRY* srcPalette, const RECT* srcRect,
                                  DWORD filter, D3DCOLOR colorKey) {
    (void)destPalette;
    (void)srcPalette;
    if (destSurface == nullptr || srcMemory == nullptr || srcRect == nullptr) return D3DERR_INVALIDCALL;
    const RECT& r = *srcRect;
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || !IsImageFormat(srcFormat))
        return D3DERR_INVALIDCALL;
    auto width = static_cast<uint32_t>(r.right - r.left), height = static_cast<uint32_t>(r.bottom - r.top);
    DxtKind kind;
    bool blocks = GetDxtKind(srcFormat, kind);
    if (blocks && (r.left % 4 != 0 || r.top % 4 != 0)) return D3DERR_INVALIDCALL;
    if (srcPitch < RowBytes(srcFormat, static_cast<uint32_t>(r.right))) return D3DERR_INVALIDCALL;
    // The rectangle starts at its first pixel (block) of its first row (block row); with block
    // formats the edges are block-aligned, so the same row and byte counts apply.
    const auto* base = static_cast<const uint8_t*>(srcMemory) +
                       static_cast<size_t>(RowCount(srcFormat, static_cast<uint32_t>(r.top))) * srcPitch +
                       static_cast<size_t>(RowBytes(srcFormat, static_cast<uint32_t>(r.left)));
    PixelImage source;
    if (!ReadPixels(srcFormat, base, srcPitch, width, height, source)) return E_OUTOFMEMORY;
    return StoreScaled(destSurface, destRect, std::move(source), filter, colorKey);
}

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                   const RECT* destRect, IDirect3DSurface8* srcSurface,
                                   const PALETTEENTRY* srcPalette, const RECT* srcRect, DWORD filter,
                                   D3DCOLOR colorKey) {
    (void)destPalette;
    (void)srcPalette;
    if (destSurface == nullptr || srcSurface == nullptr) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    HRESULT hr = srcSurface->GetDesc(&desc);
    if (FAILED(hr)) return hr;
    RECT area;
    if (!ResolveRect(srcRect, desc.Width, desc.Height, area)) return D3DERR_INVALIDCALL;
    PixelImage source;
    hr = ReadSurfacePixels(srcSurface, area, source);
    if (FAILED(hr)) return hr;
    return StoreScaled(destSurface, destRect, std::move(source), filter, colorKey);
}

HRESULT D3DXLoadSurfaceFromFileInMemory(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                        const RECT* destRect, const void* srcData, UINT srcDataSize,
                                        const RECT* srcRect, DWORD filter, D3DCOLOR colorKey,
                                        D3DXIMAGE_INFO* srcInfo) {
    (void)destPalette;
    if (destSurface == nullptr) return D3DERR_INVALIDCALL;
    DecodedImage image;
    HRESULT hr = DecodeFileInMemory(srcData, srcDataSize, image);
    if (FAILED(hr)) return hr;
    RECT area;
    const PixelImage& top = image.levels[0];
    if (!ResolveRect(srcRect, top.width, top.height, area)) return D3DERR_INVALIDCALL;
    PixelImage source;
    if (!CropImage(top, static_cast<uint32_t>(area.left), static_cast<uint32_t>(area.top),
                   static_cast<uint32_t>(area.right), static_cast<uint32_t>(area.bottom), source))
        return E_OUTOFMEMORY;
    hr = StoreScaled(destSurface, destRect, std::move(source), filter, colorKey);
    if (SUCCEEDED(hr)) FillImageInfo(image.description, srcInfo);
    return hr;
}

HRESULT D3DXLoadSurfaceFromFileA(IDirect3DSurface8* destSurface, const PALETTEENTRY* destPalette,
                                 const RECT* destRect, const char* srcFile, const RECT* srcRect, DWORD filter,
                                 D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo) {
    if (destSurface == nullptr) return D3DERR_INVALIDCALL;
    std::vector<uint8_t> bytes;
    HRESULT hr = ReadImageFile(srcFile, bytes);
    if (FAILED(hr)) return hr;
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return D3DXERR_INVALIDDATA;
    return D3DXLoadSurfaceFromFileInMemory(destSurface, destPalette, destRect, bytes.data(),
                                           static_cast<UINT>(bytes.size()), srcRect, filter, colorKey,
                                           srcInfo);
}

HRESULT D3DXSaveSurfaceToFileA(const char* destFile, D3DXIMAGE_FILEFORMAT destFormat,
                               IDirect3DSurface8* srcSurface, const PALETTEENTRY* srcPalette,
                               const RECT* srcRect) {
    (void)srcPalette;
    if (destFile == nullptr || *destFile == '\0' || srcSurface == nullptr) return D3DERR_INVALIDCALL;
    if (destFormat > D3DXIFF_PPM) return D3DERR_INVALIDCALL; // DIB and unknown containers
    D3DSURFACE_DESC desc{};
    HRESULT hr = srcSurface->GetDesc(&desc);
    if (FAILED(hr)) return hr;
    RECT area;
    if (!ResolveRect(srcRect, desc.Width, desc.Height, area)) return D3DERR_INVALIDCALL;
    PixelImage image;
    hr = ReadSurfacePixels(srcSurface, area, image);
    if (FAILED(hr)) return hr;
    std::vector<uint8_t> bytes;
    if (!EncodeImageFile(static_cast<ImageFileKind>(destFormat), image, HasAlphaChannel(desc.Format), bytes))
        return E_FAIL;
    return WriteFile(destFile, bytes) ? D3D_OK : E_FAIL;
}
