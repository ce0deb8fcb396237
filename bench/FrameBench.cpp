// Frame time on the GL device: a scene drawn headless at 640 x 480 on Mesa's software renderer
// (the reference rasteriser), every subset of every mesh with its material under two
// directional lights, then presented and read back, so the time covers the whole frame and not
// only the commands queued. Scenes: the generated 200,704-face scene, and the bundled showcase
// sample seen from the viewer's start-up place (its textures are loaded but not bound: the
// stages are the render pass's work). A third benchmark measures an empty frame's present and
// read-back alone, to be set against them. CPU time is the whole process's, the renderer's
// threads included.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "GeneratedScene.h"
#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/d3dx/D3DXMath.h"
#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/GfxSceneGraphics.h"
#include "scene/ClipObject.h"
#include "scene/Mesh.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"

namespace {

// The graphics object on Mesa's software renderer, headless, and the loaded scene.
class FrameFixture {
public:
    explicit FrameFixture(const std::string& path) {
        SetLogDirectory(generated::RunFolder().Path());
        GraphicsOptions options;
        options.width = 640;
        options.height = 480;
        options.bitsPerPixel = 32;
        options.referenceRasteriser = 1;
        InitGraphics(nullptr, options);
        gfx = g_Gfx;
        graphics = std::make_unique<GfxSceneGraphics>(*gfx);
        loader.SetGraphics(graphics.get());
        loader.LoadText(&scene, path.c_str(), -1);
        scene.Update(0.0f, 1);
        scene.ComputeBounds();
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
    // The viewer's start-up view: the free camera at c - (0, 2.8 r, 0) looking along +Y, Z up,
    // near r / 20 and far 5 r.
    void SetView() {
        BoundsRecord bounds{};
        scene.ComputeBounds(&bounds);
        const float r = bounds.radius > 0.0f ? bounds.radius : 1.0f;
        const D3DXVECTOR3 eye(bounds.centre.x, bounds.centre.y - 2.8f * r, bounds.centre.z);
        const D3DXVECTOR3 at(bounds.centre.x, bounds.centre.y, bounds.centre.z), up(0, 0, 1);
        D3DXMATRIX view;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        gfx->SetViewMatrix(view);
        gfx->SetProjection(r / 20.0f, 5.0f * r, 0.7854f);
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

void RunFrames(benchmark::State& state, const std::string& path, bool drawMeshes) {
    try {
        FrameFixture fixture(path);
        fixture.Frame(drawMeshes); // the first frame builds programs and uploads buffers
        for (auto _ : state) fixture.Frame(drawMeshes);
        state.counters["faces"] = fixture.DrawnFaces();
        state.counters["fps"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    } catch (const DXC_Error& e) {
        state.SkipWithError(e.message);
    }
}

std::string ShowcasePath() {
    return std::string(KZV_SOURCE_DIR) + "/data/samples/showcase.kzv";
}

void BM_FrameSoftwareGl200kFaces(benchmark::State& state) {
    RunFrames(state, generated::ScenePath(), true);
}
BENCHMARK(BM_FrameSoftwareGl200kFaces)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_FrameSoftwareGlShowcase(benchmark::State& state) {
    RunFrames(state, ShowcasePath(), true);
}
BENCHMARK(BM_FrameSoftwareGlShowcase)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The first frame on a new device: every program the scene needs is built during it. This is
// the stall a warm-up draw at load time takes out of playback.
void BM_FirstFrameSoftwareGlShowcase(benchmark::State& state) {
    try {
        for (auto _ : state) {
            state.PauseTiming();
            auto fixture = std::make_unique<FrameFixture>(ShowcasePath());
            state.ResumeTiming();
            fixture->Frame(true);
            state.PauseTiming();
            fixture.reset();
            state.ResumeTiming();
        }
    } catch (const DXC_Error& e) {
        state.SkipWithError(e.message);
    }
}
BENCHMARK(BM_FirstFrameSoftwareGlShowcase)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Many small draws: 1,000 quads of a few pixels, one subset of one mesh each, with a world
// matrix and a material per draw as the render pass sends them. The pixels are few, so the
// time is the draw calls' own: the device layer and the driver's state work.
void BM_DrawCallsSoftwareGl(benchmark::State& state) {
    constexpr int kQuads = 1000;
    try {
        FrameFixture fixture(ShowcasePath());
        DXC_Gfx& gfx = *g_Gfx;
        ID3DXMesh* mesh = nullptr;
        const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
        if (FAILED(D3DXCreateMeshFVF(2 * kQuads, 4 * kQuads, D3DXMESH_MANAGED, fvf, gfx.GetDevice(), &mesh)))
            throw DXC_Error{"bench", "D3DXCreateMeshFVF failed"};
        float* v = nullptr;
        mesh->LockVertexBuffer(0, reinterpret_cast<BYTE**>(&v));
        WORD* index = nullptr;
        mesh->LockIndexBuffer(0, reinterpret_cast<BYTE**>(&index));
        DWORD* attribute = nullptr;
        mesh->LockAttributeBuffer(0, &attribute);
        for (int q = 0; q < kQuads; ++q) {
            const float corner[4][2] = {{0, 0}, {0.02f, 0}, {0, 0.02f}, {0.02f, 0.02f}};
            for (int k = 0; k < 4; ++k) {
                float* at = v + (4 * q + k) * 6;
                at[0] = corner[k][0], at[1] = 0.0f, at[2] = corner[k][1];
                at[3] = 0.0f, at[4] = -1.0f, at[5] = 0.0f;
            }
            const WORD b = static_cast<WORD>(4 * q);
            const WORD faces[6] = {b,
                                   static_cast<WORD>(b + 1),
                                   static_cast<WORD>(b + 2),
                                   static_cast<WORD>(b + 2),
                                   static_cast<WORD>(b + 1),
                                   static_cast<WORD>(b + 3)};
            for (int k = 0; k < 6; ++k) index[6 * q + k] = faces[k];
            attribute[2 * q] = attribute[2 * q + 1] = static_cast<DWORD>(q);
        }
        mesh->UnlockAttributeBuffer();
        mesh->UnlockIndexBuffer();
        mesh->UnlockVertexBuffer();
        mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
        std::vector<D3DXATTRIBUTERANGE> table(kQuads);
        DWORD size = kQuads;
        mesh->GetAttributeTable(table.data(), &size);
        D3DMATERIAL8 materials[2] = {gfx.GetDefaultMaterial(), gfx.GetDefaultMaterial()};
        materials[1].Diffuse = {0.2f, 0.9f, 0.4f, 1.0f};
        auto frame = [&] {
            gfx.BeginScene();
            gfx.Clear(0xFF203040);
            for (int q = 0; q < kQuads; ++q) {
                D3DXMATRIX world;
                D3DXMatrixTranslation(&world, 0.05f * (q % 40) - 1.0f, 0.0f, 0.05f * (q / 40) - 0.6f);
                gfx.SetWorldMatrix(0, world);
                gfx.SetMaterial(materials[q & 1]);
                gfx.DrawIndexedSubset(mesh, table[static_cast<size_t>(q)], 1);
            }
            gfx.EndScene();
            gfx.Present();
        };
        frame();
        for (auto _ : state) frame();
        state.counters["draws"] = kQuads;
        state.counters["per_draw_us"] = benchmark::Counter(
            kQuads * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
        mesh->Release();
    } catch (const DXC_Error& e) {
        state.SkipWithError(e.message);
    }
}
BENCHMARK(BM_DrawCallsSoftwareGl)->Unit(benchmark::kMillisecond);

void BM_FrameSoftwareGlPresentOnly(benchmark::State& state) {
    RunFrames(state, ShowcasePath(), false);
}
BENCHMARK(BM_FrameSoftwareGlPresentOnly)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace
