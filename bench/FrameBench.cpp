// Frame time on the GL device: the generated 200,704-face scene drawn headless at 640 x 480 on
// Mesa's software renderer (the reference rasteriser), every subset of every mesh with its
// material under two directional lights, then presented and read back, so the time covers the
// whole frame and not only the commands queued. A second benchmark measures an empty frame's
// present and read-back alone, to be set against it.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "GeneratedScene.h"
#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/d3dx/D3DXMath.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Mesh.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"

namespace {

// The graphics object on Mesa's software renderer, headless, and the loaded scene.
class FrameFixture {
public:
    FrameFixture() {
        SetLogDirectory(std::filesystem::temp_directory_path().string());
        GraphicsOptions options;
        options.width = 640;
        options.height = 480;
        options.bitsPerPixel = 32;
        options.referenceRasteriser = 1;
        InitGraphics(nullptr, options);
        gfx = g_Gfx;
        graphics = std::make_unique<GfxSceneGraphics>(*gfx);
        loader.SetGraphics(graphics.get());
        loader.LoadText(&scene, bench::ScenePath().c_str(), -1);
        scene.Update(0.0f, 1);
        IDirect3DDevice8* device = gfx->GetDevice();
        D3DDISPLAYMODE mode{};
        device->GetDisplayMode(&mode);
        device->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &readBack);
        SetView();
    }
    ~FrameFixture() {
        if (readBack) readBack->Release();
        scene.Clear();
        graphics.reset();
        ShutdownGraphics();
    }
    FrameFixture(const FrameFixture&) = delete;
    FrameFixture& operator=(const FrameFixture&) = delete;

    // One frame: clear, every subset, present, read back.
    void Frame(bool drawMeshes) {
        gfx->BeginScene();
        gfx->Clear(0xFF203040);
        if (drawMeshes) DrawMeshes();
        gfx->EndScene();
        gfx->Present();
        gfx->GetDevice()->GetFrontBuffer(readBack);
    }

    int32_t DrawnFaces() const { return faces; }

private:
    void SetView() {
        const float centre = 0.5f * (bench::kMeshes - 1) * bench::kMeshSpacing + 0.5f * bench::kGrid;
        const D3DXVECTOR3 eye(centre, -700.0f, 500.0f), at(centre, 0.5f * bench::kGrid, 0.0f), up(0, 0, 1);
        D3DXMATRIX view;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        gfx->SetViewMatrix(view);
        gfx->SetProjection(10.0f, 5000.0f, 0.7854f);
        gfx->SetLighting(1);
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        light.Direction = {0.3f, 0.6f, -0.7f};
        gfx->SetLight(0, light);
        light.Diffuse = {0.3f, 0.3f, 0.4f, 1.0f};
        light.Direction = {-0.5f, -0.2f, -0.4f};
        gfx->SetLight(1, light);
        gfx->EnableLight(0, 1);
        gfx->EnableLight(1, 1);
        gfx->SetAmbient(0xFF202020);
    }

    void DrawMeshes() {
        faces = 0;
        for (int32_t i = 0; i < scene.GetMeshCount(); ++i) {
            DXC_Mesh* mesh = scene.GetMesh(i);
            auto* data = mesh ? static_cast<DXC_MeshData*>(mesh->GetGeometry()) : nullptr;
            if (!data || !data->GetMesh()) continue;
            gfx->SetWorldMatrix(0, mesh->worldTM);
            for (const D3DXATTRIBUTERANGE& range : data->GetAttributeTable()) {
                if (const MeshMaterial* material = mesh->GetMaterial(static_cast<int32_t>(range.AttribId)))
                    gfx->SetMaterial(material->material);
                faces += gfx->DrawIndexedSubset(data->GetMesh(), range, 1) ? range.FaceCount : 0;
            }
        }
    }

    DXC_Gfx* gfx = nullptr;
    std::unique_ptr<GfxSceneGraphics> graphics;
    KZVLoader loader;
    DXC_3dScene scene;
    IDirect3DSurface8* readBack = nullptr;
    int32_t faces = 0;
};

void RunFrames(benchmark::State& state, bool drawMeshes) {
    try {
        FrameFixture fixture;
        fixture.Frame(drawMeshes); // the first frame builds programs and uploads buffers
        for (auto _ : state) fixture.Frame(drawMeshes);
        state.counters["faces"] = fixture.DrawnFaces();
        state.counters["fps"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    } catch (const DXC_Error& e) {
        state.SkipWithError(e.message);
    }
}

void BM_FrameSoftwareGl200kFaces(benchmark::State& state) {
    RunFrames(state, true);
}
BENCHMARK(BM_FrameSoftwareGl200kFaces)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_FrameSoftwareGlPresentOnly(benchmark::State& state) {
    RunFrames(state, false);
}
BENCHMARK(BM_FrameSoftwareGlPresentOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace
