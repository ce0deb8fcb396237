#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/SystemEvents.h"
#include "viewer/ViewState.h"

class DXC_Media;
struct ViewerSettings;

// The main window's event handling: keeps the shared words and the client size current, and
// pauses and resumes the sound as the window loses or regains the user.
class ViewerWindowEvents : public WindowEventSink {
public:
    ViewerWindowEvents(WindowWords& words, ViewerSettings& settings, std::unique_ptr<DXC_Media>* media)
        : words(words), settings(settings), media(media) {}

    void OnDestroy() override;
    void OnMinimised(bool minimised) override;
    void OnActivate(bool active) override;
    void OnSizeMove(bool entering) override;
    void OnClientSize(int width, int height) override;
    void OnMouseButton(int button, int x, int y) override;
    void OnMenuCommand(int32_t command) override;
    void OnMenuLoop(bool entering) override;
    void OnDropFile(const char* path) override;

    // Menu commands from the window's menu, and files dropped onto the window (none without).
    std::function<void(int32_t command)> menuCommand;
    std::function<void(const char* path)> dropFile;

private:
    DXC_Media* Media() const;

    WindowWords& words;
    ViewerSettings& settings;
    std::unique_ptr<DXC_Media>* media;
};
