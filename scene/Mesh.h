#pragma once

#include <cstdint>
#include <memory>

#include "foundation/DynaMem.h"
#include "scene/AnimatedTexture.h"
#include "scene/BoneRecord.h"
#include "scene/ClipObject.h"
#include "scene/MeshGeometry.h"
#include "scene/MeshMaterial.h"

// Base of drawable meshes; the geometry and drawing side belongs to the graphics layer.
class DXC_MeshBase : public DXC_3dClipObject {
public:
    DXC_MeshBase() { SetObjectName("DXC_MeshBase"); }
};

// A mesh as the scene model sees it: a scene object with bounds, bones, and one material and
// one texture per subset, whose animations it advances with its own loop-wrapped time.
class DXC_Mesh : public DXC_MeshBase {
public:
    static constexpr int32_t BoneListCapacity = 128;

    DXC_Mesh();
    ~DXC_Mesh() override;

    int32_t IsMesh() const override { return 1; }
    // The mesh record carries geometry and textures, which the graphics layer stores; until it
    // does, both report an error instead of writing or reading a partial record.
    int32_t Write(File& file) override;
    int32_t Read(File& file) override;

    // The per-frame update at scene time t: the materials and textures are advanced to the
    // mesh's own time (t wrapped when the mesh loops), then Evaluate(t, 1, 0).
    void Update(float t);

    // Materials and textures, one of each per subset. SetMaterialCount replaces both arrays
    // with n default materials and no textures.
    void SetMaterialCount(int32_t n);
    int32_t GetMaterialCount() const { return materialCount; }
    MeshMaterial* GetMaterial(int32_t i) const {
        return i >= 0 && i < materialCount ? &materials[i] : nullptr;
    }
    // Takes ownership of texture for subset i (ignored outside 0..count-1).
    void SetTexture(int32_t i, std::unique_ptr<DXC_AnimatedTexture> texture);
    DXC_AnimatedTexture* GetTexture(int32_t i) const {
        return i >= 0 && i < materialCount ? textures[i].get() : nullptr;
    }

    // 1 when any material is transparent. The answer is cached until the materials change
    // (SetMaterialCount) or InvalidateTransparency.
    int32_t IsTransparent();
    void InvalidateTransparency() { transparencyCache = -1; }
    int32_t GetTransparencyCache() const { return transparencyCache; }
    void SetTransparencyCache(int32_t value) { transparencyCache = value; }

    // Bones: the records and, linked by name, the scene objects that move them.
    DynaMem<BoneRecord>& GetBones() { return bones; }
    // Creates the bone-object array for the current bone count, every entry null.
    void CreateBoneObjects();
    int32_t GetBoneObjectCount() const { return boneObjectCount; }
    DXC_3dObject* GetBoneObject(int32_t i) const {
        return i >= 0 && i < boneObjectCount ? boneObjects[i] : nullptr;
    }
    void SetBoneObject(int32_t i, DXC_3dObject* object) {
        if (i >= 0 && i < boneObjectCount) boneObjects[i] = object;
    }

    // The drawable geometry (kept by the graphics layer), owned; null until it is built or
    // shared from a clone source. Setting null releases it.
    void SetGeometry(std::unique_ptr<DXC_MeshGeometry> data) { geometry = std::move(data); }
    DXC_MeshGeometry* GetGeometry() const { return geometry.get(); }

    int32_t visible;     // drawn at all
    int32_t texFaceFlag; // texture coordinates come from a texture face list
    String cloneName;    // non-empty: the mesh shares the geometry of the named mesh
    int32_t meshWord;    // stored unchanged; -1 in a new mesh

private:
    DynaMem<BoneRecord> bones;
    std::unique_ptr<DXC_3dObject*[]> boneObjects; // not owned: the scene's objects
    int32_t boneObjectCount = 0;
    std::unique_ptr<MeshMaterial[]> materials;
    std::unique_ptr<std::unique_ptr<DXC_AnimatedTexture>[]> textures;
    int32_t materialCount = 0;
    int32_t transparencyCache = -1; // -1 not yet known, 0 no transparent material, 1 some
    std::unique_ptr<DXC_MeshGeometry> geometry;
};
