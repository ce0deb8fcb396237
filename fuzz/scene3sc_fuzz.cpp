// libFuzzer target: the binary scene reader on hostile bytes, through LoadScene with the
// graphics object on the recording device. The file layer reads from files, so each input is
// written to a temporary file first. Maps are not loaded (load option bit 2): a hostile name
// must not send the fuzzer to files of this machine. A load may end in an error of the file
// (ErrorMsg) or of a scene object (DXC_Error); anything else that escapes, a crash, a hang or
// an unbounded allocation is a finding. After a load the scene is updated at a few times and
// saved again, as the viewer would.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "render/DXC_Gfx.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

constexpr int32_t NoTextures = 4;

struct Context {
    std::unique_ptr<DXC_Gfx> gfx;
    std::unique_ptr<GfxSceneGraphics> graphics;
    KZVLoader loader;
    std::string input = "/tmp/scene3sc_fuzz_" + std::to_string(getpid()) + ".3sc";
    std::string output = "/tmp/scene3sc_fuzz_" + std::to_string(getpid()) + "_saved.3sc";

    Context() {
        gfx = CreateRecordingGfx(0, 0);
        graphics = std::make_unique<GfxSceneGraphics>(*gfx);
        loader.SetGraphics(graphics.get());
    }
};

Context& Shared() {
    static Context* context = [] {
        // The log goes to the temporary folder; its entry limit keeps it small.
        SetLogDirectory("/tmp");
        return new Context();
    }();
    return *context;
}

bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = size == 0 || std::fwrite(data, size, 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    Context& context = Shared();
    if (!WriteInput(context.input, data, size)) return 0;
    ResetReportState();
    auto scene = std::make_unique<DXC_3dScene>();
    try {
        LoadScene(context.input.c_str(), scene.get(), NoTextures, context.loader);
        for (float t : {0.0f, 0.5f, 3.0f}) scene->Update(t, 1);
        SaveBinary(scene.get(), context.output.c_str(), context.loader);
    } catch (const ErrorMsg&) {
    } catch (const DXC_Error&) {
    }
    return 0;
}
