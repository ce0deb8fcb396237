// One mesh of the scene pass: world matrix or bone palette, culling, the two material passes
// and the subset draw with the processor's sphere map.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "render/MeshPose.h"
#include "render/ScenePass.h"
#include "scene/Mesh.h"

namespace {

// The override tints the material: colours multiplied, emissive added, power kept.
D3DMATERIAL8 Combine(const D3DMATERIAL8& m, const D3DMATERIAL8& o) {
    auto mul = [](const D3DCOLORVALUE& a, const D3DCOLORVALUE& b) {
        return D3DCOLORVALUE{a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a};
    };
    D3DMATERIAL8 out = m;
    out.Diffuse = mul(m.Diffuse, o.Diffuse);
    out.Ambient = mul(m.Ambient, o.Ambient);
    out.Specular = mul(m.Specular, o.Specular);
    out.Emissive = D3DCOLORVALUE{m.Emissive.r + o.Emissive.r, m.Emissive.g + o.Emissive.g,
                                 m.Emissive.b + o.Emissive.b, m.Emissive.a};
    return out;
}

// A texture with at least one image: a material without maps draws with its colours alone.
bool HasImages(const DXC_Texture* texture) {
    if (!texture) return false;
    if (texture->GetSequenceCount() > 0) return texture->GetCurrentTexture() != nullptr;
    for (int32_t s = 0; s < DXC_AnimatedTexture::SlotCount; ++s) {
        const DXC_Texture::Slot& slot = texture->GetSlot(s);
        if ((slot.texture || slot.listIndex >= 0) && texture->GetSlotTexture(s)) return true;
    }
    return false;
}

// Everything RenderMesh changes and puts back.
struct MeshStateScope {
    DXC_Gfx& gfx;
    int32_t zWrite, blendMode, blendAlpha, cullMode;
    DWORD addressU, addressV;
    explicit MeshStateScope(DXC_Gfx& g)
        : gfx(g), zWrite(g.GetZWrite()), blendMode(g.GetBlendMode()), blendAlpha(g.GetBlendAlpha()),
          cullMode(g.GetCullMode()), addressU(g.GetAddressU(0)), addressV(g.GetAddressV(0)) {}
    void Restore() const {
        gfx.SetIndexedVertexBlend(0);
        gfx.SetVertexBlend(D3DVBF_DISABLE);
        gfx.SetCullMode(cullMode);
        gfx.RestoreBlendMode(blendMode, blendAlpha);
        gfx.SetZWrite(zWrite);
        gfx.SetAddressU(0, addressU);
        gfx.SetAddressV(0, addressV);
    }
};

D3DXVECTOR3 TransformNormal(const D3DXVECTOR3& n, const D3DXMATRIX& m) {
    return D3DXVECTOR3(n.x * m._11 + n.y * m._21 + n.z * m._31, n.x * m._12 + n.y * m._22 + n.z * m._32,
                       n.x * m._13 + n.y * m._23 + n.z * m._33);
}

D3DXVECTOR3 Unit(const D3DXVECTOR3& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? D3DXVECTOR3(v.x / length, v.y / length, v.z / length) : v;
}

} // namespace

int32_t DXC_ScenePass::IsVisible(const BoundsRecord& volume, const D3DXMATRIX& world) {
    if (gfx.IsFrustumDirty()) {
        frustum.Update(gfx.GetViewMatrix(), gfx.GetProjectionMatrix(), gfx.GetViewport().MinZ,
                       gfx.GetViewport().MaxZ);
        gfx.SetFrustumDirty(0);
    }
    return frustum.IsVisible(volume, world);
}

int32_t DXC_ScenePass::SphereMapChannel(const DXC_Mesh& mesh, int32_t subset) {
    const DXC_MeshData* data = GetMeshData(&mesh);
    return data ? ChannelOf(mesh, *data, subset) : -1;
}

int32_t DXC_ScenePass::ChannelOf(const DXC_Mesh& mesh, const DXC_MeshData& data, int32_t subset) {
    if (data.sphereMapChannel < 0) return -1;
    const MeshMaterial* material = mesh.GetMaterial(subset);
    // The mesh's reflection coordinate set serves the materials that have a reflection map.
    if (material && material->reflectionChannel < 0) return -1;
    return data.sphereMapChannel;
}

void DXC_ScenePass::SetWorldPalette(DXC_Mesh& mesh, DXC_MeshData& data, const D3DXMATRIX& world,
                                    const D3DXMATRIX& parent) {
    const int32_t count = data.blendMatrixCount;
    if (data.hardwareBlending && !gfx.GetActiveVertexShader() &&
        static_cast<int32_t>(gfx.GetCaps().MaxVertexBlendMatrixIndex) < count)
        Warning("Number of bones too high for hardware vertex blending: %i", count);
    gfx.SetIndexedVertexBlend(1);
    gfx.SetWorldMatrix(0, world);
    for (int32_t s = 1; s < count && s < DXC_Gfx::WorldMatrices; ++s)
        gfx.SetWorldMatrix(s, SkinSlotMatrix(mesh, s, world, parent));
}

// 1 when the matrix that places the mesh mirrors it.
int32_t DXC_ScenePass::MirroredWorld(const DXC_MeshData& data, const D3DXMATRIX& world) const {
    const D3DXMATRIX& m = data.skinned && data.blendMatrixCount >= 2 ? gfx.GetWorldMatrix(1) : world;
    return D3DXMatrixDeterminant(&m) < 0.0f;
}

int32_t DXC_ScenePass::RenderMesh(DXC_Mesh* mesh, const D3DXMATRIX* parent, const D3DMATERIAL8* override,
                                  int32_t singleStage, int32_t geometryOnly) {
    if (!mesh) {
        Warning("Pointer to mesh is zero");
        return 0;
    }
    DXC_MeshData* data = GetMeshData(mesh);
    if (!mesh->visible || !data || !data->GetMesh()) return 1;
    D3DXMATRIX identity, meshMatrix, world;
    D3DXMatrixIdentity(&identity);
    const D3DXMATRIX& parentMatrix = parent ? *parent : identity;
    D3DXMatrixMultiply(&meshMatrix, &mesh->pivotTM, &mesh->worldTM);
    D3DXMatrixMultiply(&world, &meshMatrix, &parentMatrix);
    if (mesh->bounds.mode != 0 && !IsVisible(mesh->bounds, world)) return 0;

    const MeshStateScope scope(gfx);
    rememberedBlendMode = scope.blendMode;
    rememberedBlendAlpha = scope.blendAlpha;
    rememberedZWrite = scope.zWrite;
    gfx.SetVertexBlend(data->vertexBlend);
    gfx.SetSoftwareVertexProcessing(data->hardwareBlending ? 0 : 1);
    if (!parent && gfx.GetFillMode() == D3DFILL_POINT) gfx.ApplyPointParameters(gfx.GetPointParameters(), 1);
    gfx.SetNormalizeNormals(1);
    if (data->skinned)
        SetWorldPalette(*mesh, *data, world, parentMatrix);
    else
        gfx.SetWorldMatrix(0, world);
    const int32_t cullMode = MirroredWorld(*data, world) ? -scope.cullMode : scope.cullMode;

    if (mesh->GetMaterialCount() == 0) {
        if (!geometryOnly) {
            gfx.SetMaterial(override ? *override : gfx.GetDefaultMaterial());
            SetTextureStages(nullptr, -1);
        }
        gfx.SetCullMode(cullMode);
        DrawSubset(*mesh, *data, 0, ChannelOf(*mesh, *data, 0));
    } else {
        DrawMaterials(*mesh, *data, override, singleStage, geometryOnly, cullMode);
    }
    scope.Restore();
    return 1;
}

void DXC_ScenePass::DrawMaterials(DXC_Mesh& mesh, DXC_MeshData& data, const D3DMATERIAL8* override,
                                  int32_t singleStage, int32_t geometryOnly, int32_t cullMode) {
    for (int32_t pass = 0; pass < 2; ++pass)
        for (int32_t i = 0; i < mesh.GetMaterialCount(); ++i) {
            const MeshMaterial& material = *mesh.GetMaterial(i);
            // Fully transparent materials are never drawn, in either pass.
            if ((material.transparent ? 1 : 0) != pass || material.transparency == 1.0f) continue;
            DrawMaterial(mesh, data, i, override, singleStage, geometryOnly, cullMode);
        }
}

void DXC_ScenePass::DrawMaterial(DXC_Mesh& mesh, DXC_MeshData& data, int32_t index,
                                 const D3DMATERIAL8* override, int32_t singleStage, int32_t geometryOnly,
                                 int32_t cullMode) {
    const MeshMaterial& material = *mesh.GetMaterial(index);
    sphereChannel = ChannelOf(mesh, data, index);
    if (!geometryOnly) {
        gfx.SetMaterial(override ? Combine(material.material, *override) : material.material);
        DXC_Texture* texture = GetMeshTexture(&mesh, index);
        const bool images = HasImages(texture);
        if (singleStage) {
            gfx.SetTexture(1, nullptr);
            SetTextureStages(images ? texture : nullptr, images ? 0 : -1);
        } else {
            SetTextureStages(images ? texture : nullptr, -1);
        }
        ApplyMaterialBlend(material, images ? 1 : 0, rememberedBlendMode, rememberedBlendAlpha,
                           rememberedZWrite);
    }
    gfx.SetCullMode(material.twoSided ? 0 : cullMode);
    DrawSubset(mesh, data, index, sphereChannel);
}

// ---- subsets --------------------------------------------------------------------------------

int32_t DXC_ScenePass::DrawMeshSubset(DXC_Mesh* mesh, int32_t subset) {
    DXC_MeshData* data = GetMeshData(mesh);
    if (!data || !data->GetMesh()) return 1;
    return DrawSubset(*mesh, *data, subset, ChannelOf(*mesh, *data, subset));
}

int32_t DXC_ScenePass::DrawSubset(DXC_Mesh& mesh, DXC_MeshData& data, int32_t subset, int32_t channel) {
    if (!gfx.GetActiveVertexShader() && channel < 0) {
        // Through the graphics object, whose caches then follow the format, stream and indices
        // the mesh set on the device.
        gfx.DrawSubset(data.GetMesh(), static_cast<DWORD>(subset));
        return 1;
    }
    const std::vector<D3DXATTRIBUTERANGE>& table = data.GetAttributeTable();
    if (subset < 0 || static_cast<std::size_t>(subset) >= table.size())
        Error("Attribute set for material %i in mesh '%s' with wrong ID", subset, mesh.name.Text());
    for (const D3DXATTRIBUTERANGE& range : table) {
        if (range.AttribId != static_cast<DWORD>(subset) || range.FaceCount == 0) continue;
        if (channel >= 0) ComputeSphereMap(data, channel, range.VertexStart, range.VertexCount);
        gfx.DrawIndexedSubset(data.GetMesh(), static_cast<int32_t>(range.FaceStart),
                              static_cast<int32_t>(range.FaceCount), data.hardwareBlending);
    }
    return 1;
}

void DXC_ScenePass::ComputeSphereMap(DXC_MeshData& data, int32_t channel, DWORD vertexStart,
                                     DWORD vertexCount) {
    const VertexFormat& format = data.vertexFormat;
    if (channel >= VertexFormat::MaxTexCoordSets || format.texCoord[channel] < 0 || format.normal < 0) return;
    // The coordinates depend on where this mesh stands: a clone must not write them into the
    // buffer it shares with its source.
    data.MakeGeometryOwn();
    D3DXMATRIX inverseView;
    D3DXMatrixInverse(&inverseView, nullptr, &gfx.GetViewMatrix());
    const D3DXVECTOR3 eye(inverseView._41, inverseView._42, inverseView._43);
    const bool skinned = data.skinned && format.blend >= 0 && format.indexedBlend;
    BYTE* vertices = data.LockVertexBuffer(0);
    const DWORD end = std::min<DWORD>(vertexStart + vertexCount, data.GetMesh()->GetNumVertices());
    for (DWORD v = vertexStart; v < end; ++v) {
        BYTE* vertex = vertices + static_cast<std::size_t>(v) * static_cast<std::size_t>(format.size);
        D3DXVECTOR3 p, n, position, normal;
        std::memcpy(&p, vertex + format.position, sizeof p);
        std::memcpy(&n, vertex + format.normal, sizeof n);
        if (skinned) {
            const VertexBlend blend = ReadVertexBlend(format, vertex);
            position = D3DXVECTOR3(0, 0, 0);
            normal = D3DXVECTOR3(0, 0, 0);
            for (int32_t k = 0; k < blend.count; ++k) {
                const D3DXMATRIX& m = gfx.GetWorldMatrix(blend.indices[k]);
                D3DXVECTOR3 q;
                D3DXVec3TransformCoord(&q, &p, &m);
                position += q * blend.weights[k];
                normal += TransformNormal(n, m) * blend.weights[k];
            }
        } else {
            const D3DXMATRIX& m = gfx.GetWorldMatrix(0);
            D3DXVec3TransformCoord(&position, &p, &m);
            normal = TransformNormal(n, m);
        }
        const D3DXVECTOR3 view = Unit(eye - position);
        const D3DXVECTOR3 unitNormal = Unit(normal);
        const float nv = unitNormal.x * view.x + unitNormal.y * view.y + unitNormal.z * view.z;
        const D3DXVECTOR3 r = unitNormal * (2.0f * nv) - view;
        const float m = 2.8284f * std::sqrt(r.z * r.z + 1.0f);
        const float uv[2] = {r.x / m + 0.5f, r.y / m + 0.5f};
        std::memcpy(vertex + format.texCoord[channel], uv, sizeof uv);
    }
    data.UnlockVertexBuffer();
}
