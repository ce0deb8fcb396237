#include "viewer/MenuCommands.h"

#include <strings.h>

#include <cstring>

#include "foundation/ErrorReport.h"
#include "platform/Registry.h"
#include "render/DXC_Gfx.h"
#include "textscene/SceneLoad.h"
#include "viewer/RunViewer.h"
#include "viewer/ViewerSettings.h"

namespace {

constexpr const char* kKeyTexts[6] = {
    "<ESC>\t\texit\n<+>\t\tmove forward in time\n<->\t\tmove backward in time\n<BREAK>\tstops animation\n"
    "<LEFT>                turn left\n<RIGHT>              turn right\n<UP>                   move forward\n"
    "<DOWN>             move backward",
    "<PGUP>               look up\n<PGDWN>           look down\n<SHIFT>+<PGUP>  move up\n<SHIFT>+<PGDWN> "
    "move "
    "down\n<SHIFT>+<LEFT>  strafe left\n<SHIFT>+<RIGHT> strafe right",
    "<CTRL>+<UP>\trotate world around X-Axis\n<CTRL>+<DOWN>   rotate world around "
    "X-Axis\n<CTRL>+<LEFT>\trotate "
    "world around Z-Axis\n<CTRL>+<RIGHT> rotate world around Z-Axis",
    "<C>\t\ttoggle camera\n<V>                     select next vertex\n<SHIFT>+<V>     select previous "
    "vertex\n<M>                   select next mesh\n<SHIFT>+<M>     select previous mesh\n<S>             "
    "toggle "
    "shading mode (solid, wire, point)",
    "<H>             select next helper object\n<SHIFT>+<H>     select previous helper object\n<L>           "
    "  "
    "select next light object\n<SHIFT>+<L>     select previous light object\n<O>                    show "
    "world "
    "axis",
    "<F>                      show fps\n<I>                       disable/enable lighting\n<SYSRQ>         "
    "make "
    "screenshot to ScreenShot.bmp\n<MULTPLY>\tincrease speed\n<DIVIDE>\tdecrease speed\n<A>\t\tloop "
    "animation\n<T>\t\tdisplay time\n<X>\t\tmirror X-axis",
};

// Copies text into a settings buffer of n bytes; false (buffer untouched) when it does not fit.
bool CopyInto(char* buffer, size_t n, const std::string& text) {
    if (text.size() + 1 > n) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

std::vector<MenuEntry> MainMenuEntries() {
    return {
        {"File", "Open...", kCommandOpen},
        {"File", "Save binary...", kCommandSaveBinary},
        {"File", "", 0},
        {"File", "Set default texture path...", kCommandSetTexturePath},
        {"File", "Exit", kCommandExit},
        {"Help", "Info...", kCommandInfo},
    };
}

InfoContent InfoWindowContent() {
    InfoContent content;
    content.caption = "Info";
    content.lines = {"ViewKZV Version 2.04a", "Read ViewKZV.txt for more info", "Please report bugs",
                     "Linux edition: OpenGL 3.3 through SDL2, sound through GStreamer",
                     "Drop a KZV or 3SC file onto the window to open it"};
    content.keyTexts.assign(std::begin(kKeyTexts), std::end(kKeyTexts));
    return content;
}

const char* LoadingBanner() {
    return "ViewKZV Version 2.04a\nviewer for animated 3D scenes\n\nLoading...";
}

std::string ProposedBinaryName(const std::string& sceneName) {
    const size_t n = sceneName.size();
    if (n >= 4 && strcasecmp(sceneName.c_str() + n - 4, ".kzv") == 0)
        return sceneName.substr(0, n - 3) + "3sc";
    return sceneName;
}

FileDialogRequest OpenSceneRequest() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Open";
    request.filters = {
        {"KZV/3SC files", {"*.KZV", "*.3SC"}}, {"KZV file", {"*.KZV"}}, {"3SC file", {"*.3SC"}}};
    request.fileMustExist = true;
    return request;
}

FileDialogRequest SaveBinaryRequest(const std::string& startDirectory, const std::string& sceneName) {
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.title = "Save As";
    request.directory = startDirectory;
    request.name = ProposedBinaryName(sceneName);
    request.filters = {{"3SC file", {"*.3SC"}}};
    request.askBeforeOverwrite = true;
    return request;
}

FileDialogRequest TextureFolderRequest() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Folder;
    request.title = "Choose a default texture directory";
    return request;
}

void MenuCommands::Run(int32_t command) {
    switch (command) {
    case kCommandInfo:
        ui.ShowInfo(InfoWindowContent());
        break;
    case kCommandExit:
        loop.words.quit = 1;
        break;
    case kCommandOpen:
        Open();
        break;
    case kCommandSaveBinary:
        SaveBinary();
        break;
    case kCommandSetTexturePath:
        SetTexturePath();
        break;
    default:
        break;
    }
}

// The scene path is emptied while the dialog is up; cancelling leaves it so, and the loaded
// scene stays.
void MenuCommands::Open() {
    loop.settings.sceneFile[0] = '\0';
    ui.ShowFileDialog(
        OpenSceneRequest(), [this](const std::string& path) { OpenFile(path); }, nullptr);
}

void MenuCommands::OpenFile(const std::string& path) {
    if (!CopyInto(loop.settings.sceneFile, sizeof loop.settings.sceneFile, path)) {
        ui.ShowMessage("Error", "The path is longer than 255 bytes:\n" + path);
        return;
    }
    loop.words.reloadRequest = 1;
}

void MenuCommands::SaveBinary() {
    if (!loop.words.scene) return;
    ui.ShowFileDialog(
        SaveBinaryRequest(loop.words.startDirectory, loop.words.sceneName),
        [this](const std::string& path) { SaveTo(path); }, nullptr);
}

// A save that fails is reported; the loaded scene stays as it is.
void MenuCommands::SaveTo(const std::string& path) {
    try {
        ::SaveBinary(loop.words.scene, path.c_str(), loop.Loader());
    } catch (const DXC_Error& e) {
        ui.ShowMessage("DXC Error (DirectX8)", std::string(e.name) + ": " + e.message);
    } catch (const ErrorMsg& e) {
        ui.ShowMessage("Error", std::string(e.name) + ": " + e.message);
    }
}

void MenuCommands::SetTexturePath() {
    ui.ShowFileDialog(
        TextureFolderRequest(), [this](const std::string& path) { UseTexturePath(path); }, nullptr);
}

// The folder is used at once for the next load and kept in the settings file; when the file
// cannot be written, the scene is loaded again instead of the reminder.
void MenuCommands::UseTexturePath(const std::string& path) {
    ViewerSettings& settings = loop.settings;
    if (!CopyInto(settings.defaultTexturePath, sizeof settings.defaultTexturePath, path)) {
        ui.ShowMessage("Error", "The folder's path is too long:\n" + path);
        return;
    }
    loop.gfx.SetDefaultTexturePath(settings.defaultTexturePath);
    RegistryKey key;
    if (!key.Create("Software\\Halvorn\\KZVView") || key.SetValue("DefaultTexturePath", path) != 0) {
        loop.words.reloadRequest = 1;
        return;
    }
    ui.ShowMessage("Warning", "You need to reload the file to apply the change");
}
