#include "viewer/Picking.h"

#include "render/ScenePass.h"

ScreenPoint ProjectToScreen(const D3DXVECTOR3& point, const D3DXMATRIX& view, const D3DXMATRIX& projection,
                            const D3DVIEWPORT8& viewport) {
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
    D3DXVECTOR4 clip;
    D3DXVec3Transform(&clip, &point, &viewProjection);
    const float halfWidth = static_cast<float>(viewport.Width / 2);
    const float halfHeight = static_cast<float>(viewport.Height / 2);
    return ScreenPoint{clip.x / clip.w * halfWidth + halfWidth + static_cast<float>(viewport.X),
                       -clip.y / clip.w * halfHeight + halfHeight + static_cast<float>(viewport.Y)};
}

D3DXVECTOR3 EyePosition(const D3DXMATRIX& view) {
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &view)) return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    return D3DXVECTOR3(inverse._41, inverse._42, inverse._43);
}

PickRay MakePickRay(int32_t x, int32_t y, const D3DXMATRIX& view, const D3DXMATRIX& projection,
                    const D3DVIEWPORT8& viewport) {
    const float width = static_cast<float>(viewport.Width);
    const float height = static_cast<float>(viewport.Height);
    const D3DXVECTOR3 device(
        2.0f * static_cast<float>(x - static_cast<int32_t>(viewport.X)) / width - 1.0f,
        -(2.0f * static_cast<float>(y - static_cast<int32_t>(viewport.Y)) / height - 1.0f), 0.0f);
    D3DXMATRIX viewProjection, inverse;
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
    PickRay ray{EyePosition(view), D3DXVECTOR3(0.0f, 0.0f, 0.0f)};
    if (!D3DXMatrixInverse(&inverse, nullptr, &viewProjection)) return ray;
    D3DXVECTOR3 onNearPlane;
    D3DXVec3TransformCoord(&onNearPlane, &device, &inverse);
    ray.direction = onNearPlane - ray.origin;
    return ray;
}

MirrorBracket::MirrorBracket(DXC_ScenePass& p, int32_t m) : pass(p), mirrored(m) {
    if (mirrored) pass.MirrorProjection();
}

MirrorBracket::~MirrorBracket() {
    if (mirrored) pass.MirrorProjection();
}
