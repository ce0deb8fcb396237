#pragma once
// An off-screen frame: a colour texture and an optional depth renderbuffer in one
// framebuffer object. Rows are stored top row first (row 0 is Direct3D's y = 0), so read-back
// matches Direct3D's surface layout and a window blit flips once.

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3d8/GlApi.h"
#include "platform/d3d8/GlFormats.h"

class GlFrameBuffer {
public:
    GlFrameBuffer() = default;
    ~GlFrameBuffer();
    GlFrameBuffer(const GlFrameBuffer&) = delete;
    GlFrameBuffer& operator=(const GlFrameBuffer&) = delete;

    // (Re)creates the frame; depth D3DFMT_UNKNOWN gives none. False when GL refuses.
    bool Create(UINT width, UINT height, D3DFORMAT colorFormat, D3DFORMAT depthFormat);
    void Destroy();

    bool Valid() const { return fbo_ != 0; }
    GLuint Fbo() const { return fbo_; }
    GLuint ColorTexture() const { return color_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT ColorFormat() const { return colorFormat_; }
    D3DFORMAT DepthFormat() const { return depthFormat_; }
    bool HasDepth() const { return depth_ != 0; }
    bool HasStencil() const;
    // True when the format keeps alpha (A8R8G8B8, A1R5G5B5); otherwise alpha stays 1.
    bool KeepsAlpha() const { return format_.hasAlpha; }

    // Reads a rectangle into memory laid out as `format` (a colour format GL can describe),
    // with the given row pitch. The rectangle must lie inside the frame.
    bool Read(const RECT& rect, D3DFORMAT format, void* pixels, INT pitch) const;
    // Writes a rectangle of pixels in `format` into the colour texture.
    bool Write(const RECT& rect, D3DFORMAT format, const void* pixels, INT pitch);
    // Copies the whole colour image into another frame of the same size.
    void CopyTo(GlFrameBuffer& target) const;

private:
    GLuint fbo_ = 0, color_ = 0, depth_ = 0;
    UINT width_ = 0, height_ = 0;
    D3DFORMAT colorFormat_ = D3DFMT_UNKNOWN, depthFormat_ = D3DFMT_UNKNOWN;
    GlFormat format_;
};
