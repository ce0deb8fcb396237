#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/ErrorReport.h"
#include "platform/d3d8/RecordingDevice.h"
#include "render/DXC_Gfx.h"

// A graphics object on the recording device: windowed, off-screen at 640 x 480 with a 16-bit
// z-buffer, as the viewer's start-up makes it.
struct RecordingGfx {
    explicit RecordingGfx(bool hardwareVertexProcessing = false,
                          RecordingConfig config = DefaultRecordingConfig());
    ~RecordingGfx();

    RecordingDevice& Device() const { return *AsRecordingDevice(gfx->GetDevice()); }
    // The calls recorded since the last Forget, one text line each.
    std::vector<std::string> Calls() const;
    void Forget() const { Device().ClearCalls(); }

    DXC_Gfx* gfx = nullptr;
};

// A 24- or 32-bit BMP file as rows from the top, pixels as 0xAARRGGBB (alpha 255 for 24 bits).
struct BmpImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
bool ReadBmp(const std::string& path, BmpImage& image);

// True when each of red, green and blue differ by at most tolerance.
bool ColourNear(uint32_t a, uint32_t b, int tolerance = 3);

// Runs f and returns the message of the engine error it raised ("" when none was raised).
template <class F> std::string GfxErrorOf(F f) {
    try {
        f();
    } catch (const DXC_Error& e) {
        return e.message;
    }
    return "";
}
