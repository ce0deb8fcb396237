#include "platform/d3d8/GlDirect3D.h"

#include "platform/Window.h"
#include "platform/d3d8/EglContext.h"
#include "platform/d3d8/GlCaps.h"
#include "platform/d3d8/GlDevice.h"
#include "platform/d3d8/SdlGlContext.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

std::vector<D3DDISPLAYMODE> HeadlessDisplayModes() {
    static const UINT kSizes[][2] = {{640, 480},   {800, 600},   {1024, 768}, {1280, 720},
                                     {1280, 1024}, {1600, 1200}, {1920, 1080}};
    std::vector<D3DDISPLAYMODE> modes;
    for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8})
        for (const auto& size : kSizes) modes.push_back({size[0], size[1], 60, format});
    return modes;
}

D3DDISPLAYMODE HeadlessDesktopMode() {
    return {1024, 768, 60, D3DFMT_X8R8G8B8};
}

namespace {

// Modes of one SDL display, smallest first, each in the 16- and the 32-bit format.
std::vector<D3DDISPLAYMODE> SdlDisplayModes(int display) {
    std::vector<D3DDISPLAYMODE> sizes;
    const int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m{};
        if (SDL_GetDisplayMode(display, i, &m) != 0 || m.w <= 0 || m.h <= 0) continue;
        const D3DDISPLAYMODE mode{static_cast<UINT>(m.w), static_cast<UINT>(m.h),
                                  static_cast<UINT>(m.refresh_rate > 0 ? m.refresh_rate : 60),
                                  D3DFMT_X8R8G8B8};
        const bool seen = std::any_of(sizes.begin(), sizes.end(), [&](const D3DDISPLAYMODE& s) {
            return s.Width == mode.Width && s.Height == mode.Height && s.RefreshRate == mode.RefreshRate;
        });
        if (!seen) sizes.push_back(mode);
    }
    std::sort(sizes.begin(), sizes.end(), [](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
        if (a.Width != b.Width) return a.Width < b.Width;
        if (a.Height != b.Height) return a.Height < b.Height;
        return a.RefreshRate < b.RefreshRate;
    });
    std::vector<D3DDISPLAYMODE> modes;
    for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8})
        for (D3DDISPLAYMODE m : sizes) {
            m.Format = format;
            modes.push_back(m);
        }
    return modes;
}

AdapterDescription Describe(const GlLimits& limits, const char* displayName,
                            std::vector<D3DDISPLAYMODE> modes, D3DDISPLAYMODE desktop, UINT ordinal) {
    AdapterDescription a;
    std::snprintf(a.identifier.Driver, sizeof a.identifier.Driver, "OpenGL 3.3 core");
    std::snprintf(a.identifier.Description, sizeof a.identifier.Description, "%s on %s",
                  limits.renderer.c_str(), displayName);
    a.identifier.DeviceId = ordinal;
    a.desktopMode = desktop;
    a.modes = std::move(modes);
    a.caps = GlDeviceCaps(limits);
    a.caps.AdapterOrdinal = ordinal;
    a.textureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5,
                        D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4, D3DFMT_R8G8B8,
                        D3DFMT_L8,       D3DFMT_A8L8,     D3DFMT_A8,       D3DFMT_DXT1,
                        D3DFMT_DXT2,     D3DFMT_DXT3,     D3DFMT_DXT4,     D3DFMT_DXT5};
    a.renderTargetFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                             D3DFMT_A1R5G5B5};
    a.depthFormats = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32};
    return a;
}

} // namespace

GlDirect3D* GlDirect3D::Create() {
    const GlLimits limits = ProbeGlLimits();
    std::vector<AdapterDescription> adapters;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        const int displays = SDL_GetNumVideoDisplays();
        for (int d = 0; d < displays; ++d) {
            SDL_DisplayMode desktop{};
            if (SDL_GetDesktopDisplayMode(d, &desktop) != 0) continue;
            std::vector<D3DDISPLAYMODE> modes = SdlDisplayModes(d);
            const D3DDISPLAYMODE mode{static_cast<UINT>(desktop.w), static_cast<UINT>(desktop.h),
                                      static_cast<UINT>(desktop.refresh_rate > 0 ? desktop.refresh_rate : 60),
                                      D3DFMT_X8R8G8B8};
            if (modes.empty()) modes = {mode, {mode.Width, mode.Height, mode.RefreshRate, D3DFMT_R5G6B5}};
            const char* name = SDL_GetDisplayName(d);
            adapters.push_back(Describe(limits, name ? name : "display", std::move(modes), mode,
                                        static_cast<UINT>(adapters.size())));
        }
    }
    if (adapters.empty())
        adapters.push_back(
            Describe(limits, "headless display", HeadlessDisplayModes(), HeadlessDesktopMode(), 0));
    return new GlDirect3D(std::move(adapters));
}

HRESULT GlDirect3D::NewDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                              const D3DPRESENT_PARAMETERS& parameters, const D3DDISPLAYMODE& mode,
                              IDirect3DDevice8** device) {
    const bool software = deviceType == D3DDEVTYPE_REF;
    HWND window = parameters.hDeviceWindow ? parameters.hDeviceWindow : focusWindow;
    std::string error;
    std::unique_ptr<GlContext> context;
    if (window)
        context = SdlGlContext::Create(static_cast<SDL_Window*>(window), software, &error);
    else
        context = EglContext::Create(software, &error);
    if (!context) {
        std::fprintf(stderr, "GL device: no context: %s\n", error.c_str());
        return D3DERR_NOTAVAILABLE;
    }
    return GlDevice::Create(this, adapter, deviceType, focusWindow, behaviorFlags, parameters, mode,
                            std::move(context), device);
}

bool GlDirect3D::WindowClientSize(HWND window, UINT* width, UINT* height) {
    if (!window) return false;
    int w = 0, h = 0;
    GetWindowClientSize(window, &w, &h); // the scene's area: below a menu bar
    if (w <= 0 || h <= 0) return false;
    *width = static_cast<UINT>(w);
    *height = static_cast<UINT>(h);
    return true;
}

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    return GlDirect3D::Create();
}
