#include "viewer/RunViewer.h"

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "foundation/Log.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "platform/ui/WindowUi.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/GfxSceneGraphics.h"
#include "render/StartupView.h"
#include "textscene/SceneLoad.h"
#include "viewer/MenuCommands.h"
#include "viewer/ViewerSettings.h"

namespace {

std::string WorkingDirectory() {
    char buffer[256] = {};
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string FileNameOf(const char* path) {
    std::string p = path;
    const size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The scene's sound file as named, else beside the scene file (scenes name it relative to
// themselves, and the viewer may be started from anywhere).
std::string SoundPath(const char* named, const char* scenePath) {
    if (FileExists(named)) return named;
    const std::string beside = JoinPath(DirectoryPart(scenePath), FileNamePart(named));
    return FileExists(beside.c_str()) ? beside : std::string(named);
}

void DefaultSleep(int32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

ViewerLoop::ViewerLoop(ViewerSettings& s, ViewerServices& svc)
    : settings(s), services(svc), gfx(*svc.gfx), keyboard(*svc.keyboard),
      sceneGraphics(std::make_unique<GfxSceneGraphics>(*svc.gfx)), pass(*svc.gfx),
      windowEvents(words, s, svc.media) {
    if (!services.sleep) services.sleep = DefaultSleep;
    loader.SetGraphics(sceneGraphics.get());
    windowEvents.menuCommand = services.menuCommand;
    if (!services.window) return;
    WindowUi& ui = services.window->Ui();
    menu = std::make_unique<MenuCommands>(*this, ui);
    if (services.window->HasMenu()) ui.SetMenu(MainMenuEntries());
    if (!windowEvents.menuCommand) windowEvents.menuCommand = [this](int32_t command) { menu->Run(command); };
    windowEvents.dropFile = [this](const char* path) { menu->OpenFile(path); };
}

ViewerLoop::~ViewerLoop() = default;

void ViewerLoop::Prepare() {
    gfx.SetLighting(settings.lighting);
    keyboard.repeatDelay = 0.3f;
    keyboard.repeatRate = 30.0f;
    gfx.SetSpecular(settings.specular);
    gfx.SetZBufferMode(settings.wBuffer ? 2 : 1);
    gfx.SetCullMode(-1);
    words.scene = &scene;
    words.reloadRequest = 1;
}

float ViewerLoop::FrameSpeed() const {
    return loader.GetFrameSpeed();
}

void ViewerLoop::WriteViewOptions() {
    scene.viewOptions = view.viewOptions;
}

void ViewerLoop::SelectMesh(int32_t index) {
    view.currentMesh = index;
    view.vertexCount = 0;
    view.hasTexCoords = 0;
    if (const DXC_MeshData* data = GetMeshData(scene.GetMeshAt(index))) {
        view.vertexCount = data->vertexCount;
        view.hasTexCoords = data->vertexFormat.texCoordSets > 0 ? 1 : 0;
    }
}

void ViewerLoop::LoadOrRecover() {
    if (loadedPath.empty()) {
        Load();
        loadedPath = settings.sceneFile;
        return;
    }
    try {
        Load();
        loadedPath = settings.sceneFile;
    } catch (const DXC_Error& e) {
        Recover("DXC Error (DirectX8)", e.name, e.message);
    } catch (const ErrorMsg& e) {
        Recover("Error", e.name, e.message);
    }
}

void ViewerLoop::Recover(const char* caption, const char* name, const char* message) {
    const std::string text = std::string(name) + ": " + message;
    LogMessage("Load failed, the last scene is loaded again: %s", text.c_str());
    std::memcpy(settings.sceneFile, loadedPath.c_str(), loadedPath.size() + 1);
    Load();
    if (services.window)
        services.window->Ui().ShowMessage(caption, text);
    else
        ShowMessageBox(caption, text.c_str());
}

// While a load runs no frame is drawn; the window shows the last frame with the banner over it.
void ViewerLoop::ShowLoadingBanner(bool shown) {
    if (!services.window) return;
    services.window->Ui().SetBanner(shown ? LoadingBanner() : "");
    if (shown) gfx.Present();
}

void ViewerLoop::Load() {
    words.startDirectory = WorkingDirectory();
    loader.SetDefaultTexturePath(gfx.GetDefaultTexturePath());
    ShowLoadingBanner(true);
    try {
        LoadScene(settings.sceneFile, &scene, -1, loader);
    } catch (...) {
        ShowLoadingBanner(false);
        throw;
    }
    ShowLoadingBanner(false);
    words.sceneName = FileNameOf(settings.sceneFile);
    if (services.window) services.window->SetTitle((words.sceneName + " - ViewKZV").c_str());

    StartupViewOptions options;
    options.mirror = settings.mirrorOff ? 0 : 1;
    options.nearPlane = settings.nearPlane;
    options.farPlane = settings.farPlane;
    options.camera = settings.firstCamera;
    options.loop = settings.loop;
    const StartupView start = ApplyStartupView(gfx, scene, freeCamera, lightTemplate, options);
    view.helperSelection = start.noMesh ? -1 : -2;
    view.lightSelection = -2;
    view.vertexSelection = -1;
    view.noMesh = start.noMesh;
    view.meshCount = scene.GetMeshCount();
    SelectMesh(0);
    view.viewOptions = start.viewOptions;
    view.centre = start.centre;
    view.radius = start.radius;
    view.navigationSpeed = start.navigationSpeed;
    view.currentCamera = start.camera;

    scene.Meshes().SetSize(scene.GetMeshCount());
    scene.Cameras().SetSize(scene.GetCameraCount());
    scene.Helpers().SetSize(scene.GetHelperCount());
    scene.Lights().SetSize(scene.GetLightCount());
    StartSound();
    pass.Prepare(scene);

    view.lastFrameTime = view.frameRateStart = lastLoadTime = Now();
    view.paused = settings.startPaused;
    view.animationTime = settings.startTime;
    words.reloadRequest = 0;
}

void ViewerLoop::StartSound() {
    const char* named = loader.GetSoundFile().Text();
    if (named && named[0]) {
        std::unique_ptr<DXC_Media>& media = *services.media;
        if (!media) media = std::make_unique<DXC_Media>(services.soundFactory);
        media->ClearList();
        media->AddSong(SoundPath(named, settings.sceneFile).c_str());
        media->SetLoop(settings.loop);
        media->Play(-1);
        media->SetRate(settings.speed);
    } else if (DXC_Media* m = Media()) {
        m->Stop();
    }
}

void ViewerLoop::Run() {
    Prepare();
    for (;;) {
        if (words.reloadRequest) LoadOrRecover();
        if (!Frame()) break;
    }
}

bool ViewerLoop::Frame() {
    double now = Now();
    view.frameDelta = now - view.lastFrameTime;
    LimitFrameRate();
    now = view.lastFrameTime + view.frameDelta;
    view.lastFrameTime = now;

    keyboard.UpdateKeyboard(0);
    AdvanceTime();
    if (!ApplyEndRule()) return false;
    scene.Update(static_cast<float>(view.animationTime), 1);
    RunKeyCommands(*this);
    if (services.inspect) services.inspect(*this);
    DrawFrame();
    CountFrameRate(now);
    PresentFrame();
    ::ApplyPauseKey(*this);
    PumpMessages();
    RequestTimedReload(now);
    if (words.quit) return false;
    WaitWhileInactive();
    return !EscapeRequested(*this);
}

// With /reload, the same request as "Open..." once the period has passed since the last load;
// the loop acts on it before the next frame.
void ViewerLoop::RequestTimedReload(double now) {
    const double period = settings.reloadSeconds;
    if (period > 0.0 && now - lastLoadTime >= period) words.reloadRequest = 1;
}

// With a maximum frame rate, the frame waits until its share of a second has passed.
void ViewerLoop::LimitFrameRate() {
    const double maximum = settings.maximumFrameRate;
    if (!(maximum > 0.0)) return;
    while (view.frameDelta * maximum < 1.0) {
        services.sleep(static_cast<int32_t>((1.0 / maximum - view.frameDelta) * 1000.0));
        view.frameDelta = Now() - view.lastFrameTime;
    }
}

void ViewerLoop::AdvanceTime() {
    if (words.menuOrSizing) {
        heldTime += view.frameDelta;
        return;
    }
    const double delta = view.frameDelta + heldTime;
    heldTime = 0.0;
    if (!view.paused) view.animationTime += settings.speed * delta;
}

// False when /close ends the viewer at the end of a non-looping animation.
bool ViewerLoop::ApplyEndRule() {
    if (!settings.loop && view.animationTime >= scene.GetLoopLength()) {
        if (settings.closeAtEnd) return false;
        view.animationTime = scene.GetLoopLength();
        view.paused = 1;
        if (DXC_Media* m = Media()) m->Stop();
    }
    if (view.animationTime < 0.0) view.animationTime = 0.0;
    return true;
}

void ViewerLoop::DrawFrame() {
    if (view.currentCamera == -1) gfx.SetViewMatrix(CameraViewMatrix(freeCamera));
    static constexpr int32_t kFillModes[3] = {3, 2, 1};
    gfx.SetFillMode(kFillModes[view.shadingMode % 3]);
    gfx.BeginScene();
    pass.RenderScene(&scene);
}

void ViewerLoop::CountFrameRate(double now) {
    ++view.frameCounter;
    const double elapsed = now - view.frameRateStart;
    if (elapsed > 1.0) {
        view.frameRate = static_cast<float>(view.frameCounter / elapsed);
        view.frameCounter = 0;
        view.frameRateStart = now;
    }
}

void ViewerLoop::PresentFrame() {
    gfx.SetTextureFilter(2, 0);
    gfx.SetBlendMode(4, 0);
    gfx.SetFillMode(3);
    gfx.SuspendZBuffer();
    if (services.overlay) services.overlay(*this);
    gfx.ResumeZBuffer();
    gfx.SetBlendMode(9, 0);
    gfx.SetTextureFilter(1, 0);
    gfx.EndScene();
    // A reset waited inside Present for the device: that time does not count, so the clock is
    // read again rather than reusing the frame's start time.
    if (!gfx.Present()) view.lastFrameTime = Now();
    ++frames;
}

// The sound's pipeline events come with the window's, on this thread.
void ViewerLoop::PumpMessages() {
    services.events->Pump(windowEvents);
    if (DXC_Media* m = Media())
        if (m->HasEvents()) m->HandleEvents();
}

void ViewerLoop::WaitWhileInactive() {
    while ((!words.notMinimised || !words.active) && !words.quit) {
        bool dispatched = services.events->WaitOne(windowEvents, 100);
        if (DXC_Media* m = Media())
            if (m->HasEvents()) {
                m->HandleEvents();
                dispatched = true;
            }
        if (dispatched) view.lastFrameTime = Now();
    }
}

void RunViewer(ViewerSettings& settings, ViewerServices& services) {
    ViewerLoop loop(settings, services);
    loop.Run();
}
