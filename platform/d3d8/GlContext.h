#pragma once
// An OpenGL 3.3 core context that the GL device draws with: headless (EGL, no window)
// or bound to a window (SDL2). The device renders into its own framebuffer object and
// only hands the finished frame to the context for showing.

#include <string>

class GlContext {
public:
    virtual ~GlContext() = default;
    GlContext() = default;
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // Makes this context current on the calling thread; false when the platform refuses.
    virtual bool MakeCurrent() = 0;
    // True when frames can be shown in a window (framebuffer 0 is a window surface).
    virtual bool HasWindow() const = 0;
    // The window's drawable size in pixels; 0 x 0 for a headless context.
    virtual void GetDrawableSize(int* width, int* height) const = 0;
    // Shows what was drawn into framebuffer 0; nothing for a headless context.
    virtual void SwapBuffers() = 0;
    // 0 shows at once, 1 waits for the vertical blank; larger values act as 1.
    virtual void SetSwapInterval(int interval) = 0;
    // The interval last asked for, 0 or 1 (always 0 without a window). The window system may
    // lack swap control; frames then show at once whatever was asked.
    virtual int SwapInterval() const { return 0; }
    // Rows at the top of the window that the window keeps for itself (its menu bar): frames
    // are shown below them.
    virtual int ReservedTopRows() const { return 0; }
    // Lets the window draw its own user interface (menu, dialogs) over the shown frame before
    // the swap; true when it drew, which leaves GL's state changed.
    virtual bool DrawWindowDecoration(int width, int height) { return false; }
    // GL_RENDERER of the context (for capability reports and logs).
    std::string Renderer() const;
    // True when the renderer is a software rasteriser (llvmpipe, softpipe, swrast).
    bool IsSoftware() const;
};
