// Clearing and drawing of the GL device.

#include "platform/d3d8/GlBuffers.h"
#include "platform/d3d8/GlDevice.h"
#include "platform/d3d8/GlTexture.h"
#include "platform/d3d8/GlVertexLayout.h"

namespace {

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        return GL_TRIANGLE_FAN;
    default:
        return GL_TRIANGLES;
    }
}

} // namespace

void GlDevice::ApplyRaster() {
    const DeviceState& s = State();
    GlRasterInputs in;
    in.renderStates = s.renderStates.data();
    in.hasDepth = CurrentDepthStencil() != nullptr && backFrame_.HasDepth();
    in.hasStencil = in.hasDepth && backFrame_.HasStencil();
    in.keepsAlpha = backFrame_.KeepsAlpha();
    in.viewport = s.viewport;
    raster_.Apply(in);
}

HRESULT GlDevice::ClearTargets(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                               DWORD stencil) {
    if (!MakeContextCurrent()) return D3DERR_DEVICELOST;
    // Frames are drawn into the back buffer only; other render targets are refused, not ignored.
    if (CurrentRenderTarget() != BackBufferSurface()) return D3DERR_INVALIDCALL;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, backFrame_.Fbo());
    const bool depth = (flags & D3DCLEAR_ZBUFFER) && CurrentDepthStencil() && backFrame_.HasDepth();
    const bool stencilToo = (flags & D3DCLEAR_STENCIL) && CurrentDepthStencil() && backFrame_.HasStencil();
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        mask |= GL_COLOR_BUFFER_BIT;
        // Frames without alpha keep alpha at 1, so destination alpha blends as Direct3D's X formats.
        const bool alpha = backFrame_.KeepsAlpha();
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
                     alpha ? ((color >> 24) & 0xFF) / 255.0f : 1.0f);
    }
    if (depth) {
        mask |= GL_DEPTH_BUFFER_BIT;
        glDepthMask(GL_TRUE);
        glClearDepth(z);
    }
    if (stencilToo) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glStencilMask(0xFFFFFFFFu);
        glClearStencil(static_cast<GLint>(stencil));
    }
    if (mask) {
        glEnable(GL_SCISSOR_TEST);
        if (count == 0) {
            const D3DVIEWPORT8& v = State().viewport;
            glScissor(static_cast<GLint>(v.X), static_cast<GLint>(v.Y), static_cast<GLsizei>(v.Width),
                      static_cast<GLsizei>(v.Height));
            glClear(mask);
        }
        for (DWORD i = 0; i < count; ++i) {
            const D3DRECT& r = rects[i];
            if (r.x2 <= r.x1 || r.y2 <= r.y1) continue;
            glScissor(r.x1, r.y1, r.x2 - r.x1, r.y2 - r.y1);
            glClear(mask);
        }
    }
    // Masks and scissor now differ from what the draw state asked for.
    raster_.Invalidate();
    return D3D_OK;
}

void GlDevice::CollectLights() {
    activeLightCount_ = 0;
    for (const auto& [index, slot] : State().lights) {
        if (!slot.enabled || activeLightCount_ >= kGlMaxActiveLights) continue;
        activeLights_[activeLightCount_++] = &slot.light;
    }
    lightsChanged_ = false;
}

void GlDevice::BindTexture(DWORD stage, GLuint id) {
    if (unitTexture_[stage] == id) return;
    if (activeUnit_ != stage) {
        glActiveTexture(GL_TEXTURE0 + stage);
        activeUnit_ = stage;
    }
    glBindTexture(GL_TEXTURE_2D, id);
    unitTexture_[stage] = id;
}

void GlDevice::BindTextures(GlPipelineInputs& in) {
    const DeviceState& s = State();
    for (DWORD stage = 0; stage < D3DTSS_MAXSTAGES; ++stage) in.textureBound[stage] = false;
    for (DWORD stage = 0; stage < D3DTSS_MAXSTAGES; ++stage) {
        if (s.stageStates[stage][D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
        CommonTexture* texture = AsTexture(s.textures[stage]);
        if (!texture) continue;
        // A texture made or brought up to date binds itself on the active unit: make that the
        // stage's own, so no other stage's binding changes behind its record.
        if (activeUnit_ != stage) {
            glActiveTexture(GL_TEXTURE0 + stage);
            activeUnit_ = stage;
        }
        // Every texture of this device is a GlTexture (NewTexture makes them).
        auto* gl = static_cast<GlTexture*>(texture);
        bool boundBySync = false;
        const GLuint id = gl->Sync(&boundBySync);
        if (boundBySync) unitTexture_[stage] = id;
        BindTexture(stage, id);
        samplers_.Apply(stage, s.stageStates[stage].data());
        in.textureBound[stage] = id != 0;
    }
}

void GlDevice::BindVertices(const DrawRequest& r, const FvfLayout& layout) {
    GLuint buffer;
    size_t base;
    if (r.vertexBuffer) {
        buffer = static_cast<GlVertexBuffer*>(r.vertexBuffer)->Sync(&boundArrayBuffer_);
        base = static_cast<size_t>(r.firstVertex) * r.stride;
    } else {
        base = streamVertices_.Append(GL_ARRAY_BUFFER, r.vertices,
                                      static_cast<size_t>(r.vertexCount) * r.stride, &boundArrayBuffer_);
        buffer = streamVertices_.Id();
    }
    const AttributeBinding wanted{buffer, r.vertexShader, r.stride, base};
    if (wanted.buffer == attributes_.buffer && wanted.fvf == attributes_.fvf &&
        wanted.stride == attributes_.stride && wanted.base == attributes_.base)
        return;
    // Attribute pointers take the buffer bound to GL_ARRAY_BUFFER.
    if (boundArrayBuffer_ != buffer) {
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        boundArrayBuffer_ = buffer;
    }
    ApplyVertexLayout(layout, r.stride, base);
    attributes_ = wanted;
}

size_t GlDevice::BindIndices(const DrawRequest& r, UINT indexSize) {
    if (r.indexBuffer) {
        static_cast<GlIndexBuffer*>(r.indexBuffer)->Sync(&boundElementBuffer_);
        return static_cast<size_t>(r.startIndex) * indexSize;
    }
    return streamIndices_.Append(GL_ELEMENT_ARRAY_BUFFER, r.indices,
                                 static_cast<size_t>(r.indexCount) * indexSize, &boundElementBuffer_);
}

UINT GlDevice::PaletteReach(const DrawRequest& r) const {
    if (layout_.indicesOffset < 0) return 0;
    // Vertices from user memory are few: every matrix may be reached.
    if (!r.vertexBuffer) return kGlMaxBlendMatrices;
    return static_cast<GlVertexBuffer*>(r.vertexBuffer)
               ->MaxBlendIndex(static_cast<UINT>(layout_.indicesOffset), r.stride) +
           1;
}

HRESULT GlDevice::DrawGeometry(const DrawRequest& r) {
    if (!MakeContextCurrent()) return D3DERR_DEVICELOST;
    // Only fixed-function vertex formats: the GL device runs no Direct3D shader programs.
    if (IsVertexShaderHandle(r.vertexShader)) return D3DERR_INVALIDCALL;
    if (CurrentRenderTarget() != BackBufferSurface()) return D3DERR_INVALIDCALL;
    if (r.vertexShader != layoutFvf_) {
        if (!DecodeFvf(r.vertexShader, &layout_) || !layout_.hasPosition) {
            layoutFvf_ = ~0u;
            return D3DERR_INVALIDCALL;
        }
        layoutFvf_ = r.vertexShader;
    }
    // The back frame stays the draw framebuffer and the one vertex array stays bound: every
    // other binding of them puts them back.
    ApplyRaster();
    if (lightsChanged_) CollectLights();

    const DeviceState& s = State();
    GlPipelineInputs in{};
    in.renderStates = s.renderStates.data();
    in.stageStates = reinterpret_cast<const DWORD(*)[D3DTSS_MAX]>(s.stageStates.data());
    in.worldMatrices = s.world.data();
    in.view = &s.view;
    in.projection = &s.projection;
    in.textureMatrices = s.textureTransforms.data();
    in.material = &s.material;
    in.activeLights = activeLights_;
    in.activeLightCount = activeLightCount_;
    in.layout = &layout_;
    in.points = r.type == D3DPT_POINTLIST || s.renderStates[D3DRS_FILLMODE] == D3DFILL_POINT;
    in.viewport = s.viewport;
    in.maxPointSize = maxPointSize_;
    for (int g = 0; g < kGlGroupCount; ++g) in.serial[g] = serial_[g];
    in.paletteDirty = &paletteDirty_;
    in.indexedPaletteReach = s.renderStates[D3DRS_INDEXEDVERTEXBLENDENABLE] ? PaletteReach(r) : 0;
    BindTextures(in);
    if (!pipeline_.Prepare(in)) {
        error_ = pipeline_.LastError();
        return D3DERR_DRIVERINTERNALERROR;
    }
    BindVertices(r, layout_);

    const GLenum mode = PrimitiveMode(r.type);
    if (!r.indices) {
        glDrawArrays(mode, 0, static_cast<GLsizei>(VerticesForPrimitives(r.type, r.primitiveCount)));
        return D3D_OK;
    }
    const UINT indexSize = r.indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    const size_t offset = BindIndices(r, indexSize);
    // The checked index range spares the driver a look at every index.
    glDrawRangeElements(mode, r.minIndex, r.minIndex + r.numVertices - 1, static_cast<GLsizei>(r.indexCount),
                        indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                        reinterpret_cast<const void*>(offset));
    return D3D_OK;
}
