#include "platform/d3d8/ResourceCommon.h"

#include "platform/d3d8/DeviceCommon.h"
#include "platform/d3d8/PixelFormat.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------------------
TrackedResource::TrackedResource(DeviceCommon* device, D3DPOOL pool) : device_(device), pool_(pool) {
    if (device_) device_->TrackResource(this);
}

TrackedResource::~TrackedResource() {
    if (device_) device_->UntrackResource(this);
}

HRESULT TrackedResource::GetOwnerDevice(IDirect3DDevice8** device) const {
    if (!device) return D3DERR_INVALIDCALL;
    *device = device_;
    if (!device_) return D3DERR_INVALIDCALL;
    device_->AddRef();
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
ImageMemory::ImageMemory(D3DFORMAT format, UINT width, UINT height)
    : format_(format), width_(width), height_(height), pitch_(FormatRowPitch(format, width)),
      bytes_(FormatImageSize(format, width, height)) {}

bool ImageMemory::ContainsRect(const RECT& r) const {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           static_cast<UINT>(r.right) <= width_ && static_cast<UINT>(r.bottom) <= height_;
}

HRESULT ImageMemory::Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || locked_) return D3DERR_INVALIDCALL;
    size_t offset = 0;
    if (rect) {
        if (!ContainsRect(*rect)) return D3DERR_INVALIDCALL;
        if (IsCompressedFormat(format_)) {
            // Whole blocks only; a rectangle may end at the image edge of a partial block.
            auto edgeOk = [](LONG v, UINT limit) { return v % 4 == 0 || static_cast<UINT>(v) == limit; };
            if (rect->left % 4 || rect->top % 4 || !edgeOk(rect->right, width_) ||
                !edgeOk(rect->bottom, height_))
                return D3DERR_INVALIDCALL;
            offset = static_cast<size_t>(rect->top / 4) * pitch_ +
                     static_cast<size_t>(rect->left / 4) * FormatBlockBytes(format_);
        } else {
            offset = static_cast<size_t>(rect->top) * pitch_ +
                     static_cast<size_t>(rect->left) * (FormatBitsPerPixel(format_) / 8);
        }
    }
    locked_ = true;
    lockWrites_ = (flags & D3DLOCK_READONLY) == 0;
    locked->Pitch = static_cast<INT>(pitch_);
    locked->pBits = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT ImageMemory::Unlock() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (lockWrites_) ++generation_;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
HRESULT BufferMemory::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
    if (!data) return D3DERR_INVALIDCALL;
    const UINT length = Length();
    if (offset > length || (size != 0 && size > length - offset)) {
        *data = nullptr;
        return D3DERR_INVALIDCALL;
    }
    if (lockCount_ == 0) lockWrites_ = false;
    if ((flags & D3DLOCK_READONLY) == 0) lockWrites_ = true;
    ++lockCount_;
    *data = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT BufferMemory::Unlock() {
    if (lockCount_ == 0) return D3DERR_INVALIDCALL;
    if (--lockCount_ == 0 && lockWrites_) ++generation_;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
HRESULT SurfaceCommon::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    ImageMemory& image = Image();
    desc->Format = image.Format();
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = Usage();
    desc->Pool = Pool();
    desc->Size = image.Size();
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = image.Width();
    desc->Height = image.Height();
    return D3D_OK;
}

HRESULT SurfaceCommon::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    if (!lockedRect || !Lockable()) return D3DERR_INVALIDCALL;
    if (Image().IsLocked()) return D3DERR_INVALIDCALL;
    if ((flags & D3DLOCK_DISCARD) == 0) {
        const HRESULT hr = SyncToMemory();
        if (FAILED(hr)) return hr;
    }
    return Image().Lock(lockedRect, rect, flags);
}

HRESULT SurfaceCommon::UnlockRect() {
    return Image().Unlock();
}

CommonSurface::CommonSurface(DeviceCommon* device, D3DFORMAT format, UINT width, UINT height, DWORD usage,
                             D3DPOOL pool, bool lockable)
    : TrackedResource(device, pool), image_(format, width, height), usage_(usage), lockable_(lockable) {}

// ---------------------------------------------------------------------------------------------
TextureLevelSurface::TextureLevelSurface(CommonTexture* texture, D3DFORMAT format, UINT width, UINT height)
    : texture_(texture), image_(format, width, height) {}

ULONG TextureLevelSurface::AddRef() {
    return texture_->AddRef();
}
ULONG TextureLevelSurface::Release() {
    return texture_->Release();
}
HRESULT TextureLevelSurface::GetDevice(IDirect3DDevice8** device) {
    return texture_->GetDevice(device);
}
DWORD TextureLevelSurface::Usage() const {
    return texture_->Usage();
}
D3DPOOL TextureLevelSurface::Pool() const {
    return texture_->ResourcePool();
}
bool TextureLevelSurface::Lockable() const {
    return texture_->Lockable();
}

CommonTexture::CommonTexture(DeviceCommon* device, UINT width, UINT height, UINT levels, DWORD usage,
                             D3DFORMAT format, D3DPOOL pool)
    : CommonResource(device, pool), format_(format), usage_(usage) {
    if (levels == 0) levels = FullMipLevelCount(width, height);
    levels_.reserve(levels);
    for (UINT i = 0; i < levels; ++i)
        levels_.push_back(std::make_unique<TextureLevelSurface>(this, format, MipDimension(width, i),
                                                                MipDimension(height, i)));
}

CommonTexture::~CommonTexture() = default;

bool CommonTexture::Lockable() const {
    return ResourcePool() != D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_DYNAMIC) != 0;
}

DWORD CommonTexture::SetLOD(DWORD lodNew) {
    const DWORD old = lod_;
    if (ResourcePool() == D3DPOOL_MANAGED) lod_ = std::min<DWORD>(lodNew, LevelCount() - 1);
    return old;
}

HRESULT CommonTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= LevelCount() || !desc) return D3DERR_INVALIDCALL;
    return levels_[level]->GetDesc(desc);
}

HRESULT CommonTexture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surfaceLevel) {
    if (!surfaceLevel) return D3DERR_INVALIDCALL;
    *surfaceLevel = nullptr;
    if (level >= LevelCount()) return D3DERR_INVALIDCALL;
    AddRef();
    *surfaceLevel = levels_[level].get();
    return D3D_OK;
}

HRESULT CommonTexture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    if (level >= LevelCount()) return D3DERR_INVALIDCALL;
    return levels_[level]->LockRect(lockedRect, rect, flags);
}

HRESULT CommonTexture::UnlockRect(UINT level) {
    if (level >= LevelCount()) return D3DERR_INVALIDCALL;
    return levels_[level]->UnlockRect();
}

HRESULT CommonTexture::AddDirtyRect(const RECT* dirtyRect) {
    if (dirtyRect && !levels_[0]->Image().ContainsRect(*dirtyRect)) return D3DERR_INVALIDCALL;
    levels_[0]->Image().Touch();
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
CommonVertexBuffer::CommonVertexBuffer(DeviceCommon* device, UINT length, DWORD usage, DWORD fvf,
                                       D3DPOOL pool)
    : CommonResource(device, pool), memory_(length), usage_(usage), fvf_(fvf) {}

HRESULT CommonVertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) {
    return memory_.Lock(offsetToLock, sizeToLock, data, flags);
}

HRESULT CommonVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = ResourcePool();
    desc->Size = memory_.Length();
    desc->FVF = fvf_;
    return D3D_OK;
}

CommonIndexBuffer::CommonIndexBuffer(DeviceCommon* device, UINT length, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool)
    : CommonResource(device, pool), memory_(length), usage_(usage), format_(format) {}

HRESULT CommonIndexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) {
    return memory_.Lock(offsetToLock, sizeToLock, data, flags);
}

HRESULT CommonIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = ResourcePool();
    desc->Size = memory_.Length();
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
SurfaceCommon* AsSurface(IDirect3DSurface8* surface) {
    return dynamic_cast<SurfaceCommon*>(surface);
}
CommonTexture* AsTexture(IDirect3DBaseTexture8* texture) {
    return dynamic_cast<CommonTexture*>(texture);
}
CommonVertexBuffer* AsVertexBuffer(IDirect3DVertexBuffer8* buffer) {
    return dynamic_cast<CommonVertexBuffer*>(buffer);
}
CommonIndexBuffer* AsIndexBuffer(IDirect3DIndexBuffer8* buffer) {
    return dynamic_cast<CommonIndexBuffer*>(buffer);
}

void CopyImageRect(const ImageMemory& source, const RECT& sourceRect, ImageMemory& dest, LONG destX,
                   LONG destY) {
    const D3DFORMAT format = source.Format();
    const bool blocks = IsCompressedFormat(format);
    const UINT unit = blocks ? 4 : 1;
    const UINT unitBytes = blocks ? FormatBlockBytes(format) : FormatBitsPerPixel(format) / 8;
    const UINT columns = (static_cast<UINT>(sourceRect.right - sourceRect.left) + unit - 1) / unit;
    const UINT rows = (static_cast<UINT>(sourceRect.bottom - sourceRect.top) + unit - 1) / unit;
    const BYTE* from = source.Bits() + static_cast<size_t>(sourceRect.top / unit) * source.Pitch() +
                       static_cast<size_t>(sourceRect.left / unit) * unitBytes;
    BYTE* to = dest.Bits() + static_cast<size_t>(destY / unit) * dest.Pitch() +
               static_cast<size_t>(destX / unit) * unitBytes;
    for (UINT row = 0; row < rows; ++row)
        std::memmove(to + static_cast<size_t>(row) * dest.Pitch(),
                     from + static_cast<size_t>(row) * source.Pitch(),
                     static_cast<size_t>(columns) * unitBytes);
    dest.Touch();
}

void FillImageRect(ImageMemory& image, const RECT& rect, D3DCOLOR color) {
    if (!CanConvertPixels(image.Format())) return;
    const LONG left = std::max<LONG>(rect.left, 0), top = std::max<LONG>(rect.top, 0);
    const LONG right = std::min<LONG>(rect.right, static_cast<LONG>(image.Width()));
    const LONG bottom = std::min<LONG>(rect.bottom, static_cast<LONG>(image.Height()));
    if (left >= right || top >= bottom) return;
    const UINT bpp = FormatBitsPerPixel(image.Format()) / 8;
    BYTE pixel[4];
    WritePixelARGB(image.Format(), pixel, color);
    for (LONG y = top; y < bottom; ++y) {
        BYTE* row = image.Bits() + static_cast<size_t>(y) * image.Pitch() + static_cast<size_t>(left) * bpp;
        for (LONG x = left; x < right; ++x, row += bpp) std::memcpy(row, pixel, bpp);
    }
    image.Touch();
}

void CommonIndexBuffer::IndexBounds(UINT start, UINT count, UINT* low, UINT* high) {
    if (boundsGeneration_ != memory_.Generation()) {
        bounds_.clear();
        boundsGeneration_ = memory_.Generation();
    }
    const uint64_t range = (static_cast<uint64_t>(start) << 32) | count;
    auto found = bounds_.find(range);
    if (found == bounds_.end()) {
        Bounds b{~0u, 0};
        const BYTE* at = memory_.Bytes() + static_cast<size_t>(start) * IndexSize();
        for (UINT i = 0; i < count; ++i) {
            UINT index;
            if (format_ == D3DFMT_INDEX32) {
                uint32_t v;
                std::memcpy(&v, at + 4 * static_cast<size_t>(i), 4);
                index = v;
            } else {
                uint16_t v;
                std::memcpy(&v, at + 2 * static_cast<size_t>(i), 2);
                index = v;
            }
            b.low = std::min(b.low, index);
            b.high = std::max(b.high, index);
        }
        // A buffer drawn in ever new ranges does not keep them all.
        if (bounds_.size() >= 65536) bounds_.clear();
        found = bounds_.emplace(range, b).first;
    }
    *low = found->second.low;
    *high = found->second.high;
}
