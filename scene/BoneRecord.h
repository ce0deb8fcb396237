#pragma once

#include "foundation/String.h"
#include "platform/d3dx/D3DXMath.h"

class File;

// One bone of a skinned mesh: the bone's name (linked to a scene object by the scene) and the
// two initial matrices the skinning works from.
struct BoneRecord {
    String name;
    D3DXMATRIX boneInit;
    D3DXMATRIX meshInit;
    D3DXMATRIX combined; // meshInit x boneInit

    BoneRecord() {
        D3DXMatrixIdentity(&boneInit);
        D3DXMatrixIdentity(&meshInit);
        D3DXMatrixIdentity(&combined);
    }

    void ComputeCombined() { D3DXMatrixMultiply(&combined, &meshInit, &boneInit); }
};

// The stored bone record: name, bone init matrix, mesh init matrix; reading computes the
// combined matrix.
void WriteBoneRecord(File& file, const BoneRecord& bone);
void ReadBoneRecord(File& file, BoneRecord& bone);
