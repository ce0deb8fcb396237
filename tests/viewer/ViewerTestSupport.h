#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SoundPipeline.h"
#include "platform/SystemEvents.h"

// A clock the test moves by hand.
struct FakeClock {
    double now = 100.0;
    std::function<double()> Source() {
        return [this] { return now; };
    }
};

// The keyboard as a test scripts it: bytes set and cleared between frames.
class ScriptedKeyboard : public KeyboardSource {
public:
    bool Acquire() override { return acquirable; }
    void Unacquire() override {}
    bool ReadState(uint8_t out[256]) override {
        if (!readable) return false;
        std::memcpy(out, state, 256);
        return true;
    }
    void Press(uint8_t key) { state[key] = 0x80; }
    void Release(uint8_t key) { state[key] = 0; }
    void ReleaseAll() { std::memset(state, 0, 256); }

    uint8_t state[256] = {};
    bool readable = true;
    bool acquirable = true;
};

// Window events queued by the test and handed out by the pump.
class ScriptedEvents : public SystemEvents {
public:
    KeyboardSource& Keyboard() override { return keyboard; }
    void Pump(WindowEventSink& sink) override {
        ++pumps;
        while (!queue.empty()) {
            auto e = queue.front();
            queue.pop_front();
            e(sink);
        }
    }
    bool WaitOne(WindowEventSink& sink, int) override {
        ++waits;
        if (onWait) onWait();
        if (queue.empty()) return false;
        auto e = queue.front();
        queue.pop_front();
        e(sink);
        return true;
    }

    ScriptedKeyboard keyboard;
    std::deque<std::function<void(WindowEventSink&)>> queue;
    std::function<void()> onWait; // runs before each wait (a test moves its clock here)
    int pumps = 0;
    int waits = 0;
};

// A sound pipeline that records its calls as text lines ("Open tone.wav", "Run", "Seek 1.5").
class RecordingPipeline : public SoundPipeline {
public:
    explicit RecordingPipeline(std::vector<std::string>& log) : log(log) {}
    bool Open(const char* path, std::string* error) override {
        log.push_back(std::string("Open ") + path);
        if (!opens && error) *error = "refused";
        return opens;
    }
    bool Run() override { return Note("Run", true); }
    bool Pause() override { return Note("Pause", false); }
    bool Stop() override { return Note("Stop", false); }
    bool SetPosition(double s) override {
        log.push_back("Seek " + Number(s));
        return true;
    }
    bool SetRate(double r) override {
        log.push_back("Rate " + Number(r));
        rate = r;
        return true;
    }
    Event NextEvent(std::string*) override {
        if (pendingEnds == 0) return None;
        --pendingEnds;
        return EndOfStream;
    }
    bool HasEvents() override { return pendingEnds > 0; }
    double Position() override { return 0.0; }
    double Rate() const override { return rate; }
    bool IsRunning() const override { return running; }
    bool WithoutAudioOutput() const override { return false; }

    static std::string Number(double v) {
        char b[32];
        std::snprintf(b, sizeof b, "%g", v);
        return b;
    }

    std::vector<std::string>& log;
    bool opens = true;
    int pendingEnds = 0;
    double rate = 1.0;
    bool running = false;

private:
    bool Note(const char* what, bool run) {
        log.emplace_back(what);
        running = run;
        return true;
    }
};

// Makes recording pipelines that write into one log; the last one made is kept for the test.
struct RecordingPipelineFactory {
    std::vector<std::string> log;
    RecordingPipeline* last = nullptr;
    bool opens = true;
    std::function<std::unique_ptr<SoundPipeline>()> Factory() {
        return [this] {
            auto p = std::make_unique<RecordingPipeline>(log);
            p->opens = opens;
            last = p.get();
            return std::unique_ptr<SoundPipeline>(std::move(p));
        };
    }
};
