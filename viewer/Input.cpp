#include "viewer/Input.h"

#include <cstring>

#include "platform/Clock.h"

ViewerClock PerformanceClock() {
    return [] { return GetPerformanceTime(); };
}

DXC_Input::DXC_Input() {
    SetObjectName("DXC_Input");
}

void DXC_Input::Create(SystemEvents* systemEvents) {
    if (!systemEvents) Error("Can not create DirectInput !");
    events = systemEvents;
    initialised = 1;
}

void DXC_Input::AddKeyboard(DXC_InputKeybrd* keyboard, int32_t flags) {
    if (!initialised || !keyboard) Error("Can not create KeyboardDevice !");
    if (flags != -1 && flags != 6) Error("Can not set cooperative level (DI)");
    keyboard->device = &events->Keyboard();
    keyboard->device->Acquire();
}

DXC_InputDev::DXC_InputDev() {
    SetObjectName("DXC_InputDev");
}

DXC_InputDev::~DXC_InputDev() {
    if (device) device->Unacquire();
}

DXC_InputKeybrd::DXC_InputKeybrd(ViewerClock clockSource) : clock(std::move(clockSource)) {
    SetObjectName("DXC_InputKeybrd");
}

int32_t DXC_InputKeybrd::UpdateKeyboard(int32_t) {
    std::memcpy(previous, current, sizeof current);
    uint8_t state[256];
    if (!device || !device->ReadState(state)) {
        if (!device || !device->Acquire()) return Warning("Failed to acquire keyboard.");
        if (!device->ReadState(state)) return Warning("Failed to get device state.");
    }
    std::memcpy(current, state, sizeof current);
    const double now = clock();
    for (int i = 0; i < 256; ++i) {
        if (previous[i] == current[i]) {
            event[i] = 0;
        } else if (current[i] & 0x80) {
            event[i] = 1;
            pressTime[i] = now;
        } else {
            event[i] = 255;
            pressTime[i] = 0.0;
        }
    }
    return 1;
}

int32_t DXC_InputKeybrd::KeyPresses(uint8_t key) {
    if (!IsKeyDown(key)) return 0;
    int32_t n = 0;
    const double held = clock() - pressTime[key];
    if (held > repeatDelay && repeatRate > 0.0f) {
        // The settings are floats (0.3f is not 0.3): a repeat due within a few microseconds
        // counts now rather than one frame late.
        n = static_cast<int32_t>((held - repeatDelay) * repeatRate + 1e-4);
        pressTime[key] += n / static_cast<double>(repeatRate);
    }
    return n + (event[key] == 1 ? 1 : 0);
}
