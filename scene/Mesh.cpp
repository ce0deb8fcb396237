#include "scene/Mesh.h"

DXC_Mesh::DXC_Mesh() : visible(1), texFaceFlag(0), meshWord(-1), bones(BoneListCapacity) {
    SetObjectName("DXC_Mesh");
}

DXC_Mesh::~DXC_Mesh() = default;

int32_t DXC_Mesh::Write(File&) {
    Error("Writing mesh records is not supported yet");
}

int32_t DXC_Mesh::Read(File&) {
    Error("Reading mesh records is not supported yet");
}

void DXC_Mesh::Update(float t) {
    const float own = GetLoop() ? WrapTime(t, GetLoopLength()) : t;
    for (int32_t i = 0; i < materialCount; ++i) {
        UpdateMaterial(materials[i], own);
        if (textures[i]) UpdateTexture(*textures[i], own);
    }
    Evaluate(t, 1, 0);
}

void DXC_Mesh::SetMaterialCount(int32_t n) {
    materials.reset();
    textures.reset();
    materialCount = 0;
    transparencyCache = -1;
    if (n <= 0) return;
    materials = std::make_unique<MeshMaterial[]>(static_cast<size_t>(n));
    textures = std::make_unique<std::unique_ptr<DXC_AnimatedTexture>[]>(static_cast<size_t>(n));
    materialCount = n;
}

void DXC_Mesh::SetTexture(int32_t i, std::unique_ptr<DXC_AnimatedTexture> texture) {
    if (i >= 0 && i < materialCount) textures[i] = std::move(texture);
}

int32_t DXC_Mesh::IsTransparent() {
    if (transparencyCache < 0) {
        transparencyCache = 0;
        for (int32_t i = 0; i < materialCount; ++i)
            if (materials[i].transparent) transparencyCache = 1;
    }
    return transparencyCache;
}

void DXC_Mesh::CreateBoneObjects() {
    boneObjects.reset();
    boneObjectCount = bones.GetCount();
    if (boneObjectCount > 0)
        boneObjects = std::make_unique<DXC_3dObject*[]>(static_cast<size_t>(boneObjectCount));
}
