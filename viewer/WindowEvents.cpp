#include "viewer/WindowEvents.h"

#include "viewer/Media.h"
#include "viewer/ViewerSettings.h"

DXC_Media* ViewerWindowEvents::Media() const {
    return media ? media->get() : nullptr;
}

void ViewerWindowEvents::OnDestroy() {
    words.quit = 1;
}

void ViewerWindowEvents::OnMinimised(bool minimised) {
    words.notMinimised = minimised ? 0 : 1;
}

void ViewerWindowEvents::OnActivate(bool active) {
    words.active = active ? 1 : 0;
    if (DXC_Media* m = Media()) {
        if (active)
            m->Play(-1);
        else
            m->Pause();
    }
}

void ViewerWindowEvents::OnSizeMove(bool entering) {
    words.menuOrSizing = entering ? 1 : 0;
    if (DXC_Media* m = Media()) {
        if (entering)
            m->Pause();
        else
            m->Play(-1);
    }
}

void ViewerWindowEvents::OnClientSize(int width, int height) {
    settings.clientWidth = width;
    settings.clientHeight = height;
}

void ViewerWindowEvents::OnMouseButton(int button, int x, int y) {
    words.click.button = button;
    words.click.happened = 1;
    words.click.x = x & 0xFFFF;
    words.click.y = y & 0xFFFF;
}

void ViewerWindowEvents::OnMenuCommand(int32_t command) {
    if (menuCommand) menuCommand(command);
}

// A menu or dialog holds the animation as the system's menu loop does; the sound plays on.
void ViewerWindowEvents::OnMenuLoop(bool entering) {
    words.menuOrSizing = entering ? 1 : 0;
}

void ViewerWindowEvents::OnDropFile(const char* path) {
    if (dropFile) dropFile(path);
}
