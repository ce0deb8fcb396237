#include "platform/d3d8/GlDevice.h"

#include "platform/d3d8/GlBuffers.h"
#include "platform/d3d8/GlSurface.h"
#include "platform/d3d8/GlTexture.h"

#include <algorithm>

bool GlDeviceLink::MakeCurrent() const {
    return device && device->MakeContextCurrent();
}

HRESULT GlDevice::Create(Direct3DCommon* d3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                         DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters,
                         const D3DDISPLAYMODE& mode, std::unique_ptr<GlContext> context,
                         IDirect3DDevice8** device) {
    *device = nullptr;
    if (!context || !context->MakeCurrent()) return D3DERR_NOTAVAILABLE;
    auto* created =
        new GlDevice(d3d, adapter, type, focusWindow, behaviorFlags, parameters, mode, std::move(context));
    const HRESULT hr = created->Initialize();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *device = created;
    return D3D_OK;
}

GlDevice::GlDevice(Direct3DCommon* d3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                   const D3DPRESENT_PARAMETERS& parameters, const D3DDISPLAYMODE& mode,
                   std::unique_ptr<GlContext> context)
    : DeviceCommon(d3d, adapter, type, focusWindow, behaviorFlags, parameters, mode),
      context_(std::move(context)), link_(std::make_shared<GlDeviceLink>()) {
    link_->device = this;
    maxPointSize_ = Caps().MaxPointSize;
    CreateGlObjects();
    ApplySwapInterval(parameters);
}

void GlDevice::ApplySwapInterval(const D3DPRESENT_PARAMETERS& parameters) {
    // Windowed devices show at once; full-screen ones wait for the blank (2 to 4 blanks act as 1).
    const UINT interval = parameters.FullScreen_PresentationInterval;
    context_->SetSwapInterval(parameters.Windowed || interval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
}

GlDevice::~GlDevice() {
    // GL objects go with the context; resources that outlive the device keep their memory only.
    if (MakeContextCurrent()) {
        pipeline_.Destroy();
        samplers_.Destroy();
        backFrame_.Destroy();
        frontFrame_.Destroy();
        if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
        streamVertices_.Destroy();
        streamIndices_.Destroy();
    }
    link_->device = nullptr;
}

bool GlDevice::MakeContextCurrent() {
    return context_ && context_->MakeCurrent();
}

void GlDevice::CreateGlObjects() {
    // The one vertex array stays bound for the life of the device.
    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    pipeline_.Create();
    samplers_.Create();
    // Fixed conventions: programs set point sizes; flat shading takes the first vertex's colour.
    glEnable(GL_PROGRAM_POINT_SIZE);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    GLfloat range[2] = {1.0f, 64.0f};
    glGetFloatv(GL_POINT_SIZE_RANGE, range);
    if (range[1] < maxPointSize_) maxPointSize_ = range[1];
    MarkAllChanged();
}

void GlDevice::MarkAllChanged() {
    for (uint64_t& s : serial_) ++s;
    paletteDirty_.set();
    lightsChanged_ = true;
    layoutFvf_ = ~0u;
    raster_.Invalidate();
    samplers_.Invalidate();
    pipeline_.Invalidate();
}

// ---------------------------------------------------------------------------------------------
// State setters: the common device stores and checks; here only the changed groups are marked.

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    const HRESULT hr = DeviceCommon::SetRenderState(state, value);
    if (FAILED(hr)) return hr;
    switch (state) {
    case D3DRS_AMBIENT:
        MarkChanged(kGlGroupMaterial);
        break;
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
        MarkChanged(kGlGroupFog);
        break;
    case D3DRS_POINTSIZE:
    case D3DRS_POINTSIZE_MIN:
    case D3DRS_POINTSIZE_MAX:
    case D3DRS_POINTSCALE_A:
    case D3DRS_POINTSCALE_B:
    case D3DRS_POINTSCALE_C:
        MarkChanged(kGlGroupPoint);
        break;
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHAREF:
        MarkChanged(kGlGroupPixel);
        break;
    default:
        break;
    }
    return hr;
}

HRESULT GlDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    const HRESULT hr = DeviceCommon::SetTransform(state, matrix);
    if (FAILED(hr)) return hr;
    const DWORD s = state;
    if (s == D3DTS_VIEW) {
        MarkChanged(kGlGroupTransform);
        MarkChanged(kGlGroupLights);
        paletteDirty_.set();
    } else if (s == D3DTS_PROJECTION) {
        MarkChanged(kGlGroupTransform);
    } else if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) {
        MarkChanged(kGlGroupTexMatrix);
    } else if (s >= D3DTS_WORLD && s < D3DTS_WORLD + kGlMaxBlendMatrices) {
        if (s == D3DTS_WORLD) MarkChanged(kGlGroupTransform);
        paletteDirty_.set(s - D3DTS_WORLD);
    }
    return hr;
}

HRESULT GlDevice::MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    const HRESULT hr = DeviceCommon::MultiplyTransform(state, matrix);
    if (SUCCEEDED(hr)) {
        MarkChanged(kGlGroupTransform);
        MarkChanged(kGlGroupLights);
        MarkChanged(kGlGroupTexMatrix);
        paletteDirty_.set();
    }
    return hr;
}

HRESULT GlDevice::SetViewport(const D3DVIEWPORT8* viewport) {
    const HRESULT hr = DeviceCommon::SetViewport(viewport);
    if (SUCCEEDED(hr)) {
        MarkChanged(kGlGroupTransform);
        MarkChanged(kGlGroupPoint);
    }
    return hr;
}

HRESULT GlDevice::SetMaterial(const D3DMATERIAL8* material) {
    const HRESULT hr = DeviceCommon::SetMaterial(material);
    if (SUCCEEDED(hr)) MarkChanged(kGlGroupMaterial);
    return hr;
}

HRESULT GlDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    const HRESULT hr = DeviceCommon::SetLight(index, light);
    if (SUCCEEDED(hr)) {
        MarkChanged(kGlGroupLights);
        lightsChanged_ = true;
    }
    return hr;
}

HRESULT GlDevice::LightEnable(DWORD index, BOOL enable) {
    const HRESULT hr = DeviceCommon::LightEnable(index, enable);
    if (SUCCEEDED(hr)) {
        MarkChanged(kGlGroupLights);
        lightsChanged_ = true;
    }
    return hr;
}

HRESULT GlDevice::Reset(D3DPRESENT_PARAMETERS* presentationParameters) {
    if (!MakeContextCurrent()) return D3DERR_DEVICELOST;
    const HRESULT hr = DeviceCommon::Reset(presentationParameters);
    if (SUCCEEDED(hr)) ApplySwapInterval(PresentParameters());
    MarkAllChanged();
    return hr;
}

void GlDevice::ForgetBuffer(GLuint id) {
    if (boundArrayBuffer_ == id) boundArrayBuffer_ = 0;
    if (boundElementBuffer_ == id) boundElementBuffer_ = 0;
    if (attributes_.buffer == id) attributes_ = AttributeBinding{};
}

void GlDevice::ForgetTexture(GLuint id) {
    for (GLuint& bound : unitTexture_)
        if (bound == id) bound = 0;
}

// ---------------------------------------------------------------------------------------------
// Resources

CommonTexture* GlDevice::NewTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                    D3DPOOL pool) {
    return new GlTexture(this, width, height, levels, usage, format, pool);
}

CommonVertexBuffer* GlDevice::NewVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
    return new GlVertexBuffer(this, length, usage, fvf, pool);
}

CommonIndexBuffer* GlDevice::NewIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
    return new GlIndexBuffer(this, length, usage, format, pool);
}

HRESULT GlDevice::CreateSwapChain(const D3DPRESENT_PARAMETERS& p) {
    if (!MakeContextCurrent()) return D3DERR_DEVICELOST;
    const D3DFORMAT depth = p.EnableAutoDepthStencil ? p.AutoDepthStencilFormat : D3DFMT_UNKNOWN;
    if (!backFrame_.Create(p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat, depth) ||
        !frontFrame_.Create(p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat, D3DFMT_UNKNOWN))
        return D3DERR_OUTOFVIDEOMEMORY;
    // New frames start black (and opaque), with the depth buffer at its far value.
    GLint previous = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous);
    for (GlFrameBuffer* frame : {&frontFrame_, &backFrame_}) {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, frame->Fbo());
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_TRUE);
        glClearColor(0, 0, 0, 1);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | (frame->HasDepth() ? GL_DEPTH_BUFFER_BIT : 0));
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, backFrame_.Fbo());
    frontShown_ = false;
    raster_.Invalidate();

    SafeRelease(backBuffer_);
    SafeRelease(depthStencil_);
    const bool lockable = (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
    backBuffer_ = new GlBackBufferSurface(this, link_, p.BackBufferFormat, p.BackBufferWidth,
                                          p.BackBufferHeight, lockable);
    if (p.EnableAutoDepthStencil)
        depthStencil_ = new CommonSurface(this, p.AutoDepthStencilFormat, p.BackBufferWidth,
                                          p.BackBufferHeight, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, false);
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Presentation

HRESULT GlDevice::PresentFrame() {
    if (!MakeContextCurrent()) return D3DERR_DEVICELOST;
    backFrame_.CopyTo(frontFrame_);
    frontShown_ = true;
    if (context_->HasWindow()) {
        ShowInWindow();
        // The window's own user interface goes over the frame, never into it (screenshots read
        // the frame).
        if (context_->DrawWindowDecoration(windowWidth_, windowHeight_)) ForgetGlState();
        context_->SwapBuffers();
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, backFrame_.Fbo());
        raster_.Invalidate();
    }
    const GLenum error = glGetError();
    if (error == GL_OUT_OF_MEMORY) return D3DERR_OUTOFVIDEOMEMORY;
    return D3D_OK;
}

// Copies the kept frame into the window below the rows the window keeps for its menu bar,
// which start black.
void GlDevice::ShowInWindow() {
    int width = 0, height = 0;
    context_->GetDrawableSize(&width, &height);
    windowWidth_ = width;
    windowHeight_ = height;
    const int top = std::clamp(context_->ReservedTopRows(), 0, height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, frontFrame_.Fbo());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    if (top > 0) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, height - top, width, top);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
    // The frame's first row is the top of the picture; the window's first row is its bottom.
    glBlitFramebuffer(0, 0, static_cast<GLint>(frontFrame_.Width()), static_cast<GLint>(frontFrame_.Height()),
                      0, height - top, width, 0, GL_COLOR_BUFFER_BIT, GL_LINEAR);
}

void GlDevice::ForgetGlState() {
    constexpr GLuint kUnknown = ~0u;
    glBindVertexArray(vertexArray_);
    samplers_.Rebind();
    glEnable(GL_PROGRAM_POINT_SIZE);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    boundArrayBuffer_ = boundElementBuffer_ = kUnknown;
    for (GLuint& unit : unitTexture_) unit = kUnknown;
    activeUnit_ = ~DWORD{0};
    attributes_ = AttributeBinding{};
    attributes_.buffer = kUnknown;
    MarkAllChanged();
}

HRESULT GlDevice::CopyFrontBuffer(SurfaceCommon& dest) {
    if (!MakeContextCurrent()) return D3DERR_DEVICELOST;
    ImageMemory& image = dest.Image();
    if (image.Format() != D3DFMT_A8R8G8B8) return D3DERR_INVALIDCALL;
    // The shown frame at the top left; whatever the frame does not cover is black.
    const RECT all{0, 0, static_cast<LONG>(image.Width()), static_cast<LONG>(image.Height())};
    FillImageRect(image, all, 0xFF000000u);
    const UINT width = std::min(image.Width(), frontFrame_.Width());
    const UINT height = std::min(image.Height(), frontFrame_.Height());
    if (width > 0 && height > 0) {
        const RECT area{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        if (!frontFrame_.Read(area, D3DFMT_A8R8G8B8, image.Bits(), static_cast<INT>(image.Pitch())))
            return D3DERR_INVALIDCALL;
    }
    image.Touch();
    return D3D_OK;
}
