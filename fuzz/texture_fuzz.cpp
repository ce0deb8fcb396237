// libFuzzer target: texture loading through the program's graphics object on the recording
// device, as a scene's maps are loaded. Each input is written twice into a private folder: as
// an image file, loaded into a texture, and as an image file list (".ifl"), loaded into a
// sequence whose entries may name the bundled frames copied beside it, the image input or
// anything else. A load may end in the graphics object's error (DXC_Error) or in the list
// reader's (ErrorMsg: a list is refused for unbalanced braces); any other escape,
// a crash, a hang or an unbounded allocation is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/d3d8/RecordingDevice.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_Texture.h"

namespace fs = std::filesystem;

namespace {

struct Context {
    fs::path folder;
    DXC_Gfx* gfx = nullptr;
};

Context& Shared() {
    static Context context;
    return context;
}

bool Write(const fs::path& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = size == 0 || std::fwrite(data, size, 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

// One load into a fresh texture; its destructor gives every image back to the graphics
// object's list, so a leak of a list entry shows as a leak.
void Load(DXC_Gfx& gfx, const fs::path& file, int32_t type) {
    DXC_Texture texture(&gfx);
    try {
        gfx.LoadTexture(&texture, file.c_str(), 0, type, D3DFMT_UNKNOWN, 0);
        for (int32_t f = 0; f < texture.GetSequenceCount(); ++f) texture.SelectSequenceFrame(f);
    } catch (const DXC_Error&) {
    } catch (const ErrorMsg&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Context& c = Shared();
    std::string pattern = (fs::temp_directory_path() / "kzvtexturefuzzXXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    c.folder = pattern;
    SetLogDirectory(c.folder.string()); // the log's entry limit keeps it small
    // Frames an image list may name: the bundled sequence, beside the list.
    const fs::path maps = fs::path(KZV_SOURCE_DIR) / "data" / "samples" / "maps";
    std::error_code ignored;
    for (const char* name : {"frame0.png", "frame1.png", "brick.bmp"})
        fs::copy_file(maps / name, c.folder / name, ignored);
    c.gfx = new DXC_Gfx(CreateRecordingDirect3D8(DefaultRecordingConfig()));
    D3DDISPLAYMODE mode{640, 480, 0, D3DFMT_R5G6B5};
    c.gfx->InitDevice(nullptr, 1, &mode, 16, 0, 0, 0);
    if (auto* recorder = AsRecordingDevice(c.gfx->GetDevice())) recorder->SetRecording(false); // no growing call list
    std::atexit([] {
        delete Shared().gfx;
        std::error_code ignored;
        fs::remove_all(Shared().folder, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    Context& c = Shared();
    ResetReportState();
    const fs::path image = c.folder / "input.img", list = c.folder / "input.ifl";
    if (!Write(image, data, size) || !Write(list, data, size)) return 0;
    // Type 0: managed; the flag 0x1000 loads without filtering, as scenes with point maps do.
    Load(*c.gfx, image, size % 2 ? 0 : 0x1000);
    Load(*c.gfx, list, 0);
    return 0;
}
