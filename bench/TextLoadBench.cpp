// Text scene loading: a generated scene of 200,000 faces in several meshes, with texture
// coordinates, smoothing groups, sub-materials and animation keys, loaded from a file on the
// recording device. Reports the file rate (MB/s, 10^6 bytes a second), faces per second and the
// peak memory of the load as multiples of the file size: heap allocations beyond what the load
// leaves behind (peak_x_file), and the growth of the resident set over what it was before the
// load (peak_rss_x_file), which also counts the file's own pages and the lists kept in pages.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "GeneratedScene.h"
#include "foundation/Log.h"
#include "platform/TemporaryFolder.h"
#include "render/DXC_Gfx.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "support/AllocationCounter.h"
#include "textscene/KZVLoader.h"
#include "textscene/MeshBuilder.h"
#include "textscene/SceneLoad.h"

namespace {

using namespace generated;

// The resident set's peak (VmHWM) or current size (VmRSS) in bytes, 0 when unknown.
int64_t StatusBytes(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    int64_t kib = 0;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0) kib = std::atoll(line + length + 1);
    std::fclose(status);
    return kib * 1024;
}

// Starts a new resident-set peak from the current size (false where the system does not allow).
bool ResetResidentPeak() {
    std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs) return false;
    const bool written = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && written;
}

// The whole text load as the programs load a scene (LoadScene): reading, mesh building on the
// recording device, assembly and the first update.
void BM_TextLoad(benchmark::State& state) {
    SetLogDirectory(RunFolder().Path());
    const std::string& path = ScenePath();
    const auto fileSize = static_cast<int64_t>(std::filesystem::file_size(path));
    const std::unique_ptr<DXC_Gfx> gfx = CreateRecordingGfx(0, 0);
    double worstGrowth = 0.0;
    double worstResident = 0.0;
    {
        GfxSceneGraphics graphics(*gfx);
        KZVLoader loader;
        loader.SetGraphics(&graphics);
        for (auto _ : state) {
            state.PauseTiming();
            auto scene = std::make_unique<DXC_3dScene>();
            allocation_counter::ResetPeak();
            const bool residentPeak = ResetResidentPeak();
            const int64_t residentBefore = StatusBytes("VmRSS:");
            state.ResumeTiming();
            LoadScene(path.c_str(), scene.get(), -1, loader);
            state.PauseTiming();
            // Peak during the load beyond what the loaded scene keeps.
            const double growth =
                double(allocation_counter::PeakBytes() - allocation_counter::LiveBytes()) / double(fileSize);
            worstGrowth = std::max(worstGrowth, growth);
            if (residentPeak)
                worstResident = std::max(worstResident,
                                         double(StatusBytes("VmHWM:") - residentBefore) / double(fileSize));
            const bool whole = scene->GetMeshCount() == kMeshes;
            scene.reset();
            state.ResumeTiming();
            if (!whole) {
                state.SkipWithError("the scene did not load whole");
                break;
            }
        }
    }
    state.SetBytesProcessed(state.iterations() * fileSize);
    // The console shows bytes_per_second in MiB/s; this is the file rate in 10^6 bytes a second.
    state.counters["MB/s"] =
        benchmark::Counter(double(fileSize) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["faces/s"] =
        benchmark::Counter(double(kFaces), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file_MB"] = double(fileSize) / 1e6;
    state.counters["peak_x_file"] = worstGrowth;
    state.counters["peak_rss_x_file"] = worstResident;
}
BENCHMARK(BM_TextLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// Mesh building alone: one grid mesh of 25,088 faces split, smoothed and numbered.
void BM_MeshBuild(benchmark::State& state) {
    const int side = kGrid + 1;
    std::vector<MeshVertex> vertices(static_cast<std::size_t>(side * side));
    for (int y = 0, i = 0; y < side; ++y)
        for (int x = 0; x < side; ++x, ++i)
            vertices[static_cast<std::size_t>(i)].position = {float(x), float(y),
                                                              0.5f * float((x * 7 + y * 3) % 5)};
    std::vector<TexVertex> tv(vertices.size());
    for (int y = 0, i = 0; y < side; ++y)
        for (int x = 0; x < side; ++x, ++i)
            tv[static_cast<std::size_t>(i)] = {x / float(kGrid), y / float(kGrid), 0};
    std::vector<MeshFace> faces(kFacesPerMesh);
    std::vector<TexFace> tf(kFacesPerMesh);
    for (int y = 0, f = 0; y < kGrid; ++y)
        for (int x = 0; x < kGrid; ++x) {
            const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
            const int tri[2][3] = {{a, b, d}, {a, d, c}};
            for (const auto& t : tri) {
                MeshFace& face = faces[static_cast<std::size_t>(f)];
                for (int k = 0; k < 3; ++k) {
                    face.corner[k] = static_cast<uint16_t>(t[k]);
                    tf[static_cast<std::size_t>(f)].corner[k] = static_cast<uint16_t>(t[k]);
                }
                face.groups[0] = (y >= 40 && y < 60) ? 2 : 1;
                face.groupCount = 1;
                face.materialId = x / 38;
                ++f;
            }
        }
    TextDataFileReader reporter;
    MeshBuilder builder(reporter);
    MeshBuilder::Input input;
    input.vertices = vertices.data();
    input.vertexCount = static_cast<int32_t>(vertices.size());
    input.faces = faces.data();
    input.faceCount = kFacesPerMesh;
    input.texVertices = tv.data();
    input.texVertexCount = static_cast<int32_t>(tv.size());
    input.texFaces = tf.data();
    input.texFaceCount = kFacesPerMesh;
    input.subMaterialCount = 3;
    input.objectName = "Grid";
    for (auto _ : state) {
        builder.Build(input);
        benchmark::DoNotOptimize(builder.vertices.data());
    }
    state.counters["faces/s"] =
        benchmark::Counter(double(kFacesPerMesh), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MeshBuild)->Unit(benchmark::kMillisecond);

} // namespace
