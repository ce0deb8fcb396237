// The start-up and shut-down of the graphics.
#include "render/DXC_Gfx.h"

#include "platform/d3d8/RecordingDevice.h"
#include "render/DXC_Font.h"

D3DDISPLAYMODE RequestedDisplayMode(const GraphicsOptions& options) {
    D3DDISPLAYMODE mode{};
    mode.Width = static_cast<UINT>(options.width > 0 ? options.width : 0);
    mode.Height = static_cast<UINT>(options.height > 0 ? options.height : 0);
    mode.RefreshRate = static_cast<UINT>(options.refreshRate > 0 ? options.refreshRate : 0);
    mode.Format = options.bitsPerPixel == 32 ? D3DFMT_A8R8G8B8 : D3DFMT_R5G6B5;
    return mode;
}

void InitGraphics(HWND window, const GraphicsOptions& options) {
    g_Gfx = new DXC_Gfx();
    DXC_Gfx& gfx = *g_Gfx;
    auto adopted = std::make_unique<DXC_Font>();
    DXC_Font* font = adopted.get();
    gfx.AdoptFont(std::move(adopted));

    D3DDISPLAYMODE mode = RequestedDisplayMode(options);
    if (options.windowed) {
        // A window gives the size; without one (headless) the requested size does.
        gfx.InitDevice(window, 1, window ? nullptr : &mode, 16, options.vsync,
                       options.hardwareVertexProcessing, options.referenceRasteriser);
    } else {
        gfx.SelectAdapter(options.adapter);
        if (!gfx.CheckDisplayMode(&mode)) gfx.Error("Display mode not supported by your video card!");
        gfx.InitDevice(window, 0, &mode, 16, options.vsync, options.hardwareVertexProcessing,
                       options.referenceRasteriser);
    }
    gfx.hardwareSkinning = options.hardwareSkinning;

    gfx.BuildDefaultFont(font, 0xFF96DCFF, 0xFF006473);
    gfx.SetFont(font);
    gfx.SetFontLayout(font, 4.0f, font->color, -999.0f, -999.0f, font->baselineFactor);
}

void ShutdownGraphics() {
    if (!g_Gfx) return;
    g_Gfx->AdoptFont(nullptr);
    delete g_Gfx;
    g_Gfx = nullptr;
}

std::unique_ptr<DXC_Gfx> CreateRecordingGfx(int32_t hardwareVertexProcessing, int32_t record) {
    auto gfx = std::make_unique<DXC_Gfx>(CreateRecordingDirect3D8(DefaultRecordingConfig()));
    D3DDISPLAYMODE mode{640, 480, 0, D3DFMT_R5G6B5};
    gfx->InitDevice(nullptr, 1, &mode, 16, 0, hardwareVertexProcessing, 0);
    if (RecordingDevice* device = AsRecordingDevice(gfx->GetDevice())) device->SetRecording(record != 0);
    return gfx;
}
