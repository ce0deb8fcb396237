#pragma once

#include <cmath>
#include <cstdint>

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3dx/D3DXMath.h"

class DXC_ScenePass;

// Screen geometry of mouse picking: world points projected to client pixels, rays through a
// clicked pixel, and the rule that chooses what a click meant.

struct ScreenPoint {
    float x;
    float y;
};

// (x, y, z, 1) x view x projection, divided by w and placed in the viewport; the half sizes
// are whole pixels (width / 2, height / 2), as the device's viewport transform has them.
ScreenPoint ProjectToScreen(const D3DXVECTOR3& point, const D3DXMATRIX& view, const D3DXMATRIX& projection,
                            const D3DVIEWPORT8& viewport);

struct PickRay {
    D3DXVECTOR3 origin;    // the eye
    D3DXVECTOR3 direction; // to the pixel's point on the near plane, not normalised
};

// The ray from the eye through pixel (x, y) of the viewport.
PickRay MakePickRay(int32_t x, int32_t y, const D3DXMATRIX& view, const D3DXMATRIX& projection,
                    const D3DVIEWPORT8& viewport);

// The eye: the translation of the inverse view matrix.
D3DXVECTOR3 EyePosition(const D3DXMATRIX& view);

// A click is meant for the item nearest to it on the screen, strictly closer than this.
constexpr float PickRadius = 10.0f;

// The number (0 .. count - 1) of the item whose screen point is nearest to (x, y) and closer
// than PickRadius, or -1. On equal distances the lower number stays. screenOf(i) gives item
// i's ScreenPoint.
template <class ScreenOf> int32_t NearestOnScreen(int32_t count, ScreenOf screenOf, float x, float y) {
    int32_t best = -1;
    float bestDistance = PickRadius;
    for (int32_t i = 0; i < count; ++i) {
        const ScreenPoint p = screenOf(i);
        const float distance = std::sqrt((p.x - x) * (p.x - x) + (p.y - y) * (p.y - y));
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// While the scene is shown mirrored, projections, rays and markers must be mirrored as well:
// the projection carries the X mirror for the life of this object.
class MirrorBracket {
public:
    MirrorBracket(DXC_ScenePass& pass, int32_t mirrored);
    ~MirrorBracket();
    MirrorBracket(const MirrorBracket&) = delete;
    MirrorBracket& operator=(const MirrorBracket&) = delete;

private:
    DXC_ScenePass& pass;
    int32_t mirrored;
};
