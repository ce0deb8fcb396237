// Per-frame scene update: 1000 animated objects, each with position (alternating linear and
// Bezier), TCB rotation and scale keys, in parent chains of depth 4 (so each object's parent is
// evaluated through it as well). Every iteration advances the time so every object really
// evaluates. Reports nanoseconds per object (ns_per_object); the target is 100 ns or less in a
// Release build. BM_SceneUpdateMixed has the kinds of a real scene: meshes whose materials
// animate colours, opacity and map placement (one an image sequence), cameras with targets and
// lights, under helpers.

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>

#include "scene/Scene3d.h"

namespace {

constexpr int kObjects = 1000;
constexpr int kChainDepth = 4;
constexpr int kKeys = 40; // per track, over 10 seconds
constexpr float kLength = 10.0f;

// Keys are added track by track, in the order the loader reads them.
void Animate(DXC_3dObject& o, int seed) {
    const D3DXVECTOR3 axis(0.3f, 1.0f, 0.2f);
    auto timeOf = [](int k) { return kLength * static_cast<float>(k) / kKeys; };
    for (int k = 0; k < kKeys; ++k) {
        DXC_PosKey p;
        p.time = timeOf(k);
        p.type = k % 2 ? KeyTypeBezier : KeyTypeLinear;
        p.data.value = D3DXVECTOR3(static_cast<float>(seed % 17), static_cast<float>(k), 0.5f * k);
        p.data.inTangent = p.data.outTangent = D3DXVECTOR3(0.1f, 0.2f, 0.0f);
        o.AddPosKey(p);
    }
    for (int k = 0; k < kKeys; ++k) {
        DXC_RotKey r;
        r.time = timeOf(k);
        r.type = KeyTypeTCB;
        r.data.axis = axis;
        r.data.angle = 0.2f + 0.01f * (seed % 5);
        r.data.easeIn = r.data.easeOut = 0.1f;
        o.AddRotKey(r);
    }
    for (int k = 0; k < kKeys; ++k) {
        DXC_ScaleKey s;
        s.time = timeOf(k);
        s.data.value = D3DXVECTOR3(1.0f + 0.01f * k, 1.0f, 1.0f);
        o.AddScaleKey(s);
    }
    // Control quaternions as the loader's conversion would leave them: near the key rotations.
    for (DXC_RotKey* k = o.rotKeys.First(); k; k = k->next) {
        const DXC_RotKey* next = k->next ? k->next : k;
        const DXC_RotKey* prev = k->prev ? k->prev : k;
        D3DXQuaternionSlerp(&k->data.outControl, &k->data.rotation, &next->data.rotation, 0.33f);
        D3DXQuaternionSlerp(&k->data.inControl, &k->data.rotation, &prev->data.rotation, 0.33f);
    }
    o.BuildKeyIndex();
    o.SetLoop(1);
    o.SetLoopLength(kLength);
}

// Thread CPU time in nanoseconds, the clock of Google Benchmark's CPU time.
double ThreadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// CPU nanoseconds per object as a plain number (no SI prefix or unit conversion), so a script
// compares like with like; cpuNanoseconds is the CPU time of the timed loop.
void ReportPerObject(benchmark::State& state, int objects, double cpuNanoseconds) {
    const double evaluations = static_cast<double>(state.iterations()) * objects;
    state.counters["ns_per_object"] = evaluations > 0 ? cpuNanoseconds / evaluations : 0.0;
    state.counters["objects"] = objects;
}

void BuildScene(DXC_3dScene& scene) {
    scene.name = "bench.kzv";
    scene.Helpers().SetSize(kObjects);
    for (int i = 0; i < kObjects; ++i) {
        DXC_3dObject& o = *scene.Helpers().Get(scene.Helpers().AddNew());
        o.name = ("Node" + std::to_string(i)).c_str();
        if (i % kChainDepth) o.parentName = ("Node" + std::to_string(i - 1)).c_str();
        Animate(o, i);
    }
    scene.LinkObjects(nullptr);
    scene.Update(0.0f, 1);
}

void BM_SceneUpdate(benchmark::State& state) {
    DXC_3dScene scene;
    BuildScene(scene);
    float t = 0.0f;
    const double start = ThreadCpuNanoseconds();
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        scene.Update(t, 1);
        benchmark::DoNotOptimize(scene.Helpers().GetAt(kObjects - 1)->worldTM);
    }
    ReportPerObject(state, kObjects, ThreadCpuNanoseconds() - start);
}
BENCHMARK(BM_SceneUpdate)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// The same scene with objects that have no keys: each shows its node transform (a rotation
// about an axis by an angle, a position and a scale), as the static parts of a scene do. The
// time still advances every iteration, so every object is evaluated.
void BM_SceneUpdateStatic(benchmark::State& state) {
    DXC_3dScene scene;
    scene.name = "bench-static.kzv";
    scene.Helpers().SetSize(kObjects);
    for (int i = 0; i < kObjects; ++i) {
        DXC_3dObject& o = *scene.Helpers().Get(scene.Helpers().AddNew());
        o.name = ("Node" + std::to_string(i)).c_str();
        if (i % kChainDepth) o.parentName = ("Node" + std::to_string(i - 1)).c_str();
        o.nodeTransform.position = D3DXVECTOR3(static_cast<float>(i % 17), 1.0f, 2.0f);
        o.nodeTransform.scale = D3DXVECTOR3(1.0f, 1.5f, 1.0f);
        o.nodeTransform.rotationAxis = D3DXVECTOR3(0.3f, 1.0f, 0.2f);
        o.nodeTransform.rotationAngle = 0.1f * static_cast<float>(i % 7);
    }
    scene.LinkObjects(nullptr);
    scene.Update(0.0f, 1);
    float t = 0.0f;
    const double start = ThreadCpuNanoseconds();
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        scene.Update(t, 1);
        benchmark::DoNotOptimize(scene.Helpers().GetAt(kObjects - 1)->worldTM);
    }
    ReportPerObject(state, kObjects, ThreadCpuNanoseconds() - start);
}
BENCHMARK(BM_SceneUpdateStatic)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// A texture as the scene sees it; the graphics object's texture does the same bookkeeping.
class BenchTexture : public DXC_AnimatedTexture {
public:
    int32_t GetCurrentSlot() const override { return slot; }
    void SelectSlot(int32_t s) override { slot = s; }
    void SetSlotMatrix(const D3DXMATRIX* m) override {
        if (m) matrix[slot] = *m;
    }
    const DXC_TextMatrixAni& GetUVAnimation(int32_t s) const override { return uv[s]; }
    int32_t GetSequenceCount() const override { return frames; }
    const TextureSequenceTiming& GetSequenceTiming() const override { return timing; }
    void SelectSequenceFrame(int32_t f) override { frame = f; }
    void SetAnimationTime(float t) override { time = t; }

    DXC_TextMatrixAni uv[SlotCount];
    D3DXMATRIX matrix[SlotCount];
    TextureSequenceTiming timing;
    int32_t slot = 0, frames = 0, frame = 0;
    float time = 0.0f;
};

std::unique_ptr<BenchTexture> AnimatedTexture(bool sequence) {
    auto texture = std::make_unique<BenchTexture>();
    for (int s = 0; s < 2; ++s)
        for (int track : {DXC_TextMatrixAni::UOffset, DXC_TextMatrixAni::WAngle}) {
            FloatTrack& t = texture->uv[s].tracks[track];
            t.loop = 1;
            t.endTime = kLength;
            for (int k = 0; k < 10; ++k) t.keys.push_back({kLength * k / 10, 0.1f * k, 0.05f, 0.05f});
        }
    if (sequence) texture->frames = 8;
    return texture;
}

void AnimateMaterials(DXC_Mesh& mesh) {
    mesh.SetMaterialCount(2);
    for (int s = 0; s < 2; ++s) {
        MeshMaterial& m = *mesh.GetMaterial(s);
        for (int k = 0; k < 10; ++k) {
            const float t = kLength * k / 10, c = 0.1f * k;
            m.diffuseTrack.keys.push_back({t, {c, 1 - c, 0.5f, 1}, {}, {}});
            m.opacityTrack.keys.push_back({t, 1 - 0.05f * k, 0, 0});
        }
        m.selfIllumTrack.keys = m.diffuseTrack.keys;
        mesh.SetTexture(s, AnimatedTexture(s == 1));
    }
}

constexpr int kMixedMeshes = 600, kMixedHelpers = 300, kMixedCameras = 50, kMixedLights = 50;
constexpr int kMixedObjects = kMixedMeshes + kMixedHelpers + kMixedCameras + kMixedLights;

template <class T> T& Add(DynaMem<T>& list, const std::string& name, int seed) {
    T& o = *list.Get(list.AddNew());
    o.name = name.c_str();
    Animate(o, seed);
    return o;
}

void BuildMixedScene(DXC_3dScene& scene) {
    scene.name = "bench-mixed.kzv";
    for (int i = 0; i < kMixedHelpers; ++i) {
        DXC_3dObject& h = Add(scene.Helpers(), "Helper" + std::to_string(i), i);
        if (i % kChainDepth) h.parentName = ("Helper" + std::to_string(i - 1)).c_str();
    }
    for (int i = 0; i < kMixedMeshes; ++i) {
        DXC_Mesh& m = Add(scene.Meshes(), "Mesh" + std::to_string(i), i);
        m.parentName = ("Helper" + std::to_string(i % kMixedHelpers)).c_str();
        AnimateMaterials(m);
    }
    for (int i = 0; i < kMixedCameras; ++i) {
        DXC_Camera& c = Add(scene.Cameras(), "Camera" + std::to_string(i), i);
        c.targetName = ("Mesh" + std::to_string(i * 7)).c_str();
    }
    for (int i = 0; i < kMixedLights; ++i) {
        DXC_Light& l = Add(scene.Lights(), "Light" + std::to_string(i), i);
        l.parentName = ("Camera" + std::to_string(i)).c_str();
        l.unset = 0;
    }
    scene.LinkObjects(nullptr);
    scene.SortMeshes();
    scene.Update(0.0f, 1);
}

void BM_SceneUpdateMixed(benchmark::State& state) {
    DXC_3dScene scene;
    BuildMixedScene(scene);
    float t = 0.0f;
    const double start = ThreadCpuNanoseconds();
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        scene.Update(t, 1);
        benchmark::DoNotOptimize(scene.GetMeshAt(kMixedMeshes - 1)->worldTM);
    }
    ReportPerObject(state, kMixedObjects, ThreadCpuNanoseconds() - start);
}
BENCHMARK(BM_SceneUpdateMixed)->Unit(benchmark::kMicrosecond);

} // namespace
