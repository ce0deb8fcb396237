#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/WindowUi.h"

class ViewerLoop;

// The main window's menu: its entries with their command ids, and what each command does to the
// viewer through the window's dialogs.
enum MenuCommandId : int32_t {
    kCommandInfo = 104,
    kCommandExit = 105,
    kCommandSetTexturePath = 32771,
    kCommandSaveBinary = 32773,
    kCommandOpen = 32774,
};

std::vector<MenuEntry> MainMenuEntries();
InfoContent InfoWindowContent();
// The banner shown while a scene loads; its last line is "Loading...".
const char* LoadingBanner();

// The name "Save binary..." offers for a loaded file's name: a name ending in ".kzv" (any case)
// gets "3sc" for its last three characters; any other name is offered unchanged.
std::string ProposedBinaryName(const std::string& sceneName);

FileDialogRequest OpenSceneRequest();
FileDialogRequest SaveBinaryRequest(const std::string& startDirectory, const std::string& sceneName);
FileDialogRequest TextureFolderRequest();

// Runs the menu's commands on a viewer whose window has a user interface.
class MenuCommands {
public:
    MenuCommands(ViewerLoop& loop, WindowUi& ui) : loop(loop), ui(ui) {}

    void Run(int32_t command);
    // A scene file dropped onto the window is opened as one chosen with "Open...".
    void OpenFile(const std::string& path);

private:
    void Open();
    void SaveBinary();
    void SaveTo(const std::string& path);
    void SetTexturePath();
    void UseTexturePath(const std::string& path);

    ViewerLoop& loop;
    WindowUi& ui;
};
