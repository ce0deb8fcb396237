#include "render/DXC_Gfx.h"

#include <cmath>
#include <cstring>

#include "platform/Window.h"
#include "platform/d3d8/ErrorText.h"
#include "render/DXC_Font.h"
#include "render/DXC_PrintfContainer.h"
#include "render/DXC_Surface.h"
#include "render/DXC_Texture.h"

DXC_Gfx* g_Gfx = nullptr;

namespace {

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DCOLORVALUE Colour(float r, float g, float b, float a) {
    return D3DCOLORVALUE{r, g, b, a};
}

} // namespace

DXC_Gfx::DXC_Gfx() {
    SetObjectName("DXC_Gfx");
    // The GL layer gives no Direct3D object when it cannot get the GL version it needs.
    IDirect3D8* created = Direct3DCreate8(D3D_SDK_VERSION);
    if (!created) Error("At least DirectX 8.1 required!");
    Construct(created);
}

DXC_Gfx::DXC_Gfx(IDirect3D8* created) {
    SetObjectName("DXC_Gfx");
    if (!created) Error("Direct3DCreate8 failed!");
    Construct(created);
}

void DXC_Gfx::Construct(IDirect3D8* created) {
    direct3D.reset(created);
    viewMatrix = Identity();
    projectionMatrix = Identity();
    for (D3DXMATRIX& m : textureMatrix) m = Identity();
    for (D3DXMATRIX& m : worldMatrix) m = Identity();
    defaultMaterial.Diffuse = Colour(0.9f, 0.9f, 0.9f, 1.0f);
    defaultMaterial.Ambient = Colour(0.9f, 0.9f, 0.9f, 1.0f);
    defaultMaterial.Specular = Colour(0.0f, 0.0f, 0.0f, 1.0f);
    defaultMaterial.Emissive = Colour(0.0f, 0.0f, 0.0f, 1.0f);
    defaultMaterial.Power = 0.0f;
    InvalidateStateCache();
    backBuffer = std::make_unique<DXC_Surface>(this);
    defaultTexture = std::make_unique<DXC_Texture>(this);
    tlList = std::make_unique<DXC_VertexListTemp<DXC_TLVertex>>();
    lList = std::make_unique<DXC_VertexListTemp<DXC_LVertex>>();
    immediateQuad = std::make_unique<DXC_VertexListTemp<DXC_LVertex>>();
    pointList = std::make_unique<DXC_VertexListTemp<DXC_PointVertex>>();
    printfContainer = std::make_unique<DXC_PrintfContainer>();
    scratch = std::make_unique<char[]>(ScratchSize);
}

DXC_Gfx::~DXC_Gfx() {
    // The owned objects go after this, in the order the member list gives (see there).
    currentFont = nullptr;
    ReleaseRenderTargets();
    if (g_Gfx == this) g_Gfx = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Adapter and display modes
// ---------------------------------------------------------------------------------------------

void DXC_Gfx::SelectAdapter(int32_t index) {
    if (index < 0 || static_cast<UINT>(index) >= direct3D->GetAdapterCount())
        Error("Wrong adapter selected: %i", index);
    adapter = index;
}

int32_t DXC_Gfx::CheckDisplayMode(D3DDISPLAYMODE* mode) {
    const D3DFORMAT wanted = mode->Format == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8 : mode->Format;
    const UINT count = direct3D->GetAdapterModeCount(adapter);
    UINT best = 0;
    bool found = false;
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE candidate{};
        result = direct3D->EnumAdapterModes(adapter, i, &candidate);
        if (FAILED(result)) Error(" GetAdapterDisplayMode failed: %s", ErrorText(result));
        if (candidate.Width != mode->Width || candidate.Height != mode->Height || candidate.Format != wanted)
            continue;
        if (mode->RefreshRate != 0) {
            if (candidate.RefreshRate == mode->RefreshRate) return 1;
            continue;
        }
        if (!found || candidate.RefreshRate > best) best = candidate.RefreshRate;
        found = true;
    }
    if (mode->RefreshRate != 0 || !found) return 0;
    mode->RefreshRate = best;
    return 1;
}

int32_t DXC_Gfx::CheckTextureFormat(D3DFORMAT format, int32_t mode) {
    DWORD usage = 0;
    if (mode == 3) usage = D3DUSAGE_RENDERTARGET;
    if (mode == 5) usage = D3DUSAGE_DEPTHSTENCIL;
    result = direct3D->CheckDeviceFormat(adapter, deviceType, displayFormat, usage, D3DRTYPE_TEXTURE, format);
    if (FAILED(result)) {
        Warning("Texture format %i mode %i not supported by device", static_cast<int>(format), mode);
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Device creation
// ---------------------------------------------------------------------------------------------

void DXC_Gfx::BuildPresentParameters() {
    D3DPRESENT_PARAMETERS& pp = presentParameters;
    pp = D3DPRESENT_PARAMETERS{};
    pp.SwapEffect = D3DSWAPEFFECT_FLIP;
    pp.BackBufferCount = 1;
    if (!windowed) {
        pp.BackBufferWidth = displayMode.Width;
        pp.BackBufferHeight = displayMode.Height;
        pp.BackBufferFormat = displayMode.Format;
        pp.Windowed = 0;
        pp.FullScreen_RefreshRateInHz = displayMode.RefreshRate;
        pp.hDeviceWindow = window;
        windowRect = RECT{0, 0, static_cast<LONG>(displayMode.Width), static_cast<LONG>(displayMode.Height)};
    } else {
        pp.BackBufferFormat = displayMode.Format;
        pp.Windowed = 1;
        pp.hDeviceWindow = window;
        pp.FullScreen_RefreshRateInHz = 0;
        pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
        if (window) {
            ReadClientRect(&windowRect);
        } else {
            // Headless: no window gives the size, the requested mode does.
            pp.BackBufferWidth = headlessWidth;
            pp.BackBufferHeight = headlessHeight;
            windowRect = RECT{0, 0, static_cast<LONG>(headlessWidth), static_cast<LONG>(headlessHeight)};
        }
    }
    switch (zDepth) {
    case 0:
        break;
    case 16:
        pp.AutoDepthStencilFormat = D3DFMT_D16;
        break;
    case 24:
        pp.AutoDepthStencilFormat = windowed ? D3DFMT_D24X8 : D3DFMT_D24S8;
        break;
    case 32:
        pp.AutoDepthStencilFormat = D3DFMT_D32;
        break;
    default:
        Error("Invalid Z-buffer: %i", zDepth);
    }
    pp.EnableAutoDepthStencil = zDepth != 0;
    if (windowed) return;
    static const UINT intervals[] = {D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_ONE,
                                     D3DPRESENT_INTERVAL_TWO, D3DPRESENT_INTERVAL_THREE,
                                     D3DPRESENT_INTERVAL_FOUR};
    if (vsync < 0 || vsync > 4) Error("Wrong vsync parameter: %i", vsync);
    pp.FullScreen_PresentationInterval = intervals[vsync];
}

int32_t DXC_Gfx::InitDevice(HWND deviceWindow, int32_t isWindowed, const D3DDISPLAYMODE* mode, int32_t depth,
                            int32_t vsyncParameter, int32_t hardwareRequest, int32_t referenceRequest) {
    window = deviceWindow;
    windowed = isWindowed;
    zDepth = depth;
    vsync = vsyncParameter;
    if (windowed) {
        result = direct3D->GetAdapterDisplayMode(adapter, &displayMode);
        if (FAILED(result)) Error("GetAdapterDisplayMode failed: %s", ErrorText(result));
        if (!window) {
            headlessWidth = mode ? mode->Width : 640;
            headlessHeight = mode ? mode->Height : 480;
        }
    } else {
        if (!mode) Error("No displaymode specified!");
        displayMode = *mode;
    }
    BuildPresentParameters();
    alphaFormat = displayMode.Format == D3DFMT_X8R8G8B8 ? D3DFMT_A8R8G8B8 : displayMode.Format;
    displayFormat = displayMode.Format == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8 : displayMode.Format;
    deviceType = referenceRequest ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL;
    result = direct3D->GetDeviceCaps(adapter, deviceType, &caps);
    if (FAILED(result)) Error("GetDeviceCaps failed: %s", ErrorText(result));

    DWORD behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    hardwareVertexProcessing = 0;
    if (hardwareRequest && (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)) {
        behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING;
        hardwareVertexProcessing = 1;
    }
    if (windowed && !(caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED))
        Error("Device does not support windowed rendering!");
    IDirect3DDevice8* created = nullptr;
    result = direct3D->CreateDevice(adapter, deviceType, window, behaviour, &presentParameters, &created);
    if (FAILED(result)) Error("CreateDevice failed: %s\n", ErrorText(result));
    device.reset(created);
    result = device->GetDeviceCaps(&caps);
    if (FAILED(result)) Error("GetDeviceCaps failed: %s", ErrorText(result));

    SetInitialState();
    BuildImmediateLists();
    printfContainer->Prepare(this);
    ApplySamplerDefaults();
    SetCullMode(-1);
    fog.mode = 0;
    SetFog(fog);
    SetFogEnable(0);
    return 1;
}

void DXC_Gfx::SetInitialState() {
    InvalidateStateCache();
    SetFillMode(D3DFILL_SOLID);
    if (zDepth > 0) SetZBufferMode(1);
    if (windowed)
        SetViewPort(windowRect.left, windowRect.top, windowRect.right, windowRect.bottom, 0.0f, 1.0f);
    else
        SetViewPort(0, 0, static_cast<int32_t>(displayMode.Width), static_cast<int32_t>(displayMode.Height),
                    0.0f, 1.0f);
    SetProjection(1.0f, 10000.0f, 0.785398f, -1.0f);
    AcquireRenderTargets();
    SetLighting(1);
    SetSpecular(0);
    SetBlendMode(1, 255);
    SetMipmapMode(0, 0.0f, 0);
    SetRenderState(D3DRS_DITHERENABLE, 1);
    SetAddressMode(D3DTADDRESS_WRAP, 0);
    SetRenderSource(1, 0);
}

void DXC_Gfx::ApplySamplerDefaults() {
    SetNormalizeNormals(1);
    SetSoftwareVertexProcessing(0);
    for (DWORD stage = 0; stage < 2; ++stage) {
        SetTextureFilter(1, stage);
        SetTextureFilter(3, stage);
    }
}

void DXC_Gfx::BuildImmediateLists() {
    pointList->pointList = 1;
    pointList->pointParameters = PointParameters{1.0f, 0.0f, 0.0f, 64.0f, 1.0f, 4.0f, 0, 0, 0};
    CreateVertexList(pointList.get(), 1, -1, 1);
    pointList->SetPrimitiveType(D3DPT_POINTLIST);

    CreateVertexList(tlList.get(), immediateListSize, -1, 1);
    tlList->Lock();
    for (int32_t i = 0; i < immediateListSize; ++i)
        *tlList->At(i) = DXC_TLVertex{0.0f, 0.0f, 1.0f, 1.0f, 0xFFFFFFFF, 0xFF000000, 0.0f, 0.0f};
    tlList->Unlock();

    CreateVertexList(lList.get(), immediateListSize, -1, 1);
    lList->Lock();
    for (int32_t i = 0; i < immediateListSize; ++i)
        *lList->At(i) = DXC_LVertex{0.0f, 0.0f, 0.0f, 0xFFFFFFFF, 0xFF000000, 0.0f, 0.0f};
    lList->Unlock();

    CreateVertexList(immediateQuad.get(), 4, -1, 1);
    immediateQuad->SetPrimitiveType(D3DPT_TRIANGLEFAN);
    static const float corners[4][4] = {{-1, -1, 0, 0}, {-1, 1, 0, 1}, {1, 1, 1, 1}, {1, -1, 1, 0}};
    immediateQuad->Lock();
    for (int32_t i = 0; i < 4; ++i)
        *immediateQuad->At(i) = DXC_LVertex{corners[i][0], corners[i][1], 0.0f,         0xFFFFFFFF,
                                            0xFF000000,    corners[i][2], corners[i][3]};
    immediateQuad->Unlock();
}

void DXC_Gfx::AcquireRenderTargets() {
    ReleaseRenderTargets();
    result = device->GetRenderTarget(&renderTarget);
    if (FAILED(result)) Error("Can not retrieve render target: %s", ErrorText(result));
    if (presentParameters.EnableAutoDepthStencil) {
        result = device->GetDepthStencilSurface(&depthSurface);
        if (FAILED(result)) Error("Can not retrieve zbuffer: %s", ErrorText(result));
    }
    IDirect3DSurface8* back = nullptr;
    result = device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back);
    if (FAILED(result)) Error("GetBackBuffer failed: %s", ErrorText(result));
    backBuffer->Attach(back);
}

void DXC_Gfx::ReleaseRenderTargets() {
    if (backBuffer) backBuffer->ReleaseSurface();
    SafeRelease(renderTarget);
    SafeRelease(depthSurface);
}

// ---------------------------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------------------------

void DXC_Gfx::Clear(D3DCOLOR color, float z, DWORD rectCount, const D3DRECT* rects) {
    DWORD flags = D3DCLEAR_TARGET;
    if (zDepth > 0 && hasZBuffer) flags |= D3DCLEAR_ZBUFFER;
    result = device->Clear(rectCount, rects, flags, color, z, 0);
    if (FAILED(result)) Error("Clear failed!");
}

int32_t DXC_Gfx::ClearZBuffer(float z, DWORD rectCount, const D3DRECT* rects) {
    if (!hasZBuffer) Error("Render target has no zbuffer!");
    if (zDepth < 1) return 0;
    result = device->Clear(rectCount, rects, D3DCLEAR_ZBUFFER, 0, z, 0);
    if (FAILED(result)) Error("Clear failed!");
    return 1;
}

void DXC_Gfx::BeginScene() {
    result = device->BeginScene();
    if (FAILED(result)) Error("BeginScene failed: %s", ErrorText(result));
    inScene = 1;
}

void DXC_Gfx::EndScene() {
    result = device->EndScene();
    if (FAILED(result)) Error("EndScene failed: %s", ErrorText(result));
    inScene = 0;
}

int32_t DXC_Gfx::Present() {
    if (windowed && window) {
        RECT client{};
        ReadClientRect(&client);
        if (client.right - client.left != windowRect.right - windowRect.left ||
            client.bottom - client.top != windowRect.bottom - windowRect.top) {
            windowRect = client;
            ResetDevice();
            return 0;
        }
    }
    result = device->Present(nullptr, nullptr, nullptr, nullptr);
    if (SUCCEEDED(result)) return 1;
    if (result != D3DERR_DEVICELOST) Error("Present failed! %s", ErrorText(result));
    ResetDevice();
    return 0;
}

void DXC_Gfx::ReadClientRect(RECT* rect) const {
    int width = 0, height = 0;
    GetWindowClientSize(window, &width, &height);
    *rect = RECT{0, 0, width, height};
}

int32_t DXC_Gfx::ResetDevice(const D3DDISPLAYMODE* newMode) {
    HRESULT level = device->TestCooperativeLevel();
    const int32_t wasLost = level == D3DERR_DEVICELOST || level == D3DERR_DEVICENOTRESET;
    while (level == D3DERR_DEVICELOST) {
        WaitForWindowEvents();
        level = device->TestCooperativeLevel();
    }
    ReleaseDefaultPoolResources();
    ReleaseRenderTargets();
    if (newMode) {
        displayMode = *newMode;
        BuildPresentParameters();
    } else if (windowed && window) {
        // The back buffer follows the window's client area (width and height 0).
        presentParameters.BackBufferWidth = 0;
        presentParameters.BackBufferHeight = 0;
    }
    result = device->Reset(&presentParameters);
    if (FAILED(result)) Error("Device Reset failed: %s", ErrorText(result));
    AcquireRenderTargets();
    InvalidateStateCache();
    RestoreStates();
    return wasLost ? 0 : 1;
}

void DXC_Gfx::ReleaseDefaultPoolResources() {
    // Default-pool objects do not survive a reset. Their entries stay in the lists without an
    // object, so their holders find nothing instead of a released object.
    for (int32_t i = 0; i < surfaceList.GetCount(); ++i) {
        ResourceEntry* entry = surfaceList.GetAt(i);
        auto* surface = static_cast<IDirect3DSurface8*>(entry->resource);
        if (!surface) continue;
        D3DSURFACE_DESC desc{};
        if (SUCCEEDED(surface->GetDesc(&desc)) && desc.Pool == D3DPOOL_DEFAULT) {
            surface->Release();
            entry->resource = nullptr;
        }
    }
    for (int32_t i = 0; i < textureList.GetCount(); ++i) {
        ResourceEntry* entry = textureList.GetAt(i);
        auto* texture = static_cast<IDirect3DTexture8*>(entry->resource);
        if (!texture) continue;
        D3DSURFACE_DESC desc{};
        if (SUCCEEDED(texture->GetLevelDesc(0, &desc)) && desc.Pool == D3DPOOL_DEFAULT) {
            texture->Release();
            entry->resource = nullptr;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Viewport and transforms
// ---------------------------------------------------------------------------------------------

int32_t DXC_Gfx::SetViewPort(int32_t left, int32_t top, int32_t right, int32_t bottom, float minZ,
                             float maxZ) {
    viewport.X = static_cast<DWORD>(left);
    viewport.Y = static_cast<DWORD>(top);
    viewport.Width = static_cast<DWORD>(right - left);
    viewport.Height = static_cast<DWORD>(bottom - top);
    viewport.MinZ = minZ;
    viewport.MaxZ = maxZ;
    frustumDirty = 1;
    result = device->SetViewport(&viewport);
    if (SUCCEEDED(result)) return 1;
    if (!windowed) Error("SetViewPort failed: %s", ErrorText(result));
    Warning("SetViewPort failed: %s", ErrorText(result));
    return 0;
}

void DXC_Gfx::SetProjection(float nearZ, float farZ, float fov, float aspect) {
    if (aspect == -1.0f)
        aspect = viewport.Height ? pixelAspect * static_cast<float>(viewport.Width) / viewport.Height : 1.0f;
    const float h = std::cos(fov * 0.5f) / std::sin(fov * 0.5f);
    const float q = farZ / (farZ - nearZ);
    D3DXMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = h / aspect;
    m._22 = h;
    m._33 = q;
    m._34 = 1.0f;
    m._43 = -nearZ * q;
    nearPlane = nearZ;
    farPlane = farZ;
    if (m._34 != 0.0f && m._34 != 1.0f) m /= m._34;
    projectionMatrix = m;
    SetTransform(D3DTS_PROJECTION, m);
    frustumDirty = 1;
}

void DXC_Gfx::SetViewMatrix(const D3DXMATRIX& matrix) {
    viewMatrix = matrix;
    frustumDirty = 1;
    SetTransform(D3DTS_VIEW, matrix);
}
