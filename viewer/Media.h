#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ErrorReport.h"
#include "platform/SoundPipeline.h"

// Makes the pipeline for each loaded file (the system's media service unless a test supplies
// its own).
using SoundPipelineFactory = std::function<std::unique_ptr<SoundPipeline>()>;

// The scene's sound: a playlist of files, one of them loaded into a pipeline that runs, pauses,
// stops, seeks and changes rate with the animation. The end of the stream arrives as a pipeline
// event that the main loop's message pump hands to HandleEvents; with the loop flag the sound
// starts again from 0.
class DXC_Media : public DXC_Base {
public:
    explicit DXC_Media(SoundPipelineFactory factory = CreateSoundPipeline);
    ~DXC_Media() override;

    void InitGraph();
    void Release();
    void ClearList();
    void AddSong(const char* path);
    void SetLoop(int32_t flag) { loop = flag; }
    int32_t GetLoop() const { return loop; }
    void LoadFile(const char* path);
    // -1: the current song (the first when none is loaded yet); 0 for an empty list.
    int32_t Play(int32_t index = -1);
    void Stop();
    void Pause();
    void SetPosition(double seconds);
    void SetRate(double rate);
    // True when the pipeline has events waiting (the pump then calls HandleEvents).
    bool HasEvents();
    void HandleEvents();

    int32_t GetSongCount() const { return songCount; }
    int32_t GetCurrentSong() const { return currentSong; }
    SoundPipeline* GetPipeline() const { return pipeline.get(); }

private:
    SoundPipelineFactory factory;
    std::unique_ptr<SoundPipeline> pipeline;
    int32_t loop = 0;
    std::vector<std::string> playlist;
    int32_t songCount = 0;
    int32_t currentSong = -1;
    int32_t fakeOutputLogged = 0;
};
