#pragma once

#include <cstdint>

#include "platform/d3d8/D3D8.h"
#include "render/DXC_SurfaceBase.h"

class DXC_Gfx;

// One Direct3D surface (the back buffer, an image surface, a texture level wrapped for a
// while) with pixel access. The object holds one reference to the surface and releases it
// when it lets go of the surface or is destroyed.
class DXC_Surface : public DXC_SurfaceBase {
public:
    explicit DXC_Surface(DXC_Gfx* gfx = nullptr);
    ~DXC_Surface() override;

    // Takes over one reference of the surface (the caller's) and reads its description
    // (fatal "GetDesc failed: %s"); an earlier surface is let go first. The screen rectangle
    // becomes the whole surface. Null just lets go.
    void Attach(IDirect3DSurface8* surface);
    // Unlocks when locked and releases the surface.
    void ReleaseSurface();

    int32_t Lock(const RECT* rect, DWORD flags) override;
    int32_t Unlock() override;
    RECT GetScreenRect() override { return screenRect; }
    void GetSize(int32_t& w, int32_t& h) override;
    int32_t GetSizeResult(int32_t& w, int32_t& h) override;

    void SetScreenRect(const RECT& rect) { screenRect = rect; }
    IDirect3DSurface8* GetSurface() const { return surface; }
    const D3DSURFACE_DESC& GetDesc() const { return desc; }
    DXC_Gfx* GetGfx() const { return gfx; }
    void SetGfx(DXC_Gfx* owner) { gfx = owner; }

private:
    IDirect3DSurface8* surface = nullptr;
    D3DSURFACE_DESC desc{};
    DXC_Gfx* gfx = nullptr;
    RECT screenRect{0, 0, 0, 0};
};
