#include "platform/d3d8/Direct3DCommon.h"

#include "platform/d3d8/PixelFormat.h"

#include <algorithm>

namespace {

bool Contains(const std::vector<D3DFORMAT>& formats, D3DFORMAT format) {
    return std::find(formats.begin(), formats.end(), format) != formats.end();
}

bool IsDisplayFormat(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5;
}

// Back buffers may carry alpha where the display has none.
bool BackBufferMatchesDisplay(D3DFORMAT display, D3DFORMAT backBuffer) {
    if (display == backBuffer) return true;
    return (display == D3DFMT_X8R8G8B8 && backBuffer == D3DFMT_A8R8G8B8) ||
           (display == D3DFMT_X1R5G5B5 && backBuffer == D3DFMT_A1R5G5B5);
}

bool IsPresentInterval(UINT interval) {
    return interval == D3DPRESENT_INTERVAL_DEFAULT || interval == D3DPRESENT_INTERVAL_ONE ||
           interval == D3DPRESENT_INTERVAL_TWO || interval == D3DPRESENT_INTERVAL_THREE ||
           interval == D3DPRESENT_INTERVAL_FOUR || interval == D3DPRESENT_INTERVAL_IMMEDIATE;
}

} // namespace

D3DCAPS8 StandardCaps() {
    D3DCAPS8 c{};
    c.DeviceType = D3DDEVTYPE_HAL;
    c.Caps2 = D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_CANMANAGERESOURCE | D3DCAPS2_DYNAMICTEXTURES |
              D3DCAPS2_FULLSCREENGAMMA;
    c.Caps3 = D3DCAPS3_ALPHA_FULLSCREEN_FLIP_OR_DISCARD;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_TWO | D3DPRESENT_INTERVAL_THREE |
                              D3DPRESENT_INTERVAL_FOUR | D3DPRESENT_INTERVAL_IMMEDIATE;
    c.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX |
                D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_PUREDEVICE;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW |
                          D3DPMISCCAPS_CULLCCW | D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_TSSARGTEMP |
                          D3DPMISCCAPS_BLENDOP;
    c.RasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX |
                   D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_ZBIAS |
                   D3DPRASTERCAPS_FOGRANGE | D3DPRASTERCAPS_ANISOTROPY | D3DPRASTERCAPS_WBUFFER |
                   D3DPRASTERCAPS_WFOG | D3DPRASTERCAPS_ZFOG | D3DPRASTERCAPS_COLORPERSPECTIVE;
    c.ZCmpCaps = c.AlphaCmpCaps = 0xFF;        // every D3DPCMPCAPS_*
    c.SrcBlendCaps = c.DestBlendCaps = 0x1FFF; // every D3DPBLENDCAPS_*
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                  D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_PROJECTED |
                    D3DPTEXTURECAPS_MIPMAP;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                          D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MIPFPOINT |
                          D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                          D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                           D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV |
                           D3DPTADDRESSCAPS_MIRRORONCE;
    c.LineCaps =
        D3DLINECAPS_TEXTURE | D3DLINECAPS_ZTEST | D3DLINECAPS_BLEND | D3DLINECAPS_ALPHACMP | D3DLINECAPS_FOG;
    c.MaxTextureWidth = c.MaxTextureHeight = 4096;
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = 4096;
    c.MaxAnisotropy = 16;
    c.MaxVertexW = 1e10f;
    c.GuardBandLeft = c.GuardBandTop = -8192.0f;
    c.GuardBandRight = c.GuardBandBottom = 8192.0f;
    c.StencilCaps = 0xFF; // every D3DSTENCILCAPS_*
    c.FVFCaps = 8 | D3DFVFCAPS_PSIZE;
    c.TextureOpCaps = 0x03FFFFFF; // every D3DTEXOPCAPS_*
    c.MaxTextureBlendStages = 8;
    c.MaxSimultaneousTextures = 8;
    c.VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 |
                             D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS |
                             D3DVTXPCAPS_LOCALVIEWER | D3DVTXPCAPS_TWEENING;
    c.MaxActiveLights = 8;
    c.MaxUserClipPlanes = 6;
    c.MaxVertexBlendMatrices = 4;
    c.MaxVertexBlendMatrixIndex = 255;
    c.MaxPointSize = 64.0f;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 16;
    c.MaxStreamStride = 255;
    c.VertexShaderVersion = D3DVS_VERSION(1, 1);
    c.MaxVertexShaderConst = 96;
    c.PixelShaderVersion = D3DPS_VERSION(1, 1);
    c.MaxPixelShaderValue = 1.0f;
    return c;
}

std::vector<D3DFORMAT> StandardTextureFormats() {
    return {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
            D3DFMT_A4R4G4B4, D3DFMT_L8,       D3DFMT_A8L8,   D3DFMT_A8,       D3DFMT_DXT1,
            D3DFMT_DXT2,     D3DFMT_DXT3,     D3DFMT_DXT4,   D3DFMT_DXT5};
}

const AdapterDescription* Direct3DCommon::Adapter(UINT adapter) const {
    return adapter < adapters_.size() ? &adapters_[adapter] : nullptr;
}

HRESULT Direct3DCommon::GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) {
    const AdapterDescription* a = Adapter(adapter);
    if (!a || !identifier) return D3DERR_INVALIDCALL;
    *identifier = a->identifier;
    if (flags & D3DENUM_NO_WHQL_LEVEL) identifier->WHQLLevel = 0;
    return D3D_OK;
}

UINT Direct3DCommon::GetAdapterModeCount(UINT adapter) {
    const AdapterDescription* a = Adapter(adapter);
    return a ? static_cast<UINT>(a->modes.size()) : 0;
}

HRESULT Direct3DCommon::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) {
    const AdapterDescription* a = Adapter(adapter);
    if (!a || !displayMode || mode >= a->modes.size()) return D3DERR_INVALIDCALL;
    *displayMode = a->modes[mode];
    return D3D_OK;
}

HRESULT Direct3DCommon::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) {
    const AdapterDescription* a = Adapter(adapter);
    if (!a || !displayMode) return D3DERR_INVALIDCALL;
    *displayMode = a->desktopMode;
    return D3D_OK;
}

HRESULT Direct3DCommon::CheckDeviceType(UINT adapter, D3DDEVTYPE checkType, D3DFORMAT displayFormat,
                                        D3DFORMAT backBufferFormat, BOOL windowed) {
    const AdapterDescription* a = Adapter(adapter);
    if (!a || (checkType != D3DDEVTYPE_HAL && checkType != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
    if (!IsDisplayFormat(displayFormat)) return D3DERR_NOTAVAILABLE;
    if (windowed && displayFormat != a->desktopMode.Format) return D3DERR_NOTAVAILABLE;
    if (!windowed && std::none_of(a->modes.begin(), a->modes.end(),
                                  [&](const D3DDISPLAYMODE& m) { return m.Format == displayFormat; }))
        return D3DERR_NOTAVAILABLE;
    return BackBufferMatchesDisplay(displayFormat, backBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DCommon::CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                          DWORD usage, D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
    const AdapterDescription* a = Adapter(adapter);
    if (!a || (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
    if (!IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
    if (resourceType != D3DRTYPE_TEXTURE && resourceType != D3DRTYPE_SURFACE) return D3DERR_NOTAVAILABLE;
    bool ok;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
        ok = Contains(a->depthFormats, checkFormat);
    else if (usage & D3DUSAGE_RENDERTARGET)
        ok = Contains(a->renderTargetFormats, checkFormat);
    else
        ok = Contains(a->textureFormats, checkFormat);
    return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DCommon::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType,
                                                   D3DFORMAT surfaceFormat, BOOL windowed,
                                                   D3DMULTISAMPLE_TYPE multiSampleType) {
    if (!Adapter(adapter)) return D3DERR_INVALIDCALL;
    return multiSampleType == D3DMULTISAMPLE_NONE ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DCommon::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                               D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) {
    const AdapterDescription* a = Adapter(adapter);
    if (!a) return D3DERR_INVALIDCALL;
    return Contains(a->depthFormats, depthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DCommon::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS8* caps) {
    const AdapterDescription* a = Adapter(adapter);
    if (!a || !caps || (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF))
        return D3DERR_INVALIDCALL;
    *caps = a->caps;
    caps->DeviceType = deviceType;
    caps->AdapterOrdinal = adapter;
    // The reference rasteriser draws in software whatever the adapter's hardware does.
    if (deviceType == D3DDEVTYPE_REF) caps->DevCaps &= ~D3DDEVCAPS_HWRASTERIZATION;
    return D3D_OK;
}

HRESULT Direct3DCommon::CheckPresentParameters(UINT adapter, HWND focusWindow, D3DPRESENT_PARAMETERS* pp,
                                               D3DDISPLAYMODE* mode) {
    const AdapterDescription* a = Adapter(adapter);
    if (!a || !pp || !mode) return D3DERR_INVALIDCALL;
    if (pp->BackBufferCount > 3) return D3DERR_INVALIDCALL;
    if (pp->SwapEffect < D3DSWAPEFFECT_DISCARD || pp->SwapEffect > D3DSWAPEFFECT_COPY_VSYNC)
        return D3DERR_INVALIDCALL;
    if (pp->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
    if (pp->EnableAutoDepthStencil && !Contains(a->depthFormats, pp->AutoDepthStencilFormat))
        return D3DERR_INVALIDCALL;

    if (pp->Windowed) {
        // A windowed device shows in the desktop's format; the refresh and interval are the desktop's.
        if (!BackBufferMatchesDisplay(a->desktopMode.Format, pp->BackBufferFormat)) return D3DERR_INVALIDCALL;
        if (pp->FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;
        if (pp->FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT) return D3DERR_INVALIDCALL;
        if (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0) {
            UINT w = 640, h = 480;
            HWND window = pp->hDeviceWindow ? pp->hDeviceWindow : focusWindow;
            if (!WindowClientSize(window, &w, &h) || w == 0 || h == 0) {
                w = 640;
                h = 480;
            }
            if (pp->BackBufferWidth == 0) pp->BackBufferWidth = w;
            if (pp->BackBufferHeight == 0) pp->BackBufferHeight = h;
        }
        *mode = a->desktopMode;
    } else {
        if (pp->SwapEffect == D3DSWAPEFFECT_COPY_VSYNC) return D3DERR_INVALIDCALL;
        if (!IsPresentInterval(pp->FullScreen_PresentationInterval)) return D3DERR_INVALIDCALL;
        if (pp->FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT &&
            (a->caps.PresentationIntervals & pp->FullScreen_PresentationInterval) == 0)
            return D3DERR_INVALIDCALL;
        // The mode must be listed; refresh 0 takes the first listed rate of that size and format.
        const D3DDISPLAYMODE* found = nullptr;
        for (const D3DDISPLAYMODE& m : a->modes) {
            if (m.Width != pp->BackBufferWidth || m.Height != pp->BackBufferHeight) continue;
            if (!BackBufferMatchesDisplay(m.Format, pp->BackBufferFormat)) continue;
            if (pp->FullScreen_RefreshRateInHz != 0 && m.RefreshRate != pp->FullScreen_RefreshRateInHz)
                continue;
            found = &m;
            break;
        }
        if (!found) return D3DERR_INVALIDCALL;
        *mode = *found;
    }
    if (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0) return D3DERR_INVALIDCALL;
    if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
    return D3D_OK;
}

HRESULT Direct3DCommon::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                     DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                                     IDirect3DDevice8** returnedDeviceInterface) {
    if (!returnedDeviceInterface) return D3DERR_INVALIDCALL;
    *returnedDeviceInterface = nullptr;
    const AdapterDescription* a = Adapter(adapter);
    if (!a || !presentationParameters) return D3DERR_INVALIDCALL;
    if (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF) return D3DERR_INVALIDCALL;
    const DWORD processing =
        behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_HARDWARE_VERTEXPROCESSING && processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        !(a->caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
        return D3DERR_INVALIDCALL;
    if (presentationParameters->Windowed && !(a->caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED))
        return D3DERR_NOTAVAILABLE;
    D3DPRESENT_PARAMETERS checked = *presentationParameters;
    D3DDISPLAYMODE mode{};
    const HRESULT hr = CheckPresentParameters(adapter, focusWindow, &checked, &mode);
    if (FAILED(hr)) return hr;
    const HRESULT created =
        NewDevice(adapter, deviceType, focusWindow, behaviorFlags, checked, mode, returnedDeviceInterface);
    if (SUCCEEDED(created)) *presentationParameters = checked;
    return created;
}
