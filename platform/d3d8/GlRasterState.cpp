#include "platform/d3d8/GlRasterState.h"

#include <cstring>

GLenum GlCompareFunc(DWORD cmp) {
    switch (cmp) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

// BOTHSRCALPHA and BOTHINVSRCALPHA set both factors from the source value alone.
GLenum GlBlendFactor(DWORD blend, bool source) {
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BOTHSRCALPHA:
        return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_BOTHINVSRCALPHA:
        return source ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    default:
        return source ? GL_ONE : GL_ZERO;
    }
}

namespace {

GLenum BlendEquation(DWORD op) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum StencilOp(DWORD op) {
    switch (op) {
    case D3DSTENCILOP_ZERO:
        return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
        return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
        return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
        return GL_DECR;
    case D3DSTENCILOP_INVERT:
        return GL_INVERT;
    case D3DSTENCILOP_INCR:
        return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
        return GL_DECR_WRAP;
    default:
        return GL_KEEP;
    }
}

void Enable(GLenum cap, GLboolean on) {
    on ? glEnable(cap) : glDisable(cap);
}

} // namespace

void GlRasterState::Apply(const GlRasterInputs& in) {
    const DWORD* rs = in.renderStates;
    Shadow n{};
    // A w-buffer request is served by the z-buffer.
    n.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && in.hasDepth;
    n.depthMask = rs[D3DRS_ZWRITEENABLE] != 0;
    n.depthFunc = GlCompareFunc(rs[D3DRS_ZFUNC]);
    n.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
    n.blendSrc = GlBlendFactor(rs[D3DRS_SRCBLEND], true);
    n.blendDst = GlBlendFactor(rs[D3DRS_DESTBLEND], false);
    if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA || rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA)
        n.blendDst = GlBlendFactor(rs[D3DRS_SRCBLEND], false);
    n.blendEquation = BlendEquation(rs[D3DRS_BLENDOP]);
    // Frames are stored top row first, so Direct3D's clockwise triangles are GL's front faces.
    n.cull = rs[D3DRS_CULLMODE] == D3DCULL_CW || rs[D3DRS_CULLMODE] == D3DCULL_CCW;
    n.cullFace = rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_FRONT : GL_BACK;
    n.polygonMode = rs[D3DRS_FILLMODE] == D3DFILL_POINT       ? GL_POINT
                    : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                                              : GL_FILL;
    n.colorWrite = rs[D3DRS_COLORWRITEENABLE];
    n.alphaWrite = in.keepsAlpha && (n.colorWrite & D3DCOLORWRITEENABLE_ALPHA);
    n.zbias = rs[D3DRS_ZBIAS];
    n.polygonOffset = n.zbias != 0;
    n.stencil = rs[D3DRS_STENCILENABLE] != 0 && in.hasStencil;
    n.stencilFunc = GlCompareFunc(rs[D3DRS_STENCILFUNC]);
    n.stencilFail = StencilOp(rs[D3DRS_STENCILFAIL]);
    n.stencilZFail = StencilOp(rs[D3DRS_STENCILZFAIL]);
    n.stencilPass = StencilOp(rs[D3DRS_STENCILPASS]);
    n.stencilRef = rs[D3DRS_STENCILREF];
    n.stencilMask = rs[D3DRS_STENCILMASK];
    n.stencilWriteMask = rs[D3DRS_STENCILWRITEMASK];
    n.viewport = in.viewport;

    const bool all = !valid_;
    if (all || n.depthTest != s_.depthTest) Enable(GL_DEPTH_TEST, n.depthTest);
    if (all || n.depthMask != s_.depthMask) glDepthMask(n.depthMask);
    if (all || n.depthFunc != s_.depthFunc) glDepthFunc(n.depthFunc);
    if (all || n.blend != s_.blend) Enable(GL_BLEND, n.blend);
    if (all || n.blendSrc != s_.blendSrc || n.blendDst != s_.blendDst) glBlendFunc(n.blendSrc, n.blendDst);
    if (all || n.blendEquation != s_.blendEquation) glBlendEquation(n.blendEquation);
    if (all || n.cull != s_.cull) Enable(GL_CULL_FACE, n.cull);
    if (all || n.cullFace != s_.cullFace) glCullFace(n.cullFace);
    if (all || n.polygonMode != s_.polygonMode) glPolygonMode(GL_FRONT_AND_BACK, n.polygonMode);
    if (all || n.colorWrite != s_.colorWrite || n.alphaWrite != s_.alphaWrite)
        glColorMask((n.colorWrite & D3DCOLORWRITEENABLE_RED) != 0,
                    (n.colorWrite & D3DCOLORWRITEENABLE_GREEN) != 0,
                    (n.colorWrite & D3DCOLORWRITEENABLE_BLUE) != 0, n.alphaWrite);
    if (all || n.polygonOffset != s_.polygonOffset) {
        Enable(GL_POLYGON_OFFSET_FILL, n.polygonOffset);
        Enable(GL_POLYGON_OFFSET_LINE, n.polygonOffset);
        Enable(GL_POLYGON_OFFSET_POINT, n.polygonOffset);
    }
    // A larger bias draws nearer: one unit of depth resolution per step.
    if (all || n.zbias != s_.zbias) glPolygonOffset(0.0f, -static_cast<float>(n.zbias));
    if (all || n.stencil != s_.stencil) Enable(GL_STENCIL_TEST, n.stencil);
    if (all || n.stencilFunc != s_.stencilFunc || n.stencilRef != s_.stencilRef ||
        n.stencilMask != s_.stencilMask)
        glStencilFunc(n.stencilFunc, static_cast<GLint>(n.stencilRef), n.stencilMask);
    if (all || n.stencilFail != s_.stencilFail || n.stencilZFail != s_.stencilZFail ||
        n.stencilPass != s_.stencilPass)
        glStencilOp(n.stencilFail, n.stencilZFail, n.stencilPass);
    if (all || n.stencilWriteMask != s_.stencilWriteMask) glStencilMask(n.stencilWriteMask);
    if (all || std::memcmp(&n.viewport, &s_.viewport, sizeof n.viewport) != 0) {
        const D3DVIEWPORT8& v = n.viewport;
        const auto x = static_cast<GLint>(v.X), y = static_cast<GLint>(v.Y);
        const auto w = static_cast<GLsizei>(v.Width), h = static_cast<GLsizei>(v.Height);
        glViewport(x, y, w, h);
        // Direct3D draws nothing outside the viewport, wide points and lines included.
        glScissor(x, y, w, h);
        glDepthRange(v.MinZ, v.MaxZ);
    }
    if (all) glEnable(GL_SCISSOR_TEST);
    s_ = n;
    valid_ = true;
}
