#include "platform/d3d8/GlFrameBuffer.h"

GlFrameBuffer::~GlFrameBuffer() {
    Destroy();
}

void GlFrameBuffer::Destroy() {
    if (fbo_) glDeleteFramebuffers(1, &fbo_);
    if (color_) glDeleteTextures(1, &color_);
    if (depth_) glDeleteRenderbuffers(1, &depth_);
    fbo_ = color_ = depth_ = 0;
    width_ = height_ = 0;
}

bool GlFrameBuffer::HasStencil() const {
    return depthFormat_ == D3DFMT_D24S8 || depthFormat_ == D3DFMT_D24X4S4 || depthFormat_ == D3DFMT_D15S1;
}

bool GlFrameBuffer::Create(UINT width, UINT height, D3DFORMAT colorFormat, D3DFORMAT depthFormat) {
    Destroy();
    GlFormat format;
    if (width == 0 || height == 0 || !GlRenderTargetFormat(colorFormat, &format)) return false;
    GLenum depthInternal = 0;
    if (depthFormat != D3DFMT_UNKNOWN && !GlDepthFormat(depthFormat, &depthInternal)) return false;

    GLint previousFbo = 0, previousTexture = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousFbo);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);

    glGenTextures(1, &color_);
    glBindTexture(GL_TEXTURE_2D, color_);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format.internalFormat), static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glGenFramebuffers(1, &fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color_, 0);
    if (depthInternal) {
        glGenRenderbuffers(1, &depth_);
        glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        glRenderbufferStorage(GL_RENDERBUFFER, depthInternal, static_cast<GLsizei>(width),
                              static_cast<GLsizei>(height));
        const GLenum attachment =
            depthInternal == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depth_);
    }
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previousFbo));
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
    if (!complete) {
        Destroy();
        return false;
    }
    width_ = width;
    height_ = height;
    colorFormat_ = colorFormat;
    depthFormat_ = depthInternal ? depthFormat : D3DFMT_UNKNOWN;
    format_ = format;
    return true;
}

namespace {

bool InsideFrame(const RECT& r, UINT width, UINT height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           static_cast<UINT>(r.right) <= width && static_cast<UINT>(r.bottom) <= height;
}

// Pixel store state for a pitch that need not be a multiple of the pixel size.
void SetRowLength(GLenum rowParam, GLenum alignParam, INT pitch, UINT bytesPerPixel) {
    glPixelStorei(alignParam, 1);
    glPixelStorei(rowParam, static_cast<GLint>(static_cast<UINT>(pitch) / bytesPerPixel));
}

} // namespace

bool GlFrameBuffer::Read(const RECT& rect, D3DFORMAT format, void* pixels, INT pitch) const {
    GlFormat layout;
    if (!fbo_ || !InsideFrame(rect, width_, height_) || !GlTextureFormat(format, &layout)) return false;
    if (pitch <= 0 || static_cast<UINT>(pitch) % layout.bytesPerPixel != 0) return false;
    GLint previous = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    SetRowLength(GL_PACK_ROW_LENGTH, GL_PACK_ALIGNMENT, pitch, layout.bytesPerPixel);
    glReadPixels(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, layout.format,
                 layout.type, pixels);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
    // Frames without alpha read as opaque, as Direct3D's X formats do.
    if (!format_.hasAlpha && (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8)) {
        auto* row = static_cast<uint8_t*>(pixels);
        for (LONG y = rect.top; y < rect.bottom; ++y, row += pitch)
            for (LONG x = 0; x < rect.right - rect.left; ++x) row[x * 4 + 3] = 0xFF;
    }
    return true;
}

bool GlFrameBuffer::Write(const RECT& rect, D3DFORMAT format, const void* pixels, INT pitch) {
    GlFormat layout;
    if (!fbo_ || !InsideFrame(rect, width_, height_) || !GlTextureFormat(format, &layout)) return false;
    if (pitch <= 0 || static_cast<UINT>(pitch) % layout.bytesPerPixel != 0) return false;
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, color_);
    SetRowLength(GL_UNPACK_ROW_LENGTH, GL_UNPACK_ALIGNMENT, pitch, layout.bytesPerPixel);
    glTexSubImage2D(GL_TEXTURE_2D, 0, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                    layout.format, layout.type, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    return true;
}

void GlFrameBuffer::CopyTo(GlFrameBuffer& target) const {
    GLint read = 0, draw = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target.fbo_);
    // Blits obey the scissor test; the copy is always of the whole frame.
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, static_cast<GLint>(width_), static_cast<GLint>(height_), 0, 0,
                      static_cast<GLint>(target.width_), static_cast<GLint>(target.height_),
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    if (scissor) glEnable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
}
