#include "render/DXC_TextureAccess.h"

#include "render/DXC_Gfx.h"
#include "render/DXC_Texture.h"

void TextImageSize(DXC_Texture* texture, float* width, float* height) {
    *width = texture ? texture->GetTextureWidth() : 0.0f;
    *height = texture ? texture->GetTextureHeight() : 0.0f;
}

void BindTextImage(DXC_Gfx* gfx, DXC_Texture* texture) {
    gfx->SetTexture(0, texture ? texture->GetCurrentTexture() : nullptr);
    gfx->SetColorOp(0, D3DTOP_MODULATE);
    gfx->SetColorArg1(0, D3DTA_TEXTURE);
    gfx->SetColorArg2(0, D3DTA_DIFFUSE);
    gfx->SetTextureTransform(nullptr, 0);
    gfx->SetTexCoordIndex(0, 0);
    gfx->SetColorOp(1, D3DTOP_DISABLE);
    gfx->SetTexture(1, nullptr);
}

void DrawTextImage(DXC_Gfx* gfx, DXC_Texture* texture, float x, float y, D3DCOLOR color, float scaleX,
                   float scaleY) {
    if (!texture) return;
    DXC_Texture* previous = gfx->GetLastTexture();
    BindTextImage(gfx, texture);
    gfx->SetLastTexture(texture);
    gfx->DrawTexture(x, y, color, 0.0f, scaleX, scaleY);
    gfx->SetLastTexture(previous);
}

DXC_VertexShader* TextureVertexShader(DXC_Texture*) {
    // Textures of this build carry no vertex shader: no part of the viewer makes one.
    return nullptr;
}
