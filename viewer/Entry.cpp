#include "viewer/Entry.h"

#include "foundation/Log.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/SystemEvents.h"
#include "platform/SystemInfo.h"
#include "platform/Window.h"
#include "render/DXC_Font.h"
#include "render/DXC_Gfx.h"
#include "viewer/CommandLine.h"
#include "viewer/ErrorTrap.h"
#include "viewer/Input.h"
#include "viewer/InspectionOverlay.h"
#include "viewer/Media.h"
#include "viewer/RunViewer.h"
#include "viewer/Usage.h"
#include "viewer/ViewerSettings.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

bool WantsHelp(const char* cmd) {
    return HasOption(cmd, "/?") || HasOption(cmd, "/H") || HasOption(cmd, "/HELP");
}

std::string FirstLine(const char* text) {
    const char* end = std::strchr(text, '\n');
    return end ? std::string(text, end - text) : std::string(text);
}

bool FileOpens(const char* path) {
    FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// Reads the default texture folder from the settings store. A key that does not exist is
// not worth a word; a value that cannot be read is logged and the program goes on.
void ReadDefaultTexturePath(ViewerSettings& settings) {
    RegistryKey key;
    if (!key.Open("Software\\Halvorn\\KZVView")) return;
    std::string value;
    int code = key.QueryValue("DefaultTexturePath", value, sizeof settings.defaultTexturePath);
    if (code != 0) {
        LogMessage("RegQueryValueEx returned error: %s", SystemErrorText(code).c_str());
        return;
    }
    std::memcpy(settings.defaultTexturePath, value.c_str(), value.size() + 1);
}

// The main window as the options ask for it: windowed with or without sizing, or full screen
// on display /scr.
WindowOptions MainWindowOptions(const ViewerSettings& settings) {
    WindowOptions options;
    options.title = settings.windowTitle;
    options.width = settings.width;
    options.height = settings.height;
    options.fullScreen = !settings.windowed;
    options.display = settings.adapter;
    options.resizable = !settings.noResize;
    options.menu = settings.windowed && !settings.noMenu;
    return options;
}

// Creates the main window and stores its client size; headless (asked for, or no display)
// makes none. False when the window cannot be made.
bool CreateMainWindow(ViewerSettings& settings, std::unique_ptr<PlatformWindow>& window) {
    if (!settings.headless && !DisplayAvailable()) {
        settings.headless = 1;
        LogMessage("No display available: drawing off-screen at %ix%i", settings.width, settings.height);
    }
    if (settings.headless) return true;
    window = PlatformWindow::Create(MainWindowOptions(settings), nullptr);
    if (!window) return false;
    window->GetClientSize(&settings.clientWidth, &settings.clientHeight);
    window->ShowMessageBoxes();
    return true;
}

GraphicsOptions GraphicsOptionsFrom(const ViewerSettings& settings) {
    GraphicsOptions options;
    options.windowed = settings.windowed;
    options.width = settings.width;
    options.height = settings.height;
    options.refreshRate = settings.refreshRate;
    options.bitsPerPixel = settings.bitsPerPixel;
    options.adapter = settings.adapter;
    options.vsync = settings.vsync;
    options.hardwareVertexProcessing = settings.hardwareVertexProcessing;
    options.referenceRasteriser = settings.referenceRasteriser;
    options.hardwareSkinning = settings.hardwareSkinning;
    return options;
}

// The engine objects besides the graphics object, made by the start-up and deleted by
// ShutdownEngine.
struct EngineObjects {
    std::unique_ptr<SystemEvents> events;
    std::unique_ptr<DXC_Input> input;
    std::unique_ptr<DXC_InputKeybrd> keyboard;
    std::unique_ptr<DXC_Media> media;
};

// Deletes the engine objects in the order sound, keyboard, font, input, graphics, each when it
// exists.
void ShutdownEngine(EngineObjects& engine) {
    engine.media.reset();
    engine.keyboard.reset();
    if (g_Gfx) g_Gfx->AdoptFont(nullptr);
    engine.input.reset();
    ShutdownGraphics();
    engine.events.reset();
}

// Full screen: the display takes the mode the graphics object chose for the device.
void ApplyFullScreenMode(PlatformWindow* window) {
    if (!window || g_Gfx->IsWindowed()) return;
    const D3DDISPLAYMODE& mode = g_Gfx->GetDisplayMode();
    const int bits = mode.Format == D3DFMT_A8R8G8B8 || mode.Format == D3DFMT_X8R8G8B8 ? 32 : 16;
    std::string description;
    if (window->ApplyDisplayMode(static_cast<int>(mode.Width), static_cast<int>(mode.Height),
                                 static_cast<int>(mode.RefreshRate), bits, &description))
        LogMessage("Display mode set: %s", description.c_str());
    else
        g_Gfx->Warning("Display mode %ux%u could not be set: %s", mode.Width, mode.Height,
                       description.c_str());
}

int RunEngine(ViewerSettings& settings, PlatformWindow* window, EngineObjects& engine) {
    InitGraphics(window ? window->Handle() : nullptr, GraphicsOptionsFrom(settings));
    ApplyFullScreenMode(window);
    engine.events = CreateSystemEvents(window ? window->Handle() : nullptr);
    engine.input = std::make_unique<DXC_Input>();
    engine.input->Create(engine.events.get());
    engine.keyboard = std::make_unique<DXC_InputKeybrd>();
    engine.input->AddKeyboard(engine.keyboard.get(), 6);
    ReadDefaultTexturePath(settings);
    if (settings.defaultTexturePath[0]) g_Gfx->SetDefaultTexturePath(settings.defaultTexturePath);

    ViewerServices services;
    services.gfx = g_Gfx;
    services.keyboard = engine.keyboard.get();
    services.events = engine.events.get();
    services.window = window;
    services.media = &engine.media;
    InspectionOverlay overlay;
    InstallInspectionOverlay(services, overlay);
    RunViewer(settings, services);
    ShutdownEngine(engine);
    return 1;
}

} // namespace

int ViewerMain(const std::vector<std::string>& args) {
    ViewerSettings& settings = g_ViewerSettings;
    SplitArguments split = SplitProgramArguments(args);
    const char* cmd = split.commandLine.c_str();

    if (WantsHelp(cmd)) {
        ShowMessageBox(kStartupCaption, kUsageText);
        return 1;
    }

    bool printSettings = HasOption(cmd, "/settings");
    if (split.scenePath.size() > 255) {
        std::string text = "Scene file path is longer than 255 bytes: '" + split.scenePath + "'";
        ShowMessageBox(kStartupCaption, text.c_str());
        return 0;
    }
    if (!split.hasScenePath && !printSettings) {
        // The open-file dialog comes with the window layer.
        std::fprintf(stderr, "%s\nno scene file given\n", FirstLine(kUsageText).c_str());
        return 3;
    }
    std::memcpy(settings.sceneFile, split.scenePath.c_str(), split.scenePath.size() + 1);

    ReadViewerSettings(cmd, settings);
    if (printSettings) {
        PrintViewerSettings(stdout, settings);
        return 1;
    }

    if (!FileOpens(settings.sceneFile)) {
        std::string text = "Can not open file '" + std::string(settings.sceneFile) + "'";
        ShowMessageBox(kStartupCaption, text.c_str());
        return 0;
    }

    std::unique_ptr<PlatformWindow> window;
    if (!CreateMainWindow(settings, window)) return 0;

    EngineObjects engine;
    const int code = RunInErrorTrap([&] { return RunEngine(settings, window.get(), engine); },
                                    [&] {
                                        ShutdownEngine(engine);
                                        if (window) window->RestoreDesktopMode(); // before the message box
                                    });
    ShutdownEngine(engine);
    return code;
}
