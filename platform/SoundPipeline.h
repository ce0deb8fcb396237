#pragma once

#include <memory>
#include <string>

// One sound file played by the system's media service: render, run, pause, stop, seek to
// seconds, set the rate, and the end of the stream reported as an event that the main thread
// fetches (nothing runs on the main thread behind its back). The GStreamer implementation is
// made by CreateSoundPipeline; tests may supply their own.
class SoundPipeline {
public:
    enum Event { None = 0, EndOfStream = 1, Failure = 2 };

    virtual ~SoundPipeline() = default;
    // Builds the pipeline for the file and waits until it can play; false (with the reason)
    // when the file is missing or cannot be played. The pipeline is then stopped at 0.
    virtual bool Open(const char* path, std::string* error) = 0;
    virtual bool Run() = 0;
    virtual bool Pause() = 0;
    // Stopped: no sound, position kept (the caller rewinds).
    virtual bool Stop() = 0;
    virtual bool SetPosition(double seconds) = 0;
    // False when the pipeline refuses the rate; the old rate then stays.
    virtual bool SetRate(double rate) = 0;
    // The next pending event without waiting; text gets the failure's message.
    virtual Event NextEvent(std::string* text) = 0;
    // True while events are pending.
    virtual bool HasEvents() = 0;
    // Where playback is, in seconds (-1 when unknown), and the rate in force.
    virtual double Position() = 0;
    virtual double Rate() const = 0;
    virtual bool IsRunning() const = 0;
    // True when the machine has no audio output and the sound plays into a sink that only
    // keeps real-time pace.
    virtual bool WithoutAudioOutput() const = 0;
};

std::unique_ptr<SoundPipeline> CreateSoundPipeline();
