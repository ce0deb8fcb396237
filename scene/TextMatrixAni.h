#pragma once

#include "foundation/ErrorReport.h"
#include "scene/ArrayTrack.h"

class File;

// The uv animation of one texture map slot: five float tracks and the five values used where
// a track has no keys. Every texture has one per map slot.
class DXC_TextMatrixAni : public DXC_Base {
public:
    enum Value { UOffset, VOffset, UTiling, VTiling, WAngle, ValueCount };

    DXC_TextMatrixAni();

    // The five values at t: each from its track when the track has keys, else the base value.
    void Sample(float t, float values[ValueCount]) const;

    // The five track records, then the five base values.
    int32_t Write(File& file) const;
    int32_t Read(File& file);

    FloatTrack tracks[ValueCount];
    float baseValues[ValueCount]; // 0, 0, 1, 1, 0 at construction: no transform
};
