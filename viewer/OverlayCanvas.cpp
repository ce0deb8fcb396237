#include "viewer/OverlayCanvas.h"

#include "render/DXC_Gfx.h"
#include "render/ScenePass.h"

namespace {

constexpr float KeepValue = -999.0f;
constexpr float BaselineFactor = 0.6666f;

} // namespace

void GfxOverlayCanvas::Layout(float sizeFactor, D3DCOLOR colour) {
    gfx.SetFontLayout(gfx.GetFont(), sizeFactor, colour, KeepValue, KeepValue, BaselineFactor);
}

void GfxOverlayCanvas::Text(float x, float y, const char* text) {
    gfx.Printf(x, y, "%s", text);
}

void GfxOverlayCanvas::DefaultStyleText(float x, float y, const char* text) {
    gfx.PrintfDefaultStyle(x, y, "%s", text);
}

void GfxOverlayCanvas::Point(const D3DXVECTOR3& position, D3DCOLOR colour) {
    pass.DrawPoint(position, colour);
}

void GfxOverlayCanvas::Line(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour) {
    pass.DrawLine(from, to, colour);
}

void GfxOverlayCanvas::Mirror(bool) {
    // The pass's mirror is a switch: the second call puts the projection back.
    pass.MirrorProjection();
}
