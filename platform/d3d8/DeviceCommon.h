// The device part every backend shares.
//
// DeviceCommon implements IDirect3DDevice8 with Direct3D 8's argument checks and results, the
// device state (DeviceState, with the references of bound objects), resource creation (memory
// resources of ResourceCommon.h), scene bracketing, the lost-device cycle and the Reset rules,
// and leaves to the backend only what it draws:
//   - NewTexture/NewVertexBuffer/NewIndexBuffer/NewImageSurface: the backend's resource classes;
//   - CreateSwapChain: back buffer and depth buffer (memory surfaces by default);
//   - ClearTargets, DrawGeometry, PresentFrame, CopyFrontBuffer: the work itself, called only
//     after the checks passed (memory implementations by default; DrawGeometry draws nothing).
// Each call that changes something can be traced as a DeviceCall record (the recording device
// logs them; other backends leave tracing off and pay nothing).
// Create a device with `new Backend(...)`, then Initialize(); CreateDevice does both.
#pragma once

#include "platform/d3d8/DeviceState.h"
#include "platform/d3d8/Direct3DCommon.h"
#include "platform/d3d8/ResourceCommon.h"

#include <array>
#include <map>
#include <vector>

enum class DeviceCallKind : uint8_t {
    TestCooperativeLevel,
    ResourceManagerDiscardBytes,
    Reset,
    Present,
    CreateTexture,
    CreateVertexBuffer,
    CreateIndexBuffer,
    CreateImageSurface,
    CopyRects,
    UpdateTexture,
    GetFrontBuffer,
    SetRenderTarget,
    BeginScene,
    EndScene,
    Clear,
    SetTransform,
    MultiplyTransform,
    SetViewport,
    SetMaterial,
    SetLight,
    LightEnable,
    SetRenderState,
    SetTexture,
    SetTextureStageState,
    DrawPrimitive,
    DrawIndexedPrimitive,
    DrawPrimitiveUP,
    DrawIndexedPrimitiveUP,
    CreateVertexShader,
    SetVertexShader,
    DeleteVertexShader,
    SetVertexShaderConstant,
    SetStreamSource,
    SetIndices,
    CreatePixelShader,
    SetPixelShader,
    DeletePixelShader,
    SetPixelShaderConstant,
};

const char* DeviceCallName(DeviceCallKind kind);

// One device call with its arguments, for logs and exact state tests.
// args hold the integer arguments in call order (states, values, indices, counts, flags,
// colours); values the float ones; object the resource argument (its identity only: it may be
// gone by the time the record is read). Records of SetTransform, SetViewport, SetMaterial and
// SetLight carry a copy of the record passed. SetVertexShaderConstant copies up to 4 registers.
struct DeviceCall {
    DeviceCallKind kind{};
    HRESULT result = D3D_OK;
    DWORD args[6] = {};
    float values[16] = {};
    const void* object = nullptr;
    const void* object2 = nullptr;
    D3DMATRIX matrix{};
    D3DVIEWPORT8 viewport{};
    D3DMATERIAL8 material{};
    D3DLIGHT8 light{};
};

// What a draw call hands to the backend once it passed the checks.
struct DrawRequest {
    D3DPRIMITIVETYPE type;
    UINT primitiveCount;
    DWORD vertexShader; // the flexible vertex format, or a shader handle
    // Vertices: `vertices` points at vertex 0 of the draw (startVertex for DrawPrimitive, the base
    // vertex index for indexed draws), `vertexCount` vertices from there are readable.
    const BYTE* vertices;
    UINT stride;
    UINT vertexCount;
    CommonVertexBuffer* vertexBuffer; // null for user-pointer draws
    UINT firstVertex;                 // index of `vertices` in vertexBuffer
    // Indexed draws: `indexCount` indices at `indices` (null for non-indexed draws); each index
    // lies in minIndex .. minIndex + numVertices - 1 and refers to `vertices`.
    const BYTE* indices;
    D3DFORMAT indexFormat;
    UINT indexCount;
    CommonIndexBuffer* indexBuffer; // null for user-pointer draws
    UINT startIndex;                // index of `indices` in indexBuffer
    UINT minIndex;
    UINT numVertices;
};

// Vertices that primitiveCount primitives of a type use; 0 for an unknown type.
UINT VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT primitiveCount);

class DeviceCommon : public RefCounted<IDirect3DDevice8> {
public:
    // Creates the swap chain and sets the initial state; a failure leaves the device unusable.
    HRESULT Initialize();

    // The device is lost (a full-screen window lost focus, the GL context went away). Present
    // then fails with D3DERR_DEVICELOST; TestCooperativeLevel reports D3DERR_DEVICELOST for the
    // next `lostPolls` calls, then D3DERR_DEVICENOTRESET until Reset succeeds.
    void MarkLost(UINT lostPolls = 1);
    bool InScene() const { return inScene_; }
    const DeviceState& State() const { return state_; }
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return present_; }
    const D3DDISPLAYMODE& DisplayMode() const { return displayMode_; }
    DWORD BehaviorFlags() const { return behavior_; }
    bool SoftwareVertexProcessing() const;
    // Live resources created by this device, in one pool (swap chain surfaces excluded).
    UINT LiveResourceCount(D3DPOOL pool) const;

    // Resource registry (TrackedResource).
    void TrackResource(TrackedResource* resource);
    void UntrackResource(TrackedResource* resource);

    // IDirect3DDevice8
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT ResourceManagerDiscardBytes(DWORD bytes) override;
    HRESULT GetDirect3D(IDirect3D8** d3d8) override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface8** backBufferSurface) override;
    HRESULT GetRasterStatus(D3DRASTER_STATUS* rasterStatus) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** vertexBuffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** indexBuffer) override;
    HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                               IDirect3DSurface8** surface) override;
    HRESULT CopyRects(IDirect3DSurface8* sourceSurface, const RECT* sourceRects, UINT rectCount,
                      IDirect3DSurface8* destinationSurface, const POINT* destPoints) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture8* sourceTexture,
                          IDirect3DBaseTexture8* destinationTexture) override;
    HRESULT GetFrontBuffer(IDirect3DSurface8* destSurface) override;
    HRESULT SetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* newZStencil) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** renderTarget) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT GetMaterial(D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT ValidateDevice(DWORD* numPasses) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, UINT minIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                            const void* vertexStreamZeroData, UINT vertexStreamZeroStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex, UINT numVertexIndices,
                                   UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                   const void* vertexStreamZeroData, UINT vertexStreamZeroStride) override;
    HRESULT CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle,
                               DWORD usage) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT DeleteVertexShader(DWORD handle) override;
    HRESULT SetVertexShaderConstant(DWORD reg, const void* constantData, DWORD constantCount) override;
    HRESULT GetVertexShaderConstant(DWORD reg, void* constantData, DWORD constantCount) override;
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride) override;
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData, UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* indexData, UINT baseVertexIndex) override;
    HRESULT GetIndices(IDirect3DIndexBuffer8** indexData, UINT* baseVertexIndex) override;
    HRESULT CreatePixelShader(const DWORD* function, DWORD* handle) override;
    HRESULT SetPixelShader(DWORD handle) override;
    HRESULT GetPixelShader(DWORD* handle) override;
    HRESULT DeletePixelShader(DWORD handle) override;
    HRESULT SetPixelShaderConstant(DWORD reg, const void* constantData, DWORD constantCount) override;

protected:
    DeviceCommon(Direct3DCommon* d3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                 const D3DPRESENT_PARAMETERS& parameters, const D3DDISPLAYMODE& mode);
    ~DeviceCommon() override;

    // Backend hooks (see the file comment).
    virtual CommonTexture* NewTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                      D3DPOOL pool);
    virtual CommonVertexBuffer* NewVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    virtual CommonIndexBuffer* NewIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    virtual CommonSurface* NewImageSurface(UINT width, UINT height, D3DFORMAT format);
    // Makes backBuffer_ and (with an automatic depth buffer) depthStencil_ for the parameters.
    virtual HRESULT CreateSwapChain(const D3DPRESENT_PARAMETERS& parameters);
    // The rectangles are already clipped to the viewport (count 0: the whole viewport).
    virtual HRESULT ClearTargets(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                 DWORD stencil);
    virtual HRESULT DrawGeometry(const DrawRequest& request) { return D3D_OK; }
    // Shows the back buffer; by default copies it into the memory front buffer.
    virtual HRESULT PresentFrame();
    // Fills an A8R8G8B8 surface of the front buffer's size with the shown image; by default from
    // the memory front buffer, placed at the top left (the rest black). The front buffer is the
    // display mode's size, or larger where an off-screen frame is larger than the display, so a
    // shown frame is never cut.
    virtual HRESULT CopyFrontBuffer(SurfaceCommon& dest);
    // Receives every traced call when tracing is on.
    virtual void OnCall(const DeviceCall& call) {}

    DeviceState& MutableState() { return state_; }
    CommonSurface* BackBufferSurface() const { return backBuffer_; }
    CommonSurface* DepthStencilSurface() const { return depthStencil_; }
    SurfaceCommon* CurrentRenderTarget() const { return renderTarget_; }
    SurfaceCommon* CurrentDepthStencil() const { return zStencil_; }
    Direct3DCommon* Direct3D() const { return d3d_; }
    const D3DCAPS8& Caps() const { return caps_; }
    UINT AdapterOrdinal() const { return adapter_; }
    D3DDEVTYPE DeviceType() const { return type_; }

    CommonSurface* backBuffer_ = nullptr;   // one reference held by the device
    CommonSurface* depthStencil_ = nullptr; // one reference held by the device, or null
    bool tracing_ = false;

private:
    struct VertexShaderRecord {
        std::vector<DWORD> declaration;
        std::vector<DWORD> function;
        DWORD usage;
    };

    void Trace(DeviceCall& call) { OnCall(call); }
    DeviceCall Call(DeviceCallKind kind, HRESULT result) const;
    void ReleaseBindings();
    void ResetState();
    bool IsOwnResource(const TrackedResource* resource) const;
    HRESULT CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount) const;
    HRESULT DoDrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount);
    HRESULT DoDrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                   UINT primitiveCount);
    HRESULT DoDrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertexIndices,
                                     UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                     const void* vertexData, UINT stride);
    HRESULT DoClear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil);
    HRESULT DoReset(D3DPRESENT_PARAMETERS* parameters);
    HRESULT DoCopyRects(IDirect3DSurface8* source, const RECT* rects, UINT count, IDirect3DSurface8* dest,
                        const POINT* points);
    HRESULT DoUpdateTexture(IDirect3DBaseTexture8* source, IDirect3DBaseTexture8* dest);
    HRESULT DoGetFrontBuffer(IDirect3DSurface8* dest);
    HRESULT DoSetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* zStencil);
    HRESULT DoSetLight(DWORD index, const D3DLIGHT8* light);
    HRESULT DoCreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DTexture8** texture);
    HRESULT DoCreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                 IDirect3DVertexBuffer8** out);
    HRESULT DoCreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                IDirect3DIndexBuffer8** out);
    HRESULT DoCreateImageSurface(UINT width, UINT height, D3DFORMAT format, IDirect3DSurface8** surface);
    HRESULT DoCreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle, DWORD usage);
    HRESULT DoSetVertexShader(DWORD handle);
    // Deletes a vertex or pixel shader; the current one of that kind becomes 0.
    template <class Record>
    HRESULT DeleteShader(DeviceCallKind kind, std::map<DWORD, Record>& shaders, DWORD& current, DWORD handle);
    // Copies constantCount four-float registers from reg on into the first limit registers.
    HRESULT SetShaderConstants(DeviceCallKind kind, std::array<float, 4>* registers, DWORD limit, DWORD reg,
                               const void* constantData, DWORD constantCount);
    HRESULT DoSetTexture(DWORD stage, IDirect3DBaseTexture8* texture);
    HRESULT DoSetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride);
    HRESULT DoSetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex);

    Direct3DCommon* d3d_; // one reference held
    UINT adapter_;
    D3DDEVTYPE type_;
    HWND focusWindow_;
    DWORD behavior_;
    D3DPRESENT_PARAMETERS present_;
    D3DDISPLAYMODE displayMode_;
    D3DCAPS8 caps_;
    DeviceState state_{};
    SurfaceCommon* renderTarget_ = nullptr; // referenced
    SurfaceCommon* zStencil_ = nullptr;     // referenced
    ImageMemory frontImage_{D3DFMT_X8R8G8B8, 1, 1};
    bool inScene_ = false;
    UINT lostPolls_ = 0;
    bool needsReset_ = false;
    std::vector<TrackedResource*> resources_;
    std::map<DWORD, VertexShaderRecord> vertexShaders_;
    std::map<DWORD, std::vector<DWORD>> pixelShaders_;
    DWORD nextShaderHandle_ = 1;
};
