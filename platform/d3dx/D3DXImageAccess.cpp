#include "platform/d3dx/D3DXImageAccess.h"

#include <cstring>

#include "platform/FileSystem.h"
#include "platform/d3dx/D3DXImagePixels.h"

namespace {

bool BlockAligned(D3DFORMAT format, const RECT& r, UINT width, UINT height) {
    DxtKind kind;
    if (!GetDxtKind(format, kind)) return true;
    auto edge = [](LONG v, UINT size) { return v % 4 == 0 || static_cast<UINT>(v) == size; };
    return r.left % 4 == 0 && r.top % 4 == 0 && edge(r.right, width) && edge(r.bottom, height);
}

bool WholeArea(const RECT& r, UINT width, UINT height) {
    return r.left == 0 && r.top == 0 && static_cast<UINT>(r.right) == width &&
           static_cast<UINT>(r.bottom) == height;
}

// Locks the area through `lock` (a surface's or a texture level's LockRect), runs `body` on
// the pointer and pitch, and unlocks through `unlock`.
template <class Lock, class Unlock, class Body>
HRESULT WithLock(const D3DSURFACE_DESC& desc, const RECT& rect, DWORD flags, Lock lock, Unlock unlock,
                 Body body) {
    if (!IsImageFormat(desc.Format)) return D3DERR_INVALIDCALL;
    if (!BlockAligned(desc.Format, rect, desc.Width, desc.Height)) return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked{};
    const RECT* area = WholeArea(rect, desc.Width, desc.Height) ? nullptr : &rect;
    HRESULT hr = lock(&locked, area, flags);
    if (FAILED(hr)) return hr;
    bool ok = locked.pBits != nullptr && locked.Pitch > 0 &&
              static_cast<uint64_t>(locked.Pitch) >=
                  RowBytes(desc.Format, static_cast<uint32_t>(rect.right - rect.left)) &&
              body(static_cast<uint8_t*>(locked.pBits), static_cast<size_t>(locked.Pitch));
    HRESULT unlocked = unlock();
    if (!ok) return E_FAIL;
    return unlocked;
}

} // namespace

HRESULT ReadImageFile(const char* path, std::vector<uint8_t>& out) {
    if (path == nullptr || *path == '\0') return D3DERR_INVALIDCALL;
    if (!FileExists(path)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (!ReadWholeFile(path, out)) return D3DXERR_INVALIDDATA;
    return D3D_OK;
}

HRESULT ToResult(ImageStatus status) {
    switch (status) {
    case ImageStatus::Ok:
        return D3D_OK;
    case ImageStatus::OutOfMemory:
        return E_OUTOFMEMORY;
    case ImageStatus::InvalidData:
        break;
    }
    return D3DXERR_INVALIDDATA;
}

HRESULT DecodeFileInMemory(const void* data, UINT size, DecodedImage& out) {
    if (data == nullptr || size == 0) return D3DERR_INVALIDCALL;
    return ToResult(DecodeImage(static_cast<const uint8_t*>(data), size, out));
}

void FillImageInfo(const ImageDescription& description, D3DXIMAGE_INFO* info) {
    if (info == nullptr) return;
    info->Width = description.width;
    info->Height = description.height;
    info->Depth = 1;
    info->MipLevels = description.mipLevels;
    info->Format = description.format;
    info->ResourceType = D3DRTYPE_TEXTURE;
    info->ImageFileFormat = static_cast<D3DXIMAGE_FILEFORMAT>(description.kind);
}

bool ToResampleMode(DWORD filter, ResampleMode fallback, ResampleMode& mode) {
    if (filter == D3DX_DEFAULT) {
        mode = fallback;
        return true;
    }
    switch (filter & 0xFFFF) {
    case D3DX_FILTER_NONE:
        mode = ResampleMode::None;
        return true;
    case D3DX_FILTER_POINT:
        mode = ResampleMode::Point;
        return true;
    case D3DX_FILTER_LINEAR:
        mode = ResampleMode::Linear;
        return true;
    case D3DX_FILTER_TRIANGLE:
    case D3DX_FILTER_BOX:
        mode = ResampleMode::Box;
        return true;
    default:
        return false;
    }
}

bool ResolveRect(const RECT* rect, UINT width, UINT height, RECT& out) {
    if (rect == nullptr) {
        out = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        return width > 0 && height > 0;
    }
    out = *rect;
    return out.left >= 0 && out.top >= 0 && out.left < out.right && out.top < out.bottom &&
           static_cast<UINT>(out.right) <= width && static_cast<UINT>(out.bottom) <= height;
}

namespace {

HRESULT ReadLockable(IDirect3DSurface8* surface, const D3DSURFACE_DESC& desc, const RECT& rect,
                     PixelImage& out) {
    return WithLock(
        desc, rect, D3DLOCK_READONLY,
        [&](D3DLOCKED_RECT* l, const RECT* r, DWORD f) { return surface->LockRect(l, r, f); },
        [&] { return surface->UnlockRect(); },
        [&](uint8_t* bits, size_t pitch) {
            return ReadPixels(desc.Format, bits, pitch, static_cast<uint32_t>(rect.right - rect.left),
                              static_cast<uint32_t>(rect.bottom - rect.top), out);
        });
}

HRESULT WriteLockable(IDirect3DSurface8* surface, const D3DSURFACE_DESC& desc, const RECT& rect,
                      const PixelImage& image) {
    return WithLock(
        desc, rect, 0, [&](D3DLOCKED_RECT* l, const RECT* r, DWORD f) { return surface->LockRect(l, r, f); },
        [&] { return surface->UnlockRect(); },
        [&](uint8_t* bits, size_t pitch) { return WritePixels(desc.Format, image, bits, pitch); });
}

// Surfaces in the default pool (back buffers, levels of default-pool textures) cannot be
// locked in Direct3D 8: their pixels travel through a system-memory image surface of the
// rectangle's size and CopyRects.
HRESULT MakeStaging(IDirect3DSurface8* surface, const D3DSURFACE_DESC& desc, const RECT& rect,
                    IDirect3DDevice8** device, IDirect3DSurface8** staging) {
    HRESULT hr = surface->GetDevice(device);
    if (FAILED(hr)) return hr;
    hr = (*device)->CreateImageSurface(static_cast<UINT>(rect.right - rect.left),
                                       static_cast<UINT>(rect.bottom - rect.top), desc.Format, staging);
    if (FAILED(hr)) SafeRelease(*device);
    return hr;
}

bool NeedsStaging(const D3DSURFACE_DESC& desc) {
    return desc.Pool == D3DPOOL_DEFAULT && !(desc.Usage & D3DUSAGE_DYNAMIC);
}

} // namespace

HRESULT ReadSurfacePixels(IDirect3DSurface8* surface, const RECT& rect, PixelImage& out) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = surface->GetDesc(&desc);
    if (FAILED(hr)) return hr;
    if (!NeedsStaging(desc)) return ReadLockable(surface, desc, rect, out);
    IDirect3DDevice8* device = nullptr;
    IDirect3DSurface8* staging = nullptr;
    hr = MakeStaging(surface, desc, rect, &device, &staging);
    if (FAILED(hr)) return hr;
    POINT origin{0, 0};
    hr = device->CopyRects(surface, &rect, 1, staging, &origin);
    D3DSURFACE_DESC stagingDesc{};
    if (SUCCEEDED(hr)) hr = staging->GetDesc(&stagingDesc);
    RECT all{0, 0, rect.right - rect.left, rect.bottom - rect.top};
    if (SUCCEEDED(hr)) hr = ReadLockable(staging, stagingDesc, all, out);
    staging->Release();
    device->Release();
    return hr;
}

HRESULT WriteSurfacePixels(IDirect3DSurface8* surface, const RECT& rect, const PixelImage& image) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = surface->GetDesc(&desc);
    if (FAILED(hr)) return hr;
    if (image.width != static_cast<uint32_t>(rect.right - rect.left) ||
        image.height != static_cast<uint32_t>(rect.bottom - rect.top))
        return D3DERR_INVALIDCALL;
    if (!NeedsStaging(desc)) return WriteLockable(surface, desc, rect, image);
    IDirect3DDevice8* device = nullptr;
    IDirect3DSurface8* staging = nullptr;
    hr = MakeStaging(surface, desc, rect, &device, &staging);
    if (FAILED(hr)) return hr;
    D3DSURFACE_DESC stagingDesc{};
    hr = staging->GetDesc(&stagingDesc);
    RECT all{0, 0, rect.right - rect.left, rect.bottom - rect.top};
    if (SUCCEEDED(hr)) hr = WriteLockable(staging, stagingDesc, all, image);
    POINT target{rect.left, rect.top};
    if (SUCCEEDED(hr)) hr = device->CopyRects(staging, nullptr, 0, surface, &target);
    staging->Release();
    device->Release();
    return hr;
}

HRESULT ReadTextureLevel(IDirect3DTexture8* texture, UINT level, PixelImage& out) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    RECT all{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    return WithLock(
        desc, all, D3DLOCK_READONLY,
        [&](D3DLOCKED_RECT* l, const RECT* r, DWORD f) { return texture->LockRect(level, l, r, f); },
        [&] { return texture->UnlockRect(level); },
        [&](uint8_t* bits, size_t pitch) {
            return ReadPixels(desc.Format, bits, pitch, desc.Width, desc.Height, out);
        });
}

HRESULT WriteTextureLevel(IDirect3DTexture8* texture, UINT level, const PixelImage& image) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    if (image.width != desc.Width || image.height != desc.Height) return D3DERR_INVALIDCALL;
    RECT all{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    return WithLock(
        desc, all, 0,
        [&](D3DLOCKED_RECT* l, const RECT* r, DWORD f) { return texture->LockRect(level, l, r, f); },
        [&] { return texture->UnlockRect(level); },
        [&](uint8_t* bits, size_t pitch) { return WritePixels(desc.Format, image, bits, pitch); });
}

HRESULT WriteTextureBlocks(IDirect3DTexture8* texture, UINT level, const std::vector<uint8_t>& blocks) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    uint64_t rowBytes = RowBytes(desc.Format, desc.Width);
    uint32_t rows = RowCount(desc.Format, desc.Height);
    if (rowBytes == 0 || blocks.size() != rowBytes * rows) return D3DERR_INVALIDCALL;
    RECT all{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    return WithLock(
        desc, all, 0,
        [&](D3DLOCKED_RECT* l, const RECT* r, DWORD f) { return texture->LockRect(level, l, r, f); },
        [&] { return texture->UnlockRect(level); },
        [&](uint8_t* bits, size_t pitch) {
            for (uint32_t y = 0; y < rows; ++y)
                std::memcpy(bits + y * pitch, blocks.data() + y * rowBytes, static_cast<size_t>(rowBytes));
            return true;
        });
}
