#pragma once
// How each Direct3D pixel format is stored in OpenGL 3.3 core. Pixel words keep their
// Direct3D memory layout (A8R8G8B8 is B, G, R, A in memory): the upload format and type
// describe those bytes, so locked pixels go to GL without conversion. Formats without an
// alpha channel read alpha 1 through the texture swizzle.

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3d8/GlApi.h"

struct GlFormat {
    GLenum internalFormat = 0;
    GLenum format = 0; // upload / read-back layout of the Direct3D pixel bytes
    GLenum type = 0;
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    UINT bytesPerPixel = 0;
    bool hasAlpha = false;
};

// False for formats the GL device does not offer as textures (palettes, bump and YUV
// formats, block compression: GL 3.3 core has no S3TC).
bool GlTextureFormat(D3DFORMAT format, GlFormat* out);
// Colour formats a frame can be drawn into.
bool GlRenderTargetFormat(D3DFORMAT format, GlFormat* out);
// Depth formats and their GL renderbuffer format; false for others.
bool GlDepthFormat(D3DFORMAT format, GLenum* internalFormat);
