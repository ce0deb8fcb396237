#pragma once
// The Direct3D object of the OpenGL backend. Adapters are the displays SDL reports when its
// video subsystem runs (each mode offered in X8R8G8B8 and R5G6B5, the desktop mode as the
// windowed mode); without it there is one headless display. CreateDevice with a window (an
// SDL_Window* created with SDL_WINDOW_OPENGL) puts a GL context on that window; with no
// window the device is headless (EGL without surface). D3DDEVTYPE_REF asks for Mesa's software
// rasteriser.

#include "platform/d3d8/Direct3DCommon.h"

struct GlProbe; // what a GL context reports: limits and renderer

// The headless display's modes and desktop mode (also used when SDL reports no display).
std::vector<D3DDISPLAYMODE> HeadlessDisplayModes();
D3DDISPLAYMODE HeadlessDesktopMode();

class GlDirect3D final : public Direct3DCommon {
public:
    // Describes the adapters (probing a headless GL context for its limits) and returns the
    // object with one reference.
    static GlDirect3D* Create();

protected:
    HRESULT NewDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                      const D3DPRESENT_PARAMETERS& parameters, const D3DDISPLAYMODE& mode,
                      IDirect3DDevice8** device) override;
    bool WindowClientSize(HWND window, UINT* width, UINT* height) override;

private:
    explicit GlDirect3D(std::vector<AdapterDescription> adapters) : Direct3DCommon(std::move(adapters)) {}
};
