#pragma once
// Direct3D render states that map onto fixed GL state (depth, blending, culling, fill,
// stencil, colour mask, depth bias, viewport and scissor). A shadow copy of what GL has
// keeps the per-draw work to comparisons; Invalidate forgets it (after a reset or after
// code that changed GL state behind its back).

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3d8/GlApi.h"

struct GlRasterInputs {
    const DWORD* renderStates; // indexed by D3DRS_*, D3DRS_MAX entries
    bool hasDepth;             // the current depth surface exists
    bool hasStencil;
    bool keepsAlpha; // the render target stores alpha
    D3DVIEWPORT8 viewport;
};

class GlRasterState {
public:
    void Invalidate() { valid_ = false; }
    void Apply(const GlRasterInputs& in);

private:
    struct Shadow {
        GLboolean depthTest, depthMask, blend, cull, stencil, polygonOffset, alphaWrite;
        GLenum depthFunc, blendSrc, blendDst, blendEquation, cullFace, polygonMode;
        DWORD colorWrite, zbias;
        GLenum stencilFunc, stencilFail, stencilZFail, stencilPass;
        DWORD stencilRef, stencilMask, stencilWriteMask;
        D3DVIEWPORT8 viewport;
    };
    bool valid_ = false;
    Shadow s_{};
};

// Direct3D comparison and blend values as GL enums (exposed for tests of the mapping).
GLenum GlCompareFunc(DWORD d3dCmp);
GLenum GlBlendFactor(DWORD d3dBlend, bool source);
