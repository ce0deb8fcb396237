// Binary scene loading: the generated 200,000-face scene is loaded once as text and saved in the
// binary form, then loaded from that file, both with the graphics object on the recording
// device. Reports the time against the text load of the same scene measured in the same run
// (x_faster_than_text), and the peak resident memory a binary load adds as a multiple of the
// binary file's size (peak_x_file: what the loaded scene keeps included; transient_x_file:
// beyond what it keeps).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <unistd.h>

#include "GeneratedScene.h"
#include "foundation/Log.h"
#include "render/DXC_Gfx.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"), 0 when unknown.
int64_t StatusBytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
            return std::stoll(line.substr(length + 1)) * 1024;
    return 0;
}

// Starts a new peak of the resident memory at the current size.
bool ResetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    return static_cast<bool>(out.flush());
}

struct Session {
    std::unique_ptr<DXC_Gfx> gfx = CreateRecordingGfx(0, 0);
    GfxSceneGraphics graphics{*gfx};
    KZVLoader loader;

    Session() { loader.SetGraphics(&graphics); }
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_BinaryLoad(benchmark::State& state) {
    SetLogDirectory(generated::RunFolder().Path());
    const std::string& text = generated::ScenePath();
    const std::string binary = text.substr(0, text.size() - 4) + ".3sc";
    Session session;
    double textSeconds = 0.0;
    {
        // The text load as the comparison, and the binary file written from it.
        auto scene = std::make_unique<DXC_3dScene>();
        const auto start = std::chrono::steady_clock::now();
        LoadScene(text.c_str(), scene.get(), -1, session.loader);
        textSeconds = Seconds(start);
        SaveBinary(scene.get(), binary.c_str(), session.loader);
    }
    const auto fileSize = static_cast<int64_t>(std::filesystem::file_size(binary));
    double worstPeak = 0.0, worstTransient = 0.0, loadSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<DXC_3dScene>();
        malloc_trim(0);
        const int64_t before = StatusBytes("VmRSS");
        const bool peakKnown = ResetPeak();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        LoadScene(binary.c_str(), scene.get(), -1, session.loader);
        loadSeconds += Seconds(start);
        state.PauseTiming();
        const int64_t peak = StatusBytes("VmHWM"), after = StatusBytes("VmRSS");
        if (peakKnown) {
            worstPeak = std::max(worstPeak, double(peak - before) / double(fileSize));
            worstTransient = std::max(worstTransient, double(peak - after) / double(fileSize));
        }
        const bool whole = scene->GetMeshCount() == generated::kMeshes;
        scene.reset();
        state.ResumeTiming();
        if (!whole) {
            state.SkipWithError("the scene did not load whole");
            break;
        }
    }
    std::filesystem::remove(binary);
    state.SetBytesProcessed(state.iterations() * fileSize);
    state.counters["faces/s"] =
        benchmark::Counter(double(generated::kFaces), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file_MB"] = double(fileSize) / 1e6;
    state.counters["x_faster_than_text"] =
        loadSeconds > 0 ? textSeconds * double(state.iterations()) / loadSeconds : 0;
    state.counters["peak_x_file"] = worstPeak;
    state.counters["transient_x_file"] = worstTransient;
}
BENCHMARK(BM_BinaryLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
