#include "render/DXC_Surface.h"

#include "platform/d3d8/ErrorText.h"

DXC_Surface::DXC_Surface(DXC_Gfx* owner) : gfx(owner) {
    SetObjectName("DXC_Surface");
}

DXC_Surface::~DXC_Surface() {
    if (locked && surface) surface->UnlockRect(); // no error from a destructor
    ClearLocked();
    SafeRelease(surface);
}

void DXC_Surface::Attach(IDirect3DSurface8* newSurface) {
    ReleaseSurface();
    if (!newSurface) return;
    surface = newSurface;
    desc = D3DSURFACE_DESC{};
    result = surface->GetDesc(&desc);
    if (FAILED(result)) Error("GetDesc failed: %s", ErrorText(result));
    width = static_cast<int32_t>(desc.Width);
    height = static_cast<int32_t>(desc.Height);
    screenRect = RECT{0, 0, width, height};
}

void DXC_Surface::ReleaseSurface() {
    if (locked) Unlock();
    SafeRelease(surface);
    desc = D3DSURFACE_DESC{};
    width = height = 0;
}

int32_t DXC_Surface::Lock(const RECT* rect, DWORD flags) {
    if (!surface) Error("LockRect failed: %s", ErrorText(D3DERR_INVALIDCALL));
    SetPixelFormat(desc.Format);
    D3DLOCKED_RECT lr{};
    result = surface->LockRect(&lr, rect, flags);
    if (FAILED(result)) Error("LockRect failed: %s", ErrorText(result));
    SetLocked(lr.pBits, lr.Pitch, rect ? *rect : RECT{0, 0, width, height});
    return 1;
}

int32_t DXC_Surface::Unlock() {
    result = surface ? surface->UnlockRect() : D3DERR_INVALIDCALL;
    if (FAILED(result)) Error("UnlockRect failed: %s", ErrorText(result));
    ClearLocked();
    return 1;
}

void DXC_Surface::GetSize(int32_t& w, int32_t& h) {
    w = width;
    h = height;
}

int32_t DXC_Surface::GetSizeResult(int32_t& w, int32_t& h) {
    GetSize(w, h);
    return 1;
}
