// Textures drawn as screen quads, and the built-in font's texture.
#include "render/DXC_Gfx.h"

#include <cmath>

#include "platform/d3d8/ErrorText.h"
#include "render/DXC_Font.h"
#include "render/DXC_Texture.h"

namespace {

// Direct3D samples texel centres half a pixel in; a quarter pixel keeps the rounding of both
// edges the same.
constexpr float PixelOffset = -0.25f;

} // namespace

void DXC_Gfx::DrawLastTexture() {
    if (!lastTexture) Error("No texture set");
    lastTexture->EnsureQuad();
    SetSoftwareVertexProcessing(0);
    SetStreamSource(0, lastTexture->GetQuad(), sizeof(DXC_TLVertex),
                    " SetStreamSource in DrawLastTexture failed: %s");
    SelectVertexProcessing(DXC_TLVertex::Format);
    const int32_t previousCull = cullMode;
    SetCullMode(0);
    if (!depth2D) SuspendZBuffer();
    const DWORD u = rememberedAddressU, v = rememberedAddressV;
    SetAddressMode(D3DTADDRESS_CLAMP, 0);
    result = device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    if (FAILED(result)) Error(" DrawPrimitive in DrawLastTexture failed: %s", ErrorText(result));
    SetAddressU(0, u);
    SetAddressV(0, v);
    if (!depth2D) ResumeZBuffer();
    SetCullMode(previousCull);
}

void DXC_Gfx::DrawTexture(float x, float y, D3DCOLOR color, float angle, float scaleX, float scaleY, float z,
                          float rhw, float uScale, float vScale) {
    if (!lastTexture) Error("No texture set");
    DXC_Texture& t = *lastTexture;
    const float w = t.GetTextureWidth() * scaleX - 0.02f;
    const float h = t.GetTextureHeight() * scaleY - 0.02f;
    const float left = -t.pivotX * scaleX, top = -t.pivotY * scaleY;
    // Triangle-strip order: left bottom, left top, right bottom, right top.
    float xs[4] = {left, left, left + w, left + w};
    float ys[4] = {top + h, top, top + h, top};
    const float us[4] = {0.0f, 0.0f, uScale, uScale};
    const float vs[4] = {vScale, 0.0f, vScale, 0.0f};
    if (angle != 0.0f) {
        const float c = std::cos(angle), s = std::sin(angle);
        for (int i = 0; i < 4; ++i) {
            const float rx = xs[i] * c - ys[i] * s, ry = xs[i] * s + ys[i] * c;
            xs[i] = rx;
            ys[i] = ry;
        }
    }
    t.EnsureQuad();
    BYTE* data = nullptr;
    result = t.GetQuad()->Lock(0, 0, &data, 0);
    if (FAILED(result)) Error(" VB Lock failed: %s", ErrorText(result));
    DXC_TLVertex* v = reinterpret_cast<DXC_TLVertex*>(data);
    for (int i = 0; i < 4; ++i)
        v[i] = DXC_TLVertex{
            xs[i] + x + PixelOffset, ys[i] + y + PixelOffset, z, rhw, color, 0xFF000000u, us[i], vs[i]};
    t.GetQuad()->Unlock();
    DrawLastTexture();
}

void DXC_Gfx::DrawTextureRect(const RECT& rect, D3DCOLOR color, float z0, float z1, float z2, float z3) {
    if (!lastTexture) Error("No texture set");
    DXC_Texture& t = *lastTexture;
    const float l = static_cast<float>(rect.left) + PixelOffset,
                r = static_cast<float>(rect.right) + PixelOffset;
    const float top = static_cast<float>(rect.top) + PixelOffset;
    const float bottom = static_cast<float>(rect.bottom) + PixelOffset;
    t.EnsureQuad();
    BYTE* data = nullptr;
    result = t.GetQuad()->Lock(0, 0, &data, 0);
    if (FAILED(result)) Error(" VB Lock failed: %s", ErrorText(result));
    DXC_TLVertex* v = reinterpret_cast<DXC_TLVertex*>(data);
    v[0] = DXC_TLVertex{l, bottom, z0, 1.0f, color, 0xFF000000u, 0.0f, 1.0f};
    v[1] = DXC_TLVertex{l, top, z1, 1.0f, color, 0xFF000000u, 0.0f, 0.0f};
    v[2] = DXC_TLVertex{r, bottom, z2, 1.0f, color, 0xFF000000u, 1.0f, 1.0f};
    v[3] = DXC_TLVertex{r, top, z3, 1.0f, color, 0xFF000000u, 1.0f, 0.0f};
    t.GetQuad()->Unlock();
    DrawLastTexture();
}

void DXC_Gfx::BuildDefaultFont(DXC_Font* font, D3DCOLOR first, D3DCOLOR second) {
    if (!font) return;
    font->texture = std::make_unique<DXC_Texture>(this);
    const D3DFORMAT format = CheckTextureFormat(D3DFMT_A8R8G8B8, 0) ? D3DFMT_A8R8G8B8 : D3DFMT_A4R4G4B4;
    CreateTexture(font->texture.get(), 128, 32, 4, format, 1);
    DXC_Texture& image = *font->texture;
    image.Lock(nullptr, 0);
    image.Fill(0);
    for (int32_t glyph = 0; glyph < DXC_Font::BuiltInGlyphs; ++glyph) {
        const int32_t left = 6 * (glyph % DXC_Font::CellsPerRow), top = 6 * (glyph / DXC_Font::CellsPerRow);
        for (int32_t j = 0; j < 25; ++j) {
            const D3DCOLOR pixel = DXC_Font::BuiltInPixel(glyph, j, first, second);
            if (pixel) image.SetPixel(left + j % 5, top + j / 5, pixel);
        }
    }
    image.Unlock();
    font->SetBuiltInLayout();
}
