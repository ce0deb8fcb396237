#pragma once

#include <cstdint>
#include <memory>

// The seam between the viewer and the window system's input: the keyboard as a 256-byte
// scan-code state (KeyCodes.h) and the main window's events, delivered to a sink when the
// viewer pumps them. The SDL implementation lives behind CreateSystemEvents; tests script
// their own.

// What the window system tells the main loop. Each call corresponds to one window event.
class WindowEventSink {
public:
    virtual ~WindowEventSink() = default;
    virtual void OnDestroy() = 0;                             // window closed or the program asked to quit
    virtual void OnMinimised(bool minimised) = 0;             // minimised, or restored/shown again
    virtual void OnActivate(bool active) = 0;                 // keyboard focus gained or lost
    virtual void OnSizeMove(bool entering) = 0;               // a move or resize begins or ends
    virtual void OnClientSize(int width, int height) = 0;     // new client size
    virtual void OnMouseButton(int button, int x, int y) = 0; // 0 left, 1 right, client pixels
    // A menu item was chosen (its command id).
    virtual void OnMenuCommand(int32_t command) {}
    // A menu was opened or a dialog shown (entering), or the last of them went (leaving).
    virtual void OnMenuLoop(bool entering) {}
    // A file was dropped onto the window.
    virtual void OnDropFile(const char* path) {}
};

// The system keyboard as DirectInput gives it.
class KeyboardSource {
public:
    virtual ~KeyboardSource() = default;
    // False when the keyboard cannot be taken (the window has no focus).
    virtual bool Acquire() = 0;
    virtual void Unacquire() = 0;
    // The 256 state bytes; false when the state cannot be read (not acquired).
    virtual bool ReadState(uint8_t state[256]) = 0;
};

class SystemEvents {
public:
    virtual ~SystemEvents() = default;
    virtual KeyboardSource& Keyboard() = 0;
    // Removes and dispatches every waiting window event.
    virtual void Pump(WindowEventSink& sink) = 0;
    // Waits up to timeoutMs for one window event and dispatches it; false when none came.
    virtual bool WaitOne(WindowEventSink& sink, int timeoutMs) = 0;
};

// The window system's events for the main window (an SDL_Window*); with no window (headless)
// the keyboard stays up and no events come.
std::unique_ptr<SystemEvents> CreateSystemEvents(void* window);
