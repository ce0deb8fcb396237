#include "render/MeshPose.h"

#include <algorithm>
#include <cstring>

#include "render/DXC_MeshData.h"
#include "scene/Mesh.h"

namespace {

D3DXVECTOR3 TransformVector(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &v, &m);
    return out;
}

D3DXVECTOR3 TransformPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    return out;
}

} // namespace

D3DXMATRIX MeshWorldMatrix(const DXC_Mesh& mesh, const D3DXMATRIX& parent) {
    D3DXMATRIX meshMatrix, world;
    D3DXMatrixMultiply(&meshMatrix, &mesh.pivotTM, &mesh.worldTM);
    D3DXMatrixMultiply(&world, &meshMatrix, &parent);
    return world;
}

D3DXMATRIX SkinSlotMatrix(DXC_Mesh& mesh, int32_t slot, const D3DXMATRIX& world, const D3DXMATRIX& parent) {
    if (slot <= 0) return world;
    const BoneRecord* bone = mesh.GetBones().GetAt(slot);
    const DXC_3dObject* object = mesh.GetBoneObject(slot);
    if (!bone || !object) return world;
    // The bind pose: mesh init x inverse(bone init) carries a vertex from the mesh's initial
    // frame into the bone's, which the bone's world matrix then moves.
    D3DXMATRIX inverseInit, offset, m, full;
    D3DXMatrixInverse(&inverseInit, nullptr, &bone->boneInit);
    D3DXMatrixMultiply(&offset, &bone->meshInit, &inverseInit);
    D3DXMatrixMultiply(&m, &offset, &object->worldTM);
    D3DXMatrixMultiply(&full, &m, &parent);
    return full;
}

VertexBlend ReadVertexBlend(const VertexFormat& format, const BYTE* vertex) {
    VertexBlend blend;
    const int32_t stored = std::clamp(format.blendWeights, 0, 3);
    std::memcpy(blend.weights, vertex + format.blend, sizeof(float) * static_cast<std::size_t>(stored));
    float last = 1.0f;
    for (int32_t k = 0; k < stored; ++k) last -= blend.weights[k];
    blend.weights[stored] = last;
    blend.count = stored + 1;
    blend.indices = vertex + format.blend + 4 * format.blendWeights;
    return blend;
}

VertexPose PoseVertex(DXC_Mesh& mesh, const DXC_MeshData& data, const BYTE* vertex,
                      const D3DXMATRIX& parent) {
    const VertexFormat& format = data.vertexFormat;
    D3DXVECTOR3 p(0, 0, 0), n(0, 0, 0);
    std::memcpy(&p, vertex + format.position, sizeof p);
    if (format.normal >= 0) std::memcpy(&n, vertex + format.normal, sizeof n);
    const D3DXMATRIX world = MeshWorldMatrix(mesh, parent);
    if (!(data.skinned && format.blend >= 0 && format.indexedBlend))
        return VertexPose{TransformPoint(p, world), TransformVector(n, world)};

    const VertexBlend blend = ReadVertexBlend(format, vertex);
    VertexPose pose{D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)};
    for (int32_t k = 0; k < blend.count; ++k) {
        const D3DXMATRIX m = SkinSlotMatrix(mesh, blend.indices[k], world, parent);
        pose.position += TransformPoint(p, m) * blend.weights[k];
        pose.normal += TransformVector(n, m) * blend.weights[k];
    }
    return pose;
}
