#include "platform/d3d8/EglContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <mutex>

namespace {

struct EglDisplayRecord {
    EGLDisplay display = EGL_NO_DISPLAY;
    std::string error;
};

bool HasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool starts = p == list || p[-1] == ' ';
        const bool ends = p[length] == ' ' || p[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

std::string EglErrorText(const char* step) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04X)", step,
                  static_cast<unsigned>(eglGetError()));
    return text;
}

EGLDisplay OpenSurfaceless(std::string* error) {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!HasExtension(client, "EGL_MESA_platform_surfaceless") || !getPlatformDisplay) {
        *error = "EGL_MESA_platform_surfaceless is not available";
        return EGL_NO_DISPLAY;
    }
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) *error = EglErrorText("eglGetPlatformDisplayEXT(surfaceless)");
    return display;
}

// The software rasteriser as an EGL device, so that it can be chosen beside a GPU's display.
EGLDisplay OpenSoftwareDevice(std::string* error) {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    auto queryDeviceString =
        reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!HasExtension(client, "EGL_EXT_platform_device") || !queryDevices || !queryDeviceString ||
        !getPlatformDisplay) {
        *error = "EGL_EXT_platform_device is not available for the software rasteriser";
        return EGL_NO_DISPLAY;
    }
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!queryDevices(16, devices, &count)) {
        *error = EglErrorText("eglQueryDevicesEXT");
        return EGL_NO_DISPLAY;
    }
    for (EGLint i = 0; i < count; ++i) {
        if (HasExtension(queryDeviceString(devices[i], EGL_EXTENSIONS), "EGL_MESA_device_software"))
            return getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
    }
    *error = "no EGL device offers the software rasteriser";
    return EGL_NO_DISPLAY;
}

EglDisplayRecord OpenDisplay(bool software) {
    EglDisplayRecord record;
    record.display = software ? OpenSoftwareDevice(&record.error) : OpenSurfaceless(&record.error);
    if (record.display == EGL_NO_DISPLAY) return record;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(record.display, &major, &minor)) {
        record.error = EglErrorText("eglInitialize");
        record.display = EGL_NO_DISPLAY;
        return record;
    }
    const char* extensions = eglQueryString(record.display, EGL_EXTENSIONS);
    if (!HasExtension(extensions, "EGL_KHR_surfaceless_context") ||
        !HasExtension(extensions, "EGL_KHR_no_config_context")) {
        record.error = "the EGL display lacks surfaceless or config-less contexts";
        record.display = EGL_NO_DISPLAY;
    }
    return record;
}

// One display of each kind for the whole process, opened on first use and never terminated.
const EglDisplayRecord& SharedDisplay(bool software) {
    static std::once_flag onceHardware, onceSoftware;
    static EglDisplayRecord hardware, softwareRecord;
    if (software) {
        std::call_once(onceSoftware, [] { softwareRecord = OpenDisplay(true); });
        return softwareRecord;
    }
    std::call_once(onceHardware, [] { hardware = OpenDisplay(false); });
    return hardware;
}

} // namespace

std::unique_ptr<EglContext> EglContext::Create(bool software, std::string* error) {
    std::string ignored;
    std::string& message = error ? *error : ignored;
    const EglDisplayRecord& record = SharedDisplay(software);
    if (record.display == EGL_NO_DISPLAY) {
        message = record.error;
        return nullptr;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        message = EglErrorText("eglBindAPI(OpenGL)");
        return nullptr;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 3,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                 EGL_NONE};
    EGLContext context = eglCreateContext(record.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        message = EglErrorText("eglCreateContext(OpenGL 3.3 core)");
        return nullptr;
    }
    std::unique_ptr<EglContext> result(new EglContext(record.display, context));
    if (!result->MakeCurrent()) {
        message = EglErrorText("eglMakeCurrent");
        return nullptr;
    }
    return result;
}

EglContext::~EglContext() {
    if (eglGetCurrentContext() == context_)
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
}

bool EglContext::MakeCurrent() {
    if (eglGetCurrentContext() == context_) return true;
    return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
}

void EglContext::GetDrawableSize(int* width, int* height) const {
    *width = 0;
    *height = 0;
}
