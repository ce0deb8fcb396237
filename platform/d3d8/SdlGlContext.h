#pragma once
// An OpenGL 3.3 core context on an SDL2 window. The window belongs to the caller (the
// platform window); this object only adds the GL context to it and swaps its buffers.

#include "platform/d3d8/GlContext.h"

#include <memory>
#include <string>

struct SDL_Window;

class SdlGlContext final : public GlContext {
public:
    // The window must have been created with SDL_WINDOW_OPENGL. A software request asks
    // Mesa for its software rasteriser (it must come before the first GL context of the
    // process). Null on failure, with SDL's message in error.
    static std::unique_ptr<SdlGlContext> Create(SDL_Window* window, bool software, std::string* error);
    // Sets the GL attributes (3.3 core, double buffer, no depth in the window surface) that
    // SDL reads when it creates an SDL_WINDOW_OPENGL window; call before SDL_CreateWindow.
    static void PrepareWindowAttributes();
    ~SdlGlContext() override;

    bool MakeCurrent() override;
    bool HasWindow() const override { return true; }
    void GetDrawableSize(int* width, int* height) const override;
    void SwapBuffers() override;
    void SetSwapInterval(int interval) override;
    int SwapInterval() const override { return interval_; }
    int ReservedTopRows() const override;
    bool DrawWindowDecoration(int width, int height) override;
    SDL_Window* Window() const { return window_; }

private:
    SdlGlContext(SDL_Window* window, void* context) : window_(window), context_(context) {}
    SDL_Window* window_;
    void* context_; // SDL_GLContext
    int interval_ = 0;
};
