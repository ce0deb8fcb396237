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

#include "foundation/Log.h"
#include "platform/TemporaryFolder.h"
#include "render/DXC_Gfx.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "support/AllocationCounter.h"
#include "textscene/KZVLoader.h"
#include "textscene/MeshBuilder.h"

namespace {

// ---- the generated scene ------------------------------------------------------------------------

constexpr int kMeshes = 8;
constexpr int kGrid = 112;                       // quads per side of each mesh
constexpr int kFacesPerMesh = 2 * kGrid * kGrid; // 25,088
constexpr int kFaces = kMeshes * kFacesPerMesh;  // 200,704
constexpr int kKeys = 100;                       // per track

void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& out, const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out.append(line, static_cast<std::size_t>(std::min<int>(n, int(sizeof line) - 1)));
}

// A wavy grid: smoothing group 1 everywhere and 2 on a band (hard edges at its borders), three
// sub-materials in stripes, a texture vertex per vertex, and position, rotation and scale keys.
std::string GenerateScene() {
    std::string s;
    s.reserve(48u << 20);
    s += "*3DSMAX_KZVEXPORT 211\n*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n"
         "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n}\n"
         "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MATERIAL_NAME \"Multi\"\n"
         "\t\t*NUMSUBMTLS 3\n";
    for (int m = 0; m < 3; ++m)
        Append(s, "\t\t*SUBMATERIAL %d {\n\t\t\t*MATERIAL_DIFFUSE %.4f 0.5000 0.2500\n\t\t}\n", m, 0.25 * m);
    s += "\t}\n}\n";
    const int side = kGrid + 1;
    for (int m = 0; m < kMeshes; ++m) {
        Append(s, "*GEOMOBJECT {\n\t*NODE_NAME \"Grid%02d\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"Grid%02d\"\n", m,
               m);
        Append(s,
               "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
               "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 %.4f\t0.0000\t0.0000\n"
               "\t\t*TM_POS %.4f\t0.0000\t0.0000\n\t\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n"
               "\t\t*TM_ROTANGLE 0.0000\n\t\t*TM_SCALE 1.0000\t1.0000\t1.0000\n\t}\n",
               m * 150.0, m * 150.0);
        Append(s,
               "\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX %d\n\t\t*MESH_NUMFACES %d\n"
               "\t\t*MESH_VERTEX_LIST {\n",
               side * side, kFacesPerMesh);
        for (int y = 0, i = 0; y < side; ++y)
            for (int x = 0; x < side; ++x, ++i)
                Append(s, "\t\t\t*MESH_VERTEX %5d\t%.4f\t%.4f\t%.4f\n", i, x * 1.0, y * 1.0,
                       0.5 * ((x * 7 + y * 3) % 5));
        s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
        for (int y = 0, f = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) {
                const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
                const int group = (y >= 40 && y < 60) ? 2 : 1;
                const int material = x / 38;
                Append(s,
                       "\t\t\t*MESH_FACE %5d:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t "
                       "*MESH_SMOOTHING %d \t*MESH_MTLID %d\n",
                       f++, a, b, d, group, material);
                Append(s,
                       "\t\t\t*MESH_FACE %5d:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t "
                       "*MESH_SMOOTHING %d \t*MESH_MTLID %d\n",
                       f++, a, d, c, group, material);
            }
        Append(s, "\t\t}\n\t\t*MESH_NUMTVERTEX %d\n\t\t*MESH_TVERTLIST {\n", side * side);
        for (int y = 0, i = 0; y < side; ++y)
            for (int x = 0; x < side; ++x, ++i)
                Append(s, "\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000\n", i, x / double(kGrid),
                       y / double(kGrid));
        Append(s, "\t\t}\n\t\t*MESH_NUMTVFACES %d\n\t\t*MESH_TFACELIST {\n", kFacesPerMesh);
        for (int y = 0, f = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) {
                const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
                Append(s, "\t\t\t*MESH_TFACE %d\t%d\t%d\t%d\n", f++, a, b, d);
                Append(s, "\t\t\t*MESH_TFACE %d\t%d\t%d\t%d\n", f++, a, d, c);
            }
        s += "\t\t}\n\t}\n\t*TM_ANIMATION {\n\t\t*CONTROL_POS_TRACK {\n";
        for (int k = 0; k < kKeys; ++k)
            Append(s, "\t\t\t*CONTROL_POS_SAMPLE %d\t%.4f\t%.4f\t0.0000\n", k * 160, m * 150.0, k * 0.5);
        s += "\t\t}\n\t\t*CONTROL_ROT_TRACK {\n";
        for (int k = 0; k < kKeys; ++k)
            Append(s, "\t\t\t*CONTROL_ROT_SAMPLE %d\t0.0000\t0.0000\t1.0000\t%.4f\n", k * 160,
                   k ? 0.05 : 0.0);
        s += "\t\t}\n\t\t*CONTROL_SCALE_TRACK {\n";
        for (int k = 0; k < kKeys; ++k)
            Append(s, "\t\t\t*CONTROL_SCALE_SAMPLE %d\t1.0000\t1.0000\t%.4f\n", k * 160, 1.0 + k * 0.01);
        s += "\t\t}\n\t}\n\t*MATERIAL_REF 0\n}\n";
    }
    return s;
}

// The run's own folder (removed at exit) with the log and the scene file.
const TemporaryFolder& RunFolder() {
    static const TemporaryFolder folder("kzvbench");
    return folder;
}

// The scene file, written once per run.
const std::string& ScenePath() {
    static const std::string path = [] {
        const std::string text = GenerateScene();
        const std::string file = RunFolder().Path() + "/scene.kzv";
        std::FILE* out = std::fopen(file.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
        return file;
    }();
    return path;
}

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

// The whole text load: reading, mesh building on the recording device, assembly.
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
            loader.LoadText(scene.get(), path.c_str(), -1);
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
