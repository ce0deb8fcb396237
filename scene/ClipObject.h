#pragma once

#include <cstdint>

#include "platform/d3dx/D3DXMath.h"
#include "scene/Object3d.h"

// Bounding volume of a mesh or of the whole scene (44 bytes when stored). The mode bits say
// which parts are present: bit 0 the sphere, bit 1 the box.
struct BoundsRecord {
    int32_t mode;
    float radius;
    D3DXVECTOR3 centre;
    D3DXVECTOR3 minimum;
    D3DXVECTOR3 maximum;
};

static_assert(sizeof(BoundsRecord) == 44, "the bounds record is stored as 44 raw bytes");

// Second base of everything that can be culled: its bounds.
class DXC_ClipObject {
public:
    DXC_ClipObject() { ClearBounds(); }
    void ClearBounds() { bounds = BoundsRecord{0, 0.0f, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}; }

    // Sets the box from two corners; the sphere and the mode are left as they are.
    void SetBoundingBox(const D3DXVECTOR3& minimum, const D3DXVECTOR3& maximum) {
        bounds.minimum = minimum;
        bounds.maximum = maximum;
    }

    BoundsRecord bounds;
};

// A scene object with bounds: base of the scene and of meshes.
class DXC_3dClipObject : public DXC_3dObject, public DXC_ClipObject {
public:
    DXC_3dClipObject() { SetObjectName("DXC_3dClipObject"); }
};
