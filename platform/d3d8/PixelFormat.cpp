#include "platform/d3d8/PixelFormat.h"

#include <cstring>

UINT FormatBitsPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_G16R16:
    case D3DFMT_X8L8V8U8:
    case D3DFMT_Q8W8V8U8:
    case D3DFMT_V16U16:
    case D3DFMT_W11V11U10:
    case D3DFMT_A2W10V10U10:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
        return 32;
    case D3DFMT_R8G8B8:
        return 24;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8P8:
    case D3DFMT_A8L8:
    case D3DFMT_V8U8:
    case D3DFMT_L6V5U5:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_D16:
    case D3DFMT_UYVY:
    case D3DFMT_YUY2:
        return 16;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_P8:
    case D3DFMT_L8:
    case D3DFMT_A4L4:
        return 8;
    case D3DFMT_DXT1:
        return 4;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return 8;
    default:
        return 0;
    }
}

bool IsKnownFormat(D3DFORMAT format) {
    return FormatBitsPerPixel(format) != 0;
}

bool IsCompressedFormat(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
           format == D3DFMT_DXT5;
}

bool IsDepthFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D16:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
        return true;
    default:
        return false;
    }
}

bool FormatHasStencil(D3DFORMAT format) {
    return format == D3DFMT_D15S1 || format == D3DFMT_D24S8 || format == D3DFMT_D24X4S4;
}

bool FormatHasAlpha(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A8P8:
    case D3DFMT_A8L8:
    case D3DFMT_A4L4:
    case D3DFMT_DXT1: // one-bit alpha
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return true;
    default:
        return false;
    }
}

UINT FormatBlockBytes(D3DFORMAT format) {
    if (!IsCompressedFormat(format)) return 0;
    return format == D3DFMT_DXT1 ? 8 : 16;
}

UINT FormatRowPitch(D3DFORMAT format, UINT width) {
    if (IsCompressedFormat(format)) return ((width + 3) / 4) * FormatBlockBytes(format);
    return width * (FormatBitsPerPixel(format) / 8);
}

UINT FormatRowCount(D3DFORMAT format, UINT height) {
    return IsCompressedFormat(format) ? (height + 3) / 4 : height;
}

UINT FormatImageSize(D3DFORMAT format, UINT width, UINT height) {
    return FormatRowPitch(format, width) * FormatRowCount(format, height);
}

UINT FullMipLevelCount(UINT width, UINT height) {
    UINT levels = 1;
    UINT largest = width > height ? width : height;
    while (largest > 1) {
        largest >>= 1;
        ++levels;
    }
    return levels;
}

namespace {

// Widens an n-bit channel to 8 bits by repeating its bits (0 stays 0, all ones becomes 255).
constexpr DWORD Widen(DWORD value, int bits) {
    DWORD v = value << (8 - bits);
    for (int filled = bits; filled < 8; filled += bits) v |= v >> bits;
    return v & 0xFF;
}

DWORD Load(const BYTE* p, int bytes) {
    DWORD v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<DWORD>(p[i]) << (8 * i);
    return v;
}

void Store(BYTE* p, int bytes, DWORD v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

DWORD Luminance(D3DCOLOR c) {
    DWORD r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return (r * 77 + g * 150 + b * 29) >> 8;
}

} // namespace

bool CanConvertPixels(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A8L8:
    case D3DFMT_A4L4:
        return true;
    default:
        return false;
    }
}

D3DCOLOR ReadPixelARGB(D3DFORMAT format, const BYTE* p) {
    DWORD v;
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return Load(p, 4);
    case D3DFMT_X8R8G8B8:
        return Load(p, 4) | 0xFF000000u;
    case D3DFMT_R8G8B8:
        return Load(p, 3) | 0xFF000000u;
    case D3DFMT_R5G6B5:
        v = Load(p, 2);
        return D3DCOLOR_ARGB(255, Widen(v >> 11, 5), Widen((v >> 5) & 0x3F, 6), Widen(v & 0x1F, 5));
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        v = Load(p, 2);
        return D3DCOLOR_ARGB(format == D3DFMT_X1R5G5B5 || (v & 0x8000) ? 255 : 0, Widen((v >> 10) & 0x1F, 5),
                             Widen((v >> 5) & 0x1F, 5), Widen(v & 0x1F, 5));
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        v = Load(p, 2);
        return D3DCOLOR_ARGB(format == D3DFMT_X4R4G4B4 ? 255 : Widen(v >> 12, 4), Widen((v >> 8) & 0xF, 4),
                             Widen((v >> 4) & 0xF, 4), Widen(v & 0xF, 4));
    case D3DFMT_R3G3B2:
        v = p[0];
        return D3DCOLOR_ARGB(255, Widen(v >> 5, 3), Widen((v >> 2) & 7, 3), Widen(v & 3, 2));
    case D3DFMT_A8:
        return static_cast<DWORD>(p[0]) << 24;
    case D3DFMT_L8:
        return D3DCOLOR_ARGB(255, p[0], p[0], p[0]);
    case D3DFMT_A8L8:
        return D3DCOLOR_ARGB(p[1], p[0], p[0], p[0]);
    case D3DFMT_A4L4:
        v = Widen(p[0] & 0xF, 4);
        return D3DCOLOR_ARGB(Widen(p[0] >> 4, 4), v, v, v);
    default:
        return 0;
    }
}

void WritePixelARGB(D3DFORMAT format, BYTE* p, D3DCOLOR c) {
    DWORD a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        Store(p, 4, c);
        break;
    case D3DFMT_R8G8B8:
        Store(p, 3, c);
        break;
    case D3DFMT_R5G6B5:
        Store(p, 2, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        Store(p, 2, ((a >= 128 ? 1u : 0u) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        break;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        Store(p, 2, ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
        break;
    case D3DFMT_R3G3B2:
        p[0] = static_cast<BYTE>(((r >> 5) << 5) | ((g >> 5) << 2) | (b >> 6));
        break;
    case D3DFMT_A8:
        p[0] = static_cast<BYTE>(a);
        break;
    case D3DFMT_L8:
        p[0] = static_cast<BYTE>(Luminance(c));
        break;
    case D3DFMT_A8L8:
        p[0] = static_cast<BYTE>(Luminance(c));
        p[1] = static_cast<BYTE>(a);
        break;
    case D3DFMT_A4L4:
        p[0] = static_cast<BYTE>(((a >> 4) << 4) | (Luminance(c) >> 4));
        break;
    default:
        break;
    }
}
