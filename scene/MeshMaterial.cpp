#include "scene/MeshMaterial.h"

#include <cstring>

#include "foundation/File.h"

void MeshMaterial::SetNewMeshColours() {
    material.Diffuse = D3DCOLORVALUE{0.9f, 0.9f, 0.9f, 1.0f};
    material.Ambient = D3DCOLORVALUE{0.9f, 0.9f, 0.9f, 1.0f};
    material.Specular = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 1.0f};
    material.Emissive = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 1.0f};
    material.Power = 0.0f;
}

void MeshMaterial::Reset() {
    std::memset(&material, 0, sizeof material);
    twoSided = 0;
    transparent = 0;
    reflectionChannel = -1;
    transparency = 0.0f;
    diffuseTrack = ColourTrack();
    ambientTrack = ColourTrack();
    specularTrack = ColourTrack();
    selfIllumTrack = ColourTrack();
    opacityTrack = FloatTrack();
    mirrorU = mirrorV = 0;
    tileU = tileV = 1;
    fifthFlag = 1;
    transparencyType = 0;
}

void UpdateMaterial(MeshMaterial& m, float t) {
    if (!m.diffuseTrack.keys.empty()) m.material.Diffuse = SampleColour(m.diffuseTrack, t);
    if (!m.specularTrack.keys.empty()) m.material.Specular = SampleColour(m.specularTrack, t);
    if (!m.ambientTrack.keys.empty()) m.material.Ambient = SampleColour(m.ambientTrack, t);
    if (!m.selfIllumTrack.keys.empty()) m.material.Ambient = SampleColour(m.selfIllumTrack, t);
    if (!m.opacityTrack.keys.empty()) m.transparency = SampleFloat(m.opacityTrack, t);
}

void WriteMeshMaterial(File& file, const MeshMaterial& m) {
    file.Write(&m.material, sizeof m.material);
    file.WriteInt(m.twoSided);
    file.WriteInt(m.transparent);
    file.WriteInt(m.reflectionChannel);
    file.Write(&m.transparency, sizeof(float));
    WriteArrayTrack(file, m.diffuseTrack);
    WriteArrayTrack(file, m.ambientTrack);
    WriteArrayTrack(file, m.specularTrack);
    WriteArrayTrack(file, m.selfIllumTrack);
    WriteArrayTrack(file, m.opacityTrack);
    const uint8_t flags[5] = {m.mirrorU, m.mirrorV, m.tileU, m.tileV, m.fifthFlag};
    file.Write(flags, 5);
    file.WriteInt(m.transparencyType);
}

void ReadMeshMaterial(File& file, MeshMaterial& m) {
    m.Reset();
    file.Read(&m.material, sizeof m.material);
    file.ReadInt(&m.twoSided);
    file.ReadInt(&m.transparent);
    file.ReadInt(&m.reflectionChannel);
    file.ReadInt(&m.transparency);
    ReadArrayTrack(file, m.diffuseTrack);
    ReadArrayTrack(file, m.ambientTrack);
    ReadArrayTrack(file, m.specularTrack);
    ReadArrayTrack(file, m.selfIllumTrack);
    ReadArrayTrack(file, m.opacityTrack);
    uint8_t flags[5] = {0, 0, 1, 1, 1};
    file.Read(flags, 5);
    m.mirrorU = flags[0];
    m.mirrorV = flags[1];
    m.tileU = flags[2];
    m.tileV = flags[3];
    m.fifthFlag = flags[4];
    file.ReadInt(&m.transparencyType);
}
