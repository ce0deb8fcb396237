#include "RenderCommand.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <unistd.h>

#include "ToolSupport.h"
#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "render/DXC_Gfx.h"
#include "render/FrameCapture.h"
#include "render/GfxSceneGraphics.h"
#include "render/ScenePass.h"
#include "render/StartupView.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i])
            return false;
    return true;
}

// The one integer field of a frame-name pattern: "%d", "%i", "%u" with an optional 0 flag and
// width. Returns its position and length, -1 when there is none or more than one, or a
// conversion other than "%%".
struct IntegerField {
    std::size_t position = 0, length = 0;
    bool zero = false;
    int width = 0;
};
int CountIntegerFields(const std::string& pattern, IntegerField& field) {
    int count = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        IntegerField f;
        f.position = i;
        if (j < pattern.size() && pattern[j] == '0') {
            f.zero = true;
            ++j;
        }
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && f.width < 100)
            f.width = f.width * 10 + (pattern[j++] - '0');
        if (j >= pattern.size() || (pattern[j] != 'd' && pattern[j] != 'i' && pattern[j] != 'u')) return -1;
        f.length = j + 1 - i;
        field = f;
        ++count;
        i = j;
    }
    return count;
}

bool ParseInt(const std::string& text, int32_t& out, int32_t low, int32_t high) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    const int32_t value = std::stoi(text);
    if (value < low || value > high) return false;
    out = value;
    return true;
}

bool ParseRange(const std::string& text, RenderOptions& o) {
    const std::size_t a = text.find(':');
    const std::size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    if (b == std::string::npos) return false;
    if (!ParseSeconds(text.substr(0, a), o.rangeStart) ||
        !ParseSeconds(text.substr(a + 1, b - a - 1), o.rangeEnd) ||
        !ParseSeconds(text.substr(b + 1), o.rangeStep))
        return false;
    return o.rangeStep > 0.0f && o.rangeEnd >= o.rangeStart;
}

bool ParseSize(const std::string& text, RenderOptions& o) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return ParseInt(text.substr(0, x), o.width, 1, 16384) && ParseInt(text.substr(x + 1), o.height, 1, 16384);
}

bool ParseColour(const std::string& text, uint32_t& out) {
    if (text.size() != 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    for (std::size_t i = 2; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    out = static_cast<uint32_t>(std::stoul(text.substr(2), nullptr, 16));
    return true;
}

// One valued option; false with a message for a value it can not take.
bool TakeValue(const std::string& name, const std::string& value, RenderOptions& o, std::string& error) {
    bool ok = true;
    if (name == "--at") {
        ok = ParseSeconds(value, o.time);
        o.timeGiven = true;
    } else if (name == "--range") {
        ok = ParseRange(value, o);
        o.rangeGiven = true;
    } else if (name == "--camera") {
        o.freeCamera = value == "free";
        ok = o.freeCamera || ParseInt(value, o.camera, 0, 1 << 30);
    } else if (name == "--size") {
        ok = ParseSize(value, o);
    } else if (name == "--mirror" || name == "--lighting") {
        ok = value == "0" || value == "1";
        (name == "--mirror" ? o.mirror : o.lighting) = value == "1" ? 1 : 0;
    } else if (name == "--shading") {
        ok = value == "solid" || value == "wire" || value == "point";
        o.fillMode = value == "wire" ? 2 : value == "point" ? 1 : 3;
    } else if (name == "--background") {
        ok = ParseColour(value, o.background);
        o.backgroundGiven = true;
    } else if (name == "--textures") {
        o.texturePathGiven = true;
        o.texturePath = value;
    } else {
        o.output = value;
    }
    if (!ok) error = "invalid value '" + value + "' for " + name;
    return ok;
}

bool CheckOutput(const RenderOptions& o, std::string& error) {
    if (o.output.empty()) {
        error = "no output file given (-o OUT)";
        return false;
    }
    if (!EndsWithNoCase(o.output, ".png") && !EndsWithNoCase(o.output, ".bmp")) {
        error = "the output file must end in .png or .bmp: '" + o.output + "'";
        return false;
    }
    IntegerField field;
    const int fields = CountIntegerFields(o.output, field);
    if (o.rangeGiven && fields != 1) {
        error = "with --range the output name needs one integer field such as %04d: '" + o.output + "'";
        return false;
    }
    if (!o.rangeGiven && fields != 0) {
        error = "a single picture needs an output name without a % field: '" + o.output + "'";
        return false;
    }
    return true;
}

} // namespace

bool ParseRenderArguments(const std::vector<std::string>& args, RenderOptions& o, std::string& error) {
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            if (!o.file.empty()) {
                error = "more than one scene file given";
                return false;
            }
            o.file = arg;
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--loop") {
            o.loop = true;
        } else if (arg == "--at" || arg == "--range" || arg == "--camera" || arg == "--size" ||
                   arg == "--mirror" || arg == "--shading" || arg == "--lighting" || arg == "--background" ||
                   arg == "--textures" || arg == "-o") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            if (!TakeValue(arg, args[++i], o, error)) return false;
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (o.timeGiven && o.rangeGiven) {
        error = "--at and --range exclude each other";
        return false;
    }
    if (o.file.empty()) {
        error = "no scene file given";
        return false;
    }
    return CheckOutput(o, error);
}

std::vector<float> RangeTimes(float start, float end, float step) {
    std::vector<float> times;
    // Counted, not accumulated, so that END is reached when a step lands on it despite
    // rounding; the small allowance takes 0.1-steps onto END.
    const double steps = std::floor((static_cast<double>(end) - start) / step + 1e-4);
    for (int64_t k = 0; k <= static_cast<int64_t>(steps); ++k)
        times.push_back(static_cast<float>(start + static_cast<double>(step) * static_cast<double>(k)));
    return times;
}

std::string FrameFileName(const std::string& pattern, int32_t n) {
    IntegerField field;
    if (CountIntegerFields(pattern, field) != 1) return pattern;
    std::string number = std::to_string(n);
    while (static_cast<int>(number.size()) < field.width) number.insert(0, 1, field.zero ? '0' : ' ');
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (i == field.position) {
            out += number;
            i += field.length - 1;
        } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

namespace {

// The viewer's graphics, loader, scene and cameras for one headless run.
class RenderSession {
public:
    RenderSession(const RenderOptions& options) : o(options) {}
    ~RenderSession() {
        pass.reset();
        scene.reset();
        graphics.reset();
        ShutdownGraphics();
    }
    RenderSession(const RenderSession&) = delete;
    RenderSession& operator=(const RenderSession&) = delete;

    void StartGraphics();
    void Load();
    // Draws, presents and saves the frame at time t into path; false with the reason.
    bool Frame(float t, const std::string& path, std::string& error);
    float StartTime() const {
        return loader.GetFrameSpeed() != 0.0f ? loader.GetFirstFrame() / loader.GetFrameSpeed() : 0.0f;
    }

private:
    const RenderOptions& o;
    std::unique_ptr<SceneGraphics> graphics;
    KZVLoader loader;
    std::unique_ptr<DXC_3dScene> scene;
    std::unique_ptr<DXC_ScenePass> pass;
    DXC_Camera freeCamera;
    DXC_Light lightTemplate;
    StartupView view{};
};

void RenderSession::StartGraphics() {
    GraphicsOptions g;
    g.width = o.width;
    g.height = o.height;
    g.bitsPerPixel = 32; // the picture keeps 8 bits per channel
    InitGraphics(nullptr, g);
    DXC_Gfx& gfx = *g_Gfx;
    const std::string textures = DefaultTexturePath(o.texturePathGiven, o.texturePath);
    gfx.SetDefaultTexturePath(textures.c_str());
    graphics = std::make_unique<GfxSceneGraphics>(gfx);
    loader.SetGraphics(graphics.get());
    loader.SetDefaultTexturePath(textures.c_str());
    pass = std::make_unique<DXC_ScenePass>(gfx);
    // The viewer's preparation: lighting, specular on (no /nospec), z-buffer, cull mode.
    gfx.SetLighting(o.lighting);
    gfx.SetSpecular(1);
    gfx.SetZBufferMode(1);
    gfx.SetCullMode(-1);
}

void RenderSession::Load() {
    scene = std::make_unique<DXC_3dScene>();
    LoadScene(o.file.c_str(), scene.get(), -1, loader);
    StartupViewOptions start;
    start.mirror = o.mirror;
    start.camera = o.freeCamera ? scene->GetCameraCount() : o.camera;
    start.loop = o.loop ? 1 : 0;
    view = ApplyStartupView(*g_Gfx, *scene, freeCamera, lightTemplate, start);
    if (o.backgroundGiven) {
        scene->backgroundColour = o.background;
        scene->viewOptions.clear = 1;
        scene->SetEnvironmentTexture(nullptr);
    }
}

bool RenderSession::Frame(float t, const std::string& path, std::string& error) {
    DXC_Gfx& gfx = *g_Gfx;
    scene->Update(t, 1);
    if (view.camera == -1) gfx.SetViewMatrix(CameraViewMatrix(freeCamera));
    gfx.SetFillMode(o.fillMode);
    gfx.BeginScene();
    pass->RenderScene(scene.get());
    // The viewer's overlay state follows the scene in every frame; the next frame starts from it.
    gfx.SetTextureFilter(2, 0);
    gfx.SetBlendMode(4, 0);
    gfx.SetFillMode(3);
    gfx.SuspendZBuffer();
    gfx.ResumeZBuffer();
    gfx.SetBlendMode(9, 0);
    gfx.SetTextureFilter(1, 0);
    gfx.EndScene();
    gfx.Present();
    const D3DXIMAGE_FILEFORMAT format = EndsWithNoCase(path, ".png") ? D3DXIFF_PNG : D3DXIFF_BMP;
    return SavePresentedFrame(gfx, path, format, error);
}

std::string Describe(const DXC_Error& e) {
    return std::string(e.name) + ": " + e.message;
}

} // namespace

int RunRender(const std::vector<std::string>& args, std::string& error) {
    RenderOptions options;
    if (!ParseRenderArguments(args, options, error)) return 2;
    PrivateLogFolder logFolder;
    logFolder.Restart();
    RenderSession session(options);
    try {
        session.StartGraphics();
    } catch (const DXC_Error& e) {
        std::fprintf(stderr, "kzvtool: no GL context for headless rendering: %s\n", Describe(e).c_str());
        return 1;
    }
    try {
        session.Load();
    } catch (const DXC_Error& e) {
        std::fprintf(stderr, "%s: failed: %s\n", options.file.c_str(), Describe(e).c_str());
        return 1;
    } catch (const ErrorMsg& e) {
        std::fprintf(stderr, "%s: failed: %s: %s\n", options.file.c_str(), e.name, e.message);
        return 1;
    }
    std::vector<float> times;
    if (options.rangeGiven)
        times = RangeTimes(options.rangeStart, options.rangeEnd, options.rangeStep);
    else
        times.push_back(options.timeGiven ? options.time : session.StartTime());
    const bool progress = times.size() > 1 && isatty(STDERR_FILENO);
    for (std::size_t n = 0; n < times.size(); ++n) {
        const std::string path =
            options.rangeGiven ? FrameFileName(options.output, static_cast<int32_t>(n)) : options.output;
        std::string reason;
        try {
            if (!session.Frame(times[n], path, reason)) {
                std::fprintf(stderr, "%s: can not write the picture: %s\n", path.c_str(), reason.c_str());
                return 1;
            }
        } catch (const DXC_Error& e) {
            std::fprintf(stderr, "%s: failed while drawing: %s\n", options.file.c_str(), Describe(e).c_str());
            return 1;
        }
        if (progress) std::fprintf(stderr, "\rkzvtool: frame %zu of %zu", n + 1, times.size());
    }
    if (progress) std::fputc('\n', stderr);
    return 0;
}
