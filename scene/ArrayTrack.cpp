#include "scene/ArrayTrack.h"

#include <algorithm>

#include "foundation/File.h"
#include "scene/Keys.h"

namespace {

// Where t falls in a track: key k, the key n after it (key 0 with time endTime when a loop
// wraps back), and the fraction s between them. hold: k's value applies unchanged.
template <class Key> struct Span {
    const Key* k;
    const Key* n;
    float length; // n's time - k's time
    float s;
    bool hold;
};

template <class Key> Span<Key> Locate(const ArrayTrack<Key>& track, float x) {
    const Key* keys = track.keys.data();
    const int32_t count = track.Count();
    const Key& first = keys[0];
    const Key& last = keys[count - 1];
    const float end = std::max(track.endTime, last.time);
    float t;
    int32_t hi;
    if (track.loop) {
        t = WrapTime(x, end - first.time) + first.time;
        hi = count; // the time at index count stands for endTime
    } else {
        if (!(x > first.time)) return {&first, &first, 0.0f, 0.0f, true};
        if (x >= last.time) return {&last, &last, 0.0f, 0.0f, true};
        t = x;
        hi = count - 1;
    }
    auto timeAt = [&](int32_t i) { return i == count ? end : keys[i].time; };

    // Interpolation search: guess the key from t's place between the bounds, which finds the
    // pair in one or two steps for evenly spaced keys.
    int32_t lo = 0;
    while (lo + 1 < hi) {
        const float f = (t - timeAt(lo)) / (timeAt(hi) - timeAt(lo)) * static_cast<float>(hi - lo);
        int32_t g;
        if (!(f >= 1.0f)) // also NaN from equal times
            g = lo + 1;
        else if (f >= static_cast<float>(hi - lo - 1))
            g = hi - 1;
        else
            g = lo + static_cast<int32_t>(f);
        if (t >= timeAt(g))
            lo = g;
        else
            hi = g;
    }
    const Key* k = &keys[lo];
    const Key* n = hi == count ? &keys[0] : &keys[hi];
    const float length = timeAt(hi) - k->time;
    if (!(length > 0.0f)) return {k, k, 0.0f, 0.0f, true};
    return {k, n, length, (t - k->time) / length, false};
}

struct Weights {
    float h1, h2, h3, h4;
};

Weights Hermite(float s) {
    const float s2 = s * s, s3 = s2 * s;
    return {2.0f * s3 - 3.0f * s2 + 1.0f, 3.0f * s2 - 2.0f * s3, s3 - 2.0f * s2 + s, s3 - s2};
}

float Blend(int32_t type, float s, float kValue, float kOut, float nIn, float nValue) {
    if (type != ArrayTrackBezier) return kValue + (nValue - kValue) * s;
    const Weights w = Hermite(s);
    return w.h1 * kValue + w.h3 * kOut - w.h4 * nIn + w.h2 * nValue;
}

template <class Key> void WriteTrack(File& file, const ArrayTrack<Key>& track) {
    file.WriteInt(track.Count());
    file.WriteInt(track.type);
    file.WriteByte(track.loop);
    file.WriteByte(track.spare);
    file.Write(&track.endTime, sizeof(float));
    if (!track.keys.empty())
        file.Write(track.keys.data(), static_cast<int32_t>(sizeof(Key) * track.keys.size()));
}

template <class Key> void ReadTrack(File& file, ArrayTrack<Key>& track) {
    int32_t count = 0;
    track.keys.clear();
    file.ReadInt(&count);
    file.ReadInt(&track.type);
    file.ReadByte(&track.loop);
    file.ReadByte(&track.spare);
    file.ReadInt(&track.endTime);
    // Check the count against the bytes left before allocating for it.
    if (count < 0 || static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(Key)) >
                         static_cast<int64_t>(file.GetSize()) - file.GetPosition()) {
        file.Error("Error reading from file");
        return;
    }
    track.keys.resize(static_cast<size_t>(count));
    if (count > 0 && !file.Read(track.keys.data(), static_cast<int32_t>(sizeof(Key)) * count))
        track.keys.clear();
}

} // namespace

float SampleFloat(const FloatTrack& track, float t, float* derivative) {
    if (derivative) *derivative = 0.0f;
    if (track.keys.empty()) return 0.0f;
    const Span<FloatKey> sp = Locate(track, t);
    if (sp.hold) return sp.k->value;
    const FloatKey& k = *sp.k;
    const FloatKey& n = *sp.n;
    const float s = sp.s;
    if (derivative) {
        if (track.type == ArrayTrackBezier)
            *derivative =
                (k.outTangent * (3.0f * s * s - 4.0f * s + 1.0f) + k.value * (6.0f * s * s - 6.0f * s) -
                 n.inTangent * (3.0f * s * s - 2.0f * s) + n.value * (6.0f * s - 6.0f * s * s)) /
                sp.length;
        else
            *derivative = (n.value - k.value) / sp.length;
    }
    return Blend(track.type, s, k.value, k.outTangent, n.inTangent, n.value);
}

D3DCOLORVALUE SampleColour(const ColourTrack& track, float t) {
    if (track.keys.empty()) return {0.0f, 0.0f, 0.0f, 1.0f};
    const Span<ColourKey> sp = Locate(track, t);
    const ColourKey& k = *sp.k;
    if (sp.hold) return {k.value.r, k.value.g, k.value.b, 1.0f};
    const ColourKey& n = *sp.n;
    return {Blend(track.type, sp.s, k.value.r, k.outTangent.r, n.inTangent.r, n.value.r),
            Blend(track.type, sp.s, k.value.g, k.outTangent.g, n.inTangent.g, n.value.g),
            Blend(track.type, sp.s, k.value.b, k.outTangent.b, n.inTangent.b, n.value.b), 1.0f};
}

void WriteArrayTrack(File& file, const FloatTrack& track) {
    WriteTrack(file, track);
}
void WriteArrayTrack(File& file, const ColourTrack& track) {
    WriteTrack(file, track);
}
void ReadArrayTrack(File& file, FloatTrack& track) {
    ReadTrack(file, track);
}
void ReadArrayTrack(File& file, ColourTrack& track) {
    ReadTrack(file, track);
}
