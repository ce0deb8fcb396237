#pragma once
// One GL sampler object per texture stage, holding the stage's address modes, border colour,
// filters, mip filter, level-of-detail bias and largest mip level. Updated from the stage
// states when they change.

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3d8/GlApi.h"

class GlSamplers {
public:
    GlSamplers() = default;
    ~GlSamplers();
    GlSamplers(const GlSamplers&) = delete;
    GlSamplers& operator=(const GlSamplers&) = delete;

    void Create();
    void Destroy();
    void Invalidate();
    // Binds the samplers to their units again (after another renderer used the units).
    void Rebind();
    // stageStates is indexed by D3DTSS_* (D3DTSS_MAX entries) for that stage.
    void Apply(DWORD stage, const DWORD* stageStates);

private:
    struct Shadow {
        DWORD addressU, addressV, border, mag, min, mip, bias, maxLevel;
        bool valid;
    };
    GLuint ids_[D3DTSS_MAXSTAGES] = {};
    Shadow shadow_[D3DTSS_MAXSTAGES] = {};
};

GLenum GlAddressMode(DWORD d3dAddress);
GLenum GlMinFilter(DWORD minFilter, DWORD mipFilter);
