#include "GfxTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

RecordingGfx::RecordingGfx(bool hardwareVertexProcessing, RecordingConfig config) {
    gfx = new DXC_Gfx(CreateRecordingDirect3D8(config));
    D3DDISPLAYMODE mode{640, 480, 0, D3DFMT_R5G6B5};
    gfx->InitDevice(nullptr, 1, &mode, 16, 0, hardwareVertexProcessing ? 1 : 0, 0);
    Forget();
}

RecordingGfx::~RecordingGfx() {
    delete gfx;
}

std::vector<std::string> RecordingGfx::Calls() const {
    std::vector<std::string> lines;
    for (const DeviceCall& call : Device().Calls()) lines.push_back(Device().Text(call));
    return lines;
}

namespace {

uint32_t Le(const std::vector<unsigned char>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<size_t>(i)];
    return v;
}

} // namespace

bool ReadBmp(const std::string& path, BmpImage& image) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const uint32_t offset = Le(b, 10, 4);
    const int32_t width = static_cast<int32_t>(Le(b, 18, 4));
    const int32_t rawHeight = static_cast<int32_t>(Le(b, 22, 4));
    const int bits = static_cast<int>(Le(b, 28, 2));
    if (width <= 0 || rawHeight == 0 || (bits != 24 && bits != 32)) return false;
    const int height = std::abs(rawHeight);
    const size_t bytes = static_cast<size_t>(bits / 8);
    const size_t stride = (static_cast<size_t>(width) * bytes + 3) & ~static_cast<size_t>(3);
    if (offset + stride * static_cast<size_t>(height) > b.size()) return false;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        const int row = rawHeight > 0 ? height - 1 - y : y; // positive heights store the bottom row first
        const size_t at = offset + stride * static_cast<size_t>(row);
        for (int x = 0; x < width; ++x) {
            const size_t p = at + static_cast<size_t>(x) * bytes;
            const uint32_t alpha = bytes == 4 ? b[p + 3] : 0xFFu;
            image.pixels[static_cast<size_t>(y) * width + x] = alpha << 24 |
                                                               static_cast<uint32_t>(b[p + 2]) << 16 |
                                                               static_cast<uint32_t>(b[p + 1]) << 8 | b[p];
        }
    }
    return true;
}

bool ColourNear(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}
