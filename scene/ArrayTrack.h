#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/D3D8Types.h"

class File;

// Array tracks animate material colours and opacity and the uv placement of texture slots:
// a header and a key array sorted by time, sampled once per frame. Key times are seconds and
// the tangents are already scaled by the interval lengths.

struct FloatKey {
    float time;
    float value;
    float inTangent;
    float outTangent;
};

// Colour key: red, green, blue and alpha (alpha always 1).
struct ColourKey {
    float time;
    D3DCOLORVALUE value;
    D3DCOLORVALUE inTangent;
    D3DCOLORVALUE outTangent;
};

static_assert(sizeof(FloatKey) == 16 && sizeof(ColourKey) == 52, "keys are stored raw");

constexpr int32_t ArrayTrackBezier = 1;

template <class Key> struct ArrayTrack {
    int32_t type = ArrayTrackBezier; // 1 Hermite with tangents, otherwise linear
    uint8_t loop = 0;                // 1: the track repeats
    uint8_t spare = 0;               // stored and restored, not used by sampling
    float endTime = 0.0f;            // loop end; sampling never uses less than the last key's time
    std::vector<Key> keys;           // no keys: the track is not used

    int32_t Count() const { return static_cast<int32_t>(keys.size()); }
};

using FloatTrack = ArrayTrack<FloatKey>;
using ColourTrack = ArrayTrack<ColourKey>;

// Value of a float track at t and, when derivative is given, its rate of change there.
// A track without keys gives 0.
float SampleFloat(const FloatTrack& track, float t, float* derivative = nullptr);
// Red, green and blue of a colour track at t; alpha is 1. A track without keys gives black.
D3DCOLORVALUE SampleColour(const ColourTrack& track, float t);

// The stored track record: count, type (int32 each), loop and spare byte, endTime, the keys.
void WriteArrayTrack(File& file, const FloatTrack& track);
void WriteArrayTrack(File& file, const ColourTrack& track);
// A count below 0 or beyond the rest of the file is reported as a damaged file.
void ReadArrayTrack(File& file, FloatTrack& track);
void ReadArrayTrack(File& file, ColourTrack& track);
