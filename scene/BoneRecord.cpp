#include "scene/BoneRecord.h"

#include "foundation/File.h"

void WriteBoneRecord(File& file, const BoneRecord& bone) {
    file.WriteString(bone.name);
    file.Write(&bone.boneInit, sizeof(D3DXMATRIX));
    file.Write(&bone.meshInit, sizeof(D3DXMATRIX));
}

void ReadBoneRecord(File& file, BoneRecord& bone) {
    file.ReadString(bone.name);
    file.Read(&bone.boneInit, sizeof(D3DXMATRIX));
    file.Read(&bone.meshInit, sizeof(D3DXMATRIX));
    bone.ComputeCombined();
}
