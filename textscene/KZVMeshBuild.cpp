// Mesh building: from the temporary arrays of a GEOMOBJECT to a filled Direct3D mesh with
// materials per attribute id and bounds.

#include <cmath>
#include <cstring>

#include "platform/d3d8/ErrorText.h"
#include "platform/d3d8/FvfLayout.h"
#include "platform/d3dx/D3DXMesh.h"
#include "scene/Scene3d.h"
#include "scene/SceneGraphics.h"
#include "textscene/KZVLoader.h"
#include "textscene/MeshBuilder.h"

namespace {

// Unlocks a D3DX mesh buffer when the fill ends, also by an error.
class BufferLock {
public:
    BufferLock(DXC_Mesh* owner, ID3DXMesh* mesh, HRESULT (ID3DXMesh::*unlock)(), const char* message)
        : owner(owner), mesh(mesh), unlock(unlock), message(message) {}
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;
    // On the way out of an error the buffer is unlocked without a second report.
    ~BufferLock() {
        if (locked) (mesh->*unlock)();
    }
    void Locked() { locked = true; }
    // Unlocks now, reporting a failure.
    void Release() {
        locked = false;
        const HRESULT hr = (mesh->*unlock)();
        if (FAILED(hr)) owner->Error(message, ErrorText(hr));
    }

private:
    DXC_Mesh* owner;
    ID3DXMesh* mesh;
    HRESULT (ID3DXMesh::*unlock)();
    const char* message;
    bool locked = false;
};

} // namespace

const MaterialRecord* KZVLoader::MaterialAt(int32_t ref) const {
    return ref >= 0 && ref < static_cast<int32_t>(materials.size())
               ? materials[static_cast<std::size_t>(ref)].get()
               : nullptr;
}

void KZVLoader::CheckMaterialRef(int32_t ref, const char* objectName) const {
    if (ref >= static_cast<int32_t>(materials.size()))
        const_cast<KZVLoader*>(this)->Error("Invalid material reference %i in object '%s' (%i materials)",
                                            ref, objectName, static_cast<int32_t>(materials.size()));
}

void KZVLoader::AssignMaterial(DXC_Mesh* mesh, int32_t attribute, const MaterialRecord& material) {
    MeshMaterial* target = mesh->GetMaterial(attribute);
    if (!target) return;
    target->material = material.d3dMaterial;
    target->twoSided = material.twoSided;
    target->transparent = material.transparent;
    target->reflectionChannel = material.reflectionSlot;
    target->transparency = material.transparency;
    target->mirrorU = material.mirrorU;
    target->mirrorV = material.mirrorV;
    target->tileU = material.tileU;
    target->tileV = material.tileV;
    target->transparencyType = material.transparencyType;
    target->diffuseTrack = material.diffuseTrack;
    target->ambientTrack = material.ambientTrack;
    target->specularTrack = material.specularTrack;
    target->selfIllumTrack = material.selfIllumTrack;
    target->opacityTrack = material.opacityTrack;
    if (material.texture) mesh->SetTexture(attribute, graphics->CopyTexture(*material.texture));
    mesh->InvalidateTransparency();
}

void KZVLoader::AssignSubMaterial(DXC_Mesh* mesh, int32_t attribute, const MaterialRecord& material,
                                  int32_t index) {
    if (index >= 0 && index < static_cast<int32_t>(material.subMaterials.size())) {
        AssignMaterial(mesh, attribute, *material.subMaterials[static_cast<std::size_t>(index)]);
        return;
    }
    // "NUMSUBMTLS" may count more sub-materials than the material defines.
    Warning("Sub-material %i of material '%s' is not defined (object '%s')", index, material.name.Text(),
            mesh->name.Text());
}

void KZVLoader::AssignWireMaterial(DXC_Mesh* mesh, int32_t attribute, const float wire[4]) {
    MeshMaterial* target = mesh->GetMaterial(attribute);
    if (!target) return;
    target->material.Diffuse = {wire[0], wire[1], wire[2], wire[3]};
    target->material.Ambient = target->material.Diffuse;
    target->material.Specular = {0.0f, 0.0f, 0.0f, 1.0f};
    target->material.Emissive = {0.0f, 0.0f, 0.0f, 1.0f};
    target->material.Power = 0.0f;
    mesh->InvalidateTransparency();
}

void KZVLoader::AssignMaterials(DXC_Mesh* mesh, const MeshInfo& info, int32_t subMaterials) {
    const MaterialRecord* material = MaterialAt(info.materialRef);
    if (subMaterials < 1 || info.materialRef < 0) {
        if (material)
            AssignMaterial(mesh, 0, *material);
        else
            AssignWireMaterial(mesh, 0, info.wireColour);
        return;
    }
    for (std::size_t j = 0; j < info.remap.size(); ++j)
        if (info.remap[j] >= 0) AssignSubMaterial(mesh, info.remap[j], *material, static_cast<int32_t>(j));
}

void KZVLoader::BuildMesh() {
    DXC_Mesh* mesh = currentMesh;
    MeshInfo& info = RecordMeshInfo(mesh);
    CheckMaterialRef(materialRef, mesh->name.Text());
    const MaterialRecord* material = MaterialAt(materialRef);

    // Vertex format and blend setting from the largest number of weights of a vertex.
    int32_t w = maxWeightsPerVertex;
    if (w == 1) {
        Warning("Only one bone in object %s", mesh->name.Text());
        w = 2;
    }
    DWORD fvf;
    switch (w) {
    case 0:
        fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
        break;
    case 2:
        fvf = D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL;
        break;
    case 3:
        fvf = D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL;
        break;
    case 4:
        fvf = D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL;
        break;
    default:
        Error("Invalid number of weightings: %i", w);
    }
    if (options.vertexColours) fvf |= D3DFVF_DIFFUSE | D3DFVF_SPECULAR;
    const bool hasTexFaces = numTexFaces > 0 && currentMesh->texFaceFlag;
    int32_t sets = material && material->hasDiffuseMap ? 1 : 0;
    int32_t sphereMapChannel = -1;
    if (material && material->hasBumpMap) {
        fvf |= 0x40000; // three components in the bump map's coordinate set
        ++sets;
    }
    if (material && material->hasReflectionMap) sphereMapChannel = sets++;
    if (sets == 1 || (sets == 0 && hasTexFaces)) fvf |= D3DFVF_TEX1;
    if (sets == 2) fvf |= D3DFVF_TEX2;

    // Weights of a vertex add up to 1; a vertex without any follows the mesh's own bone.
    const int32_t boneCount = mesh->GetBones().GetCount();
    if (boneCount > 0 && w > 0)
        for (int32_t v = 0; v < numVertices; ++v) {
            MeshVertex& vertex = vertices[v];
            float sum = 0.0f;
            for (int32_t i = 0; i < w; ++i) sum += vertex.weights[i];
            if (sum != 0.0f) {
                for (int32_t i = 0; i < w; ++i) vertex.weights[i] /= sum;
            } else {
                vertex.weights[0] = 1.0f;
                std::memset(vertex.boneIndices, 0, sizeof vertex.boneIndices);
            }
        }
    // Weights read before any bone record would name a bone that does not exist.
    if (w > 0 && boneCount == 0) Error("Bone weights without bones in object '%s'", mesh->name.Text());

    const int32_t subMaterials = material && material->numSubMaterials > 0 ? material->numSubMaterials : 0;
    if (!meshBuilder) meshBuilder = std::make_unique<MeshBuilder>(*this);
    MeshBuilder& builder = *meshBuilder;
    builder.parallelFaces = parallelFaces;
    MeshBuilder::Input input;
    input.vertices = vertices.get();
    input.vertexCount = numVertices;
    input.faces = faces.get();
    input.faceCount = numFaces;
    input.texVertices = texVertices.get();
    input.texVertexCount = numTexVertices;
    input.texFaces = hasTexFaces ? texFaces.get() : nullptr;
    input.texFaceCount = numTexFaces;
    input.subMaterialCount = subMaterials;
    input.objectName = mesh->name.Text();
    builder.Build(input);
    info.remap = builder.remap;
    info.attributeCount = builder.attributeCount;

    MeshCreateParams params;
    params.faceCount = numFaces - builder.invalidFaces;
    params.vertexCount = static_cast<int32_t>(builder.vertices.size());
    params.attributeCount = builder.attributeCount;
    params.vertexFormat = fvf;
    params.systemMemory = options.systemMemory;
    params.boneCount = boneCount;
    params.newMesh = 1;
    params.extraOptions = 0;
    params.forceSoftware = material && material->hasReflectionMap;
    params.weightsPerVertex = w;
    params.sphereMapChannel = sphereMapChannel;
    ID3DXMesh* d3dMesh = graphics->CreateMesh(mesh, params);
    if (!d3dMesh) Error("No Direct3D mesh for object '%s'", mesh->name.Text());

    AssignMaterials(mesh, info, subMaterials);
    FillMesh(mesh, d3dMesh, builder, w);

    const HRESULT hr = d3dMesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
    if (FAILED(hr)) mesh->Error("OptimizeInplace failed: %s", ErrorText(hr));
    mesh->GetBones().SetSize(-1);
}

void KZVLoader::FillMesh(DXC_Mesh* mesh, ID3DXMesh* d3dMesh, const MeshBuilder& builder, int32_t w) {
    FvfLayout layout;
    if (!DecodeFvf(d3dMesh->GetFVF(), &layout))
        Error("Invalid vertex format in object '%s'", mesh->name.Text());

    BufferLock indexLock(mesh, d3dMesh, &ID3DXMesh::UnlockIndexBuffer, "UnlockIndexBuffer failed: %s");
    BufferLock vertexLock(mesh, d3dMesh, &ID3DXMesh::UnlockVertexBuffer, "UnlockVertexBuffer failed: %s");
    BufferLock attributeLock(mesh, d3dMesh, &ID3DXMesh::UnlockAttributeBuffer,
                             "UnlockAttributeBuffer failed: %s");
    BYTE* indexData = nullptr;
    BYTE* vertexData = nullptr;
    DWORD* attributes = nullptr;
    HRESULT hr = d3dMesh->LockIndexBuffer(0, &indexData);
    if (FAILED(hr)) mesh->Error("LockIndexBuffer failed: %s", ErrorText(hr));
    indexLock.Locked();
    hr = d3dMesh->LockVertexBuffer(0, &vertexData);
    if (FAILED(hr)) mesh->Error("LockVertexBuffer failed: %s", ErrorText(hr));
    vertexLock.Locked();
    hr = d3dMesh->LockAttributeBuffer(0, &attributes);
    if (FAILED(hr)) mesh->Error("LockAttributeBuffer failed: %s", ErrorText(hr));
    attributeLock.Locked();

    uint16_t* indices = reinterpret_cast<uint16_t*>(indexData);
    const DWORD faceLimit = d3dMesh->GetNumFaces();
    DWORD written = 0;
    for (int32_t f = 0; f < numFaces && written < faceLimit; ++f) {
        const MeshFace& face = faces[f];
        if (face.attributeId == -1) continue;
        for (int32_t k = 0; k < 3; ++k) indices[3 * written + k] = static_cast<uint16_t>(face.output[k]);
        attributes[written] = static_cast<DWORD>(face.attributeId);
        ++written;
    }

    const int32_t count = static_cast<int32_t>(builder.vertices.size());
    const bool texCoords = layout.texCoordCount > 0;
    D3DXVECTOR3 lo(0, 0, 0), hi(0, 0, 0);
    bool zeroNormalWarned = false;
    for (int32_t i = 0; i < count && static_cast<DWORD>(i) < d3dMesh->GetNumVertices(); ++i) {
        const BuildVertex& v = builder.vertices[static_cast<std::size_t>(i)];
        BYTE* out = vertexData + static_cast<std::size_t>(i) * layout.size;
        std::memcpy(out, &v.position, sizeof(D3DXVECTOR3));
        if (w > 0) {
            // The last weight is implied by the others.
            std::memcpy(out + layout.weightsOffset, v.weights,
                        sizeof(float) * static_cast<std::size_t>(w - 1));
            std::memcpy(out + layout.indicesOffset, v.boneIndices, 4);
        }
        D3DXVECTOR3 normal = v.normalSum / static_cast<float>(v.faceCount);
        if (D3DXVec3Length(&normal) == 0.0f) {
            if (!zeroNormalWarned) Warning("Zero normal sum in object %s!", mesh->name.Text());
            zeroNormalWarned = true;
        }
        D3DXVec3Normalize(&normal, &normal);
        std::memcpy(out + layout.normalOffset, &normal, sizeof normal);
        if (layout.diffuseOffset >= 0) {
            const DWORD white = 0xFFFFFFFF, black = 0xFF000000;
            std::memcpy(out + layout.diffuseOffset, &white, 4);
            std::memcpy(out + layout.specularOffset, &black, 4);
        }
        if (texCoords) {
            const float uv[2] = {v.hasUV ? v.u : 0.0f, v.hasUV ? v.v : 0.0f};
            std::memcpy(out + layout.texCoordOffset[0], uv, sizeof uv);
        }
        if (i == 0) lo = hi = v.position;
        D3DXVec3Minimize(&lo, &lo, &v.position);
        D3DXVec3Maximize(&hi, &hi, &v.position);
    }

    const D3DXVECTOR3 centre = (lo + hi) * 0.5f;
    float radius = 0.0f;
    for (const BuildVertex& v : builder.vertices) {
        const D3DXVECTOR3 d = v.position - centre;
        radius = std::fmax(radius, D3DXVec3Length(&d));
    }
    attributeLock.Release();
    vertexLock.Release();
    indexLock.Release();

    mesh->SetBoundingBox(lo, hi);
    mesh->bounds.centre = centre;
    mesh->bounds.radius = radius;
    if (mesh->GetBones().GetCount() > 0) {
        mesh->bounds.mode = 0;
        skinned = 1;
    } else {
        mesh->bounds.mode = 3;
    }
}
