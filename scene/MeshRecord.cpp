// The stored mesh record (DXC_Mesh::Write and Read).

#include "foundation/File.h"
#include "scene/Mesh.h"
#include "scene/SceneGraphics.h"

namespace {

// Smallest stored sizes, for checking counts against the rest of the file before allocating.
constexpr int64_t MinTrackBytes = 14; // count, type, loop, spare, end time
constexpr int64_t MinMaterialBytes = 64 + 20 + 5 * MinTrackBytes + 5 + 4;
constexpr int64_t MinTextureBytes = 24 + 8 * (5 * MinTrackBytes + 20 + 4 + 8);
constexpr int64_t MinBoneBytes = 4 + 128;
constexpr int32_t MaxBoneNameLength = 255;
constexpr int32_t ReflectionOperation = 3;
constexpr int32_t BumpOperation = 2;

} // namespace

int32_t DXC_Mesh::Write(File& file) {
    DXC_3dObject::Write(file);
    file.Write(&bounds, sizeof bounds);
    file.WriteInt(texFaceFlag);
    file.WriteInt(visible);
    file.WriteInt(transparencyCache);
    file.WriteInt(materialCount);
    for (int32_t i = 0; i < materialCount; ++i) WriteMeshMaterial(file, materials[i]);
    WriteTextures(file);
    file.WriteString(cloneName);
    file.WriteInt(bones.GetCount());
    if (cloneName.IsEmpty()) {
        if (!geometry) {
            const int32_t empty[3] = {0, 0, 0};
            file.Write(empty, sizeof empty);
        } else if (!geometry->Write(file)) {
            Error("The geometry of this mesh can not be stored");
        }
    }
    file.WriteInt(meshWord);
    for (int32_t i = 0; i < bones.GetCount(); ++i) WriteBoneRecord(file, *bones.GetAt(i));
    return 1;
}

void DXC_Mesh::WriteTextures(File& file) {
    for (int32_t i = 0; i < materialCount; ++i)
        if (!textures[i] || !textures[i]->Write(file))
            Error("The texture of material %i can not be stored", i);
}

int32_t DXC_Mesh::Read(File& file) {
    Error("A mesh record can only be read within a scene load (%s)", file.GetPath().Text());
}

int32_t DXC_Mesh::Read(File& file, const SceneReadContext& context) {
    DXC_3dObject::Read(file);
    file.Read(&bounds, sizeof bounds);
    file.ReadInt(&texFaceFlag);
    file.ReadInt(&visible);
    int32_t transparency = -1;
    file.ReadInt(&transparency);
    int32_t count = 0;
    file.ReadInt(&count);
    if (!file.CheckCount(count, MinMaterialBytes + MinTextureBytes, "material")) return 0;
    SetMaterialCount(count);
    for (int32_t i = 0; i < count; ++i) ReadMeshMaterial(file, materials[i]);
    ReadTextures(file, context);
    transparencyCache = transparency;
    file.ReadString(cloneName);
    int32_t boneCount = 0;
    file.ReadInt(&boneCount);
    if (!file.CheckCount(boneCount, MinBoneBytes, "bone")) return 0;
    SetGeometry(nullptr);
    if (cloneName.IsEmpty()) ReadGeometry(file, context, boneCount);
    file.ReadInt(&meshWord);
    ReadBones(file, boneCount);
    CreateBoneObjects();
    return 1;
}

void DXC_Mesh::ReadTextures(File& file, const SceneReadContext& context) {
    TextureReadOptions options;
    options.loadMaps = context.Option(2) ? 0 : 1;
    // Bump maps load only with the bump-map option, as in a text load.
    options.skipMapType = context.Option(1) ? -1 : BumpOperation;
    options.mipLevels = context.Option(0) ? 1 : 0;
    options.sceneFile = context.sceneFile;
    options.directory = context.startDirectory;
    for (int32_t i = 0; i < materialCount; ++i) {
        std::unique_ptr<DXC_AnimatedTexture> texture = context.graphics->CreateTexture();
        if (!texture || !texture->Read(file, options))
            Error("Textures can not be read by this graphics object");
        textures[i] = std::move(texture);
    }
}

void DXC_Mesh::ReadGeometry(File& file, const SceneReadContext& context, int32_t boneCount) {
    MeshGeometryReadOptions options;
    options.version = context.version;
    options.boneCount = boneCount;
    options.addFormat = context.Option(3) ? D3DFVF_DIFFUSE | D3DFVF_SPECULAR : 0;
    options.systemMemory = context.Option(4);
    for (int32_t i = 0; i < materialCount; ++i)
        for (int32_t slot = 0; textures[i] && slot < DXC_AnimatedTexture::SlotCount; ++slot)
            if (textures[i]->GetSlotOperation(slot) == ReflectionOperation) options.reflectionMap = 1;
    options.addTexCoordSet = options.reflectionMap && context.Option(1);
    std::unique_ptr<DXC_MeshGeometry> read = context.graphics->CreateGeometry(*this);
    if (!read) Error("Mesh geometry can not be read by this graphics object");
    DXC_MeshGeometry* g = read.get();
    SetGeometry(std::move(read));
    const int32_t result = g->Read(file, options);
    if (result == 0) Error("Mesh geometry can not be read by this graphics object");
    if (result == 2) SetGeometry(nullptr); // the record holds no geometry
}

void DXC_Mesh::ReadBones(File& file, int32_t count) {
    bones.Clear();
    for (int32_t i = 0; i < count; ++i) {
        BoneRecord bone;
        ReadBoneRecord(file, bone);
        if (bone.name.Length() > MaxBoneNameLength) {
            file.Error("Bone name of %i characters in mesh '%s' at byte %lld", bone.name.Length(),
                       name.Text(), static_cast<long long>(file.GetPosition()));
            return;
        }
        bones.Add(bone);
    }
}
