#include "platform/d3d8/GlSurface.h"

#include "platform/d3d8/GlDevice.h"

GlBackBufferSurface::GlBackBufferSurface(DeviceCommon* device, std::shared_ptr<GlDeviceLink> link,
                                         D3DFORMAT format, UINT width, UINT height, bool lockable)
    : CommonSurface(device, format, width, height, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, lockable),
      link_(std::move(link)) {}

void GlBackBufferSurface::DetachFromDevice() {
    link_.reset();
    CommonSurface::DetachFromDevice();
}

HRESULT GlBackBufferSurface::SyncToMemory() {
    if (!link_ || !link_->MakeCurrent()) return D3D_OK; // the last contents stay in memory
    GlFrameBuffer& frame = link_->device->BackFrame();
    ImageMemory& image = Image();
    if (!frame.Valid() || frame.Width() != image.Width() || frame.Height() != image.Height())
        return D3DERR_INVALIDCALL;
    const RECT all{0, 0, static_cast<LONG>(image.Width()), static_cast<LONG>(image.Height())};
    if (!frame.Read(all, image.Format(), image.Bits(), static_cast<INT>(image.Pitch())))
        return D3DERR_INVALIDCALL;
    image.Touch();
    syncedGeneration_ = image.Generation();
    return D3D_OK;
}

HRESULT GlBackBufferSurface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    if (!Image().IsLocked() && lockedRect && Lockable()) {
        const HRESULT hr = SyncToMemory();
        if (FAILED(hr)) return hr;
    }
    return CommonSurface::LockRect(lockedRect, rect, flags);
}

HRESULT GlBackBufferSurface::UnlockRect() {
    const HRESULT hr = CommonSurface::UnlockRect();
    if (FAILED(hr)) return hr;
    ImageMemory& image = Image();
    if (image.Generation() == syncedGeneration_ || !link_ || !link_->MakeCurrent()) return hr;
    // The lock wrote: the frame takes the memory image.
    const RECT all{0, 0, static_cast<LONG>(image.Width()), static_cast<LONG>(image.Height())};
    link_->device->BackFrame().Write(all, image.Format(), image.Bits(), static_cast<INT>(image.Pitch()));
    syncedGeneration_ = image.Generation();
    return hr;
}
