#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/LogCapture.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/AnimatedTexture.h"
#include "scene/Keys.h"

using SceneTest = LogCaptureTest;

inline void ExpectVec3(const D3DXVECTOR3& v, float x, float y, float z, float eps = 1e-4f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

inline D3DXVECTOR3 Row4(const D3DXMATRIX& m) {
    return D3DXVECTOR3(m._41, m._42, m._43);
}

// Rotation angle (radians, 0..pi) of a quaternion about the Z axis, signed by its z.
inline float AngleAboutZ(const D3DXQUATERNION& q) {
    float a = 2.0f * std::atan2(std::fabs(q.z), std::fabs(q.w));
    return (q.z * q.w < 0.0f) ? -a : a;
}

inline DXC_PosKey PosKey(float time, float x, float y, float z, uint16_t type = KeyTypeLinear) {
    DXC_PosKey k;
    k.time = time;
    k.type = type;
    k.data.value = D3DXVECTOR3(x, y, z);
    k.data.inTangent = k.data.outTangent = D3DXVECTOR3(0, 0, 0);
    return k;
}

inline DXC_ScaleKey ScaleKey(float time, float x, float y, float z) {
    DXC_ScaleKey k;
    k.time = time;
    k.data.value = D3DXVECTOR3(x, y, z);
    return k;
}

inline DXC_RotKey RotKey(float time, D3DXVECTOR3 axis, float angle, uint16_t type = KeyTypeLinear) {
    DXC_RotKey k;
    k.time = time;
    k.type = type;
    k.data.axis = axis;
    k.data.angle = angle;
    return k;
}

// A texture that records what the scene asks of it.
class FakeTexture : public DXC_AnimatedTexture {
public:
    int32_t GetCurrentSlot() const override { return slot; }
    void SelectSlot(int32_t s) override {
        slot = s;
        ++selects;
    }
    void SetSlotMatrix(const D3DXMATRIX* m) override {
        hasMatrix[slot] = m != nullptr;
        if (m) matrix[slot] = *m;
    }
    const DXC_TextMatrixAni& GetUVAnimation(int32_t s) const override { return uv[s]; }
    int32_t GetSequenceCount() const override { return frames; }
    const TextureSequenceTiming& GetSequenceTiming() const override { return timing; }
    void SelectSequenceFrame(int32_t f) override { frame = f; }
    void SetAnimationTime(float t) override { time = t; }

    int32_t slot = 0;
    int32_t selects = 0;
    bool hasMatrix[SlotCount] = {};
    D3DXMATRIX matrix[SlotCount];
    DXC_TextMatrixAni uv[SlotCount];
    int32_t frames = 0;
    TextureSequenceTiming timing;
    int32_t frame = -1;
    float time = -1.0f;
};
