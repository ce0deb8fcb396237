#include "InfoCommand.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include "SceneReport.h"
#include "TextEncoding.h"
#include "ToolSupport.h"
#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/TemporaryFolder.h"
#include "platform/d3d8/RecordingDevice.h"
#include "render/DXC_Gfx.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

// "kzv" or "3sc" and the version byte of a binary scene, from the first bytes as the scene
// load tells the two forms apart.
std::string FileFormat(const std::string& path, int32_t& binaryVersion) {
    binaryVersion = 0;
    FILE* file = OpenFile(path.c_str(), "rb");
    if (!file) return "kzv";
    unsigned char magic[4] = {};
    const std::size_t read = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    if (read < 3 || std::memcmp(magic, "3SC", 3) != 0) return "kzv";
    binaryVersion = read == 4 ? magic[3] : 0;
    return "3sc";
}

// The graphics object on the recording device and the loader, made once and used for every
// file, as the viewer keeps them for every load.
class SceneSession {
public:
    explicit SceneSession(const std::string& texturePath) {
        gfx = CreateRecordingGfx();
        gfx->SetDefaultTexturePath(texturePath.c_str());
        graphics = std::make_unique<GfxSceneGraphics>(*gfx);
        loader.SetGraphics(graphics.get());
        loader.SetDefaultTexturePath(texturePath.c_str());
    }
    SceneSession(const SceneSession&) = delete;
    SceneSession& operator=(const SceneSession&) = delete;

    ReportJson Inspect(const std::string& path, const InfoOptions& options,
                       const PrivateLogFolder& logFolder);

private:
    SceneFileFacts Facts(const std::string& path) const;

    // Members go in reverse order: the loader's materials and the seam before the graphics
    // object, whose lists count their textures.
    std::unique_ptr<DXC_Gfx> gfx;
    std::unique_ptr<SceneGraphics> graphics;
    KZVLoader loader;
};

SceneFileFacts SceneSession::Facts(const std::string& path) const {
    SceneFileFacts facts;
    facts.file = path;
    int32_t binaryVersion = 0;
    facts.format = FileFormat(path, binaryVersion);
    facts.version =
        facts.format == "3sc" ? binaryVersion : loader.GetVersionMajor() * 100 + loader.GetVersionMinor();
    facts.frameSpeed = loader.GetFrameSpeed();
    facts.firstFrame = loader.GetFirstFrame();
    facts.lastFrame = loader.GetLastFrame();
    facts.soundFile = loader.GetSoundFile().Text();
    facts.scriptFile = loader.GetScriptFile().Text();
    return facts;
}

ReportJson SceneSession::Inspect(const std::string& path, const InfoOptions& options,
                                 const PrivateLogFolder& logFolder) {
    std::vector<std::string> log;
    logFolder.Restart();
    ResetReportState();
    SetLogObserver([&log](const char* text) { log.push_back(ToUtf8(text)); });

    auto scene = std::make_unique<DXC_3dScene>();
    std::string error;
    ReportJson report;
    try {
        LoadScene(path.c_str(), scene.get(), -1, loader);
        const SceneFileFacts facts = Facts(path);
        float time = 0.0f;
        if (options.timeGiven)
            time = options.time;
        else if (facts.frameSpeed != 0.0f)
            time = facts.firstFrame / facts.frameSpeed;
        if (options.loop) scene->SetLoop(1);
        scene->Update(time, 1);
        SetLogObserver(nullptr);
        report = ReportScene(*scene, facts, time);
        report["log"] = log;
    } catch (...) {
        error = DescribeCurrentException("kzvtool: ");
    }
    SetLogObserver(nullptr);
    if (!error.empty()) report = ReportFailure(path, error, log);
    scene.reset(); // its objects may log pending warning counts; they belong to no report
    return report;
}

} // namespace

bool ParseInfoArguments(const std::vector<std::string>& args, InfoOptions& options, std::string& error) {
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--loop") {
            options.loop = true;
        } else if (arg == "--at" || arg == "--textures") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            if (arg == "--textures") {
                options.texturePathGiven = true;
                options.texturePath = value;
            } else if (!ParseSeconds(value, options.time)) {
                error = "--at needs a finite number of seconds, not '" + value + "'";
                return false;
            } else {
                options.timeGiven = true;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (options.files.empty()) {
        error = "no scene file given";
        return false;
    }
    return true;
}

int RunInfo(const std::vector<std::string>& args, std::string& error) {
    InfoOptions options;
    if (!ParseInfoArguments(args, options, error)) return 2;

    PrivateLogFolder logFolder;
    logFolder.Restart();
    std::unique_ptr<SceneSession> session;
    try {
        session =
            std::make_unique<SceneSession>(DefaultTexturePath(options.texturePathGiven, options.texturePath));
    } catch (const DXC_Error& e) {
        std::fprintf(stderr, "kzvtool: no graphics object on the recording device: %s: %s\n", e.name,
                     e.message);
        return 1;
    }
    bool anyFailed = false;
    ReportJson all = ReportJson::array();
    for (const std::string& file : options.files) {
        ReportJson entry = session->Inspect(file, options, logFolder);
        if (entry.contains("error")) anyFailed = true;
        if (options.json)
            all.push_back(std::move(entry));
        else
            std::fputs(SummariseReport(entry).c_str(), stdout);
    }
    if (options.json) {
        std::fputs(FormatReport(all).c_str(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    return anyFailed ? 1 : 0;
}
