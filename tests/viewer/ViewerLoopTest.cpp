// The viewer's frame loop on the recording device, driven by a hand-moved clock and scripted
// key states: the end rule, reloads, playback keys with their sound calls, cameras, free-camera
// steering, selections, speed and frame stepping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ViewerRig.h"
#include "platform/KeyCodes.h"
#include "platform/MessageBox.h"
#include "platform/d3d8/RecordingDevice.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "support/LogCapture.h"
#include "viewer/RunViewer.h"
#include "viewer/ViewerSettings.h"

namespace {

using Lines = std::vector<std::string>;

std::string Sample(const char* name) {
    return std::string(KZV_SOURCE_DIR) + "/data/samples/" + name;
}
std::string RealScene(const char* name) {
    return std::string(KZV_SOURCE_DIR) + "/data/real/" + name;
}

class ViewerLoopTest : public ViewerRigTest {
protected:
    void SetUp() override {
        ViewerRigTest::SetUp();
        services.sleep = [this](int32_t ms) {
            sleeps.push_back(ms);
            clock.now += ms / 1000.0 + 0.0005;
        };
    }

    // Loads the scene with the options as the command line gives them.
    void Start(const std::string& scene, const char* options = "") {
        MakeLoop(scene, options);
        loop->Load();
        sound.log.clear();
    }
    // One frame dt seconds after the last; false when the viewer ends in it.
    bool Step(double dt = 0.1) {
        clock.now += dt;
        return loop->Frame();
    }
    // One frame with the keys down, then all keys up again.
    bool StepWith(std::initializer_list<uint8_t> keys, double dt = 0.1) {
        for (uint8_t k : keys) events.keyboard.Press(k);
        const bool going = Step(dt);
        events.keyboard.ReleaseAll();
        Step(0.0);
        return going;
    }
    size_t Presents() const { return AsRecordingDevice(gfx->GetDevice())->Count(DeviceCallKind::Present); }
    ViewState& View() { return loop->view; }
    DXC_Camera& Free() { return loop->freeCamera; }

    std::vector<int32_t> sleeps;
};

void ExpectNear(const D3DXVECTOR3& v, float x, float y, float z, float tolerance = 1e-4f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

// ---- the end of the animation ------------------------------------------------------------------

TEST_F(ViewerLoopTest, NonLoopingAnimationStopsExactlyAtItsLengthWithTheSound) {
    Start(Sample("showcase.kzv"));
    const double length = loop->scene.GetLoopLength();
    ASSERT_GT(length, 1.0);
    View().animationTime = length - 0.05;
    ASSERT_TRUE(Step(0.1));
    EXPECT_EQ(View().animationTime, static_cast<double>(static_cast<float>(length)));
    EXPECT_EQ(View().paused, 1);
    EXPECT_EQ(sound.log, (Lines{"Stop", "Seek 0"}));
    ASSERT_TRUE(Step(0.5));
    EXPECT_EQ(View().animationTime, static_cast<double>(static_cast<float>(length)));
}

TEST_F(ViewerLoopTest, CloseEndsInTheFrameThatReachesTheEndWithoutDrawingIt) {
    Start(RealScene("RotatingCube.kzv"), "/close /t:9.875");
    ASSERT_TRUE(Step(0.0625));
    const size_t presents = Presents();
    EXPECT_FALSE(Step(0.0625)); // reaches the length of 10 s exactly
    EXPECT_EQ(Presents(), presents);
}

TEST_F(ViewerLoopTest, LoopingAnimationRunsOnPastItsLength) {
    Start(RealScene("RotatingCube.kzv"), "/loop /close /t:9.875");
    ASSERT_TRUE(Step(0.25));
    EXPECT_EQ(View().animationTime, 10.125);
    EXPECT_EQ(View().paused, 0);
}

TEST_F(ViewerLoopTest, StartTimeBeyondTheLengthStartsPausedAtTheLength) {
    Start(RealScene("RotatingCube.kzv"), "/t:25");
    ASSERT_TRUE(Step(0.1));
    EXPECT_EQ(View().animationTime, 10.0);
    EXPECT_EQ(View().paused, 1);
    Start(RealScene("RotatingCube.kzv"), "/t:-3");
    ASSERT_TRUE(Step(0.1));
    EXPECT_EQ(View().animationTime, 0.0); // a negative time becomes 0
}

// ---- reloads and waiting --------------------------------------------------------------------

TEST_F(ViewerLoopTest, ReloadResetsViewAndSelectionsButKeepsSpeedShadingAndSwitches) {
    Start(Sample("showcase.kzv"), "/t:0.5");
    StepWith({DIK_MULTIPLY});
    StepWith({DIK_S});
    StepWith({DIK_C});
    StepWith({DIK_M});
    StepWith({DIK_T});
    StepWith({DIK_UP});
    StepWith({DIK_PAUSE});
    const float speed = settings.speed;
    ASSERT_NE(speed, 1.0f);
    ASSERT_EQ(View().currentCamera, -1);
    sound.log.clear();
    loop->Load();
    EXPECT_EQ(settings.speed, speed);
    EXPECT_EQ(View().shadingMode, 1);
    EXPECT_EQ(View().showTime, 1);
    EXPECT_EQ(View().currentCamera, 0);
    EXPECT_EQ(loop->scene.GetCurrentCamera(), 0);
    EXPECT_EQ(View().currentMesh, 0);
    EXPECT_EQ(View().vertexSelection, -1);
    EXPECT_EQ(View().paused, 0);
    EXPECT_EQ(View().animationTime, 0.5);
    ExpectNear(Free().direction, 0, 1, 0);
    // The sound object survives and starts its file again from the beginning.
    EXPECT_EQ(sound.log.front(), "Open " + Sample("tone.wav"));
}

TEST_F(ViewerLoopTest, ReloadOptionRequestsALoadOncePerPeriodCountedFromTheLastLoad) {
    Start(Sample("showcase.kzv"), "/loop /reload:2");
    ASSERT_TRUE(Step(1.5));
    EXPECT_EQ(loop->words.reloadRequest, 0);
    ASSERT_TRUE(Step(0.6));
    EXPECT_EQ(loop->words.reloadRequest, 1);
    loop->Load(); // what the run loop does with the request
    EXPECT_EQ(loop->words.reloadRequest, 0);
    EXPECT_EQ(View().animationTime, 0.0);
    ASSERT_TRUE(Step(1.5)); // the period starts again at the load, not at the last request
    EXPECT_EQ(loop->words.reloadRequest, 0);
}

TEST_F(ViewerLoopTest, WithoutTheReloadOptionNoLoadIsEverRequested) {
    for (const char* options : {"/loop", "/loop /reload:0", "/loop /reload:-1"}) {
        Start(Sample("showcase.kzv"), options);
        ASSERT_TRUE(Step(1000.0));
        EXPECT_EQ(loop->words.reloadRequest, 0) << options;
    }
}

TEST_F(ViewerLoopTest, MinimisedWindowDrawsNothingAndTheLostTimeIsNotCounted) {
    Start(RealScene("RotatingCube.kzv"));
    ASSERT_TRUE(Step(0.1));
    const double before = View().animationTime;
    const size_t presents = Presents();
    events.queue.push_back([](WindowEventSink& s) { s.OnMinimised(true); });
    int waited = 0;
    events.onWait = [&] {
        clock.now += 5.0;
        if (++waited == 3) events.queue.push_back([](WindowEventSink& s) { s.OnMinimised(false); });
    };
    ASSERT_TRUE(Step(0.1)); // minimised in this frame's pump, restored three waits later
    EXPECT_EQ(Presents(), presents + 1);
    ASSERT_TRUE(Step(0.1));
    EXPECT_NEAR(View().animationTime, before + 0.2, 1e-9);
}

TEST_F(ViewerLoopTest, TimeLostWhileTheDeviceIsResetIsNotCounted) {
    Start(RealScene("RotatingCube.kzv"));
    ASSERT_TRUE(Step(0.1));
    services.clock = [this] { return clock.now += 1.0; }; // every read finds a second gone
    AsRecordingDevice(gfx->GetDevice())->MarkLost(2);
    ASSERT_TRUE(Step(0.0));
    const double afterReset = View().lastFrameTime;
    services.clock = clock.Source();
    EXPECT_EQ(afterReset, clock.now); // read after the reset, not the frame's start
}

TEST_F(ViewerLoopTest, LeavingTheWindowPausesTheSoundAndComingBackPlaysItEvenWhenPaused) {
    Start(Sample("showcase.kzv"), "/stop");
    events.queue.push_back([](WindowEventSink& s) { s.OnActivate(false); });
    events.onWait = [this] { events.queue.push_back([](WindowEventSink& s) { s.OnActivate(true); }); };
    ASSERT_TRUE(Step());
    EXPECT_EQ(sound.log, (Lines{"Pause", "Run"}));
    EXPECT_EQ(View().paused, 1);
}

// As when the system's modal move loop blocks the frames: the time passes, and the first frame
// after the move advances by all of it.
TEST_F(ViewerLoopTest, FramesDuringAMoveOrResizeHoldTheAnimationAndTheNextCatchesUp) {
    Start(RealScene("RotatingCube.kzv"));
    events.queue.push_back([](WindowEventSink& s) { s.OnSizeMove(true); });
    ASSERT_TRUE(Step(0.1));
    const double at = View().animationTime;
    ASSERT_TRUE(Step(0.1));
    EXPECT_EQ(View().animationTime, at);
    events.queue.push_back([](WindowEventSink& s) { s.OnSizeMove(false); });
    ASSERT_TRUE(Step(0.1));
    EXPECT_EQ(View().animationTime, at);
    ASSERT_TRUE(Step(0.1));
    EXPECT_NEAR(View().animationTime, at + 0.3, 1e-9);
}

TEST_F(ViewerLoopTest, ClosingTheWindowEndsTheLoop) {
    Start(RealScene("RotatingCube.kzv"), "/nokey");
    events.queue.push_back([](WindowEventSink& s) { s.OnDestroy(); });
    EXPECT_FALSE(Step());
}

TEST_F(ViewerLoopTest, MaximumFrameRateWaitsOutTheRestOfTheFrame) {
    Start(RealScene("RotatingCube.kzv"), "/maxfps:10");
    ASSERT_TRUE(Step(0.02));
    ASSERT_FALSE(sleeps.empty());
    EXPECT_EQ(sleeps.front(), 80);
    EXPECT_GE(View().frameDelta, 0.1);
}

// ---- keys -----------------------------------------------------------------------------------

TEST_F(ViewerLoopTest, EscapeEndsUnlessKeysAreOffAndEscOnlyLocksEverythingElse) {
    Start(RealScene("RotatingCube.kzv"), "/nokey");
    EXPECT_TRUE(StepWith({DIK_ESCAPE}));
    Start(RealScene("RotatingCube.kzv"), "/esc");
    EXPECT_TRUE(StepWith({DIK_S}));
    EXPECT_EQ(View().shadingMode, 0);
    EXPECT_FALSE(StepWith({DIK_ESCAPE}));
}

TEST_F(ViewerLoopTest, PauseKeyAndSpaceDriveTheSound) {
    Start(Sample("showcase.kzv"), "/t:1");
    StepWith({DIK_PAUSE});
    EXPECT_EQ(View().paused, 1);
    StepWith({DIK_PAUSE});
    EXPECT_EQ(View().paused, 0);
    EXPECT_EQ(sound.log, (Lines{"Pause", "Run"}));
    sound.log.clear();
    StepWith({DIK_SPACE});
    EXPECT_NEAR(View().animationTime, 1.0, 1e-9); // the rewind, plus the release frame's 0 s
    EXPECT_EQ(sound.log, (Lines{"Stop", "Seek 0"}));
}

TEST_F(ViewerLoopTest, SpeedKeysScaleByOnePlusDtAndNeverReachZero) {
    Start(Sample("showcase.kzv"), "/stop");
    StepWith({DIK_MULTIPLY}, 0.25);
    EXPECT_FLOAT_EQ(settings.speed, 1.25f);
    StepWith({DIK_DIVIDE}, 0.25);
    EXPECT_FLOAT_EQ(settings.speed, 1.0f);
    EXPECT_EQ(sound.log, (Lines{"Rate 1.25", "Rate 1"}));
    settings.speed = 1e-37f;
    for (int i = 0; i < 20; ++i) StepWith({DIK_DIVIDE}, 1000.0);
    EXPECT_GT(settings.speed, 0.0f);
}

TEST_F(ViewerLoopTest, PlusPlaysAtDoubleSpeedAndMinusStandsStill) {
    Start(Sample("showcase.kzv"));
    events.keyboard.Press(DIK_ADD);
    Step(0.1);
    EXPECT_NEAR(View().animationTime, 0.2, 1e-9);
    EXPECT_EQ(sound.log, (Lines{"Seek 0.2"}));
    events.keyboard.ReleaseAll();
    events.keyboard.Press(DIK_SUBTRACT);
    Step(0.1);
    EXPECT_NEAR(View().animationTime, 0.2, 1e-9);
}

TEST_F(ViewerLoopTest, CommaAndPeriodStepOneFramePausedWithTheSound) {
    Start(Sample("showcase.kzv"), "/t:1");
    StepWith({DIK_PERIOD}, 0.0);
    EXPECT_EQ(View().paused, 1);
    EXPECT_NEAR(View().animationTime, 1.0 + 1.0 / 30, 1e-9);
    StepWith({DIK_COMMA}, 0.0);
    StepWith({DIK_COMMA}, 0.0);
    EXPECT_NEAR(View().animationTime, 1.0 - 1.0 / 30, 1e-9);
    EXPECT_EQ(sound.log.front(), "Pause");
    EXPECT_EQ(sound.log.back(), "Seek " + RecordingPipeline::Number(1.0 - 1.0 / 30));
}

TEST_F(ViewerLoopTest, CameraKeyCyclesThroughSceneCamerasBackToTheFreeOne) {
    Start(Sample("showcase.kzv"));
    ASSERT_EQ(loop->scene.GetCameraCount(), 1);
    EXPECT_EQ(View().currentCamera, 0);
    StepWith({DIK_C});
    EXPECT_EQ(View().currentCamera, -1);
    EXPECT_EQ(loop->scene.GetCurrentCamera(), -1);
    StepWith({DIK_C});
    EXPECT_EQ(View().currentCamera, 0);
    Start(RealScene("RotatingCube.kzv"));
    StepWith({DIK_C});
    EXPECT_EQ(View().currentCamera, -1);
}

TEST_F(ViewerLoopTest, ShadingKeyCyclesTheDeviceFillMode) {
    Start(RealScene("RotatingCube.kzv"));
    RecordingDevice& device = *AsRecordingDevice(gfx->GetDevice());
    const char* expected[] = {"D3DRS_FILLMODE, 2", "D3DRS_FILLMODE, 1", "D3DRS_FILLMODE, 3"};
    for (const char* fill : expected) {
        events.keyboard.Press(DIK_S);
        device.ClearCalls();
        Step();
        events.keyboard.ReleaseAll();
        bool found = false;
        for (const DeviceCall& c : device.Calls()) found |= device.Text(c).find(fill) != std::string::npos;
        EXPECT_TRUE(found) << fill;
        Step(0.0);
    }
}

TEST_F(ViewerLoopTest, HelperAndLightKeysRunThroughNoneAllAndEachOne) {
    Start(Sample("showcase.kzv"));
    ASSERT_EQ(loop->scene.GetHelperCount(), 3);
    std::vector<int32_t> seen;
    for (int i = 0; i < 5; ++i) {
        StepWith({DIK_H});
        seen.push_back(View().helperSelection);
        EXPECT_EQ(loop->scene.viewOptions.selectedHelper, View().helperSelection);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{-1, 0, 1, 2, -2}));
    StepWith({DIK_LSHIFT, DIK_H});
    EXPECT_EQ(View().helperSelection, 2);
    StepWith({DIK_LSHIFT, DIK_L});
    EXPECT_EQ(View().lightSelection, loop->scene.GetLightCount() - 1);
    EXPECT_EQ(loop->scene.viewOptions.selectedLight, View().lightSelection);
    StepWith({DIK_L});
    EXPECT_EQ(View().lightSelection, -2);
}

TEST_F(ViewerLoopTest, MeshAndVertexKeysWithAndWithoutShift) {
    Start(Sample("showcase.kzv"));
    const int32_t meshes = loop->scene.GetMeshCount();
    ASSERT_EQ(meshes, 5);
    StepWith({DIK_M});
    EXPECT_EQ(View().currentMesh, 1);
    EXPECT_EQ(View().vertexSelection, 0);
    StepWith({DIK_RSHIFT, DIK_M});
    StepWith({DIK_RSHIFT, DIK_M});
    EXPECT_EQ(View().currentMesh, meshes - 1);
    const int32_t count = View().vertexCount;
    ASSERT_GT(count, 2);
    StepWith({DIK_LSHIFT, DIK_V});
    EXPECT_EQ(View().vertexSelection, -1);
    StepWith({DIK_LSHIFT, DIK_V});
    EXPECT_EQ(View().vertexSelection, count - 1);
    StepWith({DIK_V});
    EXPECT_EQ(View().vertexSelection, 0); // forward stepping wraps to 0, never to -1
    // Held: each frame advances by the repeats that fell due.
    events.keyboard.Press(DIK_V);
    Step(0.1);
    Step(0.3 + 3.0 / 30); // the press and repeats 1 to 3
    EXPECT_EQ(View().vertexSelection, (1 + 3) % count);
}

TEST_F(ViewerLoopTest, MirrorAndLinkKeysWriteTheViewOptionsIntoTheScene) {
    Start(RealScene("RotatingCube.kzv"));
    EXPECT_EQ(loop->scene.viewOptions.mirror, 1);
    StepWith({DIK_X});
    EXPECT_EQ(loop->scene.viewOptions.mirror, 0);
    StepWith({DIK_P});
    EXPECT_EQ(loop->scene.viewOptions.showLinks, 1);
}

// Ctrl + E writes into the working directory, also with the keys locked; E alone does nothing.
TEST_F(ViewerLoopTest, CtrlEWritesTheCurrentMeshsDataFilesEvenWithKeysOffAndSaysSo) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::vector<std::string> boxes;
    SetMessageBoxPresenter([&](const char* caption, const char* text) {
        boxes.push_back(std::string(caption) + ": " + text);
        return true;
    });
    Start(Sample("showcase.kzv"), "/nokey");
    StepWith({DIK_E});
    EXPECT_FALSE(std::filesystem::exists("FaceData.txt"));
    StepWith({DIK_M});
    StepWith({DIK_RCONTROL, DIK_E});
    SetMessageBoxPresenter(nullptr);
    std::filesystem::current_path(before);

    EXPECT_EQ(boxes, Lines{"Info: Mesh data saved to files 'VertexData.txt' and 'FaceData.txt'"});
    // /nokey kept M from choosing the next mesh: the files are mesh 0's, a line per face and vertex.
    const DXC_MeshData* data = GetMeshData(loop->scene.GetMeshAt(0));
    ASSERT_NE(data, nullptr);
    const auto lines = [&](const char* name) {
        std::ifstream in(dir / name, std::ios::binary);
        return static_cast<int32_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
    };
    EXPECT_EQ(lines("FaceData.txt"), data->faceCount);
    EXPECT_EQ(lines("VertexData.txt"), data->vertexCount);
}

// ---- free camera ------------------------------------------------------------------------------

class FreeCameraTest : public ViewerLoopTest {
protected:
    void SetUp() override {
        ViewerLoopTest::SetUp();
        Start(RealScene("RotatingCube.kzv"), "/stop");
        c = View().centre;
        r = View().radius;
        v = View().navigationSpeed;
        ASSERT_FLOAT_EQ(v, 2 * r);
        ExpectNear(Free().position, c.x, c.y - 2.8f * r, c.z, 1e-3f);
    }
    void Hold(std::initializer_list<uint8_t> keys) {
        for (uint8_t k : keys) events.keyboard.Press(k);
        Step(0.1);
    }
    D3DXVECTOR3 c;
    float r = 0, v = 0;
    const float a = 0.2f; // 2 dt
};

TEST_F(FreeCameraTest, ArrowsMoveAndTurnThePlainCamera) {
    Hold({DIK_UP});
    ExpectNear(Free().position, c.x, c.y - 2.8f * r + 0.1f * v, c.z, 1e-3f);
    events.keyboard.ReleaseAll();
    Hold({DIK_LEFT}); // counter-clockwise seen from above: towards -X
    ExpectNear(Free().direction, -std::sin(a), std::cos(a), 0);
    events.keyboard.ReleaseAll();
    Hold({DIK_RIGHT});
    ExpectNear(Free().direction, 0, 1, 0);
    events.keyboard.ReleaseAll();
    Hold({DIK_PRIOR});
    ExpectNear(Free().direction, 0, std::cos(a), std::sin(a));
    ExpectNear(Free().up, 0, -std::sin(a), std::cos(a));
}

TEST_F(FreeCameraTest, ShiftStrafesAlongRightAndUp) {
    Hold({DIK_LSHIFT, DIK_LEFT, DIK_PRIOR});
    ExpectNear(Free().position, c.x - 0.05f * v, c.y - 2.8f * r, c.z + 0.05f * v, 1e-3f);
    ExpectNear(Free().direction, 0, 1, 0); // no turning with Shift
}

TEST_F(FreeCameraTest, CtrlOrbitsTheSceneCentreKeepingItInView) {
    Hold({DIK_LCONTROL, DIK_LEFT});
    const float d = 2.8f * r;
    ExpectNear(Free().position, c.x + d * std::sin(a), c.y - d * std::cos(a), c.z, 1e-3f);
    ExpectNear(Free().direction, -std::sin(a), std::cos(a), 0);
    events.keyboard.ReleaseAll();
    Hold({DIK_RCONTROL, DIK_RIGHT});
    ExpectNear(Free().position, c.x, c.y - d, c.z, 1e-3f);
    events.keyboard.ReleaseAll();
    Hold({DIK_LCONTROL, DIK_UP}); // about the right vector (+X): the camera rises behind
    ExpectNear(Free().position, c.x, c.y - d * std::cos(a), c.z - d * std::sin(a), 1e-3f);
    ExpectNear(Free().direction, 0, std::cos(a), std::sin(a));
}

TEST_F(FreeCameraTest, NavigationMovesTheFreeCameraWhileASceneCameraIsShown) {
    View().currentCamera = 0; // as if a scene camera were selected
    Hold({DIK_DOWN});
    ExpectNear(Free().position, c.x, c.y - 2.8f * r - 0.1f * v, c.z, 1e-3f);
}

} // namespace
