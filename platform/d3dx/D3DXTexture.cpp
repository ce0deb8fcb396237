#include "platform/d3dx/D3DXTexture.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "platform/d3dx/D3DXImageAccess.h"
#include "platform/d3dx/D3DXImagePixels.h"

namespace {

constexpr UINT kDefaultSize = 256;

UINT NextPowerOfTwo(UINT v) {
    UINT p = 1;
    while (p < v && p < 0x80000000u) p <<= 1;
    return p;
}

bool IsDefault(UINT v) {
    return v == 0 || v == D3DX_DEFAULT;
}

// Formats to try for a request, best first; only those our converters can write are listed.
std::vector<D3DFORMAT> Candidates(D3DFORMAT wanted) {
    auto list = [](std::initializer_list<D3DFORMAT> l) { return std::vector<D3DFORMAT>(l); };
    switch (wanted) {
    case D3DFMT_A8R8G8B8:
        return list({D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5});
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8:
        return list({wanted, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5});
    case D3DFMT_R5G6B5:
        return list({D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8});
    case D3DFMT_X1R5G5B5:
        return list({D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8});
    case D3DFMT_A1R5G5B5:
        return list({D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8});
    case D3DFMT_A4R4G4B4:
        return list({D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5});
    case D3DFMT_X4R4G4B4:
        return list({D3DFMT_X4R4G4B4, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8});
    case D3DFMT_L8:
        return list({D3DFMT_L8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8});
    case D3DFMT_A8L8:
    case D3DFMT_A4L4:
    case D3DFMT_A8:
        return list({wanted, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4});
    case D3DFMT_DXT1:
        return list({D3DFMT_DXT1, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8});
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return list({wanted, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4});
    case D3DFMT_R3G3B2:
    case D3DFMT_P8:
        return list({wanted, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8});
    case D3DFMT_A8R3G3B2:
    case D3DFMT_A8P8:
        return list({wanted, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4});
    default:
        return list({wanted, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8});
    }
}

// Asks the device's Direct3D object whether it takes a texture format.
class FormatChecker {
public:
    FormatChecker(IDirect3DDevice8* device, const D3DCAPS8& caps) : caps_(caps) {
        D3DDISPLAYMODE mode{};
        if (SUCCEEDED(device->GetDirect3D(&d3d_)) && SUCCEEDED(device->GetDisplayMode(&mode)))
            adapterFormat_ = mode.Format;
    }
    ~FormatChecker() { SafeRelease(d3d_); }
    FormatChecker(const FormatChecker&) = delete;
    FormatChecker& operator=(const FormatChecker&) = delete;

    bool Accepts(D3DFORMAT format, DWORD usage) const {
        if (!IsImageFormat(format)) return false;
        if (d3d_ == nullptr) return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
        return SUCCEEDED(d3d_->CheckDeviceFormat(caps_.AdapterOrdinal, caps_.DeviceType, adapterFormat_,
                                                 usage, D3DRTYPE_TEXTURE, format));
    }

private:
    D3DCAPS8 caps_;
    IDirect3D8* d3d_ = nullptr;
    D3DFORMAT adapterFormat_ = D3DFMT_X8R8G8B8;
};

void CorrectSize(const D3DCAPS8& caps, UINT requestedLevels, UINT& w, UINT& h) {
    bool conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) && requestedLevels == 1;
    if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) && !conditional) {
        w = NextPowerOfTwo(w);
        h = NextPowerOfTwo(h);
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) w = h = std::max(w, h);
    if (caps.MaxTextureWidth > 0) w = std::min<UINT>(w, caps.MaxTextureWidth);
    if (caps.MaxTextureHeight > 0) h = std::min<UINT>(h, caps.MaxTextureHeight);
}

IDirect3DTexture8* AsTexture(IDirect3DBaseTexture8* base) {
    if (base == nullptr || base->GetType() != D3DRTYPE_TEXTURE) return nullptr;
    return static_cast<IDirect3DTexture8*>(base);
}

} // namespace

HRESULT D3DXCheckTextureRequirements(IDirect3DDevice8* device, UINT* width, UINT* height, UINT* numMipLevels,
                                     DWORD usage, D3DFORMAT* format, D3DPOOL pool) {
    if (device == nullptr) return D3DERR_INVALIDCALL;
    D3DCAPS8 caps{};
    HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) return hr;

    D3DFORMAT wanted = D3DFMT_A8R8G8B8;
    if (format && *format != D3DFMT_UNKNOWN && static_cast<UINT>(*format) != D3DX_DEFAULT) wanted = *format;
    FormatChecker checker(device, caps);
    D3DFORMAT chosen = D3DFMT_UNKNOWN;
    for (D3DFORMAT candidate : Candidates(wanted)) {
        if (checker.Accepts(candidate, usage)) {
            chosen = candidate;
            break;
        }
    }
    if (chosen == D3DFMT_UNKNOWN) return D3DERR_NOTAVAILABLE;

    UINT w = width && !IsDefault(*width) ? *width : kDefaultSize;
    UINT h = height && !IsDefault(*height) ? *height : kDefaultSize;
    UINT levels = numMipLevels && !IsDefault(*numMipLevels) ? *numMipLevels : 0;
    CorrectSize(caps, levels, w, h);
    UINT full = FullMipChainLength(w, h);
    levels = levels == 0 ? full : std::min(levels, full);
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) levels = 1;

    if (width) *width = w;
    if (height) *height = h;
    if (numMipLevels) *numMipLevels = levels;
    if (format) *format = chosen;
    (void)pool;
    return D3D_OK;
}

HRESULT D3DXCreateTexture(IDirect3DDevice8* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** texture) {
    if (device == nullptr || texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    HRESULT hr = D3DXCheckTextureRequirements(device, &width, &height, &mipLevels, usage, &format, pool);
    if (FAILED(hr)) return hr;
    return device->CreateTexture(width, height, mipLevels, usage, format, pool, texture);
}

HRESULT D3DXFilterTexture(IDirect3DBaseTexture8* baseTexture, const PALETTEENTRY* palette, UINT srcLevel,
                          DWORD filter) {
    (void)palette;
    IDirect3DTexture8* texture = AsTexture(baseTexture);
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    ResampleMode mode;
    if (!ToResampleMode(filter, ResampleMode::Box, mode)) return D3DERR_INVALIDCALL;
    if (srcLevel == D3DX_DEFAULT) srcLevel = 0;
    DWORD levels = texture->GetLevelCount();
    if (srcLevel >= levels) return D3DERR_INVALIDCALL;
    PixelImage above;
    HRESULT hr = ReadTextureLevel(texture, srcLevel, above);
    for (UINT level = srcLevel + 1; SUCCEEDED(hr) && level < levels; ++level) {
        D3DSURFACE_DESC desc{};
        hr = texture->GetLevelDesc(level, &desc);
        if (FAILED(hr)) break;
        PixelImage scaled;
        if (!Resample(above, desc.Width, desc.Height, mode, scaled)) return E_OUTOFMEMORY;
        hr = WriteTextureLevel(texture, level, scaled);
        // The next level is made from this one as stored, as a rebuild from the texture would.
        if (SUCCEEDED(hr)) hr = ReadTextureLevel(texture, level, above);
    }
    return hr;
}
