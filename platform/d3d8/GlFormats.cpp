#include "platform/d3d8/GlFormats.h"

namespace {

GlFormat Make(GLenum internalFormat, GLenum format, GLenum type, UINT bytes, bool alpha) {
    GlFormat f;
    f.internalFormat = internalFormat;
    f.format = format;
    f.type = type;
    f.bytesPerPixel = bytes;
    f.hasAlpha = alpha;
    if (!alpha) f.swizzle[3] = GL_ONE;
    return f;
}

} // namespace

bool GlTextureFormat(D3DFORMAT format, GlFormat* out) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
        *out = Make(GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, true);
        return true;
    case D3DFMT_X8R8G8B8:
        *out = Make(GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, false);
        return true;
    case D3DFMT_R8G8B8:
        *out = Make(GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, 3, false);
        return true;
    case D3DFMT_R5G6B5:
        *out = Make(GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, false);
        return true;
    case D3DFMT_A1R5G5B5:
        *out = Make(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, true);
        return true;
    case D3DFMT_X1R5G5B5:
        *out = Make(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, false);
        return true;
    case D3DFMT_A4R4G4B4:
        *out = Make(GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, true);
        return true;
    case D3DFMT_X4R4G4B4:
        *out = Make(GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, false);
        return true;
    case D3DFMT_L8:
        *out = Make(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, false);
        out->swizzle[0] = out->swizzle[1] = out->swizzle[2] = GL_RED;
        return true;
    case D3DFMT_A8:
        *out = Make(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, true);
        out->swizzle[0] = out->swizzle[1] = out->swizzle[2] = GL_ZERO;
        out->swizzle[3] = GL_RED;
        return true;
    case D3DFMT_A8L8:
        *out = Make(GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2, true);
        out->swizzle[0] = out->swizzle[1] = out->swizzle[2] = GL_RED;
        out->swizzle[3] = GL_GREEN;
        return true;
    default:
        return false;
    }
}

bool GlRenderTargetFormat(D3DFORMAT format, GlFormat* out) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        // Stored as 8 bits per channel (GL 3.3 does not promise 16-bit colour attachments);
        // format and type still describe the Direct3D pixels for read-back.
        if (!GlTextureFormat(format, out)) return false;
        out->internalFormat = GL_RGBA8;
        return true;
    default:
        return false;
    }
}

bool GlDepthFormat(D3DFORMAT format, GLenum* internalFormat) {
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
        *internalFormat = GL_DEPTH_COMPONENT16;
        return true;
    case D3DFMT_D24X8:
        *internalFormat = GL_DEPTH_COMPONENT24;
        return true;
    case D3DFMT_D24S8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D15S1:
        *internalFormat = GL_DEPTH24_STENCIL8;
        return true;
    case D3DFMT_D32:
        *internalFormat = GL_DEPTH_COMPONENT32F;
        return true;
    default:
        return false;
    }
}
