#include "platform/d3dx/D3DXImageFilter.h"

#include <algorithm>
#include <cmath>

namespace {

struct Tap {
    uint32_t index;
    float weight;
};

// For each destination index along one axis: the source indices it reads, with weights that
// add up to 1.
struct AxisTaps {
    std::vector<uint32_t> start; // first tap of each destination index, plus one end entry
    std::vector<Tap> taps;
};

void AddLinear(AxisTaps& axis, uint32_t srcN, double centre) {
    double base = std::floor(centre);
    double f = centre - base;
    auto clampIndex = [srcN](double i) {
        return static_cast<uint32_t>(std::clamp(i, 0.0, static_cast<double>(srcN - 1)));
    };
    axis.taps.push_back({clampIndex(base), static_cast<float>(1.0 - f)});
    if (f > 0) axis.taps.push_back({clampIndex(base + 1), static_cast<float>(f)});
}

AxisTaps MakeAxis(uint32_t srcN, uint32_t dstN, ResampleMode mode) {
    AxisTaps axis;
    axis.start.reserve(dstN + 1);
    double scale = static_cast<double>(srcN) / dstN;
    for (uint32_t i = 0; i < dstN; ++i) {
        axis.start.push_back(static_cast<uint32_t>(axis.taps.size()));
        if (srcN == dstN) {
            axis.taps.push_back({i, 1.0f});
        } else if (mode == ResampleMode::Point) {
            auto s = static_cast<uint32_t>((i + 0.5) * scale);
            axis.taps.push_back({std::min(s, srcN - 1), 1.0f});
        } else if (mode == ResampleMode::Box && dstN < srcN) {
            double lo = i * scale, hi = (i + 1) * scale;
            for (auto s = static_cast<uint32_t>(lo); s < srcN && s < hi; ++s) {
                double overlap = std::min<double>(s + 1, hi) - std::max<double>(s, lo);
                if (overlap > 0) axis.taps.push_back({s, static_cast<float>(overlap / scale)});
            }
        } else {
            AddLinear(axis, srcN, (i + 0.5) * scale - 0.5);
        }
    }
    axis.start.push_back(static_cast<uint32_t>(axis.taps.size()));
    return axis;
}

uint32_t ToByte(float v) {
    float r = std::floor(v + 0.5f);
    return static_cast<uint32_t>(std::clamp(r, 0.0f, 255.0f));
}

void CopyUnscaled(const PixelImage& src, PixelImage& out) {
    uint32_t w = std::min(src.width, out.width), h = std::min(src.height, out.height);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) out.At(x, y) = src.At(x, y);
}

} // namespace

bool Resample(const PixelImage& src, uint32_t width, uint32_t height, ResampleMode mode, PixelImage& out) {
    if (src.width == 0 || src.height == 0) return false;
    PixelImage result;
    if (!MakePixelImage(result, width, height)) return false;
    if (mode == ResampleMode::None) {
        CopyUnscaled(src, result);
        out = std::move(result);
        return true;
    }
    // Columns first into one row of channel sums, then along the row: memory stays one row.
    AxisTaps xs = MakeAxis(src.width, width, mode), ys = MakeAxis(src.height, height, mode);
    std::vector<float> row(static_cast<size_t>(src.width) * 4);
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0.0f);
        for (uint32_t t = ys.start[y]; t < ys.start[y + 1]; ++t) {
            const Tap& tap = ys.taps[t];
            for (uint32_t x = 0; x < src.width; ++x) {
                uint32_t p = src.At(x, tap.index);
                float* acc = &row[static_cast<size_t>(x) * 4];
                for (int c = 0; c < 4; ++c) acc[c] += tap.weight * static_cast<float>((p >> (8 * c)) & 255);
            }
        }
        for (uint32_t x = 0; x < width; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (uint32_t t = xs.start[x]; t < xs.start[x + 1]; ++t) {
                const Tap& tap = xs.taps[t];
                const float* s = &row[static_cast<size_t>(tap.index) * 4];
                for (int c = 0; c < 4; ++c) acc[c] += tap.weight * s[c];
            }
            uint32_t p = 0;
            for (int c = 0; c < 4; ++c) p |= ToByte(acc[c]) << (8 * c);
            result.At(x, y) = p;
        }
    }
    out = std::move(result);
    return true;
}

void ApplyColorKey(PixelImage& image, uint32_t key) {
    if (key == 0) return;
    for (uint32_t& p : image.pixels)
        if (p == key) p = 0;
}

bool CropImage(const PixelImage& src, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom,
               PixelImage& out) {
    if (left >= right || top >= bottom || right > src.width || bottom > src.height) return false;
    PixelImage result;
    if (!MakePixelImage(result, right - left, bottom - top)) return false;
    for (uint32_t y = top; y < bottom; ++y)
        for (uint32_t x = left; x < right; ++x) result.At(x - left, y - top) = src.At(x, y);
    out = std::move(result);
    return true;
}
