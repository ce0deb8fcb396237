// Key insertion, accumulation, indexing, search, time wrapping and track sampling.
#include "SceneTestSupport.h"

#include <cmath>

#include "foundation/File.h"
#include "scene/Object3d.h"

namespace {

const D3DXVECTOR3 kZ(0, 0, 1);
constexpr float kPi = 3.14159265f;

std::vector<float> TimesOf(const KeyTrack<DXC_PosKeyData>& track) {
    std::vector<float> t;
    for (const DXC_PosKey* k = track.First(); k; k = k->next) t.push_back(k->time);
    return t;
}

// Checks the back links against the forward links.
template <class T> void ExpectConsistentLinks(const KeyTrack<T>& track) {
    const DXC_KeyBase<T>* prev = nullptr;
    for (const DXC_KeyBase<T>* k = track.First(); k; k = k->next) {
        EXPECT_EQ(k->prev, prev);
        prev = k;
    }
    EXPECT_EQ(track.Last(), prev);
}

} // namespace

using KeyInsertTest = SceneTest;
using KeySampleTest = SceneTest;
using KeyStoreTest = SceneTest;

TEST_F(KeyInsertTest, KeysLandInTimeOrderAndEqualTimesKeepAddOrder) {
    DXC_3dObject o;
    o.AddPosKey(PosKey(1, 1, 0, 0));
    o.AddPosKey(PosKey(3, 3, 0, 0));
    o.AddPosKey(PosKey(2, 2, 0, 0));
    o.AddPosKey(PosKey(2, 22, 0, 0)); // same time as an existing key: goes after it
    o.AddPosKey(PosKey(3, 33, 0, 0)); // same time as the last key: appended
    EXPECT_EQ(o.posKeys.Count(), 5);
    EXPECT_EQ(TimesOf(o.posKeys), (std::vector<float>{1, 2, 2, 3, 3}));
    std::vector<float> values;
    for (const DXC_PosKey* k = o.posKeys.First(); k; k = k->next) values.push_back(k->data.value.x);
    EXPECT_EQ(values, (std::vector<float>{1, 2, 22, 3, 33}));
    ExpectConsistentLinks(o.posKeys);
}

TEST_F(KeyInsertTest, KeyBeforeTheHeadBecomesTheHead) {
    DXC_3dObject o;
    o.AddPosKey(PosKey(5, 5, 0, 0));
    o.AddPosKey(PosKey(6, 6, 0, 0));
    o.AddPosKey(PosKey(1, 1, 0, 0));
    EXPECT_EQ(TimesOf(o.posKeys), (std::vector<float>{1, 5, 6}));
    ExpectConsistentLinks(o.posKeys);
    o.BuildKeyIndex(); // count and list agree
}

TEST_F(KeyInsertTest, RotationKeysAccumulate) {
    DXC_3dObject o;
    o.AddRotKey(RotKey(0, kZ, kPi / 2));
    o.AddRotKey(RotKey(1, kZ, kPi / 2));
    o.BuildKeyIndex();
    const DXC_RotKey* first = o.rotKeys.First();
    EXPECT_NEAR(AngleAboutZ(first->data.rotation), kPi / 2, 1e-5f);
    EXPECT_NEAR(AngleAboutZ(first->next->data.rotation), kPi, 1e-5f);
    // Halfway in time: 135 degrees.
    EXPECT_NEAR(AngleAboutZ(SampleRotationTrack(o.rotKeys, 0.5f, 0, 100)), 0.75f * kPi, 1e-5f);
    EXPECT_EQ(o.GetLastRotKey(), first->next);
}

TEST_F(KeyInsertTest, RelativeRotationIsAppliedAfterThePreviousOne) {
    DXC_3dObject o;
    o.AddRotKey(RotKey(0, kZ, kPi / 2));                   // x -> y
    o.AddRotKey(RotKey(1, D3DXVECTOR3(1, 0, 0), kPi / 2)); // then about X: y -> z
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &o.rotKeys.Last()->data.rotation);
    D3DXVECTOR3 x(1, 0, 0), out;
    ExpectVec3(*D3DXVec3TransformCoord(&out, &x, &m), 0, 0, 1);
}

TEST_F(KeyInsertTest, CountMismatchIsReportedPerTrack) {
    struct Case {
        void (*spoil)(DXC_3dObject&);
        const char* message;
    } cases[] = {
        {[](DXC_3dObject& o) { o.posKeys.SetCount(2); }, "Check: Pos key numbers don't match"},
        {[](DXC_3dObject& o) { o.rotKeys.SetCount(0); }, "Check: Rot key numbers don't match"},
        {[](DXC_3dObject& o) { o.scaleKeys.SetCount(-1); }, "Check: Scale key numbers don't match"},
    };
    for (const Case& c : cases) {
        DXC_3dObject o;
        o.name = "Box01";
        o.AddPosKey(PosKey(0, 0, 0, 0));
        o.AddRotKey(RotKey(0, kZ, 0));
        c.spoil(o);
        try {
            o.BuildKeyIndex();
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const DXC_Error& e) {
            EXPECT_STREQ(e.message, (std::string("Box01: ") + c.message).c_str());
        }
    }
}

TEST_F(KeyInsertTest, IndexedAndWalkingSearchAgree) {
    DXC_3dObject o;
    const float times[] = {0, 1, 1, 1, 2.5f, 4, 4, 7};
    for (float t : times) o.AddPosKey(PosKey(t, t, 0, 0));
    KeyTrack<DXC_PosKeyData> walking;
    walking.CopyFrom(o.posKeys); // no index: searched by walking the list
    o.BuildKeyIndex();
    ASSERT_EQ(o.posKeys.IndexSize(), 8);
    ASSERT_EQ(walking.IndexSize(), 0);
    for (float t = -1.0f; t < 9.0f; t += 0.25f) {
        const DXC_PosKey* a = o.posKeys.Find(t);
        const DXC_PosKey* b = walking.Find(t);
        EXPECT_EQ(a->time, b->time) << t;
        // The last key at or before t, the first key before every key; of equal times the last.
        if (t >= 0) {
            EXPECT_LE(a->time, t);
            if (a->next) {
                EXPECT_GT(a->next->time, t);
            }
        } else {
            EXPECT_EQ(a, o.posKeys.First());
        }
    }
}

TEST_F(KeySampleTest, WrapTime) {
    EXPECT_FLOAT_EQ(WrapTime(2.5f, 2.0f), 0.5f);
    EXPECT_FLOAT_EQ(WrapTime(1.5f, 2.0f), 1.5f);
    EXPECT_FLOAT_EQ(WrapTime(4.0f, 2.0f), 0.0f);
    EXPECT_FLOAT_EQ(WrapTime(-0.5f, 2.0f), 1.5f);
    EXPECT_FLOAT_EQ(WrapTime(-2.5f, 2.0f), 1.5f);
    EXPECT_FLOAT_EQ(WrapTime(-2.0f, 2.0f), 2.0f); // a negative multiple wraps to the length
    // Nothing to wrap into: the start, never NaN or a conversion overflow.
    EXPECT_EQ(WrapTime(3.0f, 0.0f), 0.0f);
    EXPECT_EQ(WrapTime(3.0f, -1.0f), 0.0f);
    EXPECT_EQ(WrapTime(INFINITY, 2.0f), 0.0f);
}

// Large times wrap to the exact remainder. Expected values worked out with exact rational
// arithmetic on the float inputs (0.1f is 13421773 / 2^27, 32500000 is about 324999995.2 of
// them, and so on); each is itself a float.
TEST_F(KeySampleTest, WrapTimeOfLargeTimesIsTheExactRemainder) {
    EXPECT_EQ(WrapTime(3.25e7f, 0.1f), 0.01571226865053177f);
    EXPECT_EQ(WrapTime(1.14e8f, 0.1f), 0.001267649233341217f);
    EXPECT_EQ(WrapTime(7e6f, 0.3f), 0.12184500694274902f);
    EXPECT_EQ(WrapTime(-3.25e7f, 0.1f), 0.08428773283958435f); // 0.1f less the remainder
    EXPECT_EQ(WrapTime(1e30f, 3.0f), 0.0f);                    // 1e30f is a multiple of 3
    EXPECT_EQ(WrapTime(-1e9f, 2.5f), 2.5f);                    // so is -1e9 of 2.5
    // A remainder just below 0 whose sum with the length rounds up still stays below it.
    const float w = WrapTime(-1e-9f, 1.0f);
    EXPECT_LT(w, 1.0f);
    EXPECT_GT(w, 0.99999f);
    // Whatever the size of the time, the result stays in [0, length).
    for (float length : {0.1f, 0.3f, 1.0f / 30.0f, 2.5f, 1000.0f})
        for (float t = 1.0f; t < 1e38f; t *= 3.7f)
            for (float sign : {1.0f, -1.0f}) {
                const float r = WrapTime(sign * t, length);
                EXPECT_GE(r, 0.0f) << sign * t << " " << length;
                EXPECT_LE(r, length) << sign * t << " " << length;
                if (sign > 0) {
                    EXPECT_LT(r, length) << t << " " << length;
                }
            }
}

TEST_F(KeySampleTest, LinearPositionHoldsAndLoops) {
    DXC_3dObject o;
    o.AddPosKey(PosKey(0, 0, 0, 0));
    o.AddPosKey(PosKey(1, 10, 20, 0));
    o.BuildKeyIndex();
    ExpectVec3(SamplePositionTrack(o.posKeys, 0.25f, 0, 2), 2.5f, 5, 0);
    ExpectVec3(SamplePositionTrack(o.posKeys, 2.0f, 0, 2), 10, 20, 0); // held
    ExpectVec3(SamplePositionTrack(o.posKeys, -1.0f, 0, 2), 0, 0, 0);
    // Looped with length 2: after the last key the track blends back to the first.
    ExpectVec3(SamplePositionTrack(o.posKeys, 1.5f, 1, 2), 5, 10, 0);
    ExpectVec3(SamplePositionTrack(o.posKeys, WrapTime(2.5f, 2), 1, 2), 5, 10, 0);
    // A loop length that leaves no room after the last key holds it.
    ExpectVec3(SamplePositionTrack(o.posKeys, 1.0f, 1, 1), 10, 20, 0);
}

TEST_F(KeySampleTest, BezierUsesTangentsWithInTangentNegated) {
    DXC_3dObject o;
    o.AddPosKey(PosKey(0, 0, 0, 0, KeyTypeBezier));
    o.AddPosKey(PosKey(2, 8, 0, 0, KeyTypeBezier));
    o.BuildKeyIndex();
    // Zero tangents: the smoothstep 3s^2 - 2s^3; s = 0.25 -> 0.15625.
    ExpectVec3(SamplePositionTrack(o.posKeys, 0.5f, 0, 100), 1.25f, 0, 0);
    // Tangents: h3 = s^3 - 2s^2 + s, h4 = s^3 - s^2 at s = 0.5: 0.125 and -0.125.
    DXC_PosKey* first = o.posKeys.First();
    first->data.outTangent = D3DXVECTOR3(4, 0, 0);
    first->next->data.inTangent = D3DXVECTOR3(0, 4, 0);
    // The index holds the values as they were when it was built; rebuilt, it has the tangents.
    ExpectVec3(SamplePositionTrack(o.posKeys, 1.0f, 0, 100), 4, 0, 0);
    o.BuildKeyIndex();
    // 0.5 * 8 + 0.125 * 4 in x; -(-0.125) * 4 in y.
    ExpectVec3(SamplePositionTrack(o.posKeys, 1.0f, 0, 100), 4.5f, 0.5f, 0);
    // The curve type is the earlier key's: a linear key before a Bezier key interpolates linearly.
    first->type = KeyTypeLinear;
    o.BuildKeyIndex();
    ExpectVec3(SamplePositionTrack(o.posKeys, 1.0f, 0, 100), 4, 0, 0);
}

TEST_F(KeySampleTest, RotationBeforeFirstKeyAndLoop) {
    DXC_3dObject o;
    o.AddRotKey(RotKey(1, kZ, kPi / 2));
    o.AddRotKey(RotKey(2, kZ, kPi / 2));
    o.BuildKeyIndex();
    // Before the first key: that key's own axis-angle rotation.
    EXPECT_NEAR(AngleAboutZ(SampleRotationTrack(o.rotKeys, 0.0f, 0, 4)), kPi / 2, 1e-5f);
    // After the last: held, or blended back towards the first when looped (180 -> 90 over 2..4).
    EXPECT_NEAR(AngleAboutZ(SampleRotationTrack(o.rotKeys, 3.0f, 0, 4)), kPi, 1e-5f);
    EXPECT_NEAR(std::fabs(AngleAboutZ(SampleRotationTrack(o.rotKeys, 3.0f, 1, 4))), 0.75f * kPi, 1e-5f);
}

TEST_F(KeySampleTest, EaseCurve) {
    EXPECT_FLOAT_EQ(Ease(0.5f, 0, 0), 0.5f);
    EXPECT_FLOAT_EQ(Ease(0.25f, 0.5f, 0.5f), 0.125f);
    EXPECT_FLOAT_EQ(Ease(0.5f, 0.5f, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(Ease(0.75f, 0.5f, 0.5f), 0.875f);
    // Eases summing above 1 are scaled down to sum 1: (2, 2) behaves like (0.5, 0.5).
    EXPECT_FLOAT_EQ(Ease(0.25f, 2, 2), 0.125f);
    // Ease-out only: k = 1 / (2 - 0.5) = 2/3; linear part k (2a - from) after it.
    EXPECT_NEAR(Ease(0.75f, 0.5f, 0), (2.0f / 3.0f) * (1.5f - 0.5f), 1e-6f);
    // The end of a segment without ease-in stays finite.
    EXPECT_FLOAT_EQ(Ease(1.0f, 0.5f, 0), 1.0f);
}

TEST_F(KeySampleTest, TcbWithEndpointControlsFollowsTheArcByTheBezierWeights) {
    DXC_3dObject o;
    o.AddRotKey(RotKey(0, kZ, 0, KeyTypeTCB));
    o.AddRotKey(RotKey(1, kZ, kPi / 2, KeyTypeTCB));
    for (DXC_RotKey* k = o.rotKeys.First(); k; k = k->next) {
        k->data.inControl = k->data.rotation;
        k->data.outControl = k->data.rotation;
    }
    o.BuildKeyIndex();
    // Controls on the key rotations: the Bezier gives the fraction 3u^2 - 2u^3 of the arc.
    EXPECT_NEAR(AngleAboutZ(SampleRotationTrack(o.rotKeys, 0.25f, 0, 10)), 0.15625f * kPi / 2, 1e-5f);
    // With ease-out 0.5 on the first key and ease-in 0.5 on the second: u = 0.125.
    o.rotKeys.First()->data.easeOut = 0.5f;
    o.rotKeys.Last()->data.easeIn = 0.5f;
    o.BuildKeyIndex();
    const float u = 0.125f, f = 3 * u * u - 2 * u * u * u;
    EXPECT_NEAR(AngleAboutZ(SampleRotationTrack(o.rotKeys, 0.25f, 0, 10)), f * kPi / 2, 1e-5f);
    // A slerp key (type 0) ignores controls and eases.
    o.rotKeys.First()->type = KeyTypeLinear;
    o.BuildKeyIndex();
    EXPECT_NEAR(AngleAboutZ(SampleRotationTrack(o.rotKeys, 0.25f, 0, 10)), 0.25f * kPi / 2, 1e-5f);
}

// Sampling computes its slerps its own way for speed; across angles from tiny to wide and
// in the middle of segments it must agree with the chain of D3DXQuaternionSlerp calls.
TEST_F(KeySampleTest, TcbSamplingMatchesTheSlerpChain) {
    const float angles[] = {1e-4f, 0.01f, 0.1f, 0.5f, 1.2f, 2.0f, 3.0f};
    for (float angle : angles) {
        DXC_3dObject o;
        o.AddRotKey(RotKey(0, D3DXVECTOR3(0.2f, 1, 0.3f), 0.4f, KeyTypeTCB));
        o.AddRotKey(RotKey(1, D3DXVECTOR3(1, -0.5f, 0.1f), angle, KeyTypeTCB));
        DXC_RotKey* a = o.rotKeys.First();
        DXC_RotKey* b = a->next;
        D3DXQuaternionSlerp(&a->data.outControl, &a->data.rotation, &b->data.rotation, 0.4f);
        D3DXQuaternionSlerp(&b->data.inControl, &b->data.rotation, &a->data.rotation, 0.3f);
        a->data.easeOut = 0.2f;
        o.BuildKeyIndex();
        for (float w = 0.0f; w < 1.0f; w += 0.0625f) {
            const float u = Ease(w, 0.2f, 0.0f);
            auto slerp = [u](const D3DXQUATERNION& p, const D3DXQUATERNION& q) {
                D3DXQUATERNION r;
                D3DXQuaternionSlerp(&r, &p, &q, u);
                return r;
            };
            D3DXQUATERNION q1 = slerp(a->data.rotation, a->data.outControl);
            D3DXQUATERNION q2 = slerp(a->data.outControl, b->data.inControl);
            D3DXQUATERNION q3 = slerp(b->data.inControl, b->data.rotation);
            D3DXQUATERNION expect = slerp(slerp(q1, q2), slerp(q2, q3));
            D3DXQUATERNION got = SampleRotationTrack(o.rotKeys, w, 0, 10);
            EXPECT_NEAR(got.x, expect.x, 2e-6f) << angle << " " << w;
            EXPECT_NEAR(got.y, expect.y, 2e-6f) << angle << " " << w;
            EXPECT_NEAR(got.z, expect.z, 2e-6f) << angle << " " << w;
            EXPECT_NEAR(got.w, expect.w, 2e-6f) << angle << " " << w;
        }
    }
}

TEST_F(KeyStoreTest, TrackRoundTripsThroughFile) {
    const std::string path = PathOf("keys.bin");
    DXC_3dObject o;
    o.AddRotKey(RotKey(0, kZ, 0.5f, KeyTypeTCB));
    o.AddRotKey(RotKey(1, D3DXVECTOR3(1, 0, 0), 0.25f));
    o.rotKeys.First()->data.tension = 0.3f;
    o.rotKeys.First()->data.outControl = D3DXQUATERNION(0.1f, 0.2f, 0.3f, 0.9f);
    {
        File f;
        ASSERT_EQ(f.Create(path.c_str()), 1);
        EXPECT_EQ(o.rotKeys.First()->Write(f), 2);
        // time 4 + type 2 + data 84 + flag 1 per key.
        EXPECT_EQ(f.GetPosition(), 2 * 91);
    }
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    auto* head = new DXC_RotKey;
    EXPECT_EQ(head->Read(f), 2);
    KeyTrack<DXC_RotKeyData> track;
    track.Adopt(head, 2);
    EXPECT_EQ(track.BuildIndex(), 2);
    ExpectConsistentLinks(track);
    const DXC_RotKey* a = track.First();
    EXPECT_EQ(a->type, KeyTypeTCB);
    EXPECT_EQ(a->data.tension, 0.3f);
    EXPECT_EQ(a->data.outControl, D3DXQUATERNION(0.1f, 0.2f, 0.3f, 0.9f));
    EXPECT_EQ(a->data.rotation, o.rotKeys.First()->data.rotation);
    EXPECT_EQ(a->next->time, 1.0f);
    EXPECT_EQ(a->next->data.rotation, o.rotKeys.Last()->data.rotation);
}

TEST_F(KeyStoreTest, TruncatedTrackReportsTheShortRead) {
    const std::string path = PathOf("short.bin");
    {
        File f;
        ASSERT_EQ(f.Create(path.c_str()), 1);
        DXC_PosKey k = PosKey(0, 1, 2, 3);
        DXC_PosKey k2 = PosKey(1, 1, 2, 3);
        k.next = &k2; // written as a two-key track
        k.Write(f);
        k.next = nullptr;
    }
    std::filesystem::resize_file(path, 50); // cut inside the second key
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    DXC_PosKey head;
    EXPECT_THROW(head.Read(f), ErrorMsg);
}
