// Per-frame scene update: 1000 animated objects, each with position (alternating linear and
// Bezier), TCB rotation and scale keys, in parent chains of depth 4 (so each object's parent is
// evaluated through it as well). Every iteration advances the time so every object really
// evaluates. Reports the time per object; the target is 100 ns or less in a Release build.

#include <benchmark/benchmark.h>

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
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        scene.Update(t, 1);
        benchmark::DoNotOptimize(scene.Helpers().GetAt(kObjects - 1)->worldTM);
    }
    state.counters["time_per_object"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kObjects,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["objects"] = kObjects;
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
    for (auto _ : state) {
        t += 1.0f / 60.0f;
        scene.Update(t, 1);
        benchmark::DoNotOptimize(scene.Helpers().GetAt(kObjects - 1)->worldTM);
    }
    state.counters["time_per_object"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kObjects,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["objects"] = kObjects;
}
BENCHMARK(BM_SceneUpdateStatic)->Unit(benchmark::kMicrosecond);

} // namespace
