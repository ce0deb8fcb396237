#pragma once

#include <cstdint>

#include "platform/d3d8/D3D8Types.h"
#include "scene/ArrayTrack.h"

class File;

// The material of one mesh subset: the Direct3D material values, the render flags and the
// animation tracks that change them while playing.
struct MeshMaterial {
    D3DMATERIAL8 material; // diffuse, ambient, specular, emissive, power
    int32_t twoSided;
    int32_t transparent;       // drawn in the transparent pass
    int32_t reflectionChannel; // slot of the reflection map, -1 none
    float transparency;        // 0 opaque to 1 invisible
    ColourTrack diffuseTrack;
    ColourTrack ambientTrack;
    ColourTrack specularTrack;
    ColourTrack selfIllumTrack;
    FloatTrack opacityTrack; // holds transparency, that is 1 - opacity
    uint8_t mirrorU, mirrorV, tileU, tileV;
    uint8_t fifthFlag;        // stored unchanged; 1 by default
    int32_t transparencyType; // 0 normal, 1 additive, 2 subtractive

    MeshMaterial() { Reset(); }
    // Black colours, power 0, no flags but tiling, no reflection slot, no tracks.
    void Reset();
    // The colours a newly created mesh gives each of its materials: light grey diffuse and
    // ambient (0.9, opaque), black specular and emissive, power 0.
    void SetNewMeshColours();
};

// Applies the material's tracks at t, each only when it has keys: diffuse, specular, ambient,
// then self-illumination into the ambient colour (so it wins over the ambient track), then
// the opacity track into transparency.
void UpdateMaterial(MeshMaterial& material, float t);

// The stored material record (colours, power, flags, the five tracks, the flag bytes and the
// transparency type).
void WriteMeshMaterial(File& file, const MeshMaterial& material);
void ReadMeshMaterial(File& file, MeshMaterial& material);
