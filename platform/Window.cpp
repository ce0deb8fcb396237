#include "platform/Window.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/MessageBox.h"
#include "platform/ui/ImGuiHost.h"

namespace {

// SDL's video part, started once for the process; the drivers that draw nowhere do not count
// as a display.
bool StartVideo() {
    static const bool started = [] {
        // Without a display server named in the environment there is nothing to probe (and the
        // probe would print the client libraries' complaints).
        const char* x11 = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        const bool hasX11 = x11 && *x11, hasWayland = wayland && *wayland;
        if (!hasX11 && !hasWayland) return false;
        if (!hasWayland) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        const char* driver = SDL_GetCurrentVideoDriver();
        if (!driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0 ||
            SDL_GetNumVideoDisplays() < 1) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return false;
        }
        return true;
    }();
    return started;
}

} // namespace

bool DisplayAvailable() {
    return StartVideo();
}

std::unique_ptr<PlatformWindow> PlatformWindow::Create(const WindowOptions& options, std::string* error) {
    std::string ignored;
    std::string& message = error ? *error : ignored;
    if (!StartVideo()) {
        message = "no display available";
        return nullptr;
    }
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    int x = SDL_WINDOWPOS_UNDEFINED, y = SDL_WINDOWPOS_UNDEFINED;
    if (options.fullScreen) {
        const int display =
            options.display >= 0 && options.display < SDL_GetNumVideoDisplays() ? options.display : 0;
        x = y = SDL_WINDOWPOS_UNDEFINED_DISPLAY(display);
        flags |= SDL_WINDOW_FULLSCREEN;
    } else if (options.resizable) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    const int width = options.width > 0 ? options.width : 1;
    const int height = options.height > 0 ? options.height : 1;
    SDL_Window* window = SDL_CreateWindow(options.title.c_str(), x, y, width, height, flags);
    if (!window) {
        message = std::string("SDL_CreateWindow failed: ") + SDL_GetError();
        return nullptr;
    }
    SDL_PumpEvents(); // let the window system map the window before its size is read
    return std::unique_ptr<PlatformWindow>(new PlatformWindow(window, options.menu && !options.fullScreen));
}

PlatformWindow::PlatformWindow(void* window, bool menu)
    : window_(window), ui_(std::make_unique<ImGuiHost>(static_cast<SDL_Window*>(window), menu)), menu_(menu) {
}

WindowUi& PlatformWindow::Ui() {
    return *ui_;
}

PlatformWindow::~PlatformWindow() {
    if (presentsBoxes_) SetMessageBoxPresenter(nullptr);
    ui_.reset();
    RestoreDesktopMode();
    SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
}

void PlatformWindow::GetClientSize(int* width, int* height) const {
    GetWindowClientSize(window_, width, height);
}

void PlatformWindow::SetClientSize(int width, int height) {
    SDL_SetWindowSize(static_cast<SDL_Window*>(window_), width, height + ui_->MenuBarHeight());
    SDL_PumpEvents();
}

void GetWindowClientSize(void* window, int* width, int* height) {
    *width = 0;
    *height = 0;
    if (!window) return;
    SDL_GetWindowSize(static_cast<SDL_Window*>(window), width, height);
    if (const ImGuiHost* ui = ImGuiHost::Of(static_cast<SDL_Window*>(window)))
        *height = *height > ui->MenuBarHeight() ? *height - ui->MenuBarHeight() : 0;
}

void WaitForWindowEvents() {
    SDL_PumpEvents();
    SDL_Delay(10);
}

namespace {

// The boxes carry no type of their own; their captions tell an information or a warning from
// the errors that make up the rest.
Uint32 MessageBoxIcon(const char* caption) {
    if (std::strcmp(caption, "Info") == 0) return SDL_MESSAGEBOX_INFORMATION;
    if (std::strcmp(caption, "Warning") == 0) return SDL_MESSAGEBOX_WARNING;
    return SDL_MESSAGEBOX_ERROR;
}

} // namespace

void PlatformWindow::ShowMessageBoxes() {
    SDL_Window* owner = static_cast<SDL_Window*>(window_);
    SetMessageBoxPresenter([owner](const char* caption, const char* text) {
        SDL_ShowCursor(SDL_ENABLE);
        return SDL_ShowSimpleMessageBox(MessageBoxIcon(caption), caption, text, owner) == 0;
    });
    presentsBoxes_ = true;
}

void PlatformWindow::SetTitle(const char* title) {
    SDL_SetWindowTitle(static_cast<SDL_Window*>(window_), title);
}

bool PlatformWindow::ApplyDisplayMode(int width, int height, int refreshRate, int bitsPerPixel,
                                      std::string* description) {
    SDL_Window* window = static_cast<SDL_Window*>(window_);
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_DisplayMode wanted{};
    wanted.w = width;
    wanted.h = height;
    wanted.refresh_rate = refreshRate > 0 ? refreshRate : 0;
    wanted.format = bitsPerPixel == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
    SDL_DisplayMode chosen{};
    if (display < 0 || !SDL_GetClosestDisplayMode(display, &wanted, &chosen)) {
        if (description) *description = SDL_GetError();
        return false;
    }
    if (SDL_SetWindowDisplayMode(window, &chosen) != 0 ||
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) {
        if (description) *description = SDL_GetError();
        return false;
    }
    modeChanged_ = true;
    SDL_PumpEvents();
    SDL_DisplayMode now{};
    if (SDL_GetWindowDisplayMode(window, &now) != 0) now = chosen;
    if (description)
        *description = std::to_string(now.w) + "x" + std::to_string(now.h) + " " +
                       std::to_string(now.refresh_rate) + " Hz " +
                       std::to_string(SDL_BITSPERPIXEL(now.format)) + " bpp";
    return true;
}

void PlatformWindow::RestoreDesktopMode() {
    if (!modeChanged_) return;
    // Leaving full screen gives the display its desktop mode back.
    SDL_SetWindowFullscreen(static_cast<SDL_Window*>(window_), 0);
    SDL_PumpEvents();
    modeChanged_ = false;
}
