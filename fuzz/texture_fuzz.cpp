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
#include <memory>
#include <string>

#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/TemporaryFolder.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_Texture.h"

namespace fs = std::filesystem;

namespace {

struct Context {
    TemporaryFolder folder{"kzvtexturefuzz"}; // removed with the inputs at exit
    std::unique_ptr<DXC_Gfx> gfx;             // declared last, so destroyed before the folder
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
    if (c.folder.Path().empty()) std::abort();
    const fs::path folder = c.folder.Path();
    SetLogDirectory(folder.string()); // the log's entry limit keeps it small
    // Frames an image list may name: the bundled sequence, beside the list.
    const fs::path maps = fs::path(KZV_SOURCE_DIR) / "data" / "samples" / "maps";
    std::error_code ignored;
    for (const char* name : {"frame0.png", "frame1.png", "brick.bmp"})
        fs::copy_file(maps / name, folder / name, ignored);
    c.gfx = CreateRecordingGfx(0, 0); // no call list: it would grow with every input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    Context& c = Shared();
    ResetReportState();
    const fs::path folder = c.folder.Path();
    const fs::path image = folder / "input.img", list = folder / "input.ifl";
    if (!Write(image, data, size) || !Write(list, data, size)) return 0;
    // Type 0: managed; the flag 0x1000 loads without filtering, as scenes with point maps do.
    Load(*c.gfx, image, size % 2 ? 0 : 0x1000);
    Load(*c.gfx, list, 0);
    return 0;
}
