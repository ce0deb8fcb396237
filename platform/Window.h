#pragma once

#include <memory>
#include <string>

class ImGuiHost;
class WindowUi;

// The program's main window (an SDL2 window prepared for OpenGL) and the services that need
// the window system: whether a display exists, client sizes, waiting for events, and message
// boxes shown by the window system. The window handle handed to the graphics device (HWND)
// is the SDL window.

struct WindowOptions {
    std::string title = "ViewKZV";
    int width = 640;
    int height = 480;
    bool fullScreen = false;
    int display = 0;       // full screen only: the display (adapter) that shows the window
    bool resizable = true; // windowed: sizing border and maximise box
    bool menu = false;     // windowed only: a menu bar at the top, above the scene's area
};

class PlatformWindow {
public:
    // Null when the window cannot be made; error then says why.
    static std::unique_ptr<PlatformWindow> Create(const WindowOptions& options, std::string* error);
    ~PlatformWindow();
    PlatformWindow(const PlatformWindow&) = delete;
    PlatformWindow& operator=(const PlatformWindow&) = delete;

    // The handle the Direct3D layer takes as device window (SDL_Window*).
    void* Handle() const { return window_; }
    void GetClientSize(int* width, int* height) const;
    // Resizes the scene's client area (as a user dragging the border would).
    void SetClientSize(int width, int height);
    bool HasMenu() const { return menu_; }
    // The window's menu bar, dialogs and banner (drawn over each presented frame).
    WindowUi& Ui();
    void SetTitle(const char* title);
    // Full screen: switches the window's display to the mode nearest to the one asked for
    // (bits per pixel 32 or 16; refresh 0 = the display's choice) and describes the mode
    // actually set ("1024x768 60 Hz 32 bpp"). False, with SDL's reason, when no mode fits.
    // The desktop mode comes back when the window is destroyed.
    bool ApplyDisplayMode(int width, int height, int refreshRate, int bitsPerPixel, std::string* description);
    // Gives the display its desktop mode back (after ApplyDisplayMode; otherwise nothing).
    void RestoreDesktopMode();
    // Routes ShowMessageBox to the window system's own dialog, owned by this window, until the
    // window is destroyed. A dialog that cannot be shown sends the text to standard error.
    void ShowMessageBoxes();

private:
    PlatformWindow(void* window, bool menu);
    void* window_;
    std::unique_ptr<ImGuiHost> ui_;
    bool menu_;
    bool presentsBoxes_ = false;
    bool modeChanged_ = false;
};

// True when a window system with at least one display can be reached. The answer is found
// once; later calls repeat it.
bool DisplayAvailable();

// The size of the window's scene area: its client area less the rows of a menu bar at its top;
// 0 x 0 for a null handle.
void GetWindowClientSize(void* window, int* width, int* height);

// Gives the window system a moment: processes its pending work and sleeps briefly. Used while
// waiting for a lost device to come back.
void WaitForWindowEvents();
