// libFuzzer target: the text scene loader on hostile bytes, loaded from memory into a scene on
// the recording device through the graphics object. A load may end in the loader's error (ErrorMsg) or in an
// error of a scene object (DXC_Error); anything else that escapes, a crash, a hang or an unbounded allocation
// is a finding. After a load the scene is updated and sampled at a few times, as the viewer would, so faults
// in what the loader built show too.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/TemporaryFolder.h"
#include "render/DXC_Gfx.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"

namespace {

// The graphics object on the recording device (not recording its calls) and the loader on
// it, made once: each input is loaded through the program's own mesh and texture path.
struct Context {
    std::unique_ptr<DXC_Gfx> gfx;
    std::unique_ptr<GfxSceneGraphics> graphics;
    KZVLoader loader;

    Context() {
        gfx = CreateRecordingGfx(0, 0);
        graphics = std::make_unique<GfxSceneGraphics>(*gfx);
        loader.SetGraphics(graphics.get());
    }
};

Context& Shared() {
    static Context* context = [] {
        // The log goes to the temporary folder; its entry limit keeps it small.
        SetLogDirectory(SystemTemporaryFolder());
        return new Context();
    }();
    return *context;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2 << 20) return 0; // room for the largest bundled scene (1.1 MB)
    Context& context = Shared();
    ResetReportState();
    DXC_3dScene scene;
    try {
        context.loader.LoadTextFromMemory(&scene, "fuzz.kzv", data, static_cast<int32_t>(size), -1);
        for (float t : {0.0f, 0.5f, 3.0f}) scene.Update(t, 1);
    } catch (const ErrorMsg&) {
    } catch (const DXC_Error&) {
    }
    return 0;
}
