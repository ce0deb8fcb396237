// Texture creation from image files.
#include <utility>

#include "platform/d3dx/D3DXImageAccess.h"
#include "platform/d3dx/D3DXTexture.h"

namespace {

UINT NextPowerOfTwo(UINT v) {
    UINT p = 1;
    while (p < v && p < 0x80000000u) p <<= 1;
    return p;
}

bool IsDefault(UINT v) {
    return v == 0 || v == D3DX_DEFAULT;
}

struct LoadOptions {
    ResampleMode filter;
    ResampleMode mipFilter;
    D3DCOLOR colorKey;
};

// A file level can be used as it is when the texture level has exactly its size.
bool FileLevelFits(const DecodedImage& image, UINT level, const D3DSURFACE_DESC& desc) {
    return level < image.levels.size() && image.levels[level].width == desc.Width &&
           image.levels[level].height == desc.Height;
}

// The file's blocks go in unchanged when format and size agree and no colour key changes them.
bool BlocksFit(const DecodedImage& image, UINT level, const D3DSURFACE_DESC& desc, D3DCOLOR key) {
    return key == 0 && level < image.blocks.size() && desc.Format == image.description.format &&
           FileLevelFits(image, level, desc);
}

HRESULT FillLevels(IDirect3DTexture8* texture, const DecodedImage& image, const LoadOptions& options) {
    PixelImage above;
    DWORD levels = texture->GetLevelCount();
    // Level 0 decides whether the file's own smaller levels line up with the texture's.
    bool fileLevelsUsable = false;
    for (UINT level = 0; level < levels; ++level) {
        D3DSURFACE_DESC desc{};
        HRESULT hr = texture->GetLevelDesc(level, &desc);
        if (FAILED(hr)) return hr;
        if (level == 0) fileLevelsUsable = FileLevelFits(image, 0, desc);
        PixelImage current;
        if (level == 0 || (fileLevelsUsable && FileLevelFits(image, level, desc))) {
            PixelImage keyed = image.levels[level];
            ApplyColorKey(keyed, options.colorKey);
            ResampleMode mode = level == 0 ? options.filter : ResampleMode::None;
            if (!Resample(keyed, desc.Width, desc.Height, mode, current)) return E_OUTOFMEMORY;
            if (BlocksFit(image, level, desc, options.colorKey)) {
                hr = WriteTextureBlocks(texture, level, image.blocks[level]);
                if (FAILED(hr)) return hr;
                above = std::move(current);
                continue;
            }
        } else if (!Resample(above, desc.Width, desc.Height, options.mipFilter, current)) {
            return E_OUTOFMEMORY;
        }
        hr = WriteTextureLevel(texture, level, current);
        if (FAILED(hr)) return hr;
        above = std::move(current);
    }
    return D3D_OK;
}

// Default-pool textures without D3DUSAGE_DYNAMIC cannot be locked in Direct3D 8: they are
// filled in system memory and copied over with UpdateTexture.
bool NeedsStaging(D3DPOOL pool, DWORD usage) {
    return pool == D3DPOOL_DEFAULT && !(usage & D3DUSAGE_DYNAMIC);
}

HRESULT FillThroughStaging(IDirect3DDevice8* device, IDirect3DTexture8* target, const DecodedImage& image,
                           const LoadOptions& options) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = target->GetLevelDesc(0, &desc);
    if (FAILED(hr)) return hr;
    IDirect3DTexture8* staging = nullptr;
    hr = device->CreateTexture(desc.Width, desc.Height, target->GetLevelCount(), 0, desc.Format,
                               D3DPOOL_SYSTEMMEM, &staging);
    if (FAILED(hr)) return hr;
    hr = FillLevels(staging, image, options);
    if (SUCCEEDED(hr)) hr = device->UpdateTexture(staging, target);
    staging->Release();
    return hr;
}

} // namespace

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, const void* srcData, UINT srcDataSize,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            IDirect3DTexture8** texture) {
    (void)palette;
    if (device == nullptr || srcData == nullptr || srcDataSize == 0 || texture == nullptr)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    LoadOptions options{ResampleMode::Box, ResampleMode::Box, colorKey};
    if (!ToResampleMode(filter, ResampleMode::Box, options.filter) ||
        !ToResampleMode(mipFilter, ResampleMode::Box, options.mipFilter))
        return D3DERR_INVALIDCALL;

    DecodedImage image;
    HRESULT hr = DecodeFileInMemory(srcData, srcDataSize, image);
    if (FAILED(hr)) return hr;
    const ImageDescription& file = image.description;

    // Sizes taken from the file are rounded up to powers of two, as D3DX does by default.
    if (IsDefault(width)) width = NextPowerOfTwo(file.width);
    if (IsDefault(height)) height = NextPowerOfTwo(file.height);
    if (format == D3DFMT_UNKNOWN || static_cast<UINT>(format) == D3DX_DEFAULT) format = file.format;
    hr = D3DXCheckTextureRequirements(device, &width, &height, &mipLevels, usage, &format, pool);
    if (FAILED(hr)) return hr;

    IDirect3DTexture8* created = nullptr;
    hr = device->CreateTexture(width, height, mipLevels, usage, format, pool, &created);
    if (FAILED(hr)) return hr;
    if (created == nullptr) return E_FAIL;
    hr = NeedsStaging(pool, usage) ? FillThroughStaging(device, created, image, options)
                                   : FillLevels(created, image, options);
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    FillImageInfo(file, srcInfo);
    *texture = created;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8* device, const char* srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture8** texture) {
    if (device == nullptr || texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    std::vector<uint8_t> bytes;
    HRESULT hr = ReadImageFile(srcFile, bytes);
    if (FAILED(hr)) return hr;
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return D3DXERR_INVALIDDATA;
    return D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), static_cast<UINT>(bytes.size()), width,
                                               height, mipLevels, usage, format, pool, filter, mipFilter,
                                               colorKey, srcInfo, palette, texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, const char* srcFile,
                                   IDirect3DTexture8** texture) {
    return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        nullptr, nullptr, texture);
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice8* device, const void* srcData, UINT srcDataSize,
                                          IDirect3DTexture8** texture) {
    return D3DXCreateTextureFromFileInMemoryEx(device, srcData, srcDataSize, D3DX_DEFAULT, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}
