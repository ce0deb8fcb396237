#pragma once

#include <cstdint>

#include "foundation/ResourceBase.h"
#include "platform/d3d8/D3D8Types.h"

// Pixel access shared by surfaces and textures. A derived class locks its image (Lock), which
// stores the locked pointer, pitch and rectangle here and chooses the pixel reader and writer
// from the image's format; the pixel operations then work on the locked rectangle, with
// (0, 0) at its top-left corner. Colours go in and out as 32-bit ARGB words whatever the
// stored format is.
class DXC_SurfaceBase : public DXC_ResourceBase {
public:
    using PixelReader = uint32_t (*)(const uint8_t* pixel);
    using PixelWriter = void (*)(uint8_t* pixel, uint32_t argb);

    DXC_SurfaceBase() = default;
    DXC_SurfaceBase(const DXC_SurfaceBase&) = delete;
    DXC_SurfaceBase& operator=(const DXC_SurfaceBase&) = delete;
    ~DXC_SurfaceBase() override = default;

    // The five operations every image offers, in this order.
    // Locks the rectangle (the whole image for none); 1 on success, failures are fatal.
    virtual int32_t Lock(const RECT* rect, DWORD flags) = 0;
    virtual int32_t Unlock() = 0;
    // Where the image is shown on the screen.
    virtual RECT GetScreenRect() = 0;
    virtual void GetSize(int32_t& width, int32_t& height) = 0;
    virtual int32_t GetSizeResult(int32_t& width, int32_t& height) = 0;

    // Bytes per pixel of a format the pixel access accepts (0 for the block formats DXT1 to
    // DXT5, which have no per-pixel reader); -1 for any other format.
    static int32_t BytesPerPixelOf(D3DFORMAT format);

    // Chooses the pixel reader and writer for the format; fatal "Unsupported pixel format! (%i)"
    // for a format outside the list.
    void SetPixelFormat(D3DFORMAT format);

    // Pixel operations on the locked image. A pixel outside the locked rectangle, an image
    // that is not locked or a format without a per-pixel reader is fatal.
    uint32_t GetPixel(int32_t x, int32_t y);
    void SetPixel(int32_t x, int32_t y, uint32_t argb);
    void Fill(uint32_t argb);
    // 1 when any pixel's alpha is neither 0 nor 255 (formats of 4 bytes per pixel only), else 0.
    int32_t HasPartialAlpha();
    // Multiplies every pixel's red, green and blue by the factor. Channels are cut to whole
    // numbers and held at 255, so brightening never wraps a bright pixel round to dark.
    void ScaleColours(float factor);

    int32_t IsLocked() const { return locked; }
    D3DFORMAT GetPixelFormat() const { return pixelFormat; }
    int32_t GetBytesPerPixel() const { return bytesPerPixel; }
    int32_t GetPitch() const { return pitch; }
    uint8_t* GetLockedBits() const { return lockedBits; }
    const RECT& GetLockedRect() const { return lockedRect; }
    int32_t GetWidth() const { return width; }
    int32_t GetHeight() const { return height; }

protected:
    // Called by Lock of a derived class once the platform lock succeeded; the pixel format
    // is chosen before the lock, so an unsupported format never leaves an image locked.
    void SetLocked(void* bits, int32_t rowPitch, const RECT& rect);
    void ClearLocked();

    uint8_t* lockedBits = nullptr;
    int32_t pitch = 0;
    RECT lockedRect{0, 0, 0, 0};
    int32_t locked = 0;
    D3DFORMAT pixelFormat = D3DFMT_UNKNOWN;
    int32_t bytesPerPixel = 0;
    PixelReader readPixel = nullptr;
    PixelWriter writePixel = nullptr;
    int32_t width = 0;
    int32_t height = 0;

private:
    uint8_t* PixelAddress(int32_t x, int32_t y);
    void RequirePixelAccess();
};
