#include "platform/d3d8/GlCaps.h"

#include "platform/d3d8/Direct3DCommon.h"
#include "platform/d3d8/EglContext.h"
#include "platform/d3d8/GlApi.h"

GlLimits ReadGlLimits() {
    GlLimits l;
    if (const GLubyte* text = glGetString(GL_RENDERER)) l.renderer = reinterpret_cast<const char*>(text);
    l.software = l.renderer.find("llvmpipe") != std::string::npos ||
                 l.renderer.find("softpipe") != std::string::npos ||
                 l.renderer.find("swrast") != std::string::npos;
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    if (size > 0) l.maxTextureSize = static_cast<UINT>(size);
    GLfloat range[2] = {1.0f, 1.0f};
    glGetFloatv(GL_POINT_SIZE_RANGE, range);
    if (range[1] >= 1.0f) l.maxPointSize = range[1];
    return l;
}

GlLimits ProbeGlLimits() {
    std::unique_ptr<EglContext> probe = EglContext::Create(false, nullptr);
    return probe ? ReadGlLimits() : GlLimits();
}

D3DCAPS8 GlDeviceCaps(const GlLimits& limits) {
    D3DCAPS8 c = StandardCaps();
    c.Caps2 = D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_DYNAMICTEXTURES;
    c.Caps3 = 0;
    // Transform and lighting run in the generated programs, so they are the device's own.
    c.DevCaps &= ~D3DDEVCAPS_PUREDEVICE;
    if (limits.software) c.DevCaps &= ~D3DDEVCAPS_HWRASTERIZATION;
    c.PrimitiveMiscCaps |= D3DPMISCCAPS_CLIPTLVERTS;
    // No w-buffer (a request is served by the z-buffer), no anisotropy, table fog by eye depth.
    c.RasterCaps &= ~(D3DPRASTERCAPS_ANISOTROPY | D3DPRASTERCAPS_WBUFFER | D3DPRASTERCAPS_ZFOG);
    c.TextureCaps |= D3DPTEXTURECAPS_TEXREPEATNOTSCALEDBYSIZE; // sizes need not be powers of two
    c.TextureFilterCaps &= ~(D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC);
    c.TextureAddressCaps &= ~D3DPTADDRESSCAPS_MIRRORONCE;
    c.MaxTextureWidth = c.MaxTextureHeight = c.MaxTextureAspectRatio = limits.maxTextureSize;
    c.MaxAnisotropy = 1;
    c.GuardBandLeft = c.GuardBandTop = c.GuardBandRight = c.GuardBandBottom = 0.0f;
    c.TextureOpCaps &=
        ~(D3DTEXOPCAPS_PREMODULATE | D3DTEXOPCAPS_BUMPENVMAP | D3DTEXOPCAPS_BUMPENVMAPLUMINANCE);
    c.VertexProcessingCaps &= ~D3DVTXPCAPS_TWEENING;
    c.MaxActiveLights = 16;
    c.MaxUserClipPlanes = 0;
    c.MaxVertexBlendMatrices = 4;
    c.MaxVertexBlendMatrixIndex = 255;
    c.MaxPointSize = limits.maxPointSize;
    c.MaxStreams = 1;
    // No Direct3D shader programs: everything runs through the fixed-function pipeline.
    c.VertexShaderVersion = 0;
    c.MaxVertexShaderConst = 0;
    c.PixelShaderVersion = 0;
    c.MaxPixelShaderValue = 0.0f;
    return c;
}
