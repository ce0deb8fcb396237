#pragma once

#include "platform/d3d8/D3D8Types.h"

class DXC_Gfx;
class DXC_Texture;
class DXC_VertexShader;

// What drawing needs of a texture, in one place: its size in pixels, binding it on stage 0 for
// glyph quads (texture times vertex colour, the stages after it off), drawing it as an image
// run, and the vertex shader it carries (null when none).
void TextImageSize(DXC_Texture* texture, float* width, float* height);
void BindTextImage(DXC_Gfx* gfx, DXC_Texture* texture);
void DrawTextImage(DXC_Gfx* gfx, DXC_Texture* texture, float x, float y, D3DCOLOR color, float scaleX,
                   float scaleY);
DXC_VertexShader* TextureVertexShader(DXC_Texture* texture);
