#include "scene/AnimatedTexture.h"

#include <cmath>

int32_t ComputeUVTransform(float uOffset, float vOffset, float uTiling, float vTiling, float wAngle,
                           D3DXMATRIX* out) {
    if (uOffset == 0.0f && vOffset == 0.0f && uTiling == 1.0f && vTiling == 1.0f && wAngle == 0.0f) return 0;
    D3DXMATRIX t, r, s, m;
    D3DXMatrixTranslation(&t, -0.5f - uOffset, vOffset - 0.5f, 0.0f);
    D3DXMatrixRotationZ(&r, -wAngle);
    D3DXMatrixScaling(&s, uTiling, vTiling, 1.0f);
    D3DXMatrixMultiply(&m, &t, &r);
    D3DXMatrixMultiply(&m, &m, &s);
    m._41 += 0.5f;
    m._42 += 0.5f;
    // Texture coordinates (u, v) enter as (u, v, 1, 0), so the translation belongs in row 3.
    m._31 = m._41;
    m._32 = m._42;
    m._33 = 1.0f;
    m._41 = m._42 = m._43 = 0.0f;
    m._44 = 1.0f;
    *out = m;
    return 1;
}

void SetUVTransform(DXC_AnimatedTexture& texture, float uOffset, float vOffset, float uTiling, float vTiling,
                    float wAngle) {
    D3DXMATRIX m;
    texture.SetSlotMatrix(ComputeUVTransform(uOffset, vOffset, uTiling, vTiling, wAngle, &m) ? &m : nullptr);
}

namespace {

// Frame arithmetic in double: the integer parts of times divided by tiny durations may not
// fit an int, so they are taken with trunc/floor/fmod and only the final frame is converted.
double PositiveMod(double a, double b) {
    double r = std::fmod(a, b);
    return r < 0.0 ? r + b : r;
}

} // namespace

int32_t ChooseSequenceFrame(float t, const TextureSequenceTiming& timing, int32_t frameCount) {
    const double n = frameCount;
    const double d = timing.frameDuration;
    const double u = static_cast<double>(t) - timing.startTime;
    if (frameCount <= 1 || !(d > 0.0) || !std::isfinite(u)) return 0;
    double frame;
    switch (timing.endCondition) {
    case SequencePingPong: {
        const double cycle = std::floor(u / (d * n));
        frame = PositiveMod(std::trunc((u - n * cycle * d) / d), n);
        if (std::fmod(cycle, 2.0) != 0.0) frame = n - frame - 1.0;
        break;
    }
    case SequenceHold:
        if (u < 0.0) return 0;
        frame = std::fmin(std::trunc(u / d), n - 1.0);
        break;
    default:
        frame = PositiveMod(std::trunc(u / d), n);
        break;
    }
    if (!(frame >= 0.0)) return 0; // NaN from times beyond double range
    return frame >= n - 1.0 ? frameCount - 1 : static_cast<int32_t>(frame);
}

void UpdateTexture(DXC_AnimatedTexture& texture, float t) {
    const int32_t slot = texture.GetCurrentSlot();
    texture.SetAnimationTime(t);
    float v[DXC_TextMatrixAni::ValueCount];
    const int32_t frames = texture.GetSequenceCount();
    if (frames <= 0) {
        for (int32_t s = 0; s < DXC_AnimatedTexture::SlotCount; ++s) {
            texture.SelectSlot(s);
            texture.GetUVAnimation(s).Sample(t, v);
            SetUVTransform(texture, v[0], v[1], v[2], v[3], v[4]);
        }
        texture.SelectSlot(slot);
        return;
    }
    texture.GetUVAnimation(0).Sample(t, v);
    SetUVTransform(texture, v[0], v[1], v[2], v[3], v[4]);
    texture.SelectSequenceFrame(ChooseSequenceFrame(t, texture.GetSequenceTiming(), frames));
}
