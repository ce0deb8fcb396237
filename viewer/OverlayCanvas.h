#pragma once

#include <cstdint>

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3dx/D3DXMath.h"

class DXC_Gfx;
class DXC_ScenePass;

// What the inspection overlay draws with: text in the font's layout or the default style,
// points and lines in the world, and the projection's X mirror. The graphics object's canvas
// is the one the viewer uses; a test may put another in between to see what is drawn.
class OverlayCanvas {
public:
    virtual ~OverlayCanvas() = default;
    // The font's size factor and colour; its advance and line spacing are kept.
    virtual void Layout(float sizeFactor, D3DCOLOR colour) = 0;
    // Text with escape codes, at client pixel (x, y).
    virtual void Text(float x, float y, const char* text) = 0;
    // The same in the text queue's default style, the current style kept for the next text.
    virtual void DefaultStyleText(float x, float y, const char* text) = 0;
    virtual void Point(const D3DXVECTOR3& position, D3DCOLOR colour) = 0;
    virtual void Line(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour) = 0;
    // on: the projection mirrored in X from here; off: back as it was.
    virtual void Mirror(bool on) = 0;
};

// Draws through the graphics object (its current font) and the render pass's markers.
class GfxOverlayCanvas final : public OverlayCanvas {
public:
    GfxOverlayCanvas(DXC_Gfx& gfx, DXC_ScenePass& pass) : gfx(gfx), pass(pass) {}

    void Layout(float sizeFactor, D3DCOLOR colour) override;
    void Text(float x, float y, const char* text) override;
    void DefaultStyleText(float x, float y, const char* text) override;
    void Point(const D3DXVECTOR3& position, D3DCOLOR colour) override;
    void Line(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour) override;
    void Mirror(bool on) override;

private:
    DXC_Gfx& gfx;
    DXC_ScenePass& pass;
};
