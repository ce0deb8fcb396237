// Resources in memory, shared by every device backend.
//
// Each texture level, surface and buffer keeps its contents in system memory with Direct3D 8's
// lock rules and error results. A backend that mirrors resources elsewhere (the GL device keeps
// GL textures and buffers) derives from these classes and watches Generation(): it grows with
// every unlock that may have written, so the backend uploads only what changed. Resources stay
// registered with their device; a device that goes away first detaches them (GetDevice then
// fails, memory stays usable) so nothing points at a dead device.
#pragma once

#include "platform/d3d8/D3D8.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class DeviceCommon;

// Reference counting for the interface classes: one reference at creation, deleted at zero.
template <class Interface> class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    ULONG ReferenceCount() const { return references_; }

protected:
    RefCounted() = default;
    ~RefCounted() override = default;

private:
    ULONG references_ = 1;
};

// Membership in a device's list of live resources.
class TrackedResource {
public:
    TrackedResource(const TrackedResource&) = delete;
    TrackedResource& operator=(const TrackedResource&) = delete;

    DeviceCommon* OwnerDevice() const { return device_; }
    D3DPOOL ResourcePool() const { return pool_; }
    // The device is being destroyed; backends drop what lives in the device (GL objects) here.
    virtual void DetachFromDevice() { device_ = nullptr; }

protected:
    TrackedResource(DeviceCommon* device, D3DPOOL pool);
    virtual ~TrackedResource();
    HRESULT GetOwnerDevice(IDirect3DDevice8** device) const;

private:
    DeviceCommon* device_;
    D3DPOOL pool_;
};

// The IDirect3DResource8 part of textures and buffers: reference counting, the owning device,
// and the priority, which only managed resources keep.
template <class Interface, D3DRESOURCETYPE Type>
class CommonResource : public RefCounted<Interface>, public TrackedResource {
public:
    HRESULT GetDevice(IDirect3DDevice8** device) override { return GetOwnerDevice(device); }
    DWORD SetPriority(DWORD priorityNew) override {
        const DWORD old = priority_;
        if (ResourcePool() == D3DPOOL_MANAGED) priority_ = priorityNew;
        return old;
    }
    DWORD GetPriority() override { return priority_; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return Type; }

protected:
    CommonResource(DeviceCommon* device, D3DPOOL pool) : TrackedResource(device, pool) {}

private:
    DWORD priority_ = 0;
};

// One image (a surface or a texture level) in memory, with its lock state.
class ImageMemory {
public:
    ImageMemory(D3DFORMAT format, UINT width, UINT height);

    D3DFORMAT Format() const { return format_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    UINT Pitch() const { return pitch_; }
    UINT Size() const { return static_cast<UINT>(bytes_.size()); }
    BYTE* Bits() { return bytes_.data(); }
    const BYTE* Bits() const { return bytes_.data(); }
    bool IsLocked() const { return locked_; }
    uint64_t Generation() const { return generation_; }
    // Records a change made without a lock (a clear, a copy into it).
    void Touch() { ++generation_; }

    // Pointer to the rectangle's first pixel (whole image without rectangle) and the row pitch.
    // D3DERR_INVALIDCALL when already locked, for a rectangle outside the image or empty, and for
    // compressed formats when the rectangle is not on 4-pixel block boundaries.
    HRESULT Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    // D3DERR_INVALIDCALL when not locked.
    HRESULT Unlock();

    // True when the rectangle lies inside the image and is not empty.
    bool ContainsRect(const RECT& rect) const;

private:
    D3DFORMAT format_;
    UINT width_, height_, pitch_;
    std::vector<BYTE> bytes_;
    bool locked_ = false;
    bool lockWrites_ = false;
    uint64_t generation_ = 0;
};

// Bytes of a vertex or index buffer, with nesting locks.
class BufferMemory {
public:
    explicit BufferMemory(UINT length) : bytes_(length) {}

    UINT Length() const { return static_cast<UINT>(bytes_.size()); }
    BYTE* Bytes() { return bytes_.data(); }
    const BYTE* Bytes() const { return bytes_.data(); }
    bool IsLocked() const { return lockCount_ > 0; }
    uint64_t Generation() const { return generation_; }

    // size 0 locks from offset to the end. D3DERR_INVALIDCALL for a null pointer or a range
    // beyond the buffer. Locks nest.
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags);
    // D3DERR_INVALIDCALL when not locked.
    HRESULT Unlock();

private:
    std::vector<BYTE> bytes_;
    int lockCount_ = 0;
    bool lockWrites_ = false;
    uint64_t generation_ = 0;
};

// What every surface offers to the devices, whatever owns it.
class SurfaceCommon : public IDirect3DSurface8 {
public:
    virtual ImageMemory& Image() = 0;
    virtual DWORD Usage() const = 0;
    virtual D3DPOOL Pool() const = 0;
    virtual bool Lockable() const = 0;
    // Brings Image() up to date before the contents are read (a GL back buffer reads its pixels).
    virtual HRESULT SyncToMemory() { return D3D_OK; }

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;
};

// A surface of its own: image surface, back buffer, depth buffer.
class CommonSurface : public RefCounted<SurfaceCommon>, public TrackedResource {
public:
    CommonSurface(DeviceCommon* device, D3DFORMAT format, UINT width, UINT height, DWORD usage, D3DPOOL pool,
                  bool lockable);

    HRESULT GetDevice(IDirect3DDevice8** device) override { return GetOwnerDevice(device); }
    ImageMemory& Image() override { return image_; }
    DWORD Usage() const override { return usage_; }
    D3DPOOL Pool() const override { return ResourcePool(); }
    bool Lockable() const override { return lockable_; }

private:
    ImageMemory image_;
    DWORD usage_;
    bool lockable_;
};

class CommonTexture;

// A mip level of a texture; it lives as long as the texture and shares its reference count.
class TextureLevelSurface final : public SurfaceCommon {
public:
    TextureLevelSurface(CommonTexture* texture, D3DFORMAT format, UINT width, UINT height);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    ImageMemory& Image() override { return image_; }
    DWORD Usage() const override;
    D3DPOOL Pool() const override;
    bool Lockable() const override;
    CommonTexture* Texture() const { return texture_; }

private:
    CommonTexture* texture_;
    ImageMemory image_;
};

class CommonTexture : public CommonResource<IDirect3DTexture8, D3DRTYPE_TEXTURE> {
public:
    // levels 0 makes the full chain down to 1 x 1.
    CommonTexture(DeviceCommon* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                  D3DPOOL pool);
    ~CommonTexture() override;

    // IDirect3DBaseTexture8
    DWORD SetLOD(DWORD lodNew) override;
    DWORD GetLOD() override { return lod_; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    // IDirect3DTexture8
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surfaceLevel) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT AddDirtyRect(const RECT* dirtyRect) override;

    D3DFORMAT Format() const { return format_; }
    DWORD Usage() const { return usage_; }
    UINT Width() const { return levels_[0]->Image().Width(); }
    UINT Height() const { return levels_[0]->Image().Height(); }
    UINT LevelCount() const { return static_cast<UINT>(levels_.size()); }
    ImageMemory& LevelImage(UINT level) { return levels_[level]->Image(); }
    // Lockable unless in the default pool without D3DUSAGE_DYNAMIC, as in Direct3D 8.
    bool Lockable() const;

private:
    D3DFORMAT format_;
    DWORD usage_;
    DWORD lod_ = 0;
    std::vector<std::unique_ptr<TextureLevelSurface>> levels_;
};

class CommonVertexBuffer : public CommonResource<IDirect3DVertexBuffer8, D3DRTYPE_VERTEXBUFFER> {
public:
    CommonVertexBuffer(DeviceCommon* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override { return memory_.Unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    BufferMemory& Memory() { return memory_; }
    DWORD Fvf() const { return fvf_; }
    DWORD Usage() const { return usage_; }

private:
    BufferMemory memory_;
    DWORD usage_;
    DWORD fvf_;
};

class CommonIndexBuffer : public CommonResource<IDirect3DIndexBuffer8, D3DRTYPE_INDEXBUFFER> {
public:
    CommonIndexBuffer(DeviceCommon* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override { return memory_.Unlock(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    BufferMemory& Memory() { return memory_; }
    D3DFORMAT Format() const { return format_; }
    UINT IndexSize() const { return format_ == D3DFMT_INDEX32 ? 4 : 2; }
    DWORD Usage() const { return usage_; }
    // The lowest and highest of `count` indices from index `start` (within the buffer). Worked
    // out once per contents for each range asked, so a mesh drawing the same subsets every frame
    // is checked without reading its indices again.
    void IndexBounds(UINT start, UINT count, UINT* low, UINT* high);

private:
    struct Bounds {
        UINT low, high;
    };

    BufferMemory memory_;
    DWORD usage_;
    D3DFORMAT format_;
    std::unordered_map<uint64_t, Bounds> bounds_; // by start << 32 | count
    uint64_t boundsGeneration_ = ~0ull;
};

// Interface pointers of our own resources back to their classes; null for anything else.
SurfaceCommon* AsSurface(IDirect3DSurface8* surface);
CommonTexture* AsTexture(IDirect3DBaseTexture8* texture);
CommonVertexBuffer* AsVertexBuffer(IDirect3DVertexBuffer8* buffer);
CommonIndexBuffer* AsIndexBuffer(IDirect3DIndexBuffer8* buffer);

// Copies a rectangle of pixels between images of the same format (block rows for compressed
// formats); the caller has checked both rectangles.
void CopyImageRect(const ImageMemory& source, const RECT& sourceRect, ImageMemory& dest, LONG destX,
                   LONG destY);
// Fills a rectangle of an uncompressed colour image (clipped to the image) with one colour.
void FillImageRect(ImageMemory& image, const RECT& rect, D3DCOLOR color);
