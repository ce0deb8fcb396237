#include "viewer/FreeCamera.h"

#include "scene/Camera.h"

D3DXVECTOR3 Rotated(const D3DXVECTOR3& v, const D3DXVECTOR3& axis, float angle) {
    D3DXMATRIX r;
    D3DXMatrixRotationAxis(&r, &axis, angle);
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &v, &r);
    return out;
}

void Turn(DXC_Camera& camera, float angle) {
    const D3DXVECTOR3 d = Rotated(camera.direction, camera.up, angle);
    camera.SetDirection(d.x, d.y, d.z);
}

void RotateAbout(DXC_Camera& camera, const D3DXVECTOR3& axis, float angle) {
    const D3DXVECTOR3 d = Rotated(camera.direction, axis, angle);
    const D3DXVECTOR3 u = Rotated(camera.up, axis, angle);
    camera.SetDirection(d.x, d.y, d.z);
    camera.SetUp(u.x, u.y, u.z);
}

D3DXVECTOR3 RightOf(const DXC_Camera& camera) {
    D3DXVECTOR3 r, n;
    D3DXVec3Cross(&r, &camera.direction, &camera.up);
    D3DXVec3Normalize(&n, &r);
    return n;
}

void MoveBy(DXC_Camera& camera, const D3DXVECTOR3& offset) {
    const D3DXVECTOR3 p = camera.position + offset;
    camera.SetPosition(p.x, p.y, p.z);
}
