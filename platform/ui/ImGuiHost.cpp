#include "platform/ui/ImGuiHost.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <sstream>

#include "platform/SystemEvents.h"
#include "platform/ui/ImGuiPanels.h"

namespace {

constexpr const char* kHostKey = "kzv.ui";

// The rows of the main menu bar: ImGui's bar is one frame high (the font and the frame
// padding above and below it).
int BarHeight() {
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
    const float font = atlas.Fonts.empty() ? 13.0f : atlas.Fonts[0]->FontSize;
    return static_cast<int>(font + style.FramePadding.y * 2.0f + 0.5f);
}

} // namespace

ImGuiHost::ImGuiHost(SDL_Window* window, bool menuBar) : window_(window), menuBar_(menuBar) {
    ImGuiContext* previous = ImGui::GetCurrentContext();
    context_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(context_);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr; // no imgui.ini in the user's folder
    io.LogFilename = nullptr;
    io.Fonts->AddFontDefault();
    io.Fonts->Build(); // the font's size (and so the bar's height) is known once it is built
    ImGui::StyleColorsDark();
    ImGui_ImplSDL2_InitForOpenGL(window_, SDL_GL_GetCurrentContext());
    barHeight_ = menuBar_ ? BarHeight() : 0;
    SDL_SetWindowData(window_, kHostKey, this);
    ImGui::SetCurrentContext(previous ? previous : context_);
}

ImGuiHost::~ImGuiHost() {
    SDL_SetWindowData(window_, kHostKey, nullptr);
    Use();
    // Without the device's context the GL objects went with it; only a current one may free.
    if (glReady_) ReleaseGraphics();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(context_);
}

ImGuiHost* ImGuiHost::Of(SDL_Window* window) {
    return window ? static_cast<ImGuiHost*>(SDL_GetWindowData(window, kHostKey)) : nullptr;
}

void ImGuiHost::Use() const {
    ImGui::SetCurrentContext(context_);
}

void ImGuiHost::SetMenu(const std::vector<MenuEntry>& entries) {
    menu_ = entries;
    menuNames_.clear();
    for (const MenuEntry& entry : menu_)
        if (menuNames_.empty() || menuNames_.back() != entry.menu) menuNames_.push_back(entry.menu);
}

void ImGuiHost::ShowFileDialog(const FileDialogRequest& request,
                               std::function<void(const std::string&)> chosen,
                               std::function<void()> cancelled) {
    panels_.push_back(MakeFileDialogPanel(request, std::move(chosen), std::move(cancelled)));
}

void ImGuiHost::ShowQuestion(const std::string& caption, const std::string& text,
                             std::function<void(bool)> answer) {
    panels_.push_back(MakeQuestionPanel(caption, text, std::move(answer)));
}

void ImGuiHost::ShowMessage(const std::string& caption, const std::string& text) {
    panels_.push_back(MakeMessagePanel(caption, text));
}

void ImGuiHost::ShowInfo(const InfoContent& content) {
    panels_.push_back(MakeInfoPanel(content));
}

bool ImGuiHost::TakeEvent(SDL_Event& event) {
    Use();
    ImGui_ImplSDL2_ProcessEvent(&event);
    const ImGuiIO& io = ImGui::GetIO();
    switch (event.type) {
    case SDL_KEYDOWN:
        return Busy() || io.WantCaptureKeyboard || io.WantTextInput;
    case SDL_MOUSEBUTTONDOWN:
        // Decided by where the click is, not by what ImGui knew at its last frame: the pointer
        // may have left the bar since (a click right after a move arrives in the same pump).
        if (Busy() || event.button.y < barHeight_) return true;
        event.button.y -= barHeight_;
        return false;
    case SDL_MOUSEBUTTONUP:
        event.button.y -= barHeight_;
        return false;
    case SDL_MOUSEMOTION:
        event.motion.y -= barHeight_;
        return false;
    default:
        return false;
    }
}

void ImGuiHost::Deliver(WindowEventSink& sink) {
    std::vector<int32_t> commands;
    commands.swap(commands_);
    std::vector<std::function<void()>> completions;
    completions.swap(completions_);
    for (int32_t command : commands) sink.OnMenuCommand(command);
    for (auto& done : completions)
        if (done) done();
    if (Busy() != reportedBusy_) {
        reportedBusy_ = Busy();
        sink.OnMenuLoop(reportedBusy_);
    }
}

bool ImGuiHost::HasSomethingToDraw() const {
    return menuBar_ || !banner_.empty() || !panels_.empty();
}

bool ImGuiHost::Draw(int width, int height) {
    if (!HasSomethingToDraw() || width <= 0 || height <= 0) return false;
    Use();
    if (!glReady_) glReady_ = ImGui_ImplOpenGL3_Init("#version 330 core");
    if (!glReady_) return false;
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    DrawMenuBar();
    DrawBanner(width);
    DrawPanels();
    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    return true;
}

void ImGuiHost::ReleaseGraphics() {
    if (!glReady_) return;
    Use();
    ImGui_ImplOpenGL3_Shutdown();
    glReady_ = false;
}

void ImGuiHost::DrawMenuBar() {
    menuOpen_ = false;
    if (!menuBar_ || !ImGui::BeginMainMenuBar()) return;
    // Drawn every frame: nothing here allocates unless the controls are traced.
    const bool tracing = UiTracing();
    for (const std::string& menu : menuNames_) {
        if (!ImGui::BeginMenu(menu.c_str())) {
            if (tracing) TraceLastItem("menu:" + menu); // an open menu's last item is its popup
            continue;
        }
        menuOpen_ = true;
        // Escape closes an open menu, as it does a system menu.
        if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false)) ImGui::CloseCurrentPopup();
        for (const MenuEntry& entry : menu_) {
            if (entry.menu != menu) continue;
            if (entry.label.empty()) {
                ImGui::Separator();
                continue;
            }
            if (ImGui::MenuItem(entry.label.c_str())) commands_.push_back(entry.command);
            if (tracing) TraceLastItem("item:" + entry.label);
        }
        ImGui::EndMenu();
    }
    ImGui::EndMainMenuBar();
}

void ImGuiHost::DrawBanner(int width) {
    if (banner_.empty()) return;
    ImDrawList* draw = ImGui::GetForegroundDrawList();
    std::istringstream lines(banner_);
    float y = static_cast<float>(barHeight_) + 4.0f;
    for (std::string line; std::getline(lines, line);) {
        const ImVec2 size = ImGui::CalcTextSize(line.c_str());
        const float x = (static_cast<float>(width) - size.x) * 0.5f;
        draw->AddText(ImVec2(x, y), IM_COL32(255, 255, 255, 255), line.c_str());
        TraceAt("banner:" + line, static_cast<int>(x + size.x * 0.5f), static_cast<int>(y + size.y * 0.5f));
        y += ImGui::GetTextLineHeightWithSpacing();
    }
}

// The newest dialog is the one the user works with; when it finishes, the one below it (if
// any) comes back.
void ImGuiHost::DrawPanels() {
    if (panels_.empty()) return;
    std::function<void()> done;
    if (!panels_.back()->Draw(&done)) {
        panels_.pop_back();
        if (done) completions_.push_back(std::move(done));
    }
}
