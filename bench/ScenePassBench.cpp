// The scene render pass: the processor's cost per mesh on the recording device (recording off,
// so the device costs next to nothing), target 1 us or less per single-material mesh in a
// Release build; and whole frames headless on the GL device (Mesa's software renderer here):
// the showcase sample and a 200,000-face scene at 640 x 480.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/d3d8/RecordingDevice.h"
#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/GfxSceneGraphics.h"
#include "render/ScenePass.h"
#include "render/StartupView.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

// A flat grid of n x n vertices and 2 (n - 1)^2 faces in the XY plane at z, one material
// with colours only.
DXC_Mesh* AddGrid(DXC_Gfx& gfx, DXC_3dScene& scene, int n, float size, const D3DXVECTOR3& at) {
    DXC_Mesh* mesh = scene.Meshes().Get(scene.Meshes().AddNew());
    mesh->name = "grid";
    const int faces = 2 * (n - 1) * (n - 1);
    DXC_MeshData* data =
        CreateMesh(&gfx, mesh, faces, n * n, 1, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 0, 0, 1, 0, 0, 0);
    float* v = reinterpret_cast<float*>(data->LockVertexBuffer(0));
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float* p = v + 8 * (y * n + x);
            const float u = static_cast<float>(x) / static_cast<float>(n - 1);
            const float w = static_cast<float>(y) / static_cast<float>(n - 1);
            const float values[8] = {(u - 0.5f) * size, (w - 0.5f) * size, 0.0f, 0.0f, 0.0f, -1.0f, u, w};
            for (int k = 0; k < 8; ++k) p[k] = values[k];
        }
    data->UnlockVertexBuffer();
    uint16_t* index = reinterpret_cast<uint16_t*>(data->LockIndexBuffer(0));
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x) {
            const uint16_t a = static_cast<uint16_t>(y * n + x), b = static_cast<uint16_t>(a + 1),
                           c = static_cast<uint16_t>(a + n), d = static_cast<uint16_t>(c + 1);
            const uint16_t quad[6] = {a, c, b, b, c, d};
            for (int k = 0; k < 6; ++k) *index++ = quad[k];
        }
    data->UnlockIndexBuffer();
    DWORD* attributes = data->LockAttributeBuffer(0);
    for (int f = 0; f < faces; ++f) attributes[f] = 0;
    data->UnlockAttributeBuffer();
    data->SortByAttribute();
    MeshMaterial* material = mesh->GetMaterial(0);
    material->material.Diffuse = D3DCOLORVALUE{0.8f, 0.6f, 0.4f, 1.0f};
    material->twoSided = 1;
    mesh->SetBoundingBox(D3DXVECTOR3(-size / 2, -size / 2, 0), D3DXVECTOR3(size / 2, size / 2, 0));
    mesh->bounds.radius = size * 0.7072f;
    mesh->bounds.mode = 3;
    mesh->SetNodePosition(at.x, at.y, at.z, 1);
    mesh->Evaluate(0.0f, 1, 1);
    return mesh;
}

void LookAlongZ(DXC_Gfx& gfx, float farPlane) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    gfx.SetViewMatrix(identity);
    gfx.SetProjection(1.0f, farPlane, 1.0f);
}

void BM_RenderScenePerMesh(benchmark::State& state) {
    constexpr int Meshes = 1000;
    DXC_Gfx gfx(CreateRecordingDirect3D8(DefaultRecordingConfig()));
    D3DDISPLAYMODE mode{640, 480, 0, D3DFMT_R5G6B5};
    gfx.InitDevice(nullptr, 1, &mode, 16, 0, 0, 0);
    auto scene = std::make_unique<DXC_3dScene>();
    for (int i = 0; i < Meshes; ++i)
        AddGrid(gfx, *scene, 2, 1.0f,
                D3DXVECTOR3(static_cast<float>(i % 40) - 20.0f, static_cast<float>(i / 40) - 12.0f, 60.0f));
    // No clear: the recording device's clear fills a frame in memory, which is no cost of the pass.
    scene->viewOptions.clear = 0;
    scene->opaqueCount = Meshes;
    scene->Evaluate(0.0f, 1, 1);
    LookAlongZ(gfx, 1000.0f);
    AsRecordingDevice(gfx.GetDevice())->SetRecording(false);
    DXC_ScenePass pass(gfx);
    for (auto _ : state) {
        gfx.BeginScene();
        pass.RenderScene(scene.get());
        gfx.EndScene();
    }
    state.SetItemsProcessed(state.iterations() * Meshes);
    state.counters["ns_per_mesh"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * Meshes,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    scene.reset();
}
BENCHMARK(BM_RenderScenePerMesh)->Unit(benchmark::kMicrosecond);

// Headless GL graphics at 640 x 480, made once per benchmark; skipped with a message when no
// GL context can be had.
struct GlFrame {
    bool ok = false;
    std::string error;
    GlFrame() {
        GraphicsOptions options;
        options.bitsPerPixel = 32;
        try {
            InitGraphics(nullptr, options);
            ok = true;
        } catch (const DXC_Error& e) {
            error = e.message;
        }
    }
    ~GlFrame() { ShutdownGraphics(); }
    void Draw(DXC_ScenePass& pass, DXC_3dScene& scene) {
        g_Gfx->BeginScene();
        pass.RenderScene(&scene);
        g_Gfx->EndScene();
        g_Gfx->Present();
    }
};

void BM_ShowcaseFrameGl(benchmark::State& state) {
    GlFrame gl;
    if (!gl.ok) {
        state.SkipWithError(("no GL context: " + gl.error).c_str());
        return;
    }
    {
        GfxSceneGraphics graphics(*g_Gfx);
        KZVLoader loader;
        loader.SetGraphics(&graphics);
        auto scene = std::make_unique<DXC_3dScene>();
        LoadScene(KZV_SOURCE_DIR "/data/samples/showcase.kzv", scene.get(), -1, loader);
        DXC_Camera freeCamera;
        DXC_Light lightTemplate;
        ApplyStartupView(*g_Gfx, *scene, freeCamera, lightTemplate, StartupViewOptions());
        DXC_ScenePass pass(*g_Gfx);
        pass.Prepare(*scene);
        float t = 0.0f;
        for (auto _ : state) {
            scene->Update(t, 1);
            t += 1.0f / 60.0f;
            gl.Draw(pass, *scene);
        }
        state.counters["fps"] =
            benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    }
}
BENCHMARK(BM_ShowcaseFrameGl)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_Faces200kFrameGl(benchmark::State& state) {
    GlFrame gl;
    if (!gl.ok) {
        state.SkipWithError(("no GL context: " + gl.error).c_str());
        return;
    }
    auto scene = std::make_unique<DXC_3dScene>();
    // Four grids of 159 x 159 vertices: 4 x 49,928 = 199,712 faces, filling the view.
    for (int i = 0; i < 4; ++i)
        AddGrid(*g_Gfx, *scene, 159, 20.0f,
                D3DXVECTOR3(i % 2 ? 10.0f : -10.0f, i / 2 ? 10.0f : -10.0f, 40.0f));
    DXC_Light lightTemplate;
    AddDefaultLights(*scene, lightTemplate);
    scene->viewOptions.clear = 1;
    scene->backgroundColour = 0xFF203040;
    scene->opaqueCount = 4;
    scene->Evaluate(0.0f, 1, 1);
    LookAlongZ(*g_Gfx, 1000.0f);
    DXC_ScenePass pass(*g_Gfx);
    pass.Prepare(*scene);
    for (auto _ : state) gl.Draw(pass, *scene);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    scene.reset();
}
BENCHMARK(BM_Faces200kFrameGl)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
