#include "platform/d3d8/SdlGlContext.h"

#include <SDL.h>

#include <cstdlib>

#include "platform/ui/ImGuiHost.h"

void SdlGlContext::PrepareWindowAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The device draws into its own framebuffer object; the window only receives a blit.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

std::unique_ptr<SdlGlContext> SdlGlContext::Create(SDL_Window* window, bool software, std::string* error) {
    std::string ignored;
    std::string& message = error ? *error : ignored;
    if (!window) {
        message = "no window for the GL context";
        return nullptr;
    }
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) == 0) {
        message = "the window was not created for OpenGL";
        return nullptr;
    }
    // Mesa reads this when its driver is loaded for the first context of the process.
    if (software) setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    PrepareWindowAttributes();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        message = std::string("SDL_GL_CreateContext failed: ") + SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<SdlGlContext> result(new SdlGlContext(window, context));
    if (!result->MakeCurrent()) {
        message = std::string("SDL_GL_MakeCurrent failed: ") + SDL_GetError();
        return nullptr;
    }
    return result;
}

SdlGlContext::~SdlGlContext() {
    // The window's user interface drew with this context: its GL objects go first.
    if (ImGuiHost* ui = ImGuiHost::Of(window_))
        if (MakeCurrent()) ui->ReleaseGraphics();
    if (SDL_GL_GetCurrentContext() == context_) SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
}

bool SdlGlContext::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() == context_) return true;
    return SDL_GL_MakeCurrent(window_, context_) == 0;
}

void SdlGlContext::GetDrawableSize(int* width, int* height) const {
    SDL_GL_GetDrawableSize(window_, width, height);
}

void SdlGlContext::SwapBuffers() {
    SDL_GL_SwapWindow(window_);
}

void SdlGlContext::SetSwapInterval(int interval) {
    // Intervals of 2 to 4 frames act as 1: GL offers no portable wait for several blanks.
    interval_ = interval > 0 ? 1 : 0;
    // Without swap control (Xvfb's GLX, some remote displays) frames simply show at once.
    SDL_GL_SetSwapInterval(interval_);
}

int SdlGlContext::ReservedTopRows() const {
    const ImGuiHost* ui = ImGuiHost::Of(window_);
    return ui ? ui->MenuBarHeight() : 0;
}

bool SdlGlContext::DrawWindowDecoration(int width, int height) {
    ImGuiHost* ui = ImGuiHost::Of(window_);
    return ui && ui->Draw(width, height);
}
