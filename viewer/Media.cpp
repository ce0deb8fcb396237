#include "viewer/Media.h"

#include "foundation/Log.h"

DXC_Media::DXC_Media(SoundPipelineFactory pipelineFactory) : factory(std::move(pipelineFactory)) {
    SetObjectName("DXC_Media");
    InitGraph();
}

DXC_Media::~DXC_Media() {
    Release();
    FlushWarnings();
}

void DXC_Media::InitGraph() {
    pipeline = factory ? factory() : nullptr;
    if (!pipeline) Error("CoCreateInstance failed");
    LogMessage("DXC_Media: init successfull");
}

void DXC_Media::Release() {
    pipeline.reset();
}

void DXC_Media::ClearList() {
    playlist.clear();
    songCount = 0;
    currentSong = -1;
}

void DXC_Media::AddSong(const char* path) {
    playlist.emplace_back(path ? path : "");
    ++songCount;
}

void DXC_Media::LoadFile(const char* path) {
    Release();
    InitGraph();
    LogMessage("DXC_Media: Try RenderFile %s", path);
    std::string reason;
    if (!pipeline->Open(path, &reason)) {
        LogMessage("DXC_Media: %s", reason.c_str());
        Error("Can not load file: %s", path);
    }
    if (pipeline->WithoutAudioOutput() && !fakeOutputLogged) {
        LogMessage("DXC_Media: no audio output on this machine; the sound plays silently at real-time pace");
        fakeOutputLogged = 1;
    }
}

int32_t DXC_Media::Play(int32_t index) {
    if (index == -1) {
        if (songCount == 0) return 0;
        if (currentSong == -1) index = 0;
    }
    if (index != -1) {
        if (index < 0 || index >= songCount) Error("Invalid song selected");
        currentSong = index;
        const char* path = playlist[static_cast<size_t>(index)].c_str();
        LogMessage("DXC_Media: Try to load file: %s", path);
        LoadFile(path);
    }
    LogMessage("DXC_Media: Try to Run()");
    if (pipeline && !pipeline->Run()) Error("Run() failed!");
    return 1;
}

void DXC_Media::Stop() {
    if (!pipeline) return;
    if (!pipeline->Stop()) Error("Stop() failed!");
    pipeline->SetPosition(0.0);
}

void DXC_Media::Pause() {
    if (!pipeline) return;
    if (!pipeline->Pause()) Error("Pause() failed!");
}

void DXC_Media::SetPosition(double seconds) {
    if (pipeline) pipeline->SetPosition(seconds); // a refused position changes nothing
}

void DXC_Media::SetRate(double rate) {
    if (pipeline) pipeline->SetRate(rate); // a refused rate leaves the old one
}

bool DXC_Media::HasEvents() {
    return pipeline && pipeline->HasEvents();
}

void DXC_Media::HandleEvents() {
    if (!pipeline) return;
    std::string text;
    for (SoundPipeline::Event e; (e = pipeline->NextEvent(&text)) != SoundPipeline::None;) {
        if (e == SoundPipeline::Failure) {
            Warning("%s", text.c_str());
            continue;
        }
        if (!loop) {
            Stop();
            if (songCount > 0) currentSong = (currentSong + 1) % songCount;
        }
        pipeline->SetPosition(0.0);
    }
}
