// Object evaluation: node transform, keys, effective time, early return, parent inheritance,
// copying and the stored object record.
#include "SceneTestSupport.h"

#include <memory>

#include "foundation/File.h"
#include "scene/Object3d.h"

namespace {

constexpr float kPi = 3.14159265f;

D3DXVECTOR3 Transform(const D3DXMATRIX& m, D3DXVECTOR3 p) {
    D3DXVECTOR3 out;
    return *D3DXVec3TransformCoord(&out, &p, &m);
}

float RowLength(const D3DXMATRIX& m, int r) {
    return std::sqrt(m.m[r][0] * m.m[r][0] + m.m[r][1] * m.m[r][1] + m.m[r][2] * m.m[r][2]);
}

// A parent scaled by 3, turned 90 degrees about Z and moved to (5, 0, 0), and a child at
// (1, 0, 0) in it.
struct Family {
    DXC_3dObject parent, child;
    Family() {
        parent.nodeTransform.scale = D3DXVECTOR3(3, 3, 3);
        parent.nodeTransform.rotationAxis = D3DXVECTOR3(0, 0, 1);
        parent.nodeTransform.rotationAngle = kPi / 2;
        parent.nodeTransform.position = D3DXVECTOR3(5, 0, 0);
        child.nodeTransform.position = D3DXVECTOR3(1, 0, 0);
        child.SetParent(&parent);
    }
};

} // namespace

using EvaluateTest = SceneTest;
using InheritTest = SceneTest;
using ObjectCopyTest = SceneTest;
using ObjectRecordTest = SceneTest;

TEST_F(EvaluateTest, ObjectWithoutKeysShowsItsNodePosition) {
    DXC_3dObject o;
    EXPECT_STREQ(o.GetObjectName(), "DXC_3dObject");
    EXPECT_STREQ(o.name.Text(), "*undefined*");
    o.nodeTransform.position = D3DXVECTOR3(1, 2, 3);
    for (float t : {0.0f, 0.5f, 7.0f}) {
        o.Evaluate(t, 1, 0);
        ExpectVec3(Row4(o.worldTM), 1, 2, 3);
        EXPECT_EQ(o.worldTM._44, 1.0f);
    }
}

TEST_F(EvaluateTest, NegativeTimeWithoutLoopIsTimeZero) {
    DXC_3dObject o;
    o.AddPosKey(PosKey(0, 2, 0, 0));
    o.AddPosKey(PosKey(1, 12, 0, 0));
    o.BuildKeyIndex();
    o.Evaluate(-3.0f, 1, 0);
    EXPECT_EQ(o.lastTime, 0.0f);
    ExpectVec3(o.currentPosition, 2, 0, 0);
    // Looped, a negative time wraps instead: -0.5 in a loop of 2 is 1.5, half way back.
    o.SetLoop(1);
    o.SetLoopLength(2);
    o.Evaluate(-0.5f, 1, 0);
    EXPECT_FLOAT_EQ(o.lastTime, 1.5f);
    ExpectVec3(o.currentPosition, 7, 0, 0);
}

TEST_F(EvaluateTest, MirrorFlipsTheScaleDiagonal) {
    DXC_3dObject o;
    o.nodeTransform.mirror = D3DXVECTOR3(-1, 1, 1);
    o.nodeTransform.scale = D3DXVECTOR3(2, 2, 2);
    o.Evaluate(0, 1, 0);
    EXPECT_EQ(o.scaleTM._11, -2.0f);
    EXPECT_EQ(o.scaleTM._22, 2.0f);
    EXPECT_EQ(o.scaleTM._33, 2.0f);
    EXPECT_EQ(o.worldTM._11, -2.0f);
    ExpectVec3(o.currentScale, 2, 2, 2); // the sampled scale itself stays unsigned
    D3DXMATRIX local = o.GetLocalMatrix();
    EXPECT_EQ(local._11, -2.0f);
}

TEST_F(EvaluateTest, KeysOverrideTheNodeTransform) {
    DXC_3dObject o;
    o.nodeTransform.position = D3DXVECTOR3(9, 9, 9);
    o.AddPosKey(PosKey(0, 0, 0, 0));
    o.AddPosKey(PosKey(2, 4, 0, 0));
    o.AddScaleKey(ScaleKey(0, 1, 1, 1));
    o.AddScaleKey(ScaleKey(2, 3, 1, 1));
    o.AddRotKey(RotKey(0, D3DXVECTOR3(0, 0, 1), kPi / 2));
    o.BuildKeyIndex();
    o.Evaluate(1, 1, 0);
    // Scale 2 in x, then 90 degrees about Z, then move to (2, 0, 0): x -> (2,0,0) -> (0,2,0) -> (2,2,0).
    ExpectVec3(Transform(o.worldTM, D3DXVECTOR3(1, 0, 0)), 2, 2, 0);
    D3DXMATRIX local = o.GetLocalMatrix();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(local.m[r][c], o.worldTM.m[r][c], 1e-5f);
}

TEST_F(EvaluateTest, SameTimeTwiceDoesNothingUnlessForcedOrFlagged) {
    DXC_3dObject o;
    o.nodeTransform.position = D3DXVECTOR3(1, 0, 0);
    o.Evaluate(1, 1, 0);
    o.nodeTransform.position = D3DXVECTOR3(2, 0, 0);
    o.Evaluate(1, 1, 0);
    ExpectVec3(Row4(o.worldTM), 1, 0, 0); // early return
    o.Evaluate(1, 1, 1);
    ExpectVec3(Row4(o.worldTM), 2, 0, 0); // forced
    o.nodeTransform.position = D3DXVECTOR3(3, 0, 0);
    o.needsUpdate = 1;
    o.Evaluate(1, 1, 0);
    ExpectVec3(Row4(o.worldTM), 3, 0, 0);
    EXPECT_EQ(o.needsUpdate, 0);
    o.SetNodePosition(4, 0, 0, 0); // raises needsUpdate
    o.Evaluate(1, 1, 0);
    ExpectVec3(Row4(o.worldTM), 4, 0, 0);
}

TEST_F(EvaluateTest, LoopedObjectStoresWrappedTimeSoTheSameTimeRunsAgain) {
    DXC_3dObject o;
    o.SetLoop(1);
    o.SetLoopLength(2);
    o.nodeTransform.position = D3DXVECTOR3(1, 0, 0);
    o.Evaluate(3, 1, 0);
    EXPECT_FLOAT_EQ(o.lastTime, 1.0f);
    o.nodeTransform.position = D3DXVECTOR3(2, 0, 0);
    o.Evaluate(3, 1, 0); // 3 differs from the stored 1: evaluated again
    ExpectVec3(Row4(o.worldTM), 2, 0, 0);
}

TEST_F(EvaluateTest, FrozenObjectIsLeftAlone) {
    DXC_3dObject o;
    o.nodeTransform.position = D3DXVECTOR3(1, 0, 0);
    o.frozen = 1;
    o.Evaluate(1, 1, 1);
    ExpectVec3(Row4(o.worldTM), 0, 0, 0);
    EXPECT_EQ(o.needsUpdate, 1);
}

TEST_F(EvaluateTest, ParentIsBroughtToTheChildsEffectiveTime) {
    DXC_3dObject parent, child;
    parent.AddPosKey(PosKey(0, 0, 0, 0));
    parent.AddPosKey(PosKey(10, 100, 0, 0));
    parent.BuildKeyIndex();
    child.nodeTransform.position = D3DXVECTOR3(0, 1, 0);
    child.SetParent(&parent);
    child.SetLoop(1);
    child.SetLoopLength(4);
    child.Evaluate(6, 1, 0); // wraps to 2; the parent is evaluated at 2, not 6
    EXPECT_FLOAT_EQ(parent.lastTime, 2.0f);
    ExpectVec3(Row4(child.worldTM), 20, 1, 0);

    // Without withParent the parent keeps what its last evaluation left.
    child.Evaluate(7, 0, 0);
    EXPECT_FLOAT_EQ(parent.lastTime, 2.0f);
    ExpectVec3(Row4(child.worldTM), 20, 1, 0);
}

TEST_F(EvaluateTest, ParentThatIsUpToDateIsNotRecomputedButStillCombined) {
    DXC_3dObject parent, child;
    parent.nodeTransform.position = D3DXVECTOR3(5, 0, 0);
    child.SetParent(&parent);
    parent.Evaluate(1, 1, 0);
    parent.nodeTransform.position = D3DXVECTOR3(7, 0, 0); // not picked up: parent is current at 1
    child.Evaluate(1, 1, 0);
    ExpectVec3(Row4(child.worldTM), 5, 0, 0);
}

TEST_F(EvaluateTest, ChainOfGrandparentsCombinesInOrder) {
    DXC_3dObject a, b, c;
    a.nodeTransform.rotationAxis = D3DXVECTOR3(0, 0, 1);
    a.nodeTransform.rotationAngle = kPi / 2;
    b.nodeTransform.position = D3DXVECTOR3(1, 0, 0);
    c.nodeTransform.position = D3DXVECTOR3(1, 0, 0);
    b.SetParent(&a);
    c.SetParent(&b);
    c.Evaluate(0, 1, 0);
    // c at (2, 0, 0) in a's frame, turned 90 degrees: (0, 2, 0).
    ExpectVec3(Row4(c.worldTM), 0, 2, 0);
    ExpectVec3(Row4(b.worldTM), 0, 1, 0);
    EXPECT_EQ(a.needsUpdate, 0);
    EXPECT_EQ(b.needsUpdate, 0);
}

TEST_F(EvaluateTest, VeryDeepParentChainEvaluates) {
    const int depth = 200000; // far deeper than the stack would allow recursively
    std::vector<std::unique_ptr<DXC_3dObject>> chain;
    chain.reserve(depth);
    for (int i = 0; i < depth; ++i) {
        chain.push_back(std::make_unique<DXC_3dObject>());
        chain.back()->nodeTransform.position = D3DXVECTOR3(1, 0, 0);
    }
    // Linked from the leaf upwards, so each cycle check meets a parent without parents.
    for (int i = depth - 1; i > 0; --i) chain[i]->SetParent(chain[i - 1].get());
    chain.back()->Evaluate(0, 1, 0);
    ExpectVec3(Row4(chain.back()->worldTM), static_cast<float>(depth), 0, 0, 1.0f);
    ExpectVec3(Row4(chain[9]->worldTM), 10, 0, 0);
}

TEST_F(EvaluateTest, SetParentRefusesCycles) {
    DXC_3dObject a, b, c;
    EXPECT_EQ(b.SetParent(&a), 1);
    EXPECT_EQ(c.SetParent(&b), 1);
    EXPECT_EQ(a.SetParent(&c), 0);
    EXPECT_EQ(a.SetParent(&a), 0);
    EXPECT_EQ(a.GetParent(), nullptr);
    EXPECT_EQ(a.SetParent(nullptr), 1);
}

TEST_F(EvaluateTest, RebuildFromNodeIgnoresKeys) {
    DXC_3dObject o;
    o.AddPosKey(PosKey(0, 50, 50, 50));
    o.BuildKeyIndex();
    o.nodeTransform.scale = D3DXVECTOR3(2, 2, 2);
    o.nodeTransform.rotationAxis = D3DXVECTOR3(0, 0, 1);
    o.nodeTransform.rotationAngle = kPi / 2;
    o.SetNodePosition(1, 2, 3, 1);
    ExpectVec3(Transform(o.worldTM, D3DXVECTOR3(1, 0, 0)), 1, 4, 3);
    EXPECT_EQ(o.nodeTransform.matrix, o.worldTM);
    ExpectVec3(o.currentPosition, 1, 2, 3);
    EXPECT_EQ(o.needsUpdate, 1);
}

TEST_F(InheritTest, AllFlagsMultiplyTheWholeParent) {
    Family f;
    f.child.Evaluate(0, 1, 0);
    ExpectVec3(Row4(f.child.worldTM), 5, 3, 0);
    EXPECT_NEAR(RowLength(f.child.worldTM, 0), 3.0f, 1e-5f);
}

TEST_F(InheritTest, WithoutScaleTheChildKeepsItsSize) {
    Family f;
    f.child.inheritScale = 0;
    f.child.inheritScaleSign = 0;
    f.child.Evaluate(0, 1, 0);
    ExpectVec3(Row4(f.child.worldTM), 5, 1, 0); // follows rotation and position
    EXPECT_NEAR(RowLength(f.child.worldTM, 0), 1.0f, 1e-5f);
    ExpectVec3(Transform(f.child.worldTM, D3DXVECTOR3(1, 0, 0)), 5, 2, 0);
}

TEST_F(InheritTest, WithoutRotationOrPosition) {
    Family f;
    f.child.inheritRotation = 0;
    f.child.Evaluate(0, 1, 0);
    ExpectVec3(Row4(f.child.worldTM), 8, 0, 0); // scaled and moved, not turned

    Family g;
    g.child.inheritPosition = 0;
    g.child.Evaluate(0, 1, 0);
    ExpectVec3(Row4(g.child.worldTM), 0, 3, 0); // scaled and turned, not moved
}

TEST_F(InheritTest, ParentScaledToNothingStaysFinite) {
    Family f;
    f.parent.nodeTransform.scale = D3DXVECTOR3(0, 3, 3);
    f.child.inheritScale = 0;
    f.child.Evaluate(0, 1, 0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_TRUE(std::isfinite(f.child.worldTM.m[r][c]));
}

TEST_F(ObjectCopyTest, CopyWithAndWithoutKeys) {
    DXC_3dObject parent, src;
    src.name = "Box01";
    src.parentName = "Dummy";
    src.SetParent(&parent);
    src.tag = 7;
    src.inheritRotation = 0;
    src.objectType = 4;
    src.SetLoop(1);
    src.SetLoopLength(3);
    src.AddPosKey(PosKey(0, 0, 0, 0));
    src.AddPosKey(PosKey(1, 10, 0, 0));
    src.AddRotKey(RotKey(0, D3DXVECTOR3(0, 0, 1), 1.0f));
    src.BuildKeyIndex();

    DXC_3dObject withKeys, noKeys;
    withKeys.AddScaleKey(ScaleKey(0, 5, 5, 5)); // dropped by the copy's reset
    src.CopyTo(&withKeys, 1);
    src.CopyTo(&noKeys, 0);
    EXPECT_STREQ(withKeys.name.Text(), "Box01");
    EXPECT_STREQ(withKeys.parentName.Text(), "Dummy");
    EXPECT_EQ(withKeys.GetParent(), &parent);
    EXPECT_EQ(withKeys.tag, 7);
    EXPECT_EQ(withKeys.inheritRotation, 0);
    EXPECT_EQ(withKeys.objectType, 4);
    EXPECT_EQ(withKeys.GetLoop(), 1);
    EXPECT_EQ(withKeys.GetLoopLength(), 3.0f);
    EXPECT_EQ(withKeys.posKeys.Count(), 2);
    EXPECT_EQ(withKeys.posKeys.IndexSize(), 2);
    EXPECT_EQ(withKeys.rotKeys.Count(), 1);
    EXPECT_EQ(withKeys.scaleKeys.Count(), 0);
    EXPECT_NE(withKeys.posKeys.First(), src.posKeys.First()); // deep copy
    EXPECT_EQ(withKeys.posKeys.Last()->prev, withKeys.posKeys.First());
    withKeys.Evaluate(0.5f, 0, 0);
    src.Evaluate(0.5f, 0, 0);
    EXPECT_EQ(withKeys.worldTM, src.worldTM);

    EXPECT_EQ(noKeys.posKeys.Count(), 0);
    EXPECT_EQ(noKeys.posKeys.First(), nullptr);
    EXPECT_EQ(noKeys.rotKeys.Count(), 0);
    noKeys.BuildKeyIndex(); // consistent: no error

    // A copy into the source's own parent would make it its own parent: the link is dropped.
    src.CopyTo(&parent, 0);
    EXPECT_EQ(parent.GetParent(), nullptr);
}

TEST_F(ObjectRecordTest, RecordRoundTrips) {
    const std::string path = PathOf("object.bin");
    DXC_3dObject src;
    src.name = "Bone 01";
    src.parentName = "Root";
    src.tag = 42;
    src.nodeTransform.position = D3DXVECTOR3(1, 2, 3);
    src.nodeTransform.mirror = D3DXVECTOR3(1, -1, 1);
    src.pivotTM._41 = 9;
    src.pivotTM._14 = 5; // the fourth column is not stored
    src.inheritPosition = 0;
    src.inheritScaleSign = 0;
    src.SetLoop(1);
    src.SetLoopLength(2.5f);
    src.AddPosKey(PosKey(0, 0, 0, 0, KeyTypeBezier));
    src.AddPosKey(PosKey(1, 4, 0, 0));
    src.AddScaleKey(ScaleKey(0, 2, 2, 2));
    src.BuildKeyIndex();
    {
        File f;
        ASSERT_EQ(f.Create(path.c_str()), 1);
        EXPECT_EQ(src.Write(f), 1);
    }
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    DXC_3dObject dst;
    dst.AddRotKey(RotKey(0, D3DXVECTOR3(1, 0, 0), 1)); // replaced by the read
    EXPECT_EQ(dst.Read(f), 1);
    EXPECT_EQ(f.GetPosition(), f.GetSize());
    EXPECT_STREQ(dst.name.Text(), "Bone 01");
    EXPECT_STREQ(dst.parentName.Text(), "Root");
    EXPECT_EQ(dst.tag, 42);
    ExpectVec3(dst.nodeTransform.position, 1, 2, 3);
    ExpectVec3(dst.nodeTransform.mirror, 1, -1, 1);
    EXPECT_EQ(dst.pivotTM._41, 9.0f);
    EXPECT_EQ(dst.pivotTM._14, 0.0f);
    EXPECT_EQ(dst.pivotTM._44, 1.0f);
    EXPECT_EQ(dst.inheritPosition, 0);
    EXPECT_EQ(dst.inheritScale, 1);
    EXPECT_EQ(dst.inheritRotation, 1);
    EXPECT_EQ(dst.inheritScaleSign, 0);
    EXPECT_EQ(dst.GetLoop(), 1);
    EXPECT_EQ(dst.GetLoopLength(), 2.5f);
    EXPECT_EQ(dst.posKeys.Count(), 2);
    EXPECT_EQ(dst.posKeys.First()->type, KeyTypeBezier);
    EXPECT_EQ(dst.rotKeys.Count(), 0);
    EXPECT_EQ(dst.scaleKeys.Count(), 1);
    // Evaluated at time 0 and left flagged for the first real evaluation.
    ExpectVec3(dst.currentScale, 2, 2, 2);
    EXPECT_EQ(dst.needsUpdate, 1);
}

TEST_F(ObjectRecordTest, WrongRecordIdIsAnError) {
    const std::string path = PathOf("bad.bin");
    {
        File f;
        ASSERT_EQ(f.Create(path.c_str()), 1);
        f.WriteShort(0x4321);
        f.WriteInt(0);
    }
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    DXC_3dObject o;
    try {
        o.Read(f);
        FAIL() << "no error";
    } catch (const DXC_Error& e) {
        EXPECT_EQ(std::string(e.message), "*undefined*: Invalid file read id, file: " + path);
    }
}

TEST_F(ObjectRecordTest, KeyCountThatDiffersFromTheTrackIsReported) {
    const std::string path = PathOf("count.bin");
    DXC_3dObject o;
    o.name = "Box01";
    o.AddRotKey(RotKey(0, D3DXVECTOR3(0, 0, 1), 1));
    o.rotKeys.SetCount(3);
    File f;
    ASSERT_EQ(f.Create(path.c_str()), 1);
    try {
        o.Write(f);
        FAIL() << "no error";
    } catch (const DXC_Error& e) {
        EXPECT_STREQ(e.message, "Box01: numRotKey does not match actual size");
    }
}

TEST_F(ObjectRecordTest, StoredCountThatDiffersFromTheStoredKeysFailsTheCheck) {
    const std::string path = PathOf("mismatch.bin");
    DXC_3dObject src;
    src.name = "Box";
    src.AddPosKey(PosKey(0, 1, 1, 1));
    {
        File f;
        ASSERT_EQ(f.Create(path.c_str()), 1);
        src.Write(f);
    }
    // Patch the stored position key count (after id, tag, node, pivot, the name "Box", the
    // empty parent name and the flag byte) from 1 to 2.
    {
        File f;
        ASSERT_EQ(f.Open(path.c_str(), false), 1);
        f.Seek(2 + 4 + 116 + 48 + (4 + 3) + 4 + 1);
        f.WriteInt(2);
    }
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    DXC_3dObject dst;
    try {
        dst.Read(f);
        FAIL() << "no error";
    } catch (const DXC_Error& e) {
        EXPECT_NE(std::string(e.message).find("Check: Pos key numbers don't match"), std::string::npos);
    }
}
