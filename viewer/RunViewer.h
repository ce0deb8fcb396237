#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/SystemEvents.h"
#include "render/ScenePass.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "viewer/Input.h"
#include "viewer/KeyCommands.h"
#include "viewer/Media.h"
#include "viewer/ViewState.h"
#include "viewer/WindowEvents.h"

class DXC_Gfx;
class MenuCommands;
class PlatformWindow;
class SceneGraphics;
struct ViewerSettings;
class ViewerLoop;

// What the viewer runs with: made by the start-up (or by a test). The media pointer is owned by
// the caller, which deletes the sound object after the viewer returns.
struct ViewerServices {
    DXC_Gfx* gfx = nullptr;
    DXC_InputKeybrd* keyboard = nullptr;
    SystemEvents* events = nullptr;
    PlatformWindow* window = nullptr; // null when headless
    ViewerClock clock = PerformanceClock();
    // Waits that many milliseconds (the frame limiter); tests advance their clock instead.
    std::function<void(int32_t)> sleep;
    SoundPipelineFactory soundFactory = CreateSoundPipeline;
    std::unique_ptr<DXC_Media>* media = nullptr;
    // Mouse picking and inspection data (frame step 7) and the overlay (inside the overlay
    // state bracket of step 12); InstallInspectionOverlay sets both, none draws nothing.
    std::function<void(ViewerLoop&)> inspect;
    std::function<void(ViewerLoop&)> overlay;
    // Menu commands from the window (none until the menu exists).
    std::function<void(int32_t command)> menuCommand;
};

// The viewer's main loop: loads the scene (again when asked), then draws frames until Escape,
// the window's end or, with /close, the end of a non-looping animation.
class ViewerLoop {
public:
    ViewerLoop(ViewerSettings& settings, ViewerServices& services);
    ~ViewerLoop();
    ViewerLoop(const ViewerLoop&) = delete;
    ViewerLoop& operator=(const ViewerLoop&) = delete;

    void Run();

    // The parts of a run, in order; public for the key commands and for tests.
    void Prepare();
    void Load();
    // The load at the top of a frame. Once a scene has been shown, a load that fails (a file
    // chosen with "Open..." or dropped that is no scene) is reported in the window and the
    // last scene that loaded comes back; only when that fails too does the error end the run.
    void LoadOrRecover();
    // One frame; false when the viewer is to end.
    bool Frame();

    double Now() const { return services.clock(); }
    DXC_Media* Media() const { return services.media ? services.media->get() : nullptr; }
    // The view options written back into the scene after a change.
    void WriteViewOptions();
    // The frame speed of the loaded scene (frames per second).
    float FrameSpeed() const;
    void SelectMesh(int32_t index);
    KZVLoader& Loader() { return loader; }
    // The render pass, whose point, line and mirror drawing the overlay shares.
    DXC_ScenePass& Pass() { return pass; }

    ViewerSettings& settings;
    ViewerServices& services;
    DXC_Gfx& gfx;
    DXC_InputKeybrd& keyboard;
    DXC_3dScene scene;
    DXC_Camera freeCamera;
    DXC_Light lightTemplate;
    ViewState view;
    WindowWords words;
    KeyFrameState keyFrame;
    int32_t frames = 0; // frames drawn since the run began

private:
    void AdvanceTime();
    bool ApplyEndRule();
    void LimitFrameRate();
    void DrawFrame();
    void CountFrameRate(double now);
    void PresentFrame();
    void PumpMessages();
    void WaitWhileInactive();
    void StartSound();
    void RequestTimedReload(double now);
    void ShowLoadingBanner(bool shown);
    void Recover(const char* caption, const char* name, const char* message);

    std::unique_ptr<SceneGraphics> sceneGraphics;
    KZVLoader loader;
    DXC_ScenePass pass;
    ViewerWindowEvents windowEvents;
    double lastLoadTime = 0.0; // clock reading at the end of the last load
    // Frame time that passed while a menu or dialog held the animation: the first frame after
    // it advances by all of it.
    double heldTime = 0.0;
    std::string loadedPath; // the scene file of the last load that succeeded
    std::unique_ptr<MenuCommands> menu;
};

// Runs the viewer on the settings' scene file until it ends; errors end it by exception.
void RunViewer(ViewerSettings& settings, ViewerServices& services);
