#include "platform/d3d8/DeviceCommon.h"

#include "platform/d3d8/FvfLayout.h"
#include "platform/d3d8/PixelFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr DWORD kVertexShaderDeclarationEnd = 0xFFFFFFFF; // D3DVSD_END()
constexpr DWORD kShaderFunctionEnd = 0x0000FFFF;          // the end token of shader byte code
constexpr size_t kMaxShaderTokens = 1 << 16;

// Tokens up to and including the end token; empty when no end comes within the limit.
std::vector<DWORD> CopyTokens(const DWORD* tokens, DWORD end) {
    std::vector<DWORD> copy;
    for (size_t i = 0; i < kMaxShaderTokens; ++i) {
        copy.push_back(tokens[i]);
        if (tokens[i] == end) return copy;
    }
    return {};
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] =
                a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

bool IsUsageAllowed(DWORD usage, DWORD allowed) {
    return (usage & ~allowed) == 0;
}

// The rules vertex and index buffers share: a length, a pool buffers can live in, only buffer
// usages, and no dynamic buffer in the managed pool.
bool IsBufferRequestValid(UINT length, DWORD usage, D3DPOOL pool) {
    if (length == 0 || pool > D3DPOOL_SYSTEMMEM) return false;
    if (!IsUsageAllowed(usage, D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                                   D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES |
                                   D3DUSAGE_DYNAMIC))
        return false;
    return !((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED);
}

} // namespace

const char* DeviceCallName(DeviceCallKind kind) {
    static const char* const names[] = {
#define DEVICE_CALL(Name, ...) #Name,
#include "platform/d3d8/DeviceCalls.inc"
    };
    static_assert(sizeof names / sizeof names[0] == kDeviceCallKindCount);
    const auto index = static_cast<size_t>(kind);
    return index < sizeof names / sizeof names[0] ? names[index] : "?";
}

UINT VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT count) {
    switch (type) {
    case D3DPT_POINTLIST:
        return count;
    case D3DPT_LINELIST:
        return count * 2;
    case D3DPT_LINESTRIP:
        return count + 1;
    case D3DPT_TRIANGLELIST:
        return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return count + 2;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Construction, registry
// ---------------------------------------------------------------------------------------------
DeviceCommon::DeviceCommon(Direct3DCommon* d3d, UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                           DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& parameters,
                           const D3DDISPLAYMODE& mode)
    : d3d_(d3d), adapter_(adapter), type_(type), focusWindow_(focusWindow), behavior_(behaviorFlags),
      present_(parameters), displayMode_(mode), caps_{} {
    d3d_->AddRef();
    d3d_->GetDeviceCaps(adapter, type, &caps_);
}

DeviceCommon::~DeviceCommon() {
    ReleaseBindings();
    SafeRelease(backBuffer_);
    SafeRelease(depthStencil_);
    // Whatever the application still holds outlives the device without pointing at it.
    for (TrackedResource* resource : std::vector<TrackedResource*>(resources_)) resource->DetachFromDevice();
    resources_.clear();
    d3d_->Release();
}

HRESULT DeviceCommon::Initialize() {
    const HRESULT hr = CreateSwapChain(present_);
    if (FAILED(hr)) return hr;
    ResetState();
    return D3D_OK;
}

void DeviceCommon::TrackResource(TrackedResource* resource) {
    resources_.push_back(resource);
}

void DeviceCommon::UntrackResource(TrackedResource* resource) {
    auto it = std::find(resources_.begin(), resources_.end(), resource);
    if (it != resources_.end()) resources_.erase(it);
}

bool DeviceCommon::IsOwnResource(const TrackedResource* resource) const {
    return resource && resource->OwnerDevice() == this;
}

UINT DeviceCommon::LiveResourceCount(D3DPOOL pool) const {
    UINT count = 0;
    for (const TrackedResource* r : resources_)
        if (r->ResourcePool() == pool && r != backBuffer_ && r != depthStencil_) ++count;
    return count;
}

void DeviceCommon::MarkLost(UINT lostPolls) {
    lostPolls_ = lostPolls;
    needsReset_ = true;
}

bool DeviceCommon::SoftwareVertexProcessing() const {
    if (behavior_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING) return true;
    if (behavior_ & D3DCREATE_MIXED_VERTEXPROCESSING)
        return state_.renderStates[D3DRS_SOFTWAREVERTEXPROCESSING] != 0;
    return false;
}

DeviceCall DeviceCommon::Call(DeviceCallKind kind, HRESULT result) const {
    DeviceCall call;
    call.kind = kind;
    call.result = result;
    return call;
}

void DeviceCommon::ReleaseBindings() {
    for (auto& texture : state_.textures) SafeRelease(texture);
    for (auto& stream : state_.streams) {
        SafeRelease(stream.buffer);
        stream.stride = 0;
    }
    SafeRelease(state_.indices);
    SafeRelease(renderTarget_);
    SafeRelease(zStencil_);
}

void DeviceCommon::ResetState() {
    ReleaseBindings();
    state_.SetDefaults(present_.BackBufferWidth, present_.BackBufferHeight,
                       present_.EnableAutoDepthStencil != 0,
                       (behavior_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0);
    renderTarget_ = backBuffer_;
    if (renderTarget_) renderTarget_->AddRef();
    zStencil_ = depthStencil_;
    if (zStencil_) zStencil_->AddRef();
    inScene_ = false;
}

// ---------------------------------------------------------------------------------------------
// Default backend hooks: resources and images in memory
// ---------------------------------------------------------------------------------------------
CommonTexture* DeviceCommon::NewTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                        D3DPOOL pool) {
    return new CommonTexture(this, width, height, levels, usage, format, pool);
}

CommonVertexBuffer* DeviceCommon::NewVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
    return new CommonVertexBuffer(this, length, usage, fvf, pool);
}

CommonIndexBuffer* DeviceCommon::NewIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
    return new CommonIndexBuffer(this, length, usage, format, pool);
}

CommonSurface* DeviceCommon::NewImageSurface(UINT width, UINT height, D3DFORMAT format) {
    return new CommonSurface(this, format, width, height, 0, D3DPOOL_SYSTEMMEM, true);
}

HRESULT DeviceCommon::CreateSwapChain(const D3DPRESENT_PARAMETERS& pp) {
    SafeRelease(backBuffer_);
    SafeRelease(depthStencil_);
    const bool lockable = (pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
    backBuffer_ = new CommonSurface(this, pp.BackBufferFormat, pp.BackBufferWidth, pp.BackBufferHeight,
                                    D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, lockable);
    if (pp.EnableAutoDepthStencil)
        depthStencil_ = new CommonSurface(this, pp.AutoDepthStencilFormat, pp.BackBufferWidth,
                                          pp.BackBufferHeight, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                                          pp.AutoDepthStencilFormat == D3DFMT_D16_LOCKABLE);
    frontImage_ = ImageMemory(pp.BackBufferFormat, pp.BackBufferWidth, pp.BackBufferHeight);
    return D3D_OK;
}

HRESULT DeviceCommon::ClearTargets(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                   DWORD stencil) {
    if (!(flags & D3DCLEAR_TARGET) || !renderTarget_) return D3D_OK;
    ImageMemory& image = renderTarget_->Image();
    const D3DVIEWPORT8& vp = state_.viewport;
    const RECT whole{static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
                     static_cast<LONG>(vp.Y + vp.Height)};
    if (count == 0) {
        FillImageRect(image, whole, color);
        return D3D_OK;
    }
    for (DWORD i = 0; i < count; ++i) {
        RECT r{std::max(rects[i].x1, whole.left), std::max(rects[i].y1, whole.top),
               std::min(rects[i].x2, whole.right), std::min(rects[i].y2, whole.bottom)};
        FillImageRect(image, r, color);
    }
    return D3D_OK;
}

HRESULT DeviceCommon::PresentFrame() {
    if (!backBuffer_) return D3DERR_INVALIDCALL;
    const ImageMemory& back = backBuffer_->Image();
    if (frontImage_.Format() != back.Format() || frontImage_.Width() != back.Width() ||
        frontImage_.Height() != back.Height())
        frontImage_ = ImageMemory(back.Format(), back.Width(), back.Height());
    std::memcpy(frontImage_.Bits(), back.Bits(), back.Size());
    frontImage_.Touch();
    return D3D_OK;
}

HRESULT DeviceCommon::CopyFrontBuffer(SurfaceCommon& dest) {
    ImageMemory& out = dest.Image();
    std::memset(out.Bits(), 0, out.Size());
    const bool convertible = CanConvertPixels(frontImage_.Format());
    const UINT w = std::min(out.Width(), frontImage_.Width()),
               h = std::min(out.Height(), frontImage_.Height());
    const UINT bpp = FormatBitsPerPixel(frontImage_.Format()) / 8;
    for (UINT y = 0; y < h; ++y) {
        const BYTE* from = frontImage_.Bits() + static_cast<size_t>(y) * frontImage_.Pitch();
        BYTE* to = out.Bits() + static_cast<size_t>(y) * out.Pitch();
        for (UINT x = 0; x < w; ++x, from += bpp, to += 4)
            WritePixelARGB(D3DFMT_A8R8G8B8, to,
                           convertible ? ReadPixelARGB(frontImage_.Format(), from) : 0xFF000000u);
    }
    // The rest of the screen outside the device's image shows black.
    for (UINT y = 0; y < out.Height(); ++y)
        for (UINT x = (y < h ? w : 0); x < out.Width(); ++x)
            WritePixelARGB(D3DFMT_A8R8G8B8, out.Bits() + static_cast<size_t>(y) * out.Pitch() + x * 4,
                           0xFF000000u);
    out.Touch();
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Device, presentation
// ---------------------------------------------------------------------------------------------
HRESULT DeviceCommon::DoTestCooperativeLevel() {
    HRESULT hr = D3D_OK;
    if (lostPolls_ > 0) {
        --lostPolls_;
        hr = D3DERR_DEVICELOST;
    } else if (needsReset_) {
        hr = D3DERR_DEVICENOTRESET;
    }
    return hr;
}

UINT DeviceCommon::GetAvailableTextureMem() {
    return 256u << 20;
}

HRESULT DeviceCommon::DoResourceManagerDiscardBytes(DWORD) {
    return D3D_OK;
}

HRESULT DeviceCommon::GetDirect3D(IDirect3D8** d3d8) {
    if (!d3d8) return D3DERR_INVALIDCALL;
    d3d_->AddRef();
    *d3d8 = d3d_;
    return D3D_OK;
}

HRESULT DeviceCommon::GetDeviceCaps(D3DCAPS8* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = caps_;
    return D3D_OK;
}

HRESULT DeviceCommon::GetDisplayMode(D3DDISPLAYMODE* mode) {
    if (!mode) return D3DERR_INVALIDCALL;
    *mode = displayMode_;
    return D3D_OK;
}

HRESULT DeviceCommon::DoReset(D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters) return D3DERR_INVALIDCALL;
    if (lostPolls_ > 0) return D3DERR_DEVICELOST;
    D3DPRESENT_PARAMETERS checked = *parameters;
    D3DDISPLAYMODE mode{};
    HRESULT hr = d3d_->CheckPresentParameters(adapter_, focusWindow_, &checked, &mode);
    if (FAILED(hr)) return hr;
    // Direct3D refuses to reset while default-pool resources or references to the swap chain
    // surfaces are still held; the device then stays in need of a reset.
    ReleaseBindings();
    needsReset_ = true;
    if (LiveResourceCount(D3DPOOL_DEFAULT) > 0) return D3DERR_INVALIDCALL;
    if ((backBuffer_ && backBuffer_->ReferenceCount() > 1) ||
        (depthStencil_ && depthStencil_->ReferenceCount() > 1))
        return D3DERR_INVALIDCALL;
    hr = CreateSwapChain(checked);
    if (FAILED(hr)) return hr;
    present_ = checked;
    displayMode_ = mode;
    *parameters = checked;
    ResetState();
    needsReset_ = false;
    return D3D_OK;
}

HRESULT DeviceCommon::DoPresent(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                                const void* dirtyRegion) {
    HRESULT hr;
    if (lostPolls_ > 0 || needsReset_)
        hr = D3DERR_DEVICELOST;
    else if (inScene_)
        hr = D3DERR_INVALIDCALL;
    else
        hr = PresentFrame();
    return hr;
}

HRESULT DeviceCommon::GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (backBuffer >= present_.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO || !backBuffer_)
        return D3DERR_INVALIDCALL;
    backBuffer_->AddRef();
    *surface = backBuffer_;
    return D3D_OK;
}

HRESULT DeviceCommon::GetRasterStatus(D3DRASTER_STATUS* rasterStatus) {
    if (!rasterStatus) return D3DERR_INVALIDCALL;
    rasterStatus->InVBlank = FALSE;
    rasterStatus->ScanLine = 0;
    return D3DERR_INVALIDCALL; // no scan-line reporting (D3DCAPS_READ_SCANLINE is not set)
}

// ---------------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------------
HRESULT DeviceCommon::DoCreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                      D3DPOOL pool, IDirect3DTexture8** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || pool > D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    if (!IsUsageAllowed(usage, D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DYNAMIC))
        return D3DERR_INVALIDCALL;
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if (width > caps_.MaxTextureWidth || height > caps_.MaxTextureHeight) return D3DERR_INVALIDCALL;
    if ((caps_.TextureCaps & D3DPTEXTURECAPS_POW2) &&
        !(caps_.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) &&
        (!IsPowerOfTwo(width) || !IsPowerOfTwo(height)))
        return D3DERR_INVALIDCALL;
    if ((caps_.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && width != height) return D3DERR_INVALIDCALL;
    if (!IsKnownFormat(format) || FAILED(d3d_->CheckDeviceFormat(adapter_, type_, displayMode_.Format, usage,
                                                                 D3DRTYPE_TEXTURE, format)))
        return D3DERR_INVALIDCALL;
    const UINT fullChain = FullMipLevelCount(width, height);
    if (levels > fullChain) return D3DERR_INVALIDCALL;
    if (!(caps_.TextureCaps & D3DPTEXTURECAPS_MIPMAP) && levels != 1) levels = 1;
    *texture = NewTexture(width, height, levels, usage, format, pool);
    return *texture ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
}

HRESULT DeviceCommon::DoCreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                           IDirect3DVertexBuffer8** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!IsBufferRequestValid(length, usage, pool)) return D3DERR_INVALIDCALL;
    if (fvf != 0) {
        const UINT size = FvfVertexSize(fvf);
        if (size == 0 || length < size) return D3DERR_INVALIDCALL;
    }
    *out = NewVertexBuffer(length, usage, fvf, pool);
    return *out ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
}

HRESULT DeviceCommon::DoCreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                          IDirect3DIndexBuffer8** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!IsBufferRequestValid(length, usage, pool)) return D3DERR_INVALIDCALL;
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    *out = NewIndexBuffer(length, usage, format, pool);
    return *out ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
}

HRESULT DeviceCommon::DoCreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                           IDirect3DSurface8** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (width == 0 || height == 0 || !IsKnownFormat(format) || IsDepthFormat(format))
        return D3DERR_INVALIDCALL;
    *surface = NewImageSurface(width, height, format);
    return *surface ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
}

HRESULT DeviceCommon::DoCopyRects(IDirect3DSurface8* sourceSurface, const RECT* rects, UINT count,
                                  IDirect3DSurface8* destSurface, const POINT* points) {
    SurfaceCommon* source = AsSurface(sourceSurface);
    SurfaceCommon* dest = AsSurface(destSurface);
    if (!source || !dest || source == dest) return D3DERR_INVALIDCALL;
    ImageMemory& from = source->Image();
    ImageMemory& to = dest->Image();
    if (from.Format() != to.Format() || from.IsLocked() || to.IsLocked()) return D3DERR_INVALIDCALL;
    if (IsDepthFormat(from.Format())) return D3DERR_INVALIDCALL;
    const RECT whole{0, 0, static_cast<LONG>(from.Width()), static_cast<LONG>(from.Height())};
    const UINT n = rects ? count : 1;
    if (rects && count == 0) return D3DERR_INVALIDCALL;
    const UINT unit = IsCompressedFormat(from.Format()) ? 4 : 1;
    for (UINT i = 0; i < n; ++i) {
        const RECT& r = rects ? rects[i] : whole;
        const LONG dx = points ? points[i].x : r.left, dy = points ? points[i].y : r.top;
        if (!from.ContainsRect(r)) return D3DERR_INVALIDCALL;
        const RECT target{dx, dy, dx + (r.right - r.left), dy + (r.bottom - r.top)};
        if (!to.ContainsRect(target)) return D3DERR_INVALIDCALL;
        if (unit > 1 && (r.left % 4 || r.top % 4 || dx % 4 || dy % 4)) return D3DERR_INVALIDCALL;
    }
    const HRESULT synced = source->SyncToMemory();
    if (FAILED(synced)) return synced;
    for (UINT i = 0; i < n; ++i) {
        const RECT& r = rects ? rects[i] : whole;
        CopyImageRect(from, r, to, points ? points[i].x : r.left, points ? points[i].y : r.top);
    }
    return D3D_OK;
}

HRESULT DeviceCommon::DoUpdateTexture(IDirect3DBaseTexture8* sourceTexture,
                                      IDirect3DBaseTexture8* destTexture) {
    CommonTexture* source = AsTexture(sourceTexture);
    CommonTexture* dest = AsTexture(destTexture);
    if (!source || !dest || source == dest) return D3DERR_INVALIDCALL;
    if (source->ResourcePool() != D3DPOOL_SYSTEMMEM || dest->ResourcePool() != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (source->Format() != dest->Format() || source->Width() != dest->Width() ||
        source->Height() != dest->Height() || source->LevelCount() < dest->LevelCount())
        return D3DERR_INVALIDCALL;
    for (UINT level = 0; level < dest->LevelCount(); ++level) {
        ImageMemory& from = source->LevelImage(level);
        ImageMemory& to = dest->LevelImage(level);
        if (from.IsLocked() || to.IsLocked()) return D3DERR_INVALIDCALL;
        std::memcpy(to.Bits(), from.Bits(), from.Size());
        to.Touch();
    }
    return D3D_OK;
}

HRESULT DeviceCommon::DoGetFrontBuffer(IDirect3DSurface8* destSurface) {
    SurfaceCommon* dest = AsSurface(destSurface);
    if (!dest) return D3DERR_INVALIDCALL;
    ImageMemory& image = dest->Image();
    const UINT width = std::max(displayMode_.Width, present_.BackBufferWidth);
    const UINT height = std::max(displayMode_.Height, present_.BackBufferHeight);
    if (image.Format() != D3DFMT_A8R8G8B8 || image.Width() != width || image.Height() != height ||
        image.IsLocked())
        return D3DERR_INVALIDCALL;
    if (lostPolls_ > 0) return D3DERR_DEVICELOST;
    return CopyFrontBuffer(*dest);
}

HRESULT DeviceCommon::DoSetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* zStencil) {
    SurfaceCommon* target = renderTarget ? AsSurface(renderTarget) : renderTarget_;
    SurfaceCommon* depth = zStencil ? AsSurface(zStencil) : nullptr;
    if (!target || !(target->Usage() & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
    if (zStencil && (!depth || !(depth->Usage() & D3DUSAGE_DEPTHSTENCIL))) return D3DERR_INVALIDCALL;
    if (depth && (depth->Image().Width() < target->Image().Width() ||
                  depth->Image().Height() < target->Image().Height()))
        return D3DERR_INVALIDCALL;
    target->AddRef();
    if (depth) depth->AddRef();
    SafeRelease(renderTarget_);
    SafeRelease(zStencil_);
    renderTarget_ = target;
    zStencil_ = depth;
    state_.viewport = {0, 0, target->Image().Width(), target->Image().Height(), 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT DeviceCommon::GetRenderTarget(IDirect3DSurface8** renderTarget) {
    if (!renderTarget) return D3DERR_INVALIDCALL;
    *renderTarget = renderTarget_;
    if (!renderTarget_) return D3DERR_NOTFOUND;
    renderTarget_->AddRef();
    return D3D_OK;
}

HRESULT DeviceCommon::GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) {
    if (!zStencilSurface) return D3DERR_INVALIDCALL;
    *zStencilSurface = zStencil_;
    if (!zStencil_) return D3DERR_NOTFOUND;
    zStencil_->AddRef();
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Frame
// ---------------------------------------------------------------------------------------------
HRESULT DeviceCommon::DoBeginScene() {
    const HRESULT hr = inScene_ ? D3DERR_INVALIDCALL : D3D_OK;
    if (SUCCEEDED(hr)) inScene_ = true;
    return hr;
}

HRESULT DeviceCommon::DoEndScene() {
    const HRESULT hr = inScene_ ? D3D_OK : D3DERR_INVALIDCALL;
    inScene_ = false;
    return hr;
}

HRESULT DeviceCommon::DoClear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                              DWORD stencil) {
    if (count > 0 && !rects) return D3DERR_INVALIDCALL;
    if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !zStencil_) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !FormatHasStencil(zStencil_->Image().Format()))
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_ZBUFFER) && !(z >= 0.0f && z <= 1.0f)) return D3DERR_INVALIDCALL;
    return ClearTargets(count, rects, flags, color, z, stencil);
}

// ---------------------------------------------------------------------------------------------
// Fixed-function state
// ---------------------------------------------------------------------------------------------
HRESULT DeviceCommon::DoSetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    D3DMATRIX* slot = state_.Transform(state);
    const HRESULT hr = slot && matrix ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) *slot = *matrix;
    return hr;
}

HRESULT DeviceCommon::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    const D3DMATRIX* slot = state_.Transform(state);
    if (!slot || !matrix) return D3DERR_INVALIDCALL;
    *matrix = *slot;
    return D3D_OK;
}

HRESULT DeviceCommon::DoMultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    D3DMATRIX* slot = state_.Transform(state);
    const HRESULT hr = slot && matrix ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) *slot = Multiply(*matrix, *slot);
    return hr;
}

HRESULT DeviceCommon::DoSetViewport(const D3DVIEWPORT8* viewport) {
    HRESULT hr = D3DERR_INVALIDCALL;
    if (viewport && renderTarget_) {
        const ImageMemory& target = renderTarget_->Image();
        const bool inside = viewport->Width > 0 && viewport->Height > 0 && viewport->X < target.Width() &&
                            viewport->Y < target.Height() &&
                            viewport->Width <= target.Width() - viewport->X &&
                            viewport->Height <= target.Height() - viewport->Y;
        const bool depthOk =
            viewport->MinZ >= 0.0f && viewport->MaxZ <= 1.0f && viewport->MinZ <= viewport->MaxZ;
        if (inside && depthOk) {
            state_.viewport = *viewport;
            hr = D3D_OK;
        }
    }
    return hr;
}

HRESULT DeviceCommon::GetViewport(D3DVIEWPORT8* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT DeviceCommon::DoSetMaterial(const D3DMATERIAL8* material) {
    const HRESULT hr = material ? D3D_OK : D3DERR_INVALIDCALL;
    if (material) state_.material = *material;
    return hr;
}

HRESULT DeviceCommon::GetMaterial(D3DMATERIAL8* material) {
    if (!material) return D3DERR_INVALIDCALL;
    *material = state_.material;
    return D3D_OK;
}

HRESULT DeviceCommon::DoSetLight(DWORD index, const D3DLIGHT8* light) {
    if (!light) return D3DERR_INVALIDCALL;
    if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
    if (light->Type != D3DLIGHT_DIRECTIONAL && !(light->Range >= 0.0f && std::isfinite(light->Range)))
        return D3DERR_INVALIDCALL;
    if (light->Type == D3DLIGHT_SPOT &&
        !(light->Theta >= 0.0f && light->Phi >= light->Theta && light->Phi <= 3.1415927f))
        return D3DERR_INVALIDCALL;
    auto it = state_.lights.find(index);
    if (it == state_.lights.end())
        state_.lights.emplace(index, LightSlot{*light, false});
    else
        it->second.light = *light;
    return D3D_OK;
}

HRESULT DeviceCommon::GetLight(DWORD index, D3DLIGHT8* light) {
    auto it = state_.lights.find(index);
    if (!light || it == state_.lights.end()) return D3DERR_INVALIDCALL;
    *light = it->second.light;
    return D3D_OK;
}

HRESULT DeviceCommon::DoLightEnable(DWORD index, BOOL enable) {
    auto it = state_.lights.find(index);
    if (it == state_.lights.end()) it = state_.lights.emplace(index, LightSlot{DefaultLight(), false}).first;
    it->second.enabled = enable != FALSE;
    return D3D_OK;
}

HRESULT DeviceCommon::GetLightEnable(DWORD index, BOOL* enable) {
    auto it = state_.lights.find(index);
    if (!enable || it == state_.lights.end()) return D3DERR_INVALIDCALL;
    *enable = it->second.enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT DeviceCommon::DoSetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    const HRESULT hr = IsRenderState(state) ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) state_.renderStates[state] = value;
    return hr;
}

HRESULT DeviceCommon::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || !IsRenderState(state)) return D3DERR_INVALIDCALL;
    *value = state_.renderStates[state];
    return D3D_OK;
}

HRESULT DeviceCommon::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
    if (!texture || stage >= D3DTSS_MAXSTAGES) return D3DERR_INVALIDCALL;
    *texture = state_.textures[stage];
    if (*texture) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT DeviceCommon::DoSetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    if (stage >= D3DTSS_MAXSTAGES) return D3DERR_INVALIDCALL;
    if (texture) {
        CommonTexture* own = AsTexture(texture);
        if (!IsOwnResource(own)) return D3DERR_INVALIDCALL;
        // Direct3D draws only from textures the device can reach, never from system memory.
        if (own->ResourcePool() == D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
        texture->AddRef();
    }
    SafeRelease(state_.textures[stage]);
    state_.textures[stage] = texture;
    return D3D_OK;
}

HRESULT DeviceCommon::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (!value || stage >= D3DTSS_MAXSTAGES || !IsTextureStageState(type)) return D3DERR_INVALIDCALL;
    *value = state_.stageStates[stage][type];
    return D3D_OK;
}

HRESULT DeviceCommon::DoSetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    const HRESULT hr = stage < D3DTSS_MAXSTAGES && IsTextureStageState(type) ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) state_.stageStates[stage][type] = value;
    return hr;
}

HRESULT DeviceCommon::ValidateDevice(DWORD* numPasses) {
    if (!numPasses) return D3DERR_INVALIDCALL;
    *numPasses = 1;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------
HRESULT DeviceCommon::CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount) const {
    if (!inScene_) return D3DERR_INVALIDCALL;
    if (VerticesForPrimitives(type, 1) == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount > caps_.MaxPrimitiveCount) return D3DERR_INVALIDCALL;
    if (state_.vertexShader == 0) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT DeviceCommon::DoDrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    HRESULT hr = CheckDraw(type, primitiveCount);
    if (FAILED(hr)) return hr;
    CommonVertexBuffer* buffer = AsVertexBuffer(state_.streams[0].buffer);
    const UINT stride = state_.streams[0].stride;
    if (!buffer || stride == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    const UINT count = VerticesForPrimitives(type, primitiveCount);
    const uint64_t end = (static_cast<uint64_t>(startVertex) + count) * stride;
    if (end > buffer->Memory().Length() || buffer->Memory().IsLocked()) return D3DERR_INVALIDCALL;
    DrawRequest request{};
    request.type = type;
    request.primitiveCount = primitiveCount;
    request.vertexShader = state_.vertexShader;
    request.vertices = buffer->Memory().Bytes() + static_cast<size_t>(startVertex) * stride;
    request.stride = stride;
    request.vertexCount = count;
    request.vertexBuffer = buffer;
    request.firstVertex = startVertex;
    return DrawGeometry(request);
}

namespace {

// Every index (plus the base) must lie in the declared vertex range.
bool IndicesInRange(const BYTE* indices, D3DFORMAT format, UINT count, UINT minIndex, UINT numVertices) {
    const uint64_t low = minIndex, high = static_cast<uint64_t>(minIndex) + numVertices;
    for (UINT i = 0; i < count; ++i) {
        uint64_t index;
        if (format == D3DFMT_INDEX32) {
            uint32_t v;
            std::memcpy(&v, indices + 4 * static_cast<size_t>(i), 4);
            index = v;
        } else {
            uint16_t v;
            std::memcpy(&v, indices + 2 * static_cast<size_t>(i), 2);
            index = v;
        }
        if (index < low || index >= high) return false;
    }
    return true;
}

} // namespace

HRESULT DeviceCommon::DoDrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                             UINT startIndex, UINT primitiveCount) {
    HRESULT hr = CheckDraw(type, primitiveCount);
    if (FAILED(hr)) return hr;
    CommonVertexBuffer* buffer = AsVertexBuffer(state_.streams[0].buffer);
    CommonIndexBuffer* indices = AsIndexBuffer(state_.indices);
    const UINT stride = state_.streams[0].stride;
    if (!buffer || stride == 0 || !indices || numVertices == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    const UINT indexCount = VerticesForPrimitives(type, primitiveCount);
    const UINT indexSize = indices->IndexSize();
    if ((static_cast<uint64_t>(startIndex) + indexCount) * indexSize > indices->Memory().Length())
        return D3DERR_INVALIDCALL;
    const UINT base = state_.baseVertexIndex;
    const uint64_t vertexEnd = (static_cast<uint64_t>(base) + minIndex + numVertices) * stride;
    if (vertexEnd > buffer->Memory().Length()) return D3DERR_INVALIDCALL;
    if (buffer->Memory().IsLocked() || indices->Memory().IsLocked()) return D3DERR_INVALIDCALL;
    const BYTE* first = indices->Memory().Bytes() + static_cast<size_t>(startIndex) * indexSize;
    UINT low = 0, high = 0;
    indices->IndexBounds(startIndex, indexCount, &low, &high);
    if (low < minIndex || static_cast<uint64_t>(high) >= static_cast<uint64_t>(minIndex) + numVertices)
        return D3DERR_INVALIDCALL;
    DrawRequest request{};
    request.type = type;
    request.primitiveCount = primitiveCount;
    request.vertexShader = state_.vertexShader;
    request.vertices = buffer->Memory().Bytes() + static_cast<size_t>(base) * stride;
    request.stride = stride;
    request.vertexCount = minIndex + numVertices;
    request.vertexBuffer = buffer;
    request.firstVertex = base;
    request.indices = first;
    request.indexFormat = indices->Format();
    request.indexCount = indexCount;
    request.indexBuffer = indices;
    request.startIndex = startIndex;
    request.minIndex = minIndex;
    request.numVertices = numVertices;
    return DrawGeometry(request);
}

HRESULT DeviceCommon::DoDrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount, const void* data,
                                        UINT stride) {
    HRESULT hr = CheckDraw(primitiveType, primitiveCount);
    if (SUCCEEDED(hr) && (!data || stride == 0)) hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        // Direct3D unbinds stream 0 after a draw from user memory.
        SafeRelease(state_.streams[0].buffer);
        state_.streams[0].stride = 0;
        if (primitiveCount > 0) {
            DrawRequest request{};
            request.type = primitiveType;
            request.primitiveCount = primitiveCount;
            request.vertexShader = state_.vertexShader;
            request.vertices = static_cast<const BYTE*>(data);
            request.stride = stride;
            request.vertexCount = VerticesForPrimitives(primitiveType, primitiveCount);
            hr = DrawGeometry(request);
        }
    }
    return hr;
}

HRESULT DeviceCommon::DoDrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex,
                                               UINT numVertexIndices, UINT primitiveCount,
                                               const void* indexData, D3DFORMAT indexFormat,
                                               const void* vertexData, UINT stride) {
    HRESULT hr = CheckDraw(type, primitiveCount);
    if (FAILED(hr)) return hr;
    if (!indexData || !vertexData || stride == 0 || numVertexIndices == 0) return D3DERR_INVALIDCALL;
    if (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    const UINT indexCount = VerticesForPrimitives(type, primitiveCount);
    if (!IndicesInRange(static_cast<const BYTE*>(indexData), indexFormat, indexCount, minVertexIndex,
                        numVertexIndices))
        return D3DERR_INVALIDCALL;
    SafeRelease(state_.streams[0].buffer);
    state_.streams[0].stride = 0;
    SafeRelease(state_.indices);
    if (primitiveCount == 0) return D3D_OK;
    DrawRequest request{};
    request.type = type;
    request.primitiveCount = primitiveCount;
    request.vertexShader = state_.vertexShader;
    request.vertices = static_cast<const BYTE*>(vertexData);
    request.stride = stride;
    request.vertexCount = minVertexIndex + numVertexIndices;
    request.indices = static_cast<const BYTE*>(indexData);
    request.indexFormat = indexFormat;
    request.indexCount = indexCount;
    request.minIndex = minVertexIndex;
    request.numVertices = numVertexIndices;
    return DrawGeometry(request);
}

// ---------------------------------------------------------------------------------------------
// Shaders, streams
// ---------------------------------------------------------------------------------------------
HRESULT DeviceCommon::DoCreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle,
                                           DWORD usage) {
    if (!declaration || !handle) return D3DERR_INVALIDCALL;
    if (usage & ~D3DUSAGE_SOFTWAREPROCESSING) return D3DERR_INVALIDCALL;
    VertexShaderRecord record;
    record.declaration = CopyTokens(declaration, kVertexShaderDeclarationEnd);
    if (record.declaration.empty()) return D3DERR_INVALIDCALL;
    if (function) {
        record.function = CopyTokens(function, kShaderFunctionEnd);
        if (record.function.empty()) return D3DERR_INVALIDCALL;
        // Byte code for hardware processing needs a device that runs vertex shaders of its version.
        if (!SoftwareVertexProcessing() && !(usage & D3DUSAGE_SOFTWAREPROCESSING) &&
            (function[0] & 0xFFFF) > (caps_.VertexShaderVersion & 0xFFFF))
            return D3DERR_INVALIDCALL;
    }
    record.usage = usage;
    const DWORD h = (nextShaderHandle_++ << 1) | 1; // shader handles have the low bit set, formats never
    vertexShaders_.emplace(h, std::move(record));
    *handle = h;
    return D3D_OK;
}

HRESULT DeviceCommon::DoSetVertexShader(DWORD handle) {
    if (IsVertexShaderHandle(handle)) {
        if (vertexShaders_.count(handle) == 0) return D3DERR_INVALIDCALL;
    } else {
        FvfLayout layout;
        if (handle != 0 && (!DecodeFvf(handle, &layout) || !layout.hasPosition)) return D3DERR_INVALIDCALL;
    }
    state_.vertexShader = handle;
    return D3D_OK;
}

HRESULT DeviceCommon::GetVertexShader(DWORD* handle) {
    if (!handle) return D3DERR_INVALIDCALL;
    *handle = state_.vertexShader;
    return D3D_OK;
}

template <class Record>
HRESULT DeviceCommon::DeleteShader(std::map<DWORD, Record>& shaders, DWORD& current, DWORD handle) {
    const HRESULT hr = shaders.erase(handle) ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr) && current == handle) current = 0;
    return hr;
}

HRESULT DeviceCommon::SetShaderConstants(std::array<float, 4>* registers, DWORD limit, DWORD reg,
                                         const void* constantData, DWORD constantCount) {
    const bool ok = constantData && reg < limit && constantCount <= limit - reg;
    if (ok) std::memcpy(&registers[reg], constantData, static_cast<size_t>(constantCount) * 16);
    return ok ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT DeviceCommon::DoDeleteVertexShader(DWORD handle) {
    return DeleteShader(vertexShaders_, state_.vertexShader, handle);
}

HRESULT DeviceCommon::DoSetVertexShaderConstant(DWORD reg, const void* constantData, DWORD constantCount) {
    const DWORD limit = std::min<DWORD>(caps_.MaxVertexShaderConst, kMaxVertexShaderConstants);
    return SetShaderConstants(state_.vertexShaderConstants.data(), limit, reg, constantData, constantCount);
}

HRESULT DeviceCommon::GetVertexShaderConstant(DWORD reg, void* constantData, DWORD constantCount) {
    if (!constantData || reg >= kMaxVertexShaderConstants || constantCount > kMaxVertexShaderConstants - reg)
        return D3DERR_INVALIDCALL;
    std::memcpy(constantData, &state_.vertexShaderConstants[reg], static_cast<size_t>(constantCount) * 16);
    return D3D_OK;
}

HRESULT DeviceCommon::DoSetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) {
    if (stream >= std::min<UINT>(caps_.MaxStreams, kMaxStreams)) return D3DERR_INVALIDCALL;
    if (buffer) {
        if (!IsOwnResource(AsVertexBuffer(buffer))) return D3DERR_INVALIDCALL;
        if (stride > caps_.MaxStreamStride) return D3DERR_INVALIDCALL;
        buffer->AddRef();
    }
    SafeRelease(state_.streams[stream].buffer);
    state_.streams[stream] = {buffer, stride};
    return D3D_OK;
}

HRESULT DeviceCommon::GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData, UINT* stride) {
    if (!streamData || !stride || streamNumber >= kMaxStreams) return D3DERR_INVALIDCALL;
    *streamData = state_.streams[streamNumber].buffer;
    *stride = state_.streams[streamNumber].stride;
    if (*streamData) (*streamData)->AddRef();
    return D3D_OK;
}

HRESULT DeviceCommon::DoSetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) {
    if (buffer) {
        if (!IsOwnResource(AsIndexBuffer(buffer))) return D3DERR_INVALIDCALL;
        buffer->AddRef();
    }
    SafeRelease(state_.indices);
    state_.indices = buffer;
    state_.baseVertexIndex = baseVertexIndex;
    return D3D_OK;
}

HRESULT DeviceCommon::GetIndices(IDirect3DIndexBuffer8** indexData, UINT* baseVertexIndex) {
    if (!indexData || !baseVertexIndex) return D3DERR_INVALIDCALL;
    *indexData = state_.indices;
    *baseVertexIndex = state_.baseVertexIndex;
    if (*indexData) (*indexData)->AddRef();
    return D3D_OK;
}

HRESULT DeviceCommon::DoCreatePixelShader(const DWORD* function, DWORD* handle) {
    HRESULT hr = D3DERR_INVALIDCALL;
    if (function && handle) {
        std::vector<DWORD> tokens = CopyTokens(function, kShaderFunctionEnd);
        if (!tokens.empty() && (function[0] & 0xFFFF) <= (caps_.PixelShaderVersion & 0xFFFF)) {
            const DWORD h = (nextShaderHandle_++ << 1) | 1;
            pixelShaders_.emplace(h, std::move(tokens));
            *handle = h;
            hr = D3D_OK;
        }
    }
    return hr;
}

HRESULT DeviceCommon::DoSetPixelShader(DWORD handle) {
    const HRESULT hr = handle == 0 || pixelShaders_.count(handle) ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) state_.pixelShader = handle;
    return hr;
}

HRESULT DeviceCommon::GetPixelShader(DWORD* handle) {
    if (!handle) return D3DERR_INVALIDCALL;
    *handle = state_.pixelShader;
    return D3D_OK;
}

HRESULT DeviceCommon::DoDeletePixelShader(DWORD handle) {
    return DeleteShader(pixelShaders_, state_.pixelShader, handle);
}

HRESULT DeviceCommon::DoSetPixelShaderConstant(DWORD reg, const void* constantData, DWORD constantCount) {
    return SetShaderConstants(state_.pixelShaderConstants.data(), kMaxPixelShaderConstants, reg, constantData,
                              constantCount);
}

// ---------------------------------------------------------------------------------------------
// The traced calls: the rules, then the record when tracing is on
// ---------------------------------------------------------------------------------------------
#define DEVICE_CALL(Name, Parameters, Arguments, Record, Text)                                               \
    HRESULT DeviceCommon::Name Parameters {                                                                  \
        const HRESULT hr = Do##Name Arguments;                                                               \
        if (tracing_) {                                                                                      \
            DeviceCall call = Call(DeviceCallKind::Name, hr);                                                \
            Record;                                                                                          \
            Trace(call);                                                                                     \
        }                                                                                                    \
        return hr;                                                                                           \
    }
#include "platform/d3d8/DeviceCalls.inc"
