// libFuzzer target: image files in memory through the decoders (stb_image and our DDS reader),
// then through the format converters and the scaling filters.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3dx/D3DXImage.h"
#include "platform/d3dx/D3DXImageFilter.h"
#include "platform/d3dx/D3DXImagePixels.h"
#include "platform/d3dx/ImageCodec.h"

namespace {

// Smaller limits than the viewer's keep each run fast and within libFuzzer's memory limit;
// the code paths are the same.
constexpr ImageLimits kLimits{2048, 1u << 20};

void Convert(const PixelImage& image) {
    if (image.width > 64 || image.height > 64) return;
    for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_L8, D3DFMT_DXT1, D3DFMT_DXT5}) {
        size_t pitch = static_cast<size_t>(RowBytes(format, image.width));
        std::vector<uint8_t> memory(pitch * RowCount(format, image.height));
        WritePixels(format, image, memory.data(), pitch);
        PixelImage back;
        ReadPixels(format, memory.data(), pitch, image.width, image.height, back);
    }
}

void Scale(const PixelImage& image) {
    if (image.width > 256 || image.height > 256) return;
    PixelImage out;
    Resample(image, image.width / 2 + 1, image.height / 2 + 1, ResampleMode::Box, out);
    Resample(image, image.width + 3, image.height + 1, ResampleMode::Linear, out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    D3DXIMAGE_INFO info{};
    D3DXGetImageInfoFromFileInMemory(data, static_cast<UINT>(size), &info);

    ImageDescription description;
    ImageStatus probed = ProbeImage(data, size, description, kLimits);
    DecodedImage image;
    ImageStatus decoded = DecodeImage(data, size, image, kLimits);
    // A file the decoder takes must have been accepted by the probe, with the same size.
    if (decoded == ImageStatus::Ok) {
        if (probed != ImageStatus::Ok || image.levels.empty() || description.width != image.levels[0].width ||
            description.height != image.levels[0].height)
            __builtin_trap();
        Convert(image.levels[0]);
        Scale(image.levels[0]);
    }
    return 0;
}
