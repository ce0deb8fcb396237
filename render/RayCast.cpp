#include "render/RayCast.h"

#include <cmath>
#include <cstring>
#include <strings.h>

#include "foundation/MatrixT.h"
#include "render/DXC_MeshData.h"
#include "scene/Scene3d.h"

namespace {

// A ray as the space of a matrix sees it: the origin moves as a point, the direction as a
// vector (without the translation), so that t keeps its meaning. False when the matrix cannot
// be inverted (a mesh scaled to nothing).
bool RayIntoSpace(const D3DXMATRIX& toWorld, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction,
                  D3DXVECTOR3& localOrigin, D3DXVECTOR3& localDirection) {
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &toWorld)) return false;
    D3DXVec3TransformCoord(&localOrigin, &origin, &inverse);
    D3DXVec3TransformNormal(&localDirection, &direction, &inverse);
    return true;
}

// True when the line of the ray passes farther from the sphere's centre than its radius.
bool MissesSphere(const D3DXVECTOR3& centre, float radius, const D3DXVECTOR3& origin,
                  const D3DXVECTOR3& direction) {
    const D3DXVECTOR3 toCentre = centre - origin;
    D3DXVECTOR3 cross;
    D3DXVec3Cross(&cross, &toCentre, &direction);
    const float lengthSquared = D3DXVec3Dot(&direction, &direction);
    if (!(lengthSquared > 0.0f)) return true;
    // |toCentre x direction| / |direction| is the distance; compared squared.
    return D3DXVec3Dot(&cross, &cross) > radius * radius * lengthSquared;
}

uint32_t IndexAt(const BYTE* indices, bool wide, std::size_t i) {
    if (wide) {
        uint32_t v;
        std::memcpy(&v, indices + 4 * i, 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, indices + 2 * i, 2);
    return v;
}

// Smallest t >= 0 over the faces of the locked buffers, -1 for none.
float NearestFace(const BYTE* vertices, const BYTE* indices, const DXC_MeshData& data, ID3DXMesh& mesh,
                  const D3DXVECTOR3& origin, const D3DXVECTOR3& direction) {
    const VertexFormat& format = data.vertexFormat;
    const bool wide = (mesh.GetOptions() & D3DXMESH_32BIT) != 0;
    const DWORD vertexCount = mesh.GetNumVertices();
    const DWORD faces = mesh.GetNumFaces();
    float best = -1.0f;
    for (DWORD f = 0; f < faces; ++f) {
        float corner[3][3];
        bool valid = true;
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = IndexAt(indices, wide, 3 * static_cast<std::size_t>(f) + k);
            if (v >= vertexCount)
                valid = false;
            else
                std::memcpy(corner[k], vertices + static_cast<std::size_t>(v) * format.size + format.position,
                            sizeof corner[k]);
        }
        if (!valid) continue;
        const float t = RayTriangle(corner[0], corner[1], corner[2], &origin.x, &direction.x);
        if (t >= 0.0f && (best < 0.0f || t < best)) best = t;
    }
    return best;
}

bool NameBeginsWith(const char* name, const std::string& prefix) {
    return name && strncasecmp(name, prefix.c_str(), prefix.size()) == 0;
}

} // namespace

float RayIntersectMesh(DXC_Mesh& mesh, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction) {
    DXC_MeshData* data = GetMeshData(&mesh);
    if (!data || !data->GetMesh() || data->vertexFormat.position < 0) return -1.0f;
    D3DXMATRIX toWorld;
    D3DXMatrixMultiply(&toWorld, &mesh.pivotTM, &mesh.worldTM);
    D3DXVECTOR3 o, d;
    if (!RayIntoSpace(toWorld, origin, direction, o, d)) return -1.0f;
    if ((mesh.bounds.mode & 1) && MissesSphere(mesh.bounds.centre, mesh.bounds.radius, o, d)) return -1.0f;

    // Buffers this call did not find locked are unlocked again when it is done.
    const bool vertexWasLocked = data->IsVertexBufferLocked();
    const bool indexWasLocked = data->IsIndexBufferLocked();
    const BYTE* vertices = data->LockVertexBuffer(D3DLOCK_READONLY);
    const BYTE* indices = data->LockIndexBuffer(D3DLOCK_READONLY);
    const float t = NearestFace(vertices, indices, *data, *data->GetMesh(), o, d);
    if (!indexWasLocked) data->UnlockIndexBuffer();
    if (!vertexWasLocked) data->UnlockVertexBuffer();
    return t;
}

float RayCastScene(DXC_3dScene& scene, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction,
                   std::string* namePrefix) {
    D3DXVECTOR3 o, d;
    if (!RayIntoSpace(scene.worldTM, origin, direction, o, d)) return -1.0f;
    const bool filtered = namePrefix && !namePrefix->empty();
    const bool wantsName = namePrefix && namePrefix->empty();
    float best = -1.0f;
    for (int32_t i = 0; i < scene.GetMeshCount(); ++i) {
        DXC_Mesh* mesh = scene.GetMeshAt(i);
        if (!mesh) continue;
        if (filtered ? !NameBeginsWith(mesh->name.Text(), *namePrefix) : !mesh->visible) continue;
        const float t = RayIntersectMesh(*mesh, o, d);
        if (t < 0.0f || (best >= 0.0f && t >= best)) continue;
        best = t;
        if (wantsName) *namePrefix = mesh->name.Text() ? mesh->name.Text() : "";
    }
    return best;
}
