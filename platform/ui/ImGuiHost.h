#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/WindowUi.h"

struct SDL_Window;
typedef union SDL_Event SDL_Event;
class UiPanel;
class WindowEventSink;
struct ImGuiContext;

// The window's user interface on Dear ImGui: owned by the platform window, found from the SDL
// window by the event pump and by the GL context at presentation. It draws after the scene's
// frame has been shown in the window and before the buffers are swapped, so the frame itself
// (and every screenshot taken from it) never holds the menu or a dialog.
class ImGuiHost final : public WindowUi {
public:
    ImGuiHost(SDL_Window* window, bool menuBar);
    ~ImGuiHost() override;
    ImGuiHost(const ImGuiHost&) = delete;
    ImGuiHost& operator=(const ImGuiHost&) = delete;

    // The host of a window; null when it has none.
    static ImGuiHost* Of(SDL_Window* window);

    void SetMenu(const std::vector<MenuEntry>& entries) override;
    int MenuBarHeight() const override { return barHeight_; }
    void ShowFileDialog(const FileDialogRequest& request, std::function<void(const std::string&)> chosen,
                        std::function<void()> cancelled) override;
    void ShowQuestion(const std::string& caption, const std::string& text,
                      std::function<void(bool)> answer) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;
    void ShowInfo(const InfoContent& content) override;
    void SetBanner(const std::string& text) override { banner_ = text; }
    bool Busy() const override { return menuOpen_ || !panels_.empty(); }

    // Hands the event to ImGui; true when the viewer must not see it: a key pressed while a
    // menu, a dialog or a text field has the keyboard, a click on the bar, a menu or a dialog.
    // Mouse positions the viewer does see are moved to the scene's rows (below the bar).
    bool TakeEvent(SDL_Event& event);
    // Runs what the user chose since the last call (menu commands to the sink, dialog
    // callbacks) and reports a menu or dialog appearing or going as a menu loop.
    void Deliver(WindowEventSink& sink);

    // Draws onto the window's framebuffer (width x height pixels) with the device's context
    // current; false when there was nothing to draw (GL untouched).
    bool Draw(int width, int height);
    // Frees the GL objects while their context is still current (the device is going).
    void ReleaseGraphics();

private:
    void Use() const;
    void DrawMenuBar();
    void DrawBanner(int width);
    void DrawPanels();
    bool HasSomethingToDraw() const;

    SDL_Window* window_;
    ImGuiContext* context_ = nullptr;
    bool menuBar_;
    int barHeight_ = 0;
    bool glReady_ = false;
    bool menuOpen_ = false;
    bool reportedBusy_ = false;
    std::vector<MenuEntry> menu_;
    std::vector<std::string> menuNames_; // the menus of the bar, in order
    std::string banner_;
    std::vector<std::unique_ptr<UiPanel>> panels_;
    std::vector<int32_t> commands_;
    std::vector<std::function<void()>> completions_;
};
