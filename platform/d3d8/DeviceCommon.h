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

// One kind per traced device call, in the order of the list.
enum class DeviceCallKind : uint8_t {
#define DEVICE_CALL(Name, ...) Name,
#include "platform/d3d8/DeviceCalls.inc"
};

// How many kinds there are.
constexpr size_t kDeviceCallKindCount = 0
#define DEVICE_CALL(...) +1
#include "platform/d3d8/DeviceCalls.inc"
    ;

// The call's method name ("SetRenderState"); "?" for a value outside the list.
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

    // IDirect3DDevice8: the traced calls (DeviceCalls.inc), then the rest.
#define DEVICE_CALL(Name, Parameters, ...) HRESULT Name Parameters override;
#include "platform/d3d8/DeviceCalls.inc"
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D8** d3d8) override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface8** backBufferSurface) override;
    HRESULT GetRasterStatus(D3DRASTER_STATUS* rasterStatus) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** renderTarget) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT GetMaterial(D3DMATERIAL8* material) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT ValidateDevice(DWORD* numPasses) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT GetVertexShaderConstant(DWORD reg, void* constantData, DWORD constantCount) override;
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData, UINT* stride) override;
    HRESULT GetIndices(IDirect3DIndexBuffer8** indexData, UINT* baseVertexIndex) override;
    HRESULT GetPixelShader(DWORD* handle) override;

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
    virtual HRESULT DrawGeometry(const DrawRequest& request) {
        return D3D_OK;
    }
    // Shows the back buffer; by default copies it into the memory front buffer.
    virtual HRESULT PresentFrame();
    // Fills an A8R8G8B8 surface of the front buffer's size with the shown image; by default from
    // the memory front buffer, placed at the top left (the rest black). The front buffer is the
    // display mode's size, or larger where an off-screen frame is larger than the display, so a
    // shown frame is never cut.
    virtual HRESULT CopyFrontBuffer(SurfaceCommon& dest);
    // Receives every traced call when tracing is on.
    virtual void OnCall(const DeviceCall& call) {}

    DeviceState& MutableState() {
        return state_;
    }
    CommonSurface* BackBufferSurface() const {
        return backBuffer_;
    }
    CommonSurface* DepthStencilSurface() const {
        return depthStencil_;
    }
    SurfaceCommon* CurrentRenderTarget() const {
        return renderTarget_;
    }
    SurfaceCommon* CurrentDepthStencil() const {
        return zStencil_;
    }
    Direct3DCommon* Direct3D() const {
        return d3d_;
    }
    const D3DCAPS8& Caps() const {
        return caps_;
    }
    UINT AdapterOrdinal() const {
        return adapter_;
    }
    D3DDEVTYPE DeviceType() const {
        return type_;
    }

    CommonSurface* backBuffer_ = nullptr;   // one reference held by the device
    CommonSurface* depthStencil_ = nullptr; // one reference held by the device, or null
    bool tracing_ = false;

private:
    struct VertexShaderRecord {
        std::vector<DWORD> declaration;
        std::vector<DWORD> function;
        DWORD usage;
    };

    void Trace(DeviceCall& call) {
        OnCall(call);
    }
    DeviceCall Call(DeviceCallKind kind, HRESULT result) const;
    void ReleaseBindings();
    void ResetState();
    bool IsOwnResource(const TrackedResource* resource) const;
    HRESULT CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount) const;
    // Deletes a vertex or pixel shader; the current one of that kind becomes 0.
    template <class Record>
    static HRESULT DeleteShader(std::map<DWORD, Record>& shaders, DWORD& current, DWORD handle);
    // Copies constantCount four-float registers from reg on into the first limit registers.
    static HRESULT SetShaderConstants(std::array<float, 4>* registers, DWORD limit, DWORD reg,
                                      const void* constantData, DWORD constantCount);
    // The Direct3D rules of each traced call; the public method adds the trace.
#define DEVICE_CALL(Name, Parameters, ...) HRESULT Do##Name Parameters;
#include "platform/d3d8/DeviceCalls.inc"

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
