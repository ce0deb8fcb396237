#include "render/DXC_SurfaceBase.h"

#include <cstring>

namespace {

uint32_t LoadWord16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

void StoreWord16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint32_t LoadWord32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4); // pixels may sit at any address; the engine runs little-endian
    return v;
}

void StoreWord32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// Widens an n-bit channel to 8 bits by repeating its top bits, so the full value stays full
// and writing back (which keeps the top n bits) gives the stored value again.
uint32_t Expand5(uint32_t v) {
    return (v << 3) | (v >> 2);
}
uint32_t Expand6(uint32_t v) {
    return (v << 2) | (v >> 4);
}
uint32_t Expand4(uint32_t v) {
    return v * 17;
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

uint32_t ReadR8G8B8(const uint8_t* p) {
    return 0xFF000000u | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
}
void WriteR8G8B8(uint8_t* p, uint32_t c) {
    p[0] = static_cast<uint8_t>(c);
    p[1] = static_cast<uint8_t>(c >> 8);
    p[2] = static_cast<uint8_t>(c >> 16);
}

uint32_t ReadA8R8G8B8(const uint8_t* p) {
    return LoadWord32(p);
}
void WriteA8R8G8B8(uint8_t* p, uint32_t c) {
    StoreWord32(p, c);
}

// The unused byte of X8R8G8B8 holds anything: it reads as opaque and is written as 0xFF.
uint32_t ReadX8R8G8B8(const uint8_t* p) {
    return LoadWord32(p) | 0xFF000000u;
}
void WriteX8R8G8B8(uint8_t* p, uint32_t c) {
    StoreWord32(p, c | 0xFF000000u);
}

uint32_t ReadR5G6B5(const uint8_t* p) {
    const uint32_t v = LoadWord16(p);
    return Argb(0xFF, Expand5((v >> 11) & 0x1F), Expand6((v >> 5) & 0x3F), Expand5(v & 0x1F));
}
void WriteR5G6B5(uint8_t* p, uint32_t c) {
    const uint32_t r = (c >> 19) & 0x1F, g = (c >> 10) & 0x3F, b = (c >> 3) & 0x1F;
    StoreWord16(p, (r << 11) | (g << 5) | b);
}

uint32_t ReadA1R5G5B5(const uint8_t* p) {
    const uint32_t v = LoadWord16(p);
    return Argb((v & 0x8000) ? 0xFF : 0, Expand5((v >> 10) & 0x1F), Expand5((v >> 5) & 0x1F),
                Expand5(v & 0x1F));
}
void WriteA1R5G5B5(uint8_t* p, uint32_t c) {
    const uint32_t a = (c >> 31) & 1, r = (c >> 19) & 0x1F, g = (c >> 11) & 0x1F, b = (c >> 3) & 0x1F;
    StoreWord16(p, (a << 15) | (r << 10) | (g << 5) | b);
}

uint32_t ReadA4R4G4B4(const uint8_t* p) {
    const uint32_t v = LoadWord16(p);
    return Argb(Expand4((v >> 12) & 0xF), Expand4((v >> 8) & 0xF), Expand4((v >> 4) & 0xF), Expand4(v & 0xF));
}
void WriteA4R4G4B4(uint8_t* p, uint32_t c) {
    const uint32_t a = (c >> 28) & 0xF, r = (c >> 20) & 0xF, g = (c >> 12) & 0xF, b = (c >> 4) & 0xF;
    StoreWord16(p, (a << 12) | (r << 8) | (g << 4) | b);
}

// A depth value is no colour: it goes in and out as the raw 16-bit number.
uint32_t ReadD16(const uint8_t* p) {
    return LoadWord16(p);
}
void WriteD16(uint8_t* p, uint32_t c) {
    StoreWord16(p, c & 0xFFFF);
}

uint32_t ScaleChannel(uint32_t channel, float factor) {
    const float v = static_cast<float>(channel) * factor;
    if (!(v > 0.0f)) return 0; // also catches NaN
    if (v >= 255.0f) return 255;
    return static_cast<uint32_t>(v);
}

} // namespace

int32_t DXC_SurfaceBase::BytesPerPixelOf(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_D16:
        return 2;
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return 0;
    default:
        return -1;
    }
}

void DXC_SurfaceBase::SetPixelFormat(D3DFORMAT format) {
    const int32_t bytes = BytesPerPixelOf(format);
    if (bytes < 0) Error("Unsupported pixel format! (%i)", static_cast<int>(format));
    PixelReader reader = nullptr;
    PixelWriter writer = nullptr;
    switch (format) {
    case D3DFMT_R8G8B8:
        reader = ReadR8G8B8, writer = WriteR8G8B8;
        break;
    case D3DFMT_A8R8G8B8:
        reader = ReadA8R8G8B8, writer = WriteA8R8G8B8;
        break;
    case D3DFMT_X8R8G8B8:
        reader = ReadX8R8G8B8, writer = WriteX8R8G8B8;
        break;
    case D3DFMT_R5G6B5:
        reader = ReadR5G6B5, writer = WriteR5G6B5;
        break;
    case D3DFMT_A1R5G5B5:
        reader = ReadA1R5G5B5, writer = WriteA1R5G5B5;
        break;
    case D3DFMT_A4R4G4B4:
        reader = ReadA4R4G4B4, writer = WriteA4R4G4B4;
        break;
    case D3DFMT_D16:
        reader = ReadD16, writer = WriteD16;
        break;
    default: // the block formats: accepted, no per-pixel access
        break;
    }
    pixelFormat = format;
    bytesPerPixel = bytes;
    readPixel = reader;
    writePixel = writer;
}

void DXC_SurfaceBase::SetLocked(void* bits, int32_t rowPitch, const RECT& rect) {
    lockedBits = static_cast<uint8_t*>(bits);
    pitch = rowPitch;
    lockedRect = rect;
    locked = 1;
}

void DXC_SurfaceBase::ClearLocked() {
    lockedBits = nullptr;
    pitch = 0;
    locked = 0;
}

void DXC_SurfaceBase::RequirePixelAccess() {
    if (!locked || !lockedBits) Error("Pixel access on an image that is not locked");
    if (!readPixel) Error("No pixel access for pixel format %i", static_cast<int>(pixelFormat));
}

uint8_t* DXC_SurfaceBase::PixelAddress(int32_t x, int32_t y) {
    RequirePixelAccess();
    const int32_t w = lockedRect.right - lockedRect.left;
    const int32_t h = lockedRect.bottom - lockedRect.top;
    if (x < 0 || y < 0 || x >= w || y >= h)
        Error("Pixel (%i, %i) outside the locked area of %i x %i", x, y, w, h);
    return lockedBits + static_cast<intptr_t>(y) * pitch + static_cast<intptr_t>(x) * bytesPerPixel;
}

uint32_t DXC_SurfaceBase::GetPixel(int32_t x, int32_t y) {
    const uint8_t* p = PixelAddress(x, y);
    return readPixel(p);
}

void DXC_SurfaceBase::SetPixel(int32_t x, int32_t y, uint32_t argb) {
    uint8_t* p = PixelAddress(x, y);
    writePixel(p, argb);
}

void DXC_SurfaceBase::Fill(uint32_t argb) {
    RequirePixelAccess();
    const int32_t w = lockedRect.right - lockedRect.left;
    const int32_t h = lockedRect.bottom - lockedRect.top;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = lockedBits + static_cast<intptr_t>(y) * pitch;
        for (int32_t x = 0; x < w; ++x) writePixel(row + static_cast<intptr_t>(x) * bytesPerPixel, argb);
    }
}

int32_t DXC_SurfaceBase::HasPartialAlpha() {
    if (bytesPerPixel != 4) return 0;
    RequirePixelAccess();
    const int32_t w = lockedRect.right - lockedRect.left;
    const int32_t h = lockedRect.bottom - lockedRect.top;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = lockedBits + static_cast<intptr_t>(y) * pitch;
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t alpha = readPixel(row + static_cast<intptr_t>(x) * 4) >> 24;
            if (alpha != 0 && alpha != 255) return 1;
        }
    }
    return 0;
}

void DXC_SurfaceBase::ScaleColours(float factor) {
    RequirePixelAccess();
    const int32_t w = lockedRect.right - lockedRect.left;
    const int32_t h = lockedRect.bottom - lockedRect.top;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = lockedBits + static_cast<intptr_t>(y) * pitch;
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = row + static_cast<intptr_t>(x) * bytesPerPixel;
            const uint32_t c = readPixel(p);
            writePixel(p, (c & 0xFF000000u) | (ScaleChannel((c >> 16) & 0xFF, factor) << 16) |
                              (ScaleChannel((c >> 8) & 0xFF, factor) << 8) | ScaleChannel(c & 0xFF, factor));
        }
    }
}
