#include "platform/d3d8/GlSamplers.h"

GLenum GlAddressMode(DWORD address) {
    switch (address) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    // Mirror-once has no 3.3 core equivalent; clamping keeps the inner copy.
    case D3DTADDRESS_MIRRORONCE:
        return GL_CLAMP_TO_EDGE;
    default:
        return GL_REPEAT;
    }
}

// Anisotropic filtering is no 3.3 core feature; it is served as linear.
GLenum GlMinFilter(DWORD minFilter, DWORD mipFilter) {
    const bool linear = minFilter >= D3DTEXF_LINEAR;
    switch (mipFilter) {
    case D3DTEXF_POINT:
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case D3DTEXF_NONE:
        return linear ? GL_LINEAR : GL_NEAREST;
    default:
        return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
}

GlSamplers::~GlSamplers() {
    Destroy();
}

void GlSamplers::Create() {
    if (ids_[0]) return;
    glGenSamplers(D3DTSS_MAXSTAGES, ids_);
    for (DWORD i = 0; i < D3DTSS_MAXSTAGES; ++i) glBindSampler(i, ids_[i]);
    Invalidate();
}

void GlSamplers::Rebind() {
    if (!ids_[0]) return;
    for (DWORD i = 0; i < D3DTSS_MAXSTAGES; ++i) glBindSampler(i, ids_[i]);
    Invalidate();
}

void GlSamplers::Destroy() {
    if (ids_[0]) glDeleteSamplers(D3DTSS_MAXSTAGES, ids_);
    for (GLuint& id : ids_) id = 0;
}

void GlSamplers::Invalidate() {
    for (Shadow& s : shadow_) s.valid = false;
}

void GlSamplers::Apply(DWORD stage, const DWORD* t) {
    if (stage >= D3DTSS_MAXSTAGES || !ids_[stage]) return;
    Shadow n{t[D3DTSS_ADDRESSU],      t[D3DTSS_ADDRESSV],    t[D3DTSS_BORDERCOLOR],
             t[D3DTSS_MAGFILTER],     t[D3DTSS_MINFILTER],   t[D3DTSS_MIPFILTER],
             t[D3DTSS_MIPMAPLODBIAS], t[D3DTSS_MAXMIPLEVEL], true};
    Shadow& s = shadow_[stage];
    const GLuint id = ids_[stage];
    const bool all = !s.valid;
    if (all || n.addressU != s.addressU)
        glSamplerParameteri(id, GL_TEXTURE_WRAP_S, static_cast<GLint>(GlAddressMode(n.addressU)));
    if (all || n.addressV != s.addressV)
        glSamplerParameteri(id, GL_TEXTURE_WRAP_T, static_cast<GLint>(GlAddressMode(n.addressV)));
    if (all || n.border != s.border) {
        const DWORD c = n.border;
        const float rgba[4] = {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f,
                               ((c >> 24) & 0xFF) / 255.0f};
        glSamplerParameterfv(id, GL_TEXTURE_BORDER_COLOR, rgba);
    }
    if (all || n.mag != s.mag)
        glSamplerParameteri(id, GL_TEXTURE_MAG_FILTER, n.mag >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    if (all || n.min != s.min || n.mip != s.mip)
        glSamplerParameteri(id, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(GlMinFilter(n.min, n.mip)));
    if (all || n.bias != s.bias) glSamplerParameterf(id, GL_TEXTURE_LOD_BIAS, DWORDToFloat(n.bias));
    // The largest level used is the level index MAXMIPLEVEL: detail levels above it are skipped.
    if (all || n.maxLevel != s.maxLevel)
        glSamplerParameterf(id, GL_TEXTURE_MIN_LOD, static_cast<float>(n.maxLevel));
    s = n;
}
