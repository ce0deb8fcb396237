#include "ExportCommand.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "GltfExport.h"
#include "ToolSupport.h"
#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/Registry.h"
#include "platform/TemporaryFolder.h"
#include "render/DXC_Gfx.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

std::string Extension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// The viewer's folder for maps not found where the scene names them.
std::string DefaultTexturePath() {
    RegistryKey key;
    std::string value;
    if (key.Open("Software\\Halvorn\\KZVView") && key.QueryValue("DefaultTexturePath", value, 256) == 0)
        return value;
    return {};
}

// The scene loaded as the viewer loads it, and the objects it needs kept alive. Members go in
// reverse order: the loader and the seam before the graphics object.
class LoadedScene {
public:
    // Throws what the load throws.
    explicit LoadedScene(const std::string& path) {
        gfx = CreateRecordingGfx();
        const std::string textures = DefaultTexturePath();
        gfx->SetDefaultTexturePath(textures.c_str());
        graphics = std::make_unique<GfxSceneGraphics>(*gfx);
        loader.SetGraphics(graphics.get());
        loader.SetDefaultTexturePath(textures.c_str());
        scene = std::make_unique<DXC_3dScene>();
        LoadScene(path.c_str(), scene.get(), -1, loader);
    }
    ~LoadedScene() { scene.reset(); }
    LoadedScene(const LoadedScene&) = delete;
    LoadedScene& operator=(const LoadedScene&) = delete;

    DXC_3dScene& Scene() { return *scene; }
    const KZVLoader& Loader() const { return loader; }

private:
    std::unique_ptr<DXC_Gfx> gfx;
    std::unique_ptr<SceneGraphics> graphics;
    KZVLoader loader;
    std::unique_ptr<DXC_3dScene> scene;
};

bool Build(GltfExport& out) {
    out.scene->Update(out.options.firstTime, 1);
    ExportNodes(out);
    ExportMeshes(out);
    ExportCamerasAndLights(out);
    ExportAnimation(out);
    return true;
}

bool Write(GltfExport& out, std::string& error) {
    if (out.options.binary) return out.doc.WriteGlb(out.options.output, error);
    const std::string binName = std::filesystem::path(out.options.output).stem().string() + ".bin";
    return out.doc.WriteGltf(out.options.output, binName, error);
}

int Export(GltfExportOptions options) {
    TemporaryFolder logFolder("kzvtool");
    SetLogDirectory(logFolder.Path().empty() ? std::string("/nonexistent-kzvtool-log") : logFolder.Path());
    std::string error;
    try {
        LoadedScene loaded(options.sceneFile);
        const KZVLoader& loader = loaded.Loader();
        const float speed = loader.GetFrameSpeed();
        if (std::isfinite(speed) && speed > 0.0f) {
            options.frameRate = speed;
            options.firstTime = loader.GetFirstFrame() / speed;
            options.lastTime = loader.GetLastFrame() / speed;
        }
        GltfExport out;
        out.options = options;
        out.scene = &loaded.Scene();
        Build(out);
        for (const std::string& note : out.notes)
            std::fprintf(stderr, "kzvtool: %s: %s\n", options.sceneFile.c_str(), note.c_str());
        if (!Write(out, error)) {
            std::fprintf(stderr, "kzvtool: cannot write %s\n", error.c_str());
            return 1;
        }
        return 0;
    } catch (...) {
        error = DescribeCurrentException();
    }
    std::fprintf(stderr, "kzvtool: cannot export %s: %s\n", options.sceneFile.c_str(), error.c_str());
    return 1;
}

} // namespace

bool ParseExportArguments(const std::vector<std::string>& args, GltfExportOptions& options,
                          std::string& error) {
    bool binaryAsked = false, optionsEnd = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--binary") {
            binaryAsked = true;
        } else if (arg == "--bake") {
            options.bake = true;
        } else if (arg == "-o" || arg == "--fps") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            if (arg == "-o") {
                options.output = value;
                continue;
            }
            const auto result = std::from_chars(value.data(), value.data() + value.size(), options.fps);
            if (result.ec != std::errc() || result.ptr != value.data() + value.size() ||
                !std::isfinite(options.fps) || options.fps <= 0.0f || options.fps > 1000.0f) {
                error =
                    "--fps needs a number of frames per second above 0 and at most 1000, not '" + value + "'";
                return false;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (files.size() != 1) {
        error = files.empty() ? "no scene file given" : "export takes one scene file";
        return false;
    }
    options.sceneFile = files[0];
    const std::string extension = Extension(options.output);
    if (options.output.empty() || (extension != ".gltf" && extension != ".glb")) {
        error = "-o needs an output file ending in .gltf or .glb";
        return false;
    }
    options.binary = extension == ".glb";
    if (binaryAsked && !options.binary) {
        error = "--binary writes a .glb file, not '" + options.output + "'";
        return false;
    }
    return true;
}

int RunExport(const std::vector<std::string>& args, std::string& error) {
    GltfExportOptions options;
    if (!ParseExportArguments(args, options, error)) return 2;
    return Export(options);
}
