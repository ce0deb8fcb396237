// The Direct3D object part every backend shares: adapters with their display modes, format and
// device-type checks, capabilities, and the checks of CreateDevice and Reset on present
// parameters. A backend describes its adapters (AdapterDescription) and creates its device in
// NewDevice; everything else follows Direct3D 8's rules here.
#pragma once

#include "platform/d3d8/ResourceCommon.h"

#include <vector>

struct AdapterDescription {
    D3DADAPTER_IDENTIFIER8 identifier{};
    D3DDISPLAYMODE desktopMode{};
    std::vector<D3DDISPLAYMODE> modes; // in enumeration order
    D3DCAPS8 caps{};                   // of the HAL device; the REF device reports the same
    std::vector<D3DFORMAT> textureFormats;
    std::vector<D3DFORMAT> renderTargetFormats;
    std::vector<D3DFORMAT> depthFormats;
};

// Capabilities of a typical DirectX 8.1 card with hardware transform and lighting: 8 stages,
// 2 simultaneous textures... see the definition; backends adjust what they differ in.
D3DCAPS8 StandardCaps();
// Texture formats a typical card of that time accepts.
std::vector<D3DFORMAT> StandardTextureFormats();

class Direct3DCommon : public RefCounted<IDirect3D8> {
public:
    UINT GetAdapterCount() override { return static_cast<UINT>(adapters_.size()); }
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) override;
    UINT GetAdapterModeCount(UINT adapter) override;
    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE checkType, D3DFORMAT displayFormat,
                            D3DFORMAT backBufferFormat, BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT surfaceFormat,
                                       BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS8* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentationParameters,
                         IDirect3DDevice8** returnedDeviceInterface) override;

    // Checks present parameters as CreateDevice and Reset do and completes them: a windowed back
    // buffer of width or height 0 takes the window's client size, a back-buffer count of 0
    // becomes 1. The display mode the device will run in is returned. D3DERR_INVALIDCALL when
    // Direct3D would refuse them.
    HRESULT CheckPresentParameters(UINT adapter, HWND focusWindow, D3DPRESENT_PARAMETERS* parameters,
                                   D3DDISPLAYMODE* mode);
    const AdapterDescription* Adapter(UINT adapter) const;

protected:
    explicit Direct3DCommon(std::vector<AdapterDescription> adapters) : adapters_(std::move(adapters)) {}

    // Creates the backend's device for checked parameters; it returns one reference.
    virtual HRESULT NewDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                              const D3DPRESENT_PARAMETERS& parameters, const D3DDISPLAYMODE& mode,
                              IDirect3DDevice8** device) = 0;
    // Client-area size of a window for windowed back buffers; false when unknown (640 x 480 then).
    virtual bool WindowClientSize(HWND window, UINT* width, UINT* height) { return false; }

    std::vector<AdapterDescription> adapters_;
};
