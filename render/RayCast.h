#pragma once

#include <string>

#include "platform/d3dx/D3DXMath.h"

class DXC_Mesh;
class DXC_3dScene;

// Ray casts against the triangles of meshes, for picking points with the mouse. A ray is
// origin + t * direction; the direction need not be unit length, and every distance returned
// is t, in multiples of it. -1 means no hit.

// The nearest hit t >= 0 on the mesh's faces. The ray is given in the mesh's parent space and
// brought into the mesh's own space (inverse of pivotTM x worldTM). A mesh with a bounding
// sphere that the ray's line passes outside of is missed without looking at its faces.
float RayIntersectMesh(DXC_Mesh& mesh, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction);

// The nearest hit over the scene's meshes (in list order; a later mesh wins only when strictly
// nearer). The ray is given in world space and brought into the scene's space.
//  - namePrefix null or empty: the visible meshes take part;
//  - namePrefix non-empty: the meshes whose names begin with it (case ignored), visible or not;
//  - namePrefix empty: on return it holds the name of the mesh that was hit (unchanged on a miss).
float RayCastScene(DXC_3dScene& scene, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction,
                   std::string* namePrefix = nullptr);
