#include "render/FrameCapture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/d3d8/ErrorText.h"
#include "platform/d3dx/D3DXSurface.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_Surface.h"

namespace {

struct SurfaceHolder {
    IDirect3DSurface8* surface = nullptr;
    ~SurfaceHolder() { SafeRelease(surface); }
};

// The frame into an A8R8G8B8 image of its own size: through the front buffer when the display
// mode holds it, else copied from the render target, which keeps the presented frame.
HRESULT ReadFrame(DXC_Gfx& gfx, SurfaceHolder& out, RECT& frame) {
    IDirect3DDevice8* device = gfx.GetDevice();
    const D3DSURFACE_DESC& back = gfx.GetBackBuffer()->GetDesc();
    frame = RECT{0, 0, static_cast<LONG>(back.Width), static_cast<LONG>(back.Height)};
    D3DDISPLAYMODE mode{};
    device->GetDisplayMode(&mode);
    if (mode.Width >= back.Width && mode.Height >= back.Height) {
        HRESULT hr = device->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &out.surface);
        if (SUCCEEDED(hr)) hr = device->GetFrontBuffer(out.surface);
        return hr;
    }
    HRESULT hr = device->CreateImageSurface(back.Width, back.Height, back.Format, &out.surface);
    if (SUCCEEDED(hr)) hr = device->CopyRects(gfx.GetRenderTarget(), nullptr, 0, out.surface, nullptr);
    return hr;
}

} // namespace

bool SavePresentedFrame(DXC_Gfx& gfx, const std::string& path, D3DXIMAGE_FILEFORMAT format,
                        std::string& error) {
    // The file is opened first so that a folder that is missing or not writable is reported
    // with its system reason.
    FILE* probe = OpenFile(path.c_str(), "wb");
    if (!probe) {
        error = std::strerror(errno);
        return false;
    }
    std::fclose(probe);
    SurfaceHolder holder;
    RECT frame{};
    HRESULT hr = ReadFrame(gfx, holder, frame);
    if (FAILED(hr)) {
        std::remove(path.c_str());
        error = std::string("the frame could not be read: ") + ErrorText(hr);
        return false;
    }
    hr = D3DXSaveSurfaceToFile(path.c_str(), format, holder.surface, nullptr, &frame);
    if (FAILED(hr)) {
        std::remove(path.c_str());
        error = std::string("the image could not be written: ") + ErrorText(hr);
        return false;
    }
    return true;
}
