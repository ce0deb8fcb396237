#pragma once
// A headless OpenGL 3.3 core context through EGL without any surface. The default
// choice is Mesa's surfaceless platform (works without a display server; uses a GPU's
// driver where one is present). A software request picks Mesa's software rasteriser
// (llvmpipe) through an EGL device that reports EGL_MESA_device_software.
//
// EGL displays are opened once per process (one per kind) and never terminated: Mesa
// leaks at eglTerminate and keeps the display usable for every later context.

#include "platform/d3d8/GlContext.h"

#include <memory>
#include <string>

using EglContextHandle = void*; // EGLContext
using EglDisplayHandle = void*; // EGLDisplay

class EglContext final : public GlContext {
public:
    // Creates a context and makes it current. On failure returns null and, when error
    // is given, a message naming the EGL step that failed.
    static std::unique_ptr<EglContext> Create(bool software, std::string* error);
    ~EglContext() override;

    bool MakeCurrent() override;
    bool HasWindow() const override { return false; }
    void GetDrawableSize(int* width, int* height) const override;
    void SwapBuffers() override {}
    void SetSwapInterval(int) override {}

private:
    EglContext(EglDisplayHandle display, EglContextHandle context) : display_(display), context_(context) {}
    EglDisplayHandle display_;
    EglContextHandle context_;
};
