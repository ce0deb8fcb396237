#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "GltfExport.h"
#include "TextEncoding.h"
#include "render/DXC_MeshData.h"
#include "scene/Scene3d.h"

namespace {

// The vertices of one mesh as glTF attributes.
struct VertexArrays {
    std::vector<float> positions, normals;
    std::vector<float> uv[2];
    std::vector<uint16_t> joints; // 4 per vertex
    std::vector<float> weights;   // 4 per vertex
};

float Read(const BYTE* vertex, int32_t offset, int i) {
    float value;
    std::memcpy(&value, vertex + offset + 4 * i, sizeof value);
    return std::isfinite(value) ? value : 0.0f;
}

// Position and normal, carried through pivot for a mesh that is not skinned (its skin's
// inverse bind matrices carry the pivot otherwise).
void ReadPoint(const BYTE* vertex, const VertexFormat& format, const D3DXMATRIX* pivot,
               const D3DXMATRIX& normalMatrix, VertexArrays& out) {
    D3DXVECTOR3 p(Read(vertex, format.position, 0), Read(vertex, format.position, 1),
                  Read(vertex, format.position, 2));
    if (pivot) D3DXVec3TransformCoord(&p, &p, pivot);
    out.positions.insert(out.positions.end(), {p.x, p.y, p.z});
    if (format.normal < 0) return;
    D3DXVECTOR3 n(Read(vertex, format.normal, 0), Read(vertex, format.normal, 1),
                  Read(vertex, format.normal, 2));
    if (pivot) D3DXVec3TransformNormal(&n, &n, &normalMatrix);
    // glTF wants unit normals; a vertex whose faces cancelled out has none, so it gets +Z.
    if (!(D3DXVec3Length(&n) > 1e-12f)) n = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    D3DXVec3Normalize(&n, &n);
    out.normals.insert(out.normals.end(), {n.x, n.y, n.z});
}

// The stored weights (the last one implied) and the packed bone indices, mapped to joints;
// repeated joints are merged and the weights normalised, as glTF requires.
void ReadWeights(const BYTE* vertex, const VertexFormat& format, const std::vector<int>& jointOfBone,
                 VertexArrays& out) {
    const int32_t stored = format.blendWeights;
    float weight[5] = {};
    float sum = 0.0f;
    for (int i = 0; i < stored && i < 4; ++i) sum += weight[i] = Read(vertex, format.blend, i);
    const int count = std::min(stored + 1, 4);
    weight[count - 1] = 1.0f - sum;
    uint32_t packed = 0;
    if (format.indexedBlend) std::memcpy(&packed, vertex + format.blend + 4 * stored, sizeof packed);
    std::array<std::pair<float, int>, 4> slots{};
    int used = 0;
    for (int i = 0; i < count; ++i) {
        const int bone = format.indexedBlend ? static_cast<int>((packed >> (8 * i)) & 0xFF) : i;
        const int joint = bone < static_cast<int>(jointOfBone.size()) ? jointOfBone[bone] : 0;
        const float w = std::max(weight[i], 0.0f);
        int k = 0;
        while (k < used && slots[k].second != joint) ++k;
        if (k == used) slots[used++] = {0.0f, joint};
        slots[k].first += w;
    }
    float total = 0.0f;
    for (int k = 0; k < used; ++k) total += slots[k].first;
    if (!(total > 0.0f)) slots[0] = {1.0f, 0}, used = 1, total = 1.0f;
    for (int k = 0; k < 4; ++k) {
        const bool real = k < used && slots[k].first > 0.0f;
        out.joints.push_back(real ? static_cast<uint16_t>(slots[k].second) : 0);
        out.weights.push_back(real ? slots[k].first / total : 0.0f);
    }
}

// The skin of a mesh: joint 0 is the mesh's own node (its bone list entry 0), each bone with
// a scene object is a joint whose inverse bind matrix is mesh init x inverse(bone init) with
// the pivot. Bones without an object move with the mesh, as joint 0.
int ExportSkin(GltfExport& out, DXC_Mesh& mesh, std::vector<int>& jointOfBone) {
    DynaMem<BoneRecord>& bones = mesh.GetBones();
    std::vector<int> joints = {out.nodeOf[&mesh]};
    std::vector<float> inverseBind(mesh.pivotTM.m[0], mesh.pivotTM.m[0] + 16);
    jointOfBone.assign(std::max<int32_t>(bones.GetCount(), 1), 0);
    for (int32_t s = 1; s < bones.GetCount(); ++s) {
        const BoneRecord* bone = bones.GetAt(s);
        const DXC_3dObject* object = mesh.GetBoneObject(s);
        const auto node = out.nodeOf.find(object);
        if (!bone || node == out.nodeOf.end()) continue;
        D3DXMATRIX inverseInit, offset, boneInit = bone->boneInit;
        if (!D3DXMatrixInverse(&inverseInit, nullptr, &boneInit)) D3DXMatrixIdentity(&inverseInit);
        D3DXMatrixMultiply(&offset, &bone->meshInit, &inverseInit);
        jointOfBone[s] = static_cast<int>(joints.size());
        joints.push_back(node->second);
        inverseBind.insert(inverseBind.end(), offset.m[0], offset.m[0] + 16);
    }
    const int matrices = out.doc.AddFloats(inverseBind, "MAT4", 0);
    return out.doc.Add("skins", {{"name", ToUtf8(mesh.name.Text()) + " skin"},
                                 {"joints", joints},
                                 {"inverseBindMatrices", matrices},
                                 {"skeleton", out.rootNode}});
}

void ReadVertices(DXC_MeshData& data, const D3DXMATRIX* pivot, const std::vector<int>* jointOfBone,
                  VertexArrays& out) {
    const VertexFormat& format = data.vertexFormat;
    D3DXMATRIX normalMatrix;
    D3DXMatrixIdentity(&normalMatrix);
    if (pivot) {
        D3DXMATRIX inverse;
        if (D3DXMatrixInverse(&inverse, nullptr, pivot)) D3DXMatrixTranspose(&normalMatrix, &inverse);
    }
    const BYTE* vertices = data.LockVertexBuffer(0);
    for (int32_t v = 0; v < data.vertexCount; ++v) {
        const BYTE* vertex = vertices + static_cast<size_t>(v) * format.size;
        ReadPoint(vertex, format, pivot, normalMatrix, out);
        for (int set = 0; set < 2 && set < format.texCoordSets; ++set)
            if (format.texCoordFloats[set] >= 2) // v runs downwards in glTF
                out.uv[set].insert(out.uv[set].end(), {Read(vertex, format.texCoord[set], 0),
                                                       1.0f - Read(vertex, format.texCoord[set], 1)});
        if (jointOfBone) ReadWeights(vertex, format, *jointOfBone, out);
    }
    data.UnlockVertexBuffer();
}

nlohmann::json Attributes(GltfExport& out, const VertexArrays& v) {
    nlohmann::json attributes;
    attributes["POSITION"] = out.doc.AddFloats(v.positions, "VEC3", GltfDocument::ArrayBuffer, true);
    if (!v.normals.empty())
        attributes["NORMAL"] = out.doc.AddFloats(v.normals, "VEC3", GltfDocument::ArrayBuffer);
    for (int set = 0; set < 2; ++set)
        if (!v.uv[set].empty())
            attributes["TEXCOORD_" + std::to_string(set)] =
                out.doc.AddFloats(v.uv[set], "VEC2", GltfDocument::ArrayBuffer);
    if (!v.joints.empty()) {
        attributes["JOINTS_0"] =
            out.doc.AddAccessor(v.joints.data(), v.joints.size() / 4, GltfDocument::UnsignedShort, "VEC4",
                                GltfDocument::ArrayBuffer);
        attributes["WEIGHTS_0"] = out.doc.AddFloats(v.weights, "VEC4", GltfDocument::ArrayBuffer);
    }
    return attributes;
}

// The faces of one subset as an index accessor: 16-bit unless an index reaches 65535 (which
// 16-bit glTF indices reserve).
int SubsetIndices(GltfExport& out, const std::vector<uint32_t>& indices, uint32_t largest) {
    if (largest < 65535) {
        const std::vector<uint16_t> narrow(indices.begin(), indices.end());
        return out.doc.AddAccessor(narrow.data(), narrow.size(), GltfDocument::UnsignedShort, "SCALAR",
                                   GltfDocument::ElementArrayBuffer);
    }
    return out.doc.AddAccessor(indices.data(), indices.size(), GltfDocument::UnsignedInt, "SCALAR",
                               GltfDocument::ElementArrayBuffer);
}

// One primitive per attribute range, the indices read as the D3DX mesh stores them.
nlohmann::json Primitives(GltfExport& out, DXC_Mesh& mesh, DXC_MeshData& data,
                          const nlohmann::json& attributes) {
    nlohmann::json primitives = nlohmann::json::array();
    const bool wide = (data.GetMesh()->GetOptions() & D3DXMESH_32BIT) != 0;
    const BYTE* indexData = data.LockIndexBuffer(0);
    for (const D3DXATTRIBUTERANGE& range : data.GetAttributeTable()) {
        if (range.FaceCount == 0) continue;
        std::vector<uint32_t> indices;
        uint32_t largest = 0;
        for (DWORD i = range.FaceStart * 3; i < (range.FaceStart + range.FaceCount) * 3; ++i) {
            uint32_t index = 0;
            if (wide)
                std::memcpy(&index, indexData + 4 * i, 4);
            else {
                uint16_t narrow;
                std::memcpy(&narrow, indexData + 2 * i, 2);
                index = narrow;
            }
            if (index >= static_cast<uint32_t>(data.vertexCount)) index = 0; // never read past the vertices
            largest = std::max(largest, index);
            indices.push_back(index);
        }
        nlohmann::json primitive = {{"attributes", attributes}, {"mode", 4}};
        primitive["indices"] = SubsetIndices(out, indices, largest);
        if (static_cast<int32_t>(range.AttribId) < mesh.GetMaterialCount())
            primitive["material"] = ExportMaterial(out, mesh, static_cast<int32_t>(range.AttribId));
        primitives.push_back(std::move(primitive));
    }
    data.UnlockIndexBuffer();
    return primitives;
}

void ExportMesh(GltfExport& out, DXC_Mesh& mesh) {
    DXC_MeshData* data = GetMeshData(&mesh);
    if (!data || !data->GetMesh() || data->vertexCount <= 0 || data->vertexFormat.position < 0) return;
    const bool skinned =
        data->skinned && data->vertexFormat.blendValues > 0 && mesh.GetBones().GetCount() > 0;
    std::vector<int> jointOfBone;
    int skin = -1;
    if (skinned) skin = ExportSkin(out, mesh, jointOfBone);
    VertexArrays vertices;
    ReadVertices(*data, skinned ? nullptr : &mesh.pivotTM, skinned ? &jointOfBone : nullptr, vertices);
    const nlohmann::json attributes = Attributes(out, vertices);
    nlohmann::json primitives = Primitives(out, mesh, *data, attributes);
    if (primitives.empty()) return;
    const int index =
        out.doc.Add("meshes", {{"name", ToUtf8(mesh.name.Text())}, {"primitives", std::move(primitives)}});
    nlohmann::json& node = out.doc.Json()["nodes"][out.nodeOf[&mesh]];
    node["mesh"] = index;
    if (skin >= 0) node["skin"] = skin;
    if (!mesh.visible)
        out.notes.push_back(ToUtf8(mesh.name.Text()) + ": hidden in the scene, exported visible");
}

} // namespace

void ExportMeshes(GltfExport& out) {
    DynaMem<DXC_Mesh>& meshes = out.scene->Meshes();
    for (int32_t i = 0; i < meshes.GetCount(); ++i)
        if (DXC_Mesh* mesh = meshes.GetAt(i)) ExportMesh(out, *mesh);
}
