#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "ViewerTestSupport.h"
#include "render/DXC_Gfx.h"
#include "support/LogCapture.h"
#include "viewer/Input.h"
#include "viewer/Media.h"
#include "viewer/RunViewer.h"
#include "viewer/ViewerSettings.h"

// A viewer on the recording device with a hand-moved clock, scripted window events and a
// recording sound pipeline: what the viewer's loop tests share. Fixtures add their own hooks to
// the services in SetUp after this one's, and make the loop with MakeLoop.
class ViewerRigTest : public LogCaptureTest {
protected:
    void SetUp() override {
        LogCaptureTest::SetUp();
        owned = CreateRecordingGfx();
        gfx = owned.get();
        g_Gfx = gfx;
        input.Create(&events);
        input.AddKeyboard(&keyboard);
        services.gfx = gfx;
        services.keyboard = &keyboard;
        services.events = &events;
        services.clock = clock.Source();
        services.sleep = [](int32_t) {};
        services.soundFactory = sound.Factory();
        services.media = &media;
    }
    void TearDown() override {
        loop.reset();
        media.reset();
        owned.reset();
        g_Gfx = nullptr;
        LogCaptureTest::TearDown();
    }

    // The loop on the scene file with the options as the command line gives them, prepared but
    // not loaded.
    void MakeLoop(const std::string& scene, const char* options = "") {
        ReadViewerSettings(options, settings);
        std::strncpy(settings.sceneFile, scene.c_str(), sizeof settings.sceneFile - 1);
        loop = std::make_unique<ViewerLoop>(settings, services);
        loop->Prepare();
    }

    std::unique_ptr<DXC_Gfx> owned;
    DXC_Gfx* gfx = nullptr;
    FakeClock clock;
    ScriptedEvents events;
    DXC_Input input;
    DXC_InputKeybrd keyboard{clock.Source()};
    RecordingPipelineFactory sound;
    std::unique_ptr<DXC_Media> media;
    ViewerSettings settings;
    ViewerServices services;
    std::unique_ptr<ViewerLoop> loop;
};
