#pragma once
// The OpenGL device behind IDirect3DDevice8. DeviceCommon keeps the Direct3D rules and state;
// this class draws: every frame goes into an off-screen frame (GlFrameBuffer), Present copies
// it into the kept front frame (and shows it in the window, when there is one), and the
// fixed-function pipeline runs as generated GLSL programs (GlPipeline).

#include "platform/d3d8/DeviceCommon.h"
#include "platform/d3d8/GlBuffers.h"
#include "platform/d3d8/GlContext.h"
#include "platform/d3d8/GlFrameBuffer.h"
#include "platform/d3d8/GlPipeline.h"
#include "platform/d3d8/GlRasterState.h"
#include "platform/d3d8/GlSamplers.h"

#include <bitset>
#include <memory>
#include <string>

class GlDevice;

// The link from GL resources to their device: cleared when the device goes, so that a
// resource that outlives it never touches a dead context.
struct GlDeviceLink {
    GlDevice* device = nullptr;
    bool MakeCurrent() const;
};

class GlDevice final : public DeviceCommon {
public:
    // Creates the device on a context (taken over) and initialises it; one reference on success.
    static HRESULT Create(Direct3DCommon* d3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                          DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters,
                          const D3DDISPLAYMODE& mode, std::unique_ptr<GlContext> context,
                          IDirect3DDevice8** device);

    bool MakeContextCurrent();
    const std::shared_ptr<GlDeviceLink>& Link() const { return link_; }
    GlContext& Context() { return *context_; }
    // Programs built so far, and the message of the last program that failed to build.
    size_t ProgramCount() const { return pipeline_.ProgramCount(); }
    const std::string& LastError() const { return error_; }

    // Setters that also mark which uniform groups changed.
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) override;

    // The back frame (for the back-buffer surface's read-back and write-back).
    GlFrameBuffer& BackFrame() { return backFrame_; }

    // A GL buffer or texture was deleted, which unbinds it: the records of what is bound forget it.
    void ForgetBuffer(GLuint id);
    void ForgetTexture(GLuint id);
    // Another renderer drew with the context: everything remembered of GL's state is sent again.
    void ForgetGlState();

protected:
    CommonTexture* NewTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool) override;
    CommonVertexBuffer* NewVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) override;
    CommonIndexBuffer* NewIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool) override;
    HRESULT CreateSwapChain(const D3DPRESENT_PARAMETERS& parameters) override;
    HRESULT ClearTargets(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                         DWORD stencil) override;
    HRESULT DrawGeometry(const DrawRequest& request) override;
    HRESULT PresentFrame() override;
    HRESULT CopyFrontBuffer(SurfaceCommon& dest) override;

private:
    GlDevice(Direct3DCommon* d3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
             const D3DPRESENT_PARAMETERS& parameters, const D3DDISPLAYMODE& mode,
             std::unique_ptr<GlContext> context);
    ~GlDevice() override;

    void CreateGlObjects();
    void ApplySwapInterval(const D3DPRESENT_PARAMETERS& parameters);
    void MarkChanged(int group) { ++serial_[group]; }
    void MarkAllChanged();
    void CollectLights();
    void BindTextures(GlPipelineInputs& in);
    void BindTexture(DWORD stage, GLuint id);
    void BindVertices(const DrawRequest& request, const FvfLayout& layout);
    size_t BindIndices(const DrawRequest& request, UINT indexSize);
    // Matrices the vertices of this draw can reach in the palette (0 when they blend none).
    UINT PaletteReach(const DrawRequest& request) const;
    void ApplyRaster();
    void ShowInWindow();

    std::unique_ptr<GlContext> context_;
    std::shared_ptr<GlDeviceLink> link_;
    GlFrameBuffer backFrame_, frontFrame_;
    bool frontShown_ = false;
    int windowWidth_ = 0, windowHeight_ = 0; // the window's drawable at the last presentation
    GlPipeline pipeline_;
    GlRasterState raster_;
    GlSamplers samplers_;
    GLuint vertexArray_ = 0;
    GlStreamRing streamVertices_, streamIndices_; // for draws from user memory
    uint64_t serial_[kGlGroupCount] = {};
    // World matrices whose camera-space product the palette has not received (the view changes
    // them all).
    std::bitset<kGlMaxBlendMatrices> paletteDirty_;
    // What GL has bound, so that unchanged bindings are not sent again.
    struct AttributeBinding {
        GLuint buffer = 0;
        DWORD fvf = ~0u;
        UINT stride = 0;
        size_t base = 0;
    };
    GLuint boundArrayBuffer_ = 0, boundElementBuffer_ = 0;
    GLuint unitTexture_[D3DTSS_MAXSTAGES] = {};
    DWORD activeUnit_ = 0;
    AttributeBinding attributes_;
    bool lightsChanged_ = true;
    const D3DLIGHT8* activeLights_[kGlMaxActiveLights] = {};
    int activeLightCount_ = 0;
    DWORD layoutFvf_ = ~0u;
    FvfLayout layout_{};
    float maxPointSize_ = 64.0f;
    std::string error_;
};
