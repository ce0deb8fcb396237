#include "viewer/KeyCommands.h"

#include <cmath>
#include <limits>

#include "foundation/Log.h"
#include "platform/KeyCodes.h"
#include "platform/MessageBox.h"
#include "render/DXC_Gfx.h"
#include "viewer/FreeCamera.h"
#include "viewer/MeshDataFiles.h"
#include "viewer/RunViewer.h"
#include "viewer/ViewerSettings.h"

namespace {

float Dt(const ViewerLoop& l) {
    return static_cast<float>(l.view.frameDelta);
}

void SoundPosition(ViewerLoop& l) {
    if (DXC_Media* m = l.Media()) m->SetPosition(l.view.animationTime);
}

void SoundRate(ViewerLoop& l) {
    if (DXC_Media* m = l.Media()) m->SetRate(l.settings.speed);
}

// ---- playback ------------------------------------------------------------------------------

void TimeForward(ViewerLoop& l, int32_t) {
    l.view.animationTime += l.settings.speed * l.view.frameDelta;
    SoundPosition(l);
}

void TimeBack(ViewerLoop& l, int32_t) {
    l.view.animationTime -= l.settings.speed * l.view.frameDelta;
    SoundPosition(l);
}

// A speed change that would reach 0 or leave the float range keeps the old speed.
void SetSpeed(ViewerLoop& l, double speed) {
    if (std::isfinite(speed) && std::fabs(speed) >= std::numeric_limits<float>::min() &&
        std::fabs(speed) <= std::numeric_limits<float>::max())
        l.settings.speed = static_cast<float>(speed);
    SoundRate(l);
}

void Faster(ViewerLoop& l, int32_t) {
    SetSpeed(l, static_cast<double>(l.settings.speed) * (1.0 + l.view.frameDelta));
}

void Slower(ViewerLoop& l, int32_t) {
    SetSpeed(l, static_cast<double>(l.settings.speed) / (1.0 + l.view.frameDelta));
}

void ToggleLoop(ViewerLoop& l, int32_t) {
    l.settings.loop = l.settings.loop ? 0 : 1;
    l.scene.SetLoop(l.settings.loop);
    DXC_Media* m = l.Media();
    if (l.settings.loop) {
        l.view.paused = 0;
        if (m) m->Play(-1);
    }
    if (m) m->SetLoop(l.settings.loop);
}

void Rewind(ViewerLoop& l, int32_t) {
    l.view.animationTime = l.settings.startTime;
    if (DXC_Media* m = l.Media()) m->Stop();
}

// One frame of the scene back or forward; playback pauses first.
void StepFrame(ViewerLoop& l, double frames) {
    const float speed = l.FrameSpeed();
    if (!(speed > 0.0f)) return;
    if (!l.view.paused) {
        l.view.paused = 1;
        if (DXC_Media* m = l.Media()) m->Pause();
    }
    l.view.animationTime += frames / speed;
    if (l.view.animationTime < 0.0) l.view.animationTime = 0.0;
    SoundPosition(l);
}

void FrameBack(ViewerLoop& l, int32_t) {
    StepFrame(l, -1.0);
}

void FrameForward(ViewerLoop& l, int32_t) {
    StepFrame(l, 1.0);
}

void RequestPause(ViewerLoop& l, int32_t) {
    l.view.pauseKeyPressed = 1;
}

// ---- display switches ------------------------------------------------------------------------

void ToggleFrameRate(ViewerLoop& l, int32_t) {
    l.settings.showFrameRate = l.settings.showFrameRate ? 0 : 1;
}

void ToggleLighting(ViewerLoop& l, int32_t) {
    l.settings.lighting = l.settings.lighting ? 0 : 1;
    l.gfx.SetLighting(l.settings.lighting);
}

void ToggleTime(ViewerLoop& l, int32_t) {
    l.view.showTime = l.view.showTime ? 0 : 1;
}

void NextShading(ViewerLoop& l, int32_t) {
    l.view.shadingMode = (l.view.shadingMode + 1) % 3;
}

void ToggleLinks(ViewerLoop& l, int32_t) {
    l.view.viewOptions.showLinks = l.view.viewOptions.showLinks ? 0 : 1;
    l.WriteViewOptions();
}

void ToggleMirror(ViewerLoop& l, int32_t) {
    l.view.viewOptions.mirror = l.view.viewOptions.mirror ? 0 : 1;
    l.WriteViewOptions();
}

void ToggleAxis(ViewerLoop& l, int32_t) {
    l.view.showAxis = l.view.showAxis ? 0 : 1;
}

void ScreenShot(ViewerLoop& l, int32_t) {
    l.gfx.ScreenShot("ScreenShot");
}

void MeshDataFiles(ViewerLoop& l, int32_t) {
    if (l.view.noMesh || l.view.currentMesh >= l.scene.GetMeshCount()) return;
    switch (WriteMeshDataFiles(l.scene.GetMeshAt(l.view.currentMesh))) {
    case MeshDataFilesResult::Written:
        ShowMessageBox("Info", "Mesh data saved to files 'VertexData.txt' and 'FaceData.txt'");
        break;
    case MeshDataFilesResult::NotCreated:
        LogMessage("Mesh data files could not be created in the working directory");
        break;
    case MeshDataFilesResult::NoGeometry:
        break;
    }
}

// ---- cameras -------------------------------------------------------------------------------

void NextCamera(ViewerLoop& l, int32_t) {
    int32_t camera = l.view.currentCamera + 1;
    if (camera >= l.scene.GetCameraCount()) camera = -1;
    l.view.currentCamera = camera;
    l.scene.SetCamera(camera);
}

float Step(const ViewerLoop& l) {
    return l.view.navigationSpeed * Dt(l) * 0.5f;
}

void StrafeLeft(ViewerLoop& l, int32_t) {
    MoveBy(l.freeCamera, -RightOf(l.freeCamera) * Step(l));
}

void StrafeRight(ViewerLoop& l, int32_t) {
    MoveBy(l.freeCamera, RightOf(l.freeCamera) * Step(l));
}

void MoveDown(ViewerLoop& l, int32_t) {
    MoveBy(l.freeCamera, -l.freeCamera.up * Step(l));
}

void MoveUp(ViewerLoop& l, int32_t) {
    MoveBy(l.freeCamera, l.freeCamera.up * Step(l));
}

void TurnLeft(ViewerLoop& l, int32_t) {
    Turn(l.freeCamera, 2.0f * Dt(l));
}

void TurnRight(ViewerLoop& l, int32_t) {
    Turn(l.freeCamera, -2.0f * Dt(l));
}

void LookUp(ViewerLoop& l, int32_t) {
    l.freeCamera.Pitch(2.0f * Dt(l));
}

void LookDown(ViewerLoop& l, int32_t) {
    l.freeCamera.Pitch(-2.0f * Dt(l));
}

void Forward(ViewerLoop& l, int32_t) {
    MoveBy(l.freeCamera, l.freeCamera.direction * (Dt(l) * l.view.navigationSpeed));
}

void Backward(ViewerLoop& l, int32_t) {
    MoveBy(l.freeCamera, -l.freeCamera.direction * (Dt(l) * l.view.navigationSpeed));
}

KeyFrameState& Orbit(ViewerLoop& l) {
    KeyFrameState& k = l.keyFrame;
    if (!k.orbiting) {
        k.orbiting = true;
        k.orbit = l.freeCamera.position - l.view.centre;
        k.right = RightOf(l.freeCamera);
    }
    return k;
}

// About the world's Z axis: counter-clockwise seen from above for a positive angle.
void OrbitAboutZ(ViewerLoop& l, float angle) {
    KeyFrameState& k = Orbit(l);
    const float a = -angle, c = std::cos(a), s = std::sin(a);
    const D3DXVECTOR3 o = k.orbit;
    k.orbit = D3DXVECTOR3(o.x * c + o.y * s, o.y * c - o.x * s, o.z);
    RotateAbout(l.freeCamera, D3DXVECTOR3(0.0f, 0.0f, 1.0f), angle);
}

void OrbitAboutRight(ViewerLoop& l, float angle) {
    KeyFrameState& k = Orbit(l);
    k.orbit = Rotated(k.orbit, k.right, angle);
    RotateAbout(l.freeCamera, k.right, angle);
}

void OrbitLeft(ViewerLoop& l, int32_t) {
    OrbitAboutZ(l, 2.0f * Dt(l));
}

void OrbitRight(ViewerLoop& l, int32_t) {
    OrbitAboutZ(l, -2.0f * Dt(l));
}

void OrbitUp(ViewerLoop& l, int32_t) {
    OrbitAboutRight(l, 2.0f * Dt(l));
}

void OrbitDown(ViewerLoop& l, int32_t) {
    OrbitAboutRight(l, -2.0f * Dt(l));
}

// ---- selections ----------------------------------------------------------------------------

bool ShiftHeld(ViewerLoop& l) {
    return l.keyboard.IsKeyDown(DIK_LSHIFT) || l.keyboard.IsKeyDown(DIK_RSHIFT);
}

void CountVertexPresses(ViewerLoop& l, int32_t presses) {
    if (!l.view.noMesh) l.keyFrame.vertexPresses = presses;
}

void NextMesh(ViewerLoop& l, int32_t) {
    if (l.view.noMesh) return;
    const int32_t count = l.scene.GetMeshCount();
    l.SelectMesh(ShiftHeld(l) ? (l.view.currentMesh + count - 1) % count : (l.view.currentMesh + 1) % count);
    l.view.vertexSelection = 0;
}

int32_t Wrap(int64_t value, int64_t modulus) {
    const int64_t r = value % modulus;
    return static_cast<int32_t>(r < 0 ? r + modulus : r);
}

void StepVertex(ViewerLoop& l, int32_t) {
    const int32_t n = l.keyFrame.vertexPresses;
    if (n <= 0 || l.view.noMesh) return;
    const int32_t count = l.view.vertexCount;
    if (count <= 0) {
        l.view.vertexSelection = -1;
        return;
    }
    if (ShiftHeld(l)) // the ring -1, 0, ..., count - 1, walked backwards
        l.view.vertexSelection = Wrap(int64_t{l.view.vertexSelection} + 1 - n, int64_t{count} + 1) - 1;
    else
        l.view.vertexSelection = Wrap(int64_t{l.view.vertexSelection} + n, count);
}

// -2 none, -1 all, 0 .. count - 1 one: the ring the helper and light keys run through.
int32_t CycleSelection(int32_t selection, int32_t count, bool backwards) {
    selection += backwards ? -1 : 1;
    if (selection >= count) selection = -2;
    if (selection <= -3) selection = count - 1;
    return selection;
}

void NextHelper(ViewerLoop& l, int32_t) {
    l.view.helperSelection = CycleSelection(l.view.helperSelection, l.scene.GetHelperCount(), ShiftHeld(l));
    l.view.viewOptions.selectedHelper = l.view.helperSelection;
    l.WriteViewOptions();
}

void NextLight(ViewerLoop& l, int32_t) {
    l.view.lightSelection = CycleSelection(l.view.lightSelection, l.scene.GetLightCount(), ShiftHeld(l));
    l.view.viewOptions.selectedLight = l.view.lightSelection;
    l.WriteViewOptions();
}

constexpr KeyBinding kBindings[] = {
    {DIK_ADD, KeyKind::Held, Modifiers::Any, "time forward", false, TimeForward},
    {DIK_SUBTRACT, KeyKind::Held, Modifiers::Any, "time back", false, TimeBack},
    {DIK_F, KeyKind::Pressed, Modifiers::Any, "toggle frame rate", false, ToggleFrameRate},
    {DIK_I, KeyKind::Pressed, Modifiers::Any, "toggle lighting", false, ToggleLighting},
    {DIK_A, KeyKind::Pressed, Modifiers::Any, "toggle loop", false, ToggleLoop},
    {DIK_MULTIPLY, KeyKind::Held, Modifiers::Any, "faster", false, Faster},
    {DIK_DIVIDE, KeyKind::Held, Modifiers::Any, "slower", false, Slower},
    {DIK_LEFT, KeyKind::Held, Modifiers::Shift, "strafe left", false, StrafeLeft},
    {DIK_RIGHT, KeyKind::Held, Modifiers::Shift, "strafe right", false, StrafeRight},
    {DIK_NEXT, KeyKind::Held, Modifiers::Shift, "move down", false, MoveDown},
    {DIK_PRIOR, KeyKind::Held, Modifiers::Shift, "move up", false, MoveUp},
    {DIK_LEFT, KeyKind::Held, Modifiers::Ctrl, "orbit left", false, OrbitLeft},
    {DIK_RIGHT, KeyKind::Held, Modifiers::Ctrl, "orbit right", false, OrbitRight},
    {DIK_UP, KeyKind::Held, Modifiers::Ctrl, "orbit up", false, OrbitUp},
    {DIK_DOWN, KeyKind::Held, Modifiers::Ctrl, "orbit down", false, OrbitDown},
    {DIK_LEFT, KeyKind::Held, Modifiers::Plain, "turn left", false, TurnLeft},
    {DIK_RIGHT, KeyKind::Held, Modifiers::Plain, "turn right", false, TurnRight},
    {DIK_PRIOR, KeyKind::Held, Modifiers::Plain, "look up", false, LookUp},
    {DIK_NEXT, KeyKind::Held, Modifiers::Plain, "look down", false, LookDown},
    {DIK_UP, KeyKind::Held, Modifiers::Plain, "forward", false, Forward},
    {DIK_DOWN, KeyKind::Held, Modifiers::Plain, "backward", false, Backward},
    {DIK_C, KeyKind::Pressed, Modifiers::Any, "next camera", false, NextCamera},
    {DIK_SPACE, KeyKind::Pressed, Modifiers::Any, "rewind", false, Rewind},
    {DIK_T, KeyKind::Pressed, Modifiers::Any, "toggle time", false, ToggleTime},
    {DIK_S, KeyKind::Pressed, Modifiers::Any, "next shading", false, NextShading},
    {DIK_P, KeyKind::Pressed, Modifiers::Any, "toggle parent links", false, ToggleLinks},
    {DIK_X, KeyKind::Pressed, Modifiers::Any, "toggle x mirror", false, ToggleMirror},
    {DIK_V, KeyKind::Presses, Modifiers::Any, "vertex presses", false, CountVertexPresses},
    {DIK_M, KeyKind::Pressed, Modifiers::Any, "next mesh", false, NextMesh},
    {0, KeyKind::Always, Modifiers::Any, "vertex step", false, StepVertex},
    {DIK_O, KeyKind::Pressed, Modifiers::Any, "toggle axis", false, ToggleAxis},
    {DIK_H, KeyKind::Pressed, Modifiers::Any, "next helper", false, NextHelper},
    {DIK_L, KeyKind::Pressed, Modifiers::Any, "next light", false, NextLight},
    {DIK_SYSRQ, KeyKind::Pressed, Modifiers::Any, "screenshot", false, ScreenShot},
    {DIK_E, KeyKind::Pressed, Modifiers::Ctrl, "mesh data files", true, MeshDataFiles},
    {DIK_PAUSE, KeyKind::Pressed, Modifiers::Any, "pause", false, RequestPause},
    {DIK_COMMA, KeyKind::Pressed, Modifiers::Any, "frame back", false, FrameBack},
    {DIK_PERIOD, KeyKind::Pressed, Modifiers::Any, "frame forward", false, FrameForward},
};

bool ModifiersMatch(ViewerLoop& l, Modifiers m) {
    const bool shift = ShiftHeld(l);
    const bool ctrl = l.keyboard.IsKeyDown(DIK_LCONTROL) || l.keyboard.IsKeyDown(DIK_RCONTROL);
    switch (m) {
    case Modifiers::Any:
        return true;
    case Modifiers::Shift:
        return shift;
    case Modifiers::Ctrl:
        return ctrl;
    case Modifiers::Plain:
        return !shift && !ctrl;
    }
    return false;
}

// The presses a binding acts with in this frame (0: it does not act).
int32_t PressesFor(ViewerLoop& l, const KeyBinding& b) {
    switch (b.kind) {
    case KeyKind::Always:
        return 1;
    case KeyKind::Held:
        return l.keyboard.IsKeyDown(b.key);
    case KeyKind::Pressed:
        return l.keyboard.KeyPresses(b.key) > 0 ? 1 : 0;
    case KeyKind::Presses:
        return l.keyboard.KeyPresses(b.key);
    }
    return 0;
}

} // namespace

std::span<const KeyBinding> KeyBindings() {
    return kBindings;
}

void RunKeyCommands(ViewerLoop& l) {
    const bool locked = l.settings.noKeys || l.settings.escapeOnly;
    l.keyFrame = KeyFrameState{};
    for (const KeyBinding& b : kBindings) {
        if (locked && !b.whenLocked) continue;
        if (!ModifiersMatch(l, b.modifiers)) continue;
        const int32_t presses = PressesFor(l, b);
        if (presses > 0) b.run(l, presses);
    }
    if (l.keyFrame.orbiting) {
        const D3DXVECTOR3 p = l.view.centre + l.keyFrame.orbit;
        l.freeCamera.SetPosition(p.x, p.y, p.z);
    }
}

void ApplyPauseKey(ViewerLoop& l) {
    if (!l.view.pauseKeyPressed) return;
    l.view.pauseKeyPressed = 0;
    l.view.paused = l.view.paused ? 0 : 1;
    if (DXC_Media* m = l.Media()) {
        if (l.view.paused)
            m->Pause();
        else
            m->Play(-1);
    }
}

bool EscapeRequested(ViewerLoop& l) {
    return !l.settings.noKeys && l.keyboard.IsKeyDown(DIK_ESCAPE);
}
