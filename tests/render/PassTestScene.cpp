#include "PassTestScene.h"

#include <cstring>

#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_MeshData.h"
#include "scene/Mesh.h"

DXC_Mesh* AddQuad(DXC_Gfx& gfx, DXC_3dScene& scene, const char* name, const QuadSpec& spec) {
    DXC_Mesh* mesh = scene.Meshes().Get(scene.Meshes().AddNew());
    mesh->name = name;
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    DXC_MeshData* data =
        CreateMesh(&gfx, mesh, 2 * spec.materials, 4 * spec.materials, spec.materials, fvf, 0, 0, 1, 0, 0, 0);
    struct Vertex {
        float x, y, z, nx, ny, nz, u, v;
    };
    Vertex* v = reinterpret_cast<Vertex*>(data->LockVertexBuffer(0));
    uint16_t* index = reinterpret_cast<uint16_t*>(data->LockIndexBuffer(0));
    DWORD* attributes = data->LockAttributeBuffer(0);
    const float h = spec.size / 2;
    for (int32_t m = 0; m < spec.materials; ++m) {
        const float corners[4][2] = {{-h, -h}, {-h, h}, {h, -h}, {h, h}};
        for (int32_t c = 0; c < 4; ++c)
            v[4 * m + c] = Vertex{corners[c][0],
                                  corners[c][1],
                                  0.0f,
                                  0.0f,
                                  0.0f,
                                  -1.0f,
                                  corners[c][0] > 0 ? 1.0f : 0.0f,
                                  corners[c][1] > 0 ? 0.0f : 1.0f};
        const uint16_t b = static_cast<uint16_t>(4 * m);
        const uint16_t faces[6] = {b,
                                   static_cast<uint16_t>(b + 1),
                                   static_cast<uint16_t>(b + 2),
                                   static_cast<uint16_t>(b + 2),
                                   static_cast<uint16_t>(b + 1),
                                   static_cast<uint16_t>(b + 3)};
        std::memcpy(index + 6 * m, faces, sizeof faces);
        attributes[2 * m] = attributes[2 * m + 1] = static_cast<DWORD>(m);
    }
    data->UnlockAttributeBuffer();
    data->UnlockIndexBuffer();
    data->UnlockVertexBuffer();
    data->SortByAttribute();
    for (int32_t m = 0; m < spec.materials; ++m) {
        MeshMaterial* material = mesh->GetMaterial(m);
        material->material.Diffuse = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 1.0f};
        material->material.Ambient = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 1.0f};
        material->material.Emissive = spec.emissive;
        material->twoSided = spec.twoSided;
    }
    mesh->SetBoundingBox(D3DXVECTOR3(-h, -h, 0.0f), D3DXVECTOR3(h, h, 0.0f));
    mesh->bounds.centre = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    mesh->bounds.radius = h * 1.4143f;
    mesh->bounds.mode = 3;
    mesh->SetNodePosition(spec.position.x, spec.position.y, spec.position.z, 1);
    mesh->Evaluate(0.0f, 1, 1);
    return mesh;
}

void PlainView(DXC_3dScene& scene) {
    scene.viewOptions.clear = 1;
    scene.viewOptions.mirror = 0;
    scene.viewOptions.sort = 1;
    scene.viewOptions.lights = 1;
    scene.opaqueCount = 0;
    scene.bounds.mode = 0;
    scene.Evaluate(0.0f, 1, 1);
}
