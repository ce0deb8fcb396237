// Lights and screenshots.
#include "render/DXC_Gfx.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/FileSystem.h"
#include "platform/d3d8/ErrorText.h"
#include "platform/d3dx/D3DXSurface.h"
#include "render/DXC_Surface.h"
#include "scene/Light.h"

namespace {

// Light slots the cache and the scene pass serve; a higher index is skipped.
constexpr int32_t MaxLightIndex = DXC_Gfx::LightSlots - 1;

} // namespace

int32_t DXC_Gfx::SetLight(int32_t index, const D3DLIGHT8& light, int32_t unset) {
    if (unset) return 0;
    if (index < 0 || index > MaxLightIndex) {
        // Scenes with many lights still play; the extra lights are left out.
        if (!lightIndexWarned) Warning("Light index >%i", MaxLightIndex);
        lightIndexWarned = 1;
        return 0;
    }
    result = device->SetLight(static_cast<DWORD>(index), &light);
    if (FAILED(result)) Error("SetLight failed: %s", ErrorText(result));
    return 1;
}

int32_t DXC_Gfx::SetLight(int32_t index, DXC_Light* light) {
    if (!light || light->unset) return 0;
    light->UpdateTarget();
    return SetLight(index, light->light, 0);
}

int32_t DXC_Gfx::EnableLight(int32_t index, int32_t flag) {
    if (index < 0 || index > MaxLightIndex) {
        if (!lightIndexWarned) Warning("Light index >%i", MaxLightIndex);
        lightIndexWarned = 1;
        return 0;
    }
    const int32_t on = flag ? 1 : 0;
    if (lightEnableCache[index] == on) return 1;
    result = device->LightEnable(static_cast<DWORD>(index), on);
    if (FAILED(result)) Error(" LightEnable failed: %s", ErrorText(result));
    lightEnableCache[index] = on;
    return 1;
}

void DXC_Gfx::ScreenShot(const char* prefix, int32_t imageFormat, const RECT* rect) {
    // Names already in the folder are passed over, so pictures of an earlier run survive.
    char file[512];
    do {
        std::snprintf(file, sizeof file, "%s%i%s", prefix ? prefix : "", screenShotCounter, ".bmp");
        ++screenShotCounter;
    } while (FileExists(file) && screenShotCounter < INT32_MAX);
    // The front buffer comes as a surface of the display mode's size (larger where the frame is
    // larger, as a big headless frame is) with the shown frame at its top left; without a
    // rectangle the file holds the frame at its own size.
    D3DDISPLAYMODE mode = displayMode;
    device->GetDisplayMode(&mode);
    const D3DSURFACE_DESC& back = backBuffer->GetDesc();
    const UINT width = std::max(mode.Width, back.Width), height = std::max(mode.Height, back.Height);
    IDirect3DSurface8* surface = nullptr;
    result = device->CreateImageSurface(width, height, D3DFMT_A8R8G8B8, &surface);
    if (FAILED(result))
        Error("CreateImageSurface in ScreenShot failed: %s (file:%s)", ErrorText(result), file);
    result = device->GetFrontBuffer(surface);
    if (FAILED(result)) {
        surface->Release();
        Error("GetFrontBuffer in ScreenShot failed: %s (file:%s)", ErrorText(result), file);
    }
    RECT frame{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    if (back.Width > 0 && back.Height > 0)
        frame = RECT{0, 0, static_cast<LONG>(back.Width), static_cast<LONG>(back.Height)};
    result = D3DXSaveSurfaceToFile(file, static_cast<D3DXIMAGE_FILEFORMAT>(imageFormat), surface, nullptr,
                                   rect ? rect : &frame);
    surface->Release();
    if (FAILED(result))
        Error("D3DXSaveSurfaceToFile in ScreenShot failed: %s (file:%s)", ErrorText(result), file);
}
