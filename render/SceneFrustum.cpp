#include "render/SceneFrustum.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Corner i of the clip volume: bit 0 x, bit 1 y, bit 2 z (0: near, 1: far).
// Each plane: three corners spanning it.
constexpr int32_t PlaneCorners[6][3] = {
    {0, 1, 2}, // near
    {4, 6, 5}, // far
    {0, 2, 4}, // left
    {1, 5, 3}, // right
    {0, 4, 1}, // bottom
    {2, 3, 6}, // top
};

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

void SceneFrustum::Update(const D3DXMATRIX& view, const D3DXMATRIX& projection, float minZ, float maxZ) {
    if (built && minZ == lastMinZ && maxZ == lastMaxZ && std::memcmp(&view, &lastView, sizeof view) == 0 &&
        std::memcmp(&projection, &lastProjection, sizeof projection) == 0)
        return;
    lastView = view;
    lastProjection = projection;
    lastMinZ = minZ;
    lastMaxZ = maxZ;
    Build();
}

void SceneFrustum::Build() {
    D3DXMATRIX viewProjection, inverse;
    D3DXMatrixMultiply(&viewProjection, &lastView, &lastProjection);
    D3DXMatrixInverse(&inverse, nullptr, &viewProjection);
    D3DXVECTOR3 centre(0.0f, 0.0f, 0.0f);
    for (int32_t i = 0; i < 8; ++i) {
        const D3DXVECTOR3 clip((i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? lastMaxZ : lastMinZ);
        D3DXVec3TransformCoord(&corners[i], &clip, &inverse);
        centre += corners[i];
    }
    centre *= 0.125f;
    // Each normal is turned to point away from the frustum's centre, so that the planes come
    // out right whether or not view x projection mirrors (the X mirror of the scene does).
    for (int32_t p = 0; p < 6; ++p) {
        const D3DXVECTOR3& a = corners[PlaneCorners[p][0]];
        const D3DXVECTOR3 e1 = corners[PlaneCorners[p][1]] - a;
        const D3DXVECTOR3 e2 = corners[PlaneCorners[p][2]] - a;
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &e1, &e2);
        const float length = D3DXVec3Length(&n);
        if (length > 0.0f) n /= length;
        if (Dot(n, centre - a) > 0.0f) n = -n;
        points[p] = a;
        normals[p] = n;
    }
    built = 1;
    ++builds;
}

float SceneFrustum::Distance(int32_t plane, const D3DXVECTOR3& p) const {
    return Dot(normals[plane], p - points[plane]);
}

int32_t SceneFrustum::IsVisible(const BoundsRecord& volume, const D3DXMATRIX& world) const {
    if (!built) return 1;
    if (volume.mode & 1) {
        const int32_t sphere = SphereTest(volume, world);
        if (sphere != -1) return sphere;
    }
    if (volume.mode & 2) return BoxTest(volume, world);
    return 1;
}

// 0 outside, 1 inside, -1 when the sphere crosses a plane and the box must decide.
int32_t SceneFrustum::SphereTest(const BoundsRecord& volume, const D3DXMATRIX& world) const {
    D3DXVECTOR3 centre;
    D3DXVec3TransformCoord(&centre, &volume.centre, &world);
    float scale = 0.0f;
    for (int32_t r = 0; r < 3; ++r)
        scale = std::max(scale, std::sqrt(world.m[r][0] * world.m[r][0] + world.m[r][1] * world.m[r][1] +
                                          world.m[r][2] * world.m[r][2]));
    const float radius = volume.radius * scale;
    int32_t inside = 1;
    for (int32_t p = 0; p < 6; ++p) {
        const float d = Distance(p, centre);
        if (d > radius) return 0;
        if (d > 0.0f) inside = 0;
    }
    if (inside) return 1;
    return (volume.mode & 2) ? -1 : 1;
}

int32_t SceneFrustum::BoxTest(const BoundsRecord& volume, const D3DXMATRIX& world) const {
    D3DXVECTOR3 box[8];
    for (int32_t i = 0; i < 8; ++i) {
        const D3DXVECTOR3 corner((i & 1) ? volume.maximum.x : volume.minimum.x,
                                 (i & 2) ? volume.maximum.y : volume.minimum.y,
                                 (i & 4) ? volume.maximum.z : volume.minimum.z);
        D3DXVec3TransformCoord(&box[i], &corner, &world);
    }
    int32_t outsideCount[6] = {};
    for (int32_t i = 0; i < 8; ++i) {
        int32_t inside = 1;
        for (int32_t p = 0; p < 6; ++p)
            if (Distance(p, box[i]) > 0.0f) {
                inside = 0;
                ++outsideCount[p];
            }
        if (inside) return 1;
    }
    for (int32_t p = 0; p < 6; ++p)
        if (outsideCount[p] == 8) return 0;
    return 1;
}
