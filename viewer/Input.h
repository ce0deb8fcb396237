#pragma once

#include <cstdint>
#include <functional>

#include "foundation/ErrorReport.h"
#include "platform/KeyCodes.h"
#include "platform/SystemEvents.h"

// The seconds clock the viewer reads (the performance counter; tests inject their own).
using ViewerClock = std::function<double()>;
ViewerClock PerformanceClock();

class DXC_InputKeybrd;

// The input service of the main window: hands out its keyboard.
class DXC_Input : public DXC_Base {
public:
    DXC_Input();
    // events must outlive this object and every keyboard added to it.
    void Create(SystemEvents* events);
    // Attaches the system keyboard to keyboard and acquires it (the result is not checked).
    // flags -1 stands for the non-exclusive foreground cooperation (6), the only one offered.
    void AddKeyboard(DXC_InputKeybrd* keyboard, int32_t flags = -1);
    int32_t IsInitialised() const { return initialised; }

private:
    int32_t initialised = 0;
    SystemEvents* events = nullptr;
};

class DXC_InputDev : public DXC_Base {
public:
    DXC_InputDev();
    ~DXC_InputDev() override;

protected:
    KeyboardSource* device = nullptr; // none until attached
    friend class DXC_Input;
};

// The keyboard state of one frame: the 256 scan-code bytes, presses since the last update and
// the auto-repeat of held keys.
class DXC_InputKeybrd : public DXC_InputDev {
public:
    explicit DXC_InputKeybrd(ViewerClock clock = PerformanceClock());

    // Reads the device state; 0 (arrays unchanged, a warning) when it cannot be read.
    int32_t UpdateKeyboard(int32_t removeMessages = 0);
    int32_t IsKeyDown(uint8_t key) const { return (current[key] & 0x80) ? 1 : 0; }
    // Presses to act on in this frame: 1 when the key went down in this update, plus the
    // auto-repeats that fell due since the last counted one; 0 while the key is up.
    int32_t KeyPresses(uint8_t key);

    float repeatDelay = 0.2f; // seconds held before auto-repeat starts
    float repeatRate = 0.0f;  // repeats per second, 0 = none

private:
    ViewerClock clock;
    uint8_t current[256] = {};
    double pressTime[256] = {};
    uint8_t previous[256] = {};
    uint8_t event[256] = {};
};
