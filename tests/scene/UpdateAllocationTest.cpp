// The per-frame scene update must not allocate. The test program links the counting
// allocator (support/AllocationCounter), which counts only while counting is on, so the
// other tests in the program are unaffected.
#include "SceneTestSupport.h"

#include <new>

#include "scene/Scene3d.h"
#include "support/AllocationCounter.h"

namespace {

const D3DXVECTOR3 kY(0, 1, 0);

void Animate(DXC_3dObject& o, int seed) {
    for (int k = 0; k < 12; ++k) {
        float t = 0.25f * k;
        o.AddPosKey(PosKey(t, static_cast<float>(seed + k), 0, 1, k % 2 ? KeyTypeBezier : KeyTypeLinear));
        o.AddRotKey(RotKey(t, kY, 0.3f, KeyTypeTCB));
        o.AddScaleKey(ScaleKey(t, 1.0f + 0.1f * k, 1, 1));
    }
    for (DXC_RotKey* k = o.rotKeys.First(); k; k = k->next) {
        k->data.inControl = k->data.outControl = k->data.rotation;
        k->data.easeIn = k->data.easeOut = 0.2f;
    }
    o.BuildKeyIndex();
}

std::unique_ptr<FakeTexture> AnimatedTexture(bool sequence) {
    auto tex = std::make_unique<FakeTexture>();
    for (int s = 0; s < DXC_AnimatedTexture::SlotCount; ++s) {
        FloatTrack& t = tex->uv[s].tracks[DXC_TextMatrixAni::UOffset];
        t.loop = 1;
        t.endTime = 3;
        t.keys = {{0, 0, 0.1f, 0.1f}, {1, 0.5f, 0, 0}, {2, 0.25f, 0, 0}};
    }
    if (sequence) {
        tex->frames = 6;
        tex->timing.endCondition = SequencePingPong;
    }
    return tex;
}

} // namespace

using UpdateAllocationTest = SceneTest;

TEST_F(UpdateAllocationTest, UpdatingAnAnimatedSceneAllocatesNothing) {
    DXC_3dScene scene;
    scene.name = "many.kzv";
    for (int i = 0; i < 150; ++i) {
        DXC_3dObject& h = *scene.Helpers().Get(scene.Helpers().AddNew());
        h.name = ("Helper" + std::to_string(i)).c_str();
        if (i % 3) h.parentName = ("Helper" + std::to_string(i - 1)).c_str();
        if (i % 5 == 0) h.inheritScale = 0; // the split-parent path
        Animate(h, i);
    }
    for (int i = 0; i < 120; ++i) {
        DXC_Mesh& m = *scene.Meshes().Get(scene.Meshes().AddNew());
        m.name = ("Mesh" + std::to_string(i)).c_str();
        m.parentName = ("Helper" + std::to_string(i)).c_str();
        m.SetLoop(i % 2);
        m.SetLoopLength(2.5f);
        Animate(m, i);
        m.SetMaterialCount(2);
        for (int s = 0; s < 2; ++s) {
            MeshMaterial& mat = *m.GetMaterial(s);
            mat.diffuseTrack.keys = {{0, {1, 0, 0, 1}, {}, {}}, {2, {0, 1, 0, 1}, {}, {}}};
            mat.selfIllumTrack.keys = mat.diffuseTrack.keys;
            mat.opacityTrack.keys = {{0, 0, 0, 0}, {1, 1, 0, 0}};
            m.SetTexture(s, AnimatedTexture(s == 1));
        }
        BoneRecord bone;
        bone.name = ("helper" + std::to_string(i + 1)).c_str();
        m.GetBones().Add(bone);
    }
    for (int i = 0; i < 10; ++i) {
        DXC_Camera& c = *scene.Cameras().Get(scene.Cameras().AddNew());
        c.name = ("Camera" + std::to_string(i)).c_str();
        c.targetName = ("Mesh" + std::to_string(i)).c_str();
        c.parentName = ("Helper" + std::to_string(i * 7)).c_str();
        Animate(c, i);
    }
    for (int i = 0; i < 10; ++i) {
        DXC_Light& l = *scene.Lights().Get(scene.Lights().AddNew());
        l.name = ("Light" + std::to_string(i)).c_str();
        l.parentName = ("Camera" + std::to_string(i)).c_str();
        l.unset = 0;
        Animate(l, i);
    }
    scene.LinkObjects(nullptr);
    ASSERT_TRUE(Warnings().empty());
    scene.SortMeshes();
    scene.Update(0, 1); // the first update after loading

    namespace counter = allocation_counter;
    counter::ResetCount();
    counter::SetCounting(true);
    for (int frame = 1; frame <= 120; ++frame) {
        scene.Update(frame * 0.0345f, frame % 2);
        scene.ComputeBounds();
    }
    scene.Update(-1.0f, 1);
    scene.Update(1e9f, 1);
    counter::SetCounting(false);
    EXPECT_EQ(counter::Count(), 0);
}

// The counter sees every form of new, the aligned ones (key indexes use them) included.
TEST(AllocationCounter, CountsEveryFormOfNew) {
    namespace counter = allocation_counter;
    struct alignas(64) Line {
        float values[16];
    };
    counter::ResetCount();
    counter::SetCounting(true);
    // Direct calls, which the compiler may not elide.
    void* plain = ::operator new(16);
    void* array = ::operator new[](16);
    void* nothrow = ::operator new(16, std::nothrow);
    void* aligned = ::operator new (100, std::align_val_t{64});
    void* alignedArray = ::operator new[](100, std::align_val_t{128});
    void* alignedNothrow = ::operator new (8, std::align_val_t{256}, std::nothrow);
    Line* line = new Line[3];
    counter::SetCounting(false);
    EXPECT_EQ(counter::Count(), 7);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 64, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(alignedArray) % 128, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(alignedNothrow) % 256, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(line) % 64, 0u);
    // The bytes held follow the allocations and go back when they are freed.
    const int64_t held = counter::LiveBytes();
    ::operator delete(plain);
    ::operator delete[](array);
    ::operator delete(nothrow, std::nothrow);
    ::operator delete (aligned, std::align_val_t{64});
    ::operator delete[](alignedArray, std::align_val_t{128});
    ::operator delete (alignedNothrow, std::align_val_t{256});
    EXPECT_GE(held - counter::LiveBytes(), 16 + 16 + 16 + 100 + 100 + 8);
    delete[] line;
    EXPECT_EQ(counter::Count(), 7); // nothing counted outside the window
}
