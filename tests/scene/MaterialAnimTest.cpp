// Array tracks, material animation, uv placement matrices, sequence frames and the per-frame
// texture update.
#include "SceneTestSupport.h"

#include "foundation/File.h"
#include "scene/AnimatedTexture.h"
#include "scene/ArrayTrack.h"
#include "scene/MeshMaterial.h"
#include "scene/TextMatrixAni.h"

namespace {

FloatTrack LinearTrack() {
    FloatTrack t;
    t.type = 0;
    t.keys = {{0, 0, 0, 0}, {1, 10, 0, 0}};
    return t;
}

ColourKey Colour(float time, float r, float g, float b) {
    return ColourKey{time, {r, g, b, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}};
}

D3DXVECTOR2 Uv(const D3DXMATRIX& m, float u, float v) {
    // Texture coordinates enter as (u, v, 1, 0).
    return D3DXVECTOR2(u * m._11 + v * m._21 + m._31, u * m._12 + v * m._22 + m._32);
}

} // namespace

using ArrayTrackTest = SceneTest;
using MaterialTest = SceneTest;
using UvTest = SceneTest;
using SequenceTest = SceneTest;

TEST_F(ArrayTrackTest, LinearWithoutLoopClampsAtTheEnds) {
    FloatTrack t = LinearTrack();
    EXPECT_FLOAT_EQ(SampleFloat(t, 0.5f), 5.0f);
    EXPECT_FLOAT_EQ(SampleFloat(t, -1.0f), 0.0f);
    EXPECT_FLOAT_EQ(SampleFloat(t, 3.0f), 10.0f);
    float d = -1;
    SampleFloat(t, 0.5f, &d);
    EXPECT_FLOAT_EQ(d, 10.0f);
    SampleFloat(t, 3.0f, &d);
    EXPECT_FLOAT_EQ(d, 0.0f);
}

TEST_F(ArrayTrackTest, LoopBlendsBackToTheFirstKeyUntilEndTime) {
    FloatTrack t = LinearTrack();
    t.loop = 1;
    t.endTime = 2;
    EXPECT_FLOAT_EQ(SampleFloat(t, 1.5f), 5.0f);
    EXPECT_FLOAT_EQ(SampleFloat(t, 2.5f), 5.0f);
    EXPECT_FLOAT_EQ(SampleFloat(t, -0.5f), 5.0f); // wraps to 1.5
    // An end time below the last key is raised to it: the loop is then just the keys.
    t.endTime = 0.5f;
    EXPECT_FLOAT_EQ(SampleFloat(t, 1.25f), 2.5f);
    // The loop starts at the first key's time.
    FloatTrack late;
    late.type = 0;
    late.loop = 1;
    late.endTime = 4;
    late.keys = {{2, 0, 0, 0}, {3, 10, 0, 0}};
    EXPECT_FLOAT_EQ(SampleFloat(late, 4.5f), 5.0f); // 4.5 wraps to 2.5
    EXPECT_FLOAT_EQ(SampleFloat(late, 3.5f), 5.0f); // from 10 back to 0 over 3..4
}

TEST_F(ArrayTrackTest, BezierWeightsAndDerivative) {
    FloatTrack t;
    t.keys = {{0, 0, 0, 0}, {2, 8, 0, 0}};
    EXPECT_FLOAT_EQ(SampleFloat(t, 0.5f), 8 * 0.15625f); // smoothstep at s = 0.25
    float d = 0;
    EXPECT_FLOAT_EQ(SampleFloat(t, 1.0f, &d), 4.0f);
    EXPECT_FLOAT_EQ(d, 8 * 1.5f / 2); // d/ds of 3s^2 - 2s^3 at 0.5 is 1.5, over 2 seconds
    t.keys[0].outTangent = 4;
    t.keys[1].inTangent = 4; // enters with a minus sign
    EXPECT_FLOAT_EQ(SampleFloat(t, 1.0f), 4.0f + 0.125f * 4 + 0.125f * 4);
}

TEST_F(ArrayTrackTest, InterpolationSearchFindsThePairInUnevenTracks) {
    FloatTrack t;
    t.type = 0;
    const float times[] = {0, 0.01f, 0.02f, 5, 5.5f, 9, 9, 9.5f, 40, 41, 100};
    for (float time : times) t.keys.push_back({time, time * 2, 0, 0}); // value = 2 time
    for (float x = 0.0f; x < 100.0f; x += 0.37f) {
        float expect = 2 * x;
        EXPECT_NEAR(SampleFloat(t, x), expect, 1e-3f * (1 + x)) << x;
    }
    // A single key holds everywhere, looped or not.
    FloatTrack one;
    one.keys = {{1, 3, 0, 0}};
    EXPECT_EQ(SampleFloat(one, 0), 3.0f);
    EXPECT_EQ(SampleFloat(one, 9), 3.0f);
    one.loop = 1;
    EXPECT_EQ(SampleFloat(one, 9), 3.0f);
    EXPECT_EQ(SampleFloat(FloatTrack(), 1), 0.0f);
}

TEST_F(ArrayTrackTest, ColourTrackInterpolatesRgbWithAlphaOne) {
    ColourTrack t;
    t.type = 0;
    t.keys = {Colour(0, 0, 0, 0), Colour(1, 1, 0.5f, 0.25f)};
    t.keys[1].value.a = 0.3f; // ignored: sampled alpha is 1
    D3DCOLORVALUE c = SampleColour(t, 0.5f);
    EXPECT_FLOAT_EQ(c.r, 0.5f);
    EXPECT_FLOAT_EQ(c.g, 0.25f);
    EXPECT_FLOAT_EQ(c.b, 0.125f);
    EXPECT_EQ(c.a, 1.0f);
    EXPECT_EQ(SampleColour(t, 5).a, 1.0f);
}

TEST_F(ArrayTrackTest, TracksRoundTripAndDamagedCountsAreRejected) {
    const std::string path = PathOf("tracks.bin");
    DXC_TextMatrixAni ani;
    EXPECT_STREQ(ani.GetObjectName(), "DXC_TextMatrixAni");
    ani.tracks[DXC_TextMatrixAni::UTiling] = LinearTrack();
    ani.tracks[DXC_TextMatrixAni::UTiling].loop = 1;
    ani.tracks[DXC_TextMatrixAni::UTiling].spare = 7;
    ani.tracks[DXC_TextMatrixAni::UTiling].endTime = 3;
    ani.baseValues[DXC_TextMatrixAni::WAngle] = 0.5f;
    {
        File f;
        ASSERT_EQ(f.Create(path.c_str()), 1);
        ani.Write(f);
        // five headers of 14 bytes, two keys of 16 bytes, five values of 4 bytes
        EXPECT_EQ(f.GetPosition(), 5 * 14 + 2 * 16 + 5 * 4);
    }
    {
        File f;
        ASSERT_EQ(f.Open(path.c_str()), 1);
        DXC_TextMatrixAni back;
        back.Read(f);
        const FloatTrack& t = back.tracks[DXC_TextMatrixAni::UTiling];
        EXPECT_EQ(t.Count(), 2);
        EXPECT_EQ(t.type, 0);
        EXPECT_EQ(t.loop, 1);
        EXPECT_EQ(t.spare, 7);
        EXPECT_EQ(t.endTime, 3.0f);
        EXPECT_EQ(t.keys[1].value, 10.0f);
        EXPECT_EQ(back.baseValues[DXC_TextMatrixAni::WAngle], 0.5f);
        EXPECT_EQ(back.baseValues[DXC_TextMatrixAni::UTiling], 1.0f);
    }
    // A key count far beyond the file is a damaged file, reported before any allocation.
    {
        File f;
        ASSERT_EQ(f.Open(path.c_str(), false), 1);
        f.WriteInt(0x7FFFFFFF);
    }
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    FloatTrack t;
    EXPECT_THROW(ReadArrayTrack(f, t), ErrorMsg);
}

TEST_F(MaterialTest, TracksDriveColoursAndSelfIlluminationWins) {
    MeshMaterial m;
    EXPECT_EQ(m.reflectionChannel, -1);
    EXPECT_EQ(m.tileU, 1);
    m.material.Emissive = {0.1f, 0.1f, 0.1f, 1};
    m.diffuseTrack.type = 0;
    m.diffuseTrack.keys = {Colour(0, 1, 0, 0), Colour(1, 0, 1, 0)};
    m.ambientTrack.keys = {Colour(0, 0.2f, 0.2f, 0.2f)};
    m.selfIllumTrack.keys = {Colour(0, 0.9f, 0.8f, 0.7f)};
    m.opacityTrack.type = 0;
    m.opacityTrack.keys = {{0, 0.25f, 0, 0}, {1, 0.75f, 0, 0}};
    UpdateMaterial(m, 0.5f);
    EXPECT_FLOAT_EQ(m.material.Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(m.material.Diffuse.g, 0.5f);
    EXPECT_FLOAT_EQ(m.material.Ambient.r, 0.9f);
    EXPECT_FLOAT_EQ(m.material.Ambient.b, 0.7f);
    EXPECT_FLOAT_EQ(m.transparency, 0.5f);
    EXPECT_EQ(m.material.Specular.r, 0.0f); // no specular track: unchanged
    EXPECT_EQ(m.material.Emissive.r, 0.1f);
}

TEST_F(UvTest, NeutralPlacementClearsTheMatrix) {
    D3DXMATRIX m;
    EXPECT_EQ(ComputeUVTransform(0, 0, 1, 1, 0, &m), 0);
    FakeTexture tex;
    tex.hasMatrix[0] = true;
    SetUVTransform(tex, 0, 0, 1, 1, 0);
    EXPECT_FALSE(tex.hasMatrix[0]);
}

TEST_F(UvTest, TilingScalesAboutTheTextureCentre) {
    D3DXMATRIX m;
    ASSERT_EQ(ComputeUVTransform(0, 0, 2, 2, 0, &m), 1);
    EXPECT_FLOAT_EQ(m._11, 2.0f);
    EXPECT_FLOAT_EQ(m._22, 2.0f);
    EXPECT_FLOAT_EQ(m._31, -0.5f);
    EXPECT_FLOAT_EQ(m._32, -0.5f);
    EXPECT_FLOAT_EQ(m._33, 1.0f);
    EXPECT_EQ(m._41, 0.0f);
    EXPECT_EQ(m._42, 0.0f);
    EXPECT_EQ(m._44, 1.0f);
    D3DXVECTOR2 c = Uv(m, 0.5f, 0.5f);
    EXPECT_FLOAT_EQ(c.x, 0.5f);
    EXPECT_FLOAT_EQ(c.y, 0.5f);
    D3DXVECTOR2 one = Uv(m, 1, 1);
    EXPECT_FLOAT_EQ(one.x, 1.5f);
}

TEST_F(UvTest, OffsetsMoveUAgainstAndVWithTheValue) {
    D3DXMATRIX m;
    ASSERT_EQ(ComputeUVTransform(0.25f, 0.25f, 1, 1, 0, &m), 1);
    D3DXVECTOR2 p = Uv(m, 0.5f, 0.5f);
    EXPECT_FLOAT_EQ(p.x, 0.25f);
    EXPECT_FLOAT_EQ(p.y, 0.75f);
    // A quarter turn about the centre: the centre stays, (1, 0.5) goes to (0.5, 0) or (0.5, 1).
    ASSERT_EQ(ComputeUVTransform(0, 0, 1, 1, 3.14159265f / 2, &m), 1);
    D3DXVECTOR2 c = Uv(m, 0.5f, 0.5f), e = Uv(m, 1, 0.5f);
    EXPECT_NEAR(c.x, 0.5f, 1e-6f);
    EXPECT_NEAR(c.y, 0.5f, 1e-6f);
    EXPECT_NEAR(e.x, 0.5f, 1e-6f);
    EXPECT_NEAR(e.y, 0.0f, 1e-6f);
}

TEST_F(SequenceTest, PingPongLoopAndHold) {
    TextureSequenceTiming timing;
    timing.frameDuration = 0.2f;
    timing.endCondition = SequencePingPong;
    EXPECT_EQ(ChooseSequenceFrame(0.1f, timing, 4), 0);
    EXPECT_EQ(ChooseSequenceFrame(0.3f, timing, 4), 1);
    EXPECT_EQ(ChooseSequenceFrame(0.9f, timing, 4), 3);
    EXPECT_EQ(ChooseSequenceFrame(1.1f, timing, 4), 2);
    EXPECT_EQ(ChooseSequenceFrame(1.7f, timing, 4), 0);  // forwards again from 1.6
    EXPECT_EQ(ChooseSequenceFrame(-0.1f, timing, 4), 0); // the cycle before runs backwards
    EXPECT_EQ(ChooseSequenceFrame(5.0f, timing, 1), 0);

    timing.endCondition = SequenceHold;
    EXPECT_EQ(ChooseSequenceFrame(10.0f, timing, 4), 3);
    EXPECT_EQ(ChooseSequenceFrame(-1.0f, timing, 4), 0);
    EXPECT_EQ(ChooseSequenceFrame(0.45f, timing, 4), 2);

    timing.endCondition = SequenceLoop;
    timing.startTime = 1.0f;
    EXPECT_EQ(ChooseSequenceFrame(1.9f, timing, 4), 0);  // 0.9 / 0.2 = 4 -> 0
    EXPECT_EQ(ChooseSequenceFrame(0.75f, timing, 4), 3); // -0.25 / 0.2 -> -1 -> 3
    EXPECT_EQ(ChooseSequenceFrame(1e30f, timing, 4) >= 0, true);
    timing.frameDuration = 0;
    EXPECT_EQ(ChooseSequenceFrame(3.0f, timing, 4), 0);
}

TEST_F(SequenceTest, UpdateTextureAppliesEverySlotAndRestoresTheCurrentOne) {
    FakeTexture tex;
    tex.slot = 2;
    tex.uv[0].tracks[DXC_TextMatrixAni::UTiling] = LinearTrack(); // 5 at 0.5 s
    tex.uv[3].baseValues[DXC_TextMatrixAni::VOffset] = 0.5f;
    UpdateTexture(tex, 0.5f);
    EXPECT_EQ(tex.time, 0.5f);
    EXPECT_EQ(tex.slot, 2);
    EXPECT_EQ(tex.selects, 9);
    EXPECT_TRUE(tex.hasMatrix[0]);
    EXPECT_FLOAT_EQ(tex.matrix[0]._11, 5.0f);
    EXPECT_TRUE(tex.hasMatrix[3]);
    EXPECT_FALSE(tex.hasMatrix[1]);
    EXPECT_EQ(tex.frame, -1);
}

TEST_F(SequenceTest, UpdateTextureWithSequenceSelectsAFrameAndNoSlot) {
    FakeTexture tex;
    tex.frames = 4;
    tex.timing.frameDuration = 0.2f;
    tex.timing.endCondition = SequencePingPong;
    tex.uv[0].baseValues[DXC_TextMatrixAni::UTiling] = 3;
    UpdateTexture(tex, 0.9f);
    EXPECT_EQ(tex.selects, 0); // slot selection is not allowed with a sequence
    EXPECT_EQ(tex.frame, 3);
    EXPECT_TRUE(tex.hasMatrix[0]);
    EXPECT_FLOAT_EQ(tex.matrix[0]._11, 3.0f);
}
