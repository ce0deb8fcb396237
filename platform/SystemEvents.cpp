#include "platform/SystemEvents.h"

#include <SDL.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/KeyCodes.h"
#include "platform/ui/ImGuiHost.h"

namespace {

// The keyboard state built from SDL's key events rather than from SDL's polled state: a key
// pressed and released between two reads (a quick tap, or a synthetic key) still reads as
// down once, as it would to a device that saw the press.
class SdlKeyboard : public KeyboardSource {
public:
    bool Acquire() override {
        acquired_ = true;
        return true;
    }
    void Unacquire() override {
        acquired_ = false;
        Clear();
    }
    bool ReadState(uint8_t out[256]) override {
        if (!acquired_) return false;
        TakeKeyEvents();
        std::memcpy(out, state_, sizeof state_);
        for (int i = 0; i < 256; ++i) {
            if (releaseLater_[i]) state_[i] = 0;
            releaseLater_[i] = 0;
            seenSinceRead_[i] = 0;
        }
        return true;
    }
    void Clear() {
        std::memset(state_, 0, sizeof state_);
        std::memset(releaseLater_, 0, sizeof releaseLater_);
        std::memset(seenSinceRead_, 0, sizeof seenSinceRead_);
    }

    void Apply(const SDL_KeyboardEvent& key) {
        if (key.repeat) return; // the keyboard's own repeats: the viewer counts its own
        const uint8_t code = ScanCodeFromSdl(key.keysym.scancode);
        if (code == 0) return;
        if (key.type == SDL_KEYDOWN) {
            state_[code] = 0x80;
            seenSinceRead_[code] = 1;
            releaseLater_[code] = 0;
        } else if (seenSinceRead_[code]) {
            releaseLater_[code] = 1; // shown down for this read, up from the next one
        } else {
            state_[code] = 0;
        }
    }

private:
    // Only key events are taken from the queue; window events stay for the pump. A key pressed
    // while the window's menu or a dialog has the keyboard goes there instead.
    void TakeKeyEvents() {
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
        SDL_PumpEvents();
        SDL_Event events[64];
        int n;
        while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_KEYDOWN, SDL_KEYUP)) > 0)
            for (int i = 0; i < n; ++i) {
                ImGuiHost* ui = ImGuiHost::Of(SDL_GetWindowFromID(events[i].key.windowID));
                if (!ui || !ui->TakeEvent(events[i])) Apply(events[i].key);
            }
    }

    bool acquired_ = false;
    uint8_t state_[256] = {};
    uint8_t releaseLater_[256] = {};
    uint8_t seenSinceRead_[256] = {};
};

class SdlEvents : public SystemEvents {
public:
    explicit SdlEvents(SDL_Window* window) : window_(window) {}
    KeyboardSource& Keyboard() override { return keyboard_; }

    void Pump(WindowEventSink& sink) override {
        if (!window_) return;
        SDL_Event e;
        while (SDL_PollEvent(&e)) Dispatch(e, sink);
        if (ImGuiHost* ui = ImGuiHost::Of(window_)) ui->Deliver(sink);
    }

    bool WaitOne(WindowEventSink& sink, int timeoutMs) override {
        if (!window_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
            return false;
        }
        SDL_Event e;
        if (!SDL_WaitEventTimeout(&e, timeoutMs)) return false;
        Dispatch(e, sink);
        if (ImGuiHost* ui = ImGuiHost::Of(window_)) ui->Deliver(sink);
        return true;
    }

private:
    void Dispatch(SDL_Event& e, WindowEventSink& sink) {
        ImGuiHost* ui = ImGuiHost::Of(window_);
        if (ui && ui->TakeEvent(e)) return;
        switch (e.type) {
        case SDL_QUIT:
            sink.OnDestroy();
            break;
        case SDL_WINDOWEVENT:
            DispatchWindow(e.window, sink);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            keyboard_.Apply(e.key);
            break; // counts for the next read
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button == SDL_BUTTON_LEFT) sink.OnMouseButton(0, e.button.x, e.button.y);
            if (e.button.button == SDL_BUTTON_RIGHT) sink.OnMouseButton(1, e.button.x, e.button.y);
            break;
        case SDL_DROPFILE:
            // A drop while a menu or dialog is up is refused, as a blocked window refuses it.
            if (e.drop.file && !(ui && ui->Busy())) sink.OnDropFile(e.drop.file);
            SDL_free(e.drop.file);
            break;
        default:
            break;
        }
    }

    void DispatchWindow(const SDL_WindowEvent& w, WindowEventSink& sink) {
        if (w.windowID != SDL_GetWindowID(window_)) return;
        switch (w.event) {
        case SDL_WINDOWEVENT_CLOSE:
            sink.OnDestroy();
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            sink.OnMinimised(true);
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_SHOWN:
            sink.OnMinimised(false);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            keyboard_.Acquire();
            sink.OnActivate(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            keyboard_.Clear(); // keys held while focus leaves are released
            sink.OnActivate(false);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            // The scene's client area lies below the menu bar.
            const ImGuiHost* ui = ImGuiHost::Of(window_);
            const int bar = ui ? ui->MenuBarHeight() : 0;
            sink.OnClientSize(w.data1, w.data2 > bar ? w.data2 - bar : 0);
            break;
        }
        default:
            break;
        }
    }

    SDL_Window* window_;
    SdlKeyboard keyboard_;
};

} // namespace

std::unique_ptr<SystemEvents> CreateSystemEvents(void* window) {
    return std::make_unique<SdlEvents>(static_cast<SDL_Window*>(window));
}
