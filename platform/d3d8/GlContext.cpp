#include "platform/d3d8/GlContext.h"

#include "platform/d3d8/GlApi.h"

std::string GlContext::Renderer() const {
    const GLubyte* text = glGetString(GL_RENDERER);
    return text ? reinterpret_cast<const char*>(text) : std::string();
}

bool GlContext::IsSoftware() const {
    const std::string name = Renderer();
    return name.find("llvmpipe") != std::string::npos || name.find("softpipe") != std::string::npos ||
           name.find("swrast") != std::string::npos;
}
