#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/String.h"
#include "platform/d3d8/D3D8Types.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/AnimatedTexture.h"
#include "scene/ArrayTrack.h"

// The uv placement of one map: five animated values, each a float track with its base value
// for when the track has no keys.
struct UVParameters {
    enum Value { UOffset, VOffset, UTiling, VTiling, WAngle, ValueCount };
    FloatTrack tracks[ValueCount];
    float base[ValueCount] = {0.0f, 0.0f, 1.0f, 1.0f, 0.0f};
};

// Timing of an image sequence used as a map.
struct TimeParameters {
    float startFrame = 0.0f;
    float playbackRate = 1.0f;
    int32_t endCondition = 0; // 0 loop, 1 ping-pong, 2 hold
};

// One map of a material ("MAP_DIFFUSE", "MAP_REFLECT", "MAP_BUMP").
struct MapSlot {
    String bitmap; // empty: no map
    D3DXMATRIX textureMatrix;
    float amount = 0.0f;
    UVParameters uv;
    TimeParameters time;

    MapSlot() { D3DXMatrixIdentity(&textureMatrix); }
};

// A material as the file describes it ("MATERIAL" or "SUBMATERIAL"), and after finalisation
// its Direct3D values, render flags and texture. A material owns its sub-materials.
struct MaterialRecord {
    MaterialRecord() = default;
    MaterialRecord(const MaterialRecord&) = delete;
    MaterialRecord& operator=(const MaterialRecord&) = delete;

    String name;
    MapSlot diffuseMap, reflectMap, bumpMap;
    int32_t numSubMaterials = 0; // the "NUMSUBMTLS" value, not the count of blocks
    std::vector<std::unique_ptr<MaterialRecord>> subMaterials;

    D3DCOLORVALUE diffuse = {0, 0, 0, 1};
    D3DCOLORVALUE ambient = {0, 0, 0, 1};
    D3DCOLORVALUE specular = {0, 0, 0, 1};
    D3DCOLORVALUE selfIllumination = {0, 0, 0, 1};
    float shineStrength = 0.0f;
    float shine = 0.0f;
    float transparency = 0.0f;
    int32_t transparencyType = 0; // 0 normal, 1 additive, 2 subtractive
    uint8_t mirrorU = 0, mirrorV = 0, tileU = 1, tileV = 1;
    int32_t twoSided = 0;

    // Animation tracks (times in ticks until finalisation converts them).
    ColourTrack diffuseTrack, ambientTrack, specularTrack, selfIllumTrack;
    FloatTrack opacityTrack; // stored inverted: the values are transparencies

    // Set by finalisation.
    int32_t finished = 0; // finalised once: a later material list must not convert it again
    int32_t hasDiffuseMap = 0, hasReflectionMap = 0, hasBumpMap = 0;
    D3DMATERIAL8 d3dMaterial = {};
    int32_t transparent = 0;
    int32_t reflectionSlot = -1;
    std::unique_ptr<DXC_AnimatedTexture> texture;
    String slotFileNames[DXC_AnimatedTexture::SlotCount]; // names as written, per loaded slot
};
