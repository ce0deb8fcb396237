#pragma once

#include <cstdint>

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/ClipObject.h"

// The view frustum as 6 planes (a point and a unit normal each) and its 8 corners, built from
// view x projection and the viewport's depth range. A plane's distance d = normal . (p -
// point) is positive outside. Rebuilt only when the view, projection or viewport changed.
class SceneFrustum {
public:
    // Rebuilds when the matrices or depth range differ from those of the last build.
    void Update(const D3DXMATRIX& view, const D3DXMATRIX& projection, float minZ, float maxZ);
    // 0 when the volume lies outside (sphere first, then box), else 1; no volume: 1.
    int32_t IsVisible(const BoundsRecord& volume, const D3DXMATRIX& world) const;

    float Distance(int32_t plane, const D3DXVECTOR3& p) const;
    const D3DXVECTOR3& Corner(int32_t i) const { return corners[i]; }
    int32_t BuildCount() const { return builds; }

private:
    void Build();
    int32_t SphereTest(const BoundsRecord& volume, const D3DXMATRIX& world) const;
    int32_t BoxTest(const BoundsRecord& volume, const D3DXMATRIX& world) const;

    D3DXMATRIX lastView, lastProjection;
    float lastMinZ = -1.0f, lastMaxZ = -1.0f;
    int32_t built = 0;
    int32_t builds = 0;
    D3DXVECTOR3 corners[8];
    D3DXVECTOR3 points[6];
    D3DXVECTOR3 normals[6];
};
