#include <cmath>

#include "GltfExport.h"
#include "TextEncoding.h"
#include "scene/Scene3d.h"

namespace {

std::string NodeName(const DXC_3dObject& object) {
    return ToUtf8(object.name.Text() ? object.name.Text() : "");
}

float Length(const float* v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The unit quaternion (x, y, z, w) of a row-vector rotation matrix given by its three rows.
void QuaternionOfRows(const float r[3][3], float q[4]) {
    // c(i, j) is the column-vector matrix, the transpose of the rows.
    auto c = [&](int i, int j) { return r[j][i]; };
    const float trace = c(0, 0) + c(1, 1) + c(2, 2);
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q[3] = 0.25f * s, q[0] = (c(2, 1) - c(1, 2)) / s, q[1] = (c(0, 2) - c(2, 0)) / s;
        q[2] = (c(1, 0) - c(0, 1)) / s;
    } else if (c(0, 0) > c(1, 1) && c(0, 0) > c(2, 2)) {
        const float s = std::sqrt(1.0f + c(0, 0) - c(1, 1) - c(2, 2)) * 2.0f;
        q[3] = (c(2, 1) - c(1, 2)) / s, q[0] = 0.25f * s, q[1] = (c(0, 1) + c(1, 0)) / s;
        q[2] = (c(0, 2) + c(2, 0)) / s;
    } else if (c(1, 1) > c(2, 2)) {
        const float s = std::sqrt(1.0f + c(1, 1) - c(0, 0) - c(2, 2)) * 2.0f;
        q[3] = (c(0, 2) - c(2, 0)) / s, q[0] = (c(0, 1) + c(1, 0)) / s, q[1] = 0.25f * s;
        q[2] = (c(1, 2) + c(2, 1)) / s;
    } else {
        const float s = std::sqrt(1.0f + c(2, 2) - c(0, 0) - c(1, 1)) * 2.0f;
        q[3] = (c(1, 0) - c(0, 1)) / s, q[0] = (c(0, 2) + c(2, 0)) / s, q[1] = (c(1, 2) + c(2, 1)) / s;
        q[2] = 0.25f * s;
    }
    const float n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(n > 0.0f) || !std::isfinite(n)) {
        q[0] = q[1] = q[2] = 0.0f, q[3] = 1.0f;
        return;
    }
    for (int i = 0; i < 4; ++i) q[i] /= n;
}

nlohmann::json Array(const float* v, int n) {
    nlohmann::json out = nlohmann::json::array();
    for (int i = 0; i < n; ++i) out.push_back(std::isfinite(v[i]) ? v[i] : 0.0f);
    return out;
}

// translation, rotation and scale of a node, each left out when it is the default.
void SetTransform(nlohmann::json& node, const D3DXMATRIX& m) {
    float t[3], r[4], s[3];
    Decompose(m, t, r, s);
    node.erase("translation"), node.erase("rotation"), node.erase("scale");
    if (t[0] != 0.0f || t[1] != 0.0f || t[2] != 0.0f) node["translation"] = Array(t, 3);
    if (r[0] != 0.0f || r[1] != 0.0f || r[2] != 0.0f || r[3] != 1.0f) node["rotation"] = Array(r, 4);
    if (s[0] != 1.0f || s[1] != 1.0f || s[2] != 1.0f) node["scale"] = Array(s, 3);
}

void AddChild(GltfExport& out, int parent, int child) {
    nlohmann::json& node = out.doc.Json()["nodes"][parent];
    if (!node.contains("children")) node["children"] = nlohmann::json::array();
    node["children"].push_back(child);
}

template <class T> void Collect(GltfExport& out, DynaMem<T>& list) {
    for (int32_t i = 0; i < list.GetCount(); ++i)
        if (const T* object = list.GetAt(i)) out.objects.push_back(object);
}

} // namespace

void Decompose(const D3DXMATRIX& m, float translation[3], float rotation[4], float scale[3]) {
    float rows[3][3];
    for (int i = 0; i < 3; ++i) {
        translation[i] = m.m[3][i];
        for (int j = 0; j < 3; ++j) rows[i][j] = m.m[i][j];
    }
    for (int i = 0; i < 3; ++i) scale[i] = Length(rows[i]);
    D3DXMATRIX copy = m;
    if (D3DXMatrixDeterminant(&copy) < 0.0f) scale[0] = -scale[0];
    for (int i = 0; i < 3; ++i) {
        if (scale[i] == 0.0f) {
            for (int j = 0; j < 3; ++j) rows[i][j] = i == j ? 1.0f : 0.0f;
            continue;
        }
        for (int j = 0; j < 3; ++j) rows[i][j] /= scale[i];
    }
    QuaternionOfRows(rows, rotation);
}

D3DXMATRIX LocalMatrix(const DXC_3dObject& object) {
    const DXC_3dObject* parent = object.GetParent();
    if (!parent) return object.worldTM;
    D3DXMATRIX inverse, local;
    D3DXMATRIX parentWorld = parent->worldTM;
    if (!D3DXMatrixInverse(&inverse, nullptr, &parentWorld)) return object.worldTM;
    D3DXMatrixMultiply(&local, &object.worldTM, &inverse);
    return local;
}

D3DXMATRIX LookingMatrix(const DXC_Target3dObject& object) {
    D3DXVECTOR3 back = -object.direction, up = object.up, right;
    if (D3DXVec3Length(&back) == 0.0f) back = D3DXVECTOR3(0.0f, -1.0f, 0.0f);
    D3DXVec3Normalize(&back, &back);
    up = up - back * D3DXVec3Dot(&up, &back);
    if (D3DXVec3Length(&up) < 1e-6f) { // up along the direction: any perpendicular will do
        const D3DXVECTOR3 other = std::fabs(back.z) < 0.9f ? D3DXVECTOR3(0, 0, 1) : D3DXVECTOR3(0, 1, 0);
        up = other - back * D3DXVec3Dot(&other, &back);
    }
    D3DXVec3Normalize(&up, &up);
    D3DXVec3Cross(&right, &up, &back);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    const D3DXVECTOR3 axes[3] = {right, up, back};
    for (int i = 0; i < 3; ++i) m.m[i][0] = axes[i].x, m.m[i][1] = axes[i].y, m.m[i][2] = axes[i].z;
    m.m[3][0] = object.position.x, m.m[3][1] = object.position.y, m.m[3][2] = object.position.z;
    D3DXMATRIX inverse, local, world = object.worldTM;
    if (!D3DXMatrixInverse(&inverse, nullptr, &world)) return m;
    D3DXMatrixMultiply(&local, &m, &inverse);
    return local;
}

void ExportNodes(GltfExport& out) {
    // The scene is Z-up and right-handed (the viewer mirrors X to show it through Direct3D's
    // left-handed frame); a quarter turn about X stands it up in glTF's Y-up frame.
    const float half = std::sqrt(0.5f);
    out.rootNode = out.doc.Add("nodes", {{"name", GltfRootName}, {"rotation", {-half, 0.0f, 0.0f, half}}});
    out.doc.Add("scenes", {{"name", "Scene"}, {"nodes", {out.rootNode}}});
    out.doc.Json()["scene"] = 0;

    DXC_3dScene& scene = *out.scene;
    Collect(out, scene.Meshes());
    Collect(out, scene.Helpers());
    Collect(out, scene.Cameras());
    Collect(out, scene.Lights());
    for (const DXC_3dObject* object : out.objects) {
        nlohmann::json node = {{"name", NodeName(*object)}};
        SetTransform(node, LocalMatrix(*object));
        out.nodeOf[object] = out.doc.Add("nodes", std::move(node));
    }
    for (const DXC_3dObject* object : out.objects) {
        const auto parent = out.nodeOf.find(object->GetParent());
        AddChild(out, parent == out.nodeOf.end() ? out.rootNode : parent->second, out.nodeOf[object]);
    }
    auto addView = [&](const DXC_Target3dObject& object) {
        nlohmann::json node = {{"name", NodeName(object) + " view"}};
        SetTransform(node, LookingMatrix(object));
        const int index = out.doc.Add("nodes", std::move(node));
        out.viewNodeOf[&object] = index;
        AddChild(out, out.nodeOf[&object], index);
    };
    for (int32_t i = 0; i < scene.GetCameraCount(); ++i)
        if (const DXC_Camera* camera = scene.GetCameraAt(i)) addView(*camera);
    for (int32_t i = 0; i < scene.GetLightCount(); ++i)
        if (const DXC_Light* light = scene.GetLightAt(i)) addView(*light);
}
