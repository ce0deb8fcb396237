#pragma once
// The back buffer of the GL device as a surface: its pixels live in the device's back frame;
// the memory image is filled from there before anyone reads it (a lock, a copy) and written
// back after a lock that may have changed it.

#include "platform/d3d8/ResourceCommon.h"

#include <memory>

struct GlDeviceLink;

class GlBackBufferSurface final : public CommonSurface {
public:
    GlBackBufferSurface(DeviceCommon* device, std::shared_ptr<GlDeviceLink> link, D3DFORMAT format,
                        UINT width, UINT height, bool lockable);

    HRESULT SyncToMemory() override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;
    void DetachFromDevice() override;

private:
    std::shared_ptr<GlDeviceLink> link_;
    uint64_t syncedGeneration_ = 0;
};
