#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "platform/d3dx/D3DXMath.h"

class File;

// Animation keys of the position, rotation and scale tracks of a scene object. A track is a
// doubly linked list of keys in ascending time plus an index array built once the track is
// complete, for O(log n) lookup while playing.

// Position and scale key values (36 bytes each). The tangents are used as stored: the loader
// has already scaled them by the neighbouring interval lengths.
struct DXC_PosKeyData {
    D3DXVECTOR3 value;
    D3DXVECTOR3 inTangent; // points away from its key, backwards along the curve
    D3DXVECTOR3 outTangent;
};
struct DXC_ScaleKeyData {
    D3DXVECTOR3 value;
    D3DXVECTOR3 inTangent;
    D3DXVECTOR3 outTangent;
};

// Rotation key (84 bytes): a rotation relative to the previous key, accumulated into the
// absolute rotation when the key is added, plus the TCB parameters and Bezier controls.
struct DXC_RotKeyData {
    D3DXVECTOR3 axis;
    float angle; // radians about axis
    float tension, continuity, bias;
    float easeIn, easeOut;
    D3DXQUATERNION rotation;  // absolute rotation at this key
    D3DXQUATERNION inControl; // TCB Bezier controls, computed by the loader's key conversion
    D3DXQUATERNION outControl;
};

static_assert(sizeof(DXC_PosKeyData) == 36 && sizeof(DXC_ScaleKeyData) == 36);
static_assert(sizeof(DXC_RotKeyData) == 84);

// Interpolation types: position and scale keys of type 1 are cubic Hermite curves, any other
// type is linear; rotation keys of type 2 are TCB, any other type is spherical linear.
constexpr uint16_t KeyTypeLinear = 0;
constexpr uint16_t KeyTypeBezier = 1;
constexpr uint16_t KeyTypeTCB = 2;

template <class T> class DXC_KeyBase {
public:
    DXC_KeyBase() = default;
    // Copies time, data and type; the copy is not linked.
    DXC_KeyBase(const DXC_KeyBase& other) : time(other.time), data(other.data), type(other.type) {}
    DXC_KeyBase& operator=(const DXC_KeyBase&) = delete;
    // Destroying a key destroys every key after it (the list is freed from its head).
    virtual ~DXC_KeyBase();

    // Writes this key and every key after it; returns the number of keys written.
    virtual int32_t Write(File& file) const;
    // Reads this key and, while the stored flag says another follows, creates and reads the
    // following keys (their prev links stay null); returns the number of keys read.
    virtual int32_t Read(File& file);

    float time = 0.0f;
    DXC_KeyBase* next = nullptr;
    DXC_KeyBase* prev = nullptr;
    T data{};
    uint16_t type = KeyTypeLinear;
};

using DXC_PosKey = DXC_KeyBase<DXC_PosKeyData>;
using DXC_RotKey = DXC_KeyBase<DXC_RotKeyData>;
using DXC_ScaleKey = DXC_KeyBase<DXC_ScaleKeyData>;

// What sampling reads of a rotation key: the absolute rotation, the Bezier controls and the
// ease values (not the relative axis and angle, nor the TCB parameters the controls came from).
struct DXC_RotSampleData {
    float easeIn, easeOut;
    D3DXQUATERNION rotation, inControl, outControl;
};

// The part of a key's data that its index entry copies: all of it for position and scale keys,
// the sampled part for rotation keys.
template <class T> struct KeySampleOf {
    using Data = T;
    static const T& From(const T& data) { return data; }
};
template <> struct KeySampleOf<DXC_RotKeyData> {
    using Data = DXC_RotSampleData;
    static DXC_RotSampleData From(const DXC_RotKeyData& d) {
        return {d.easeIn, d.easeOut, d.rotation, d.inControl, d.outControl};
    }
};

// One entry of a track's index: a key's time and a copy of what sampling reads (type and
// values), so that a lookup and the sampling after it read one compact array instead of
// following list links; the keys themselves are listed beside it. A rotation entry fills one
// cache line and is aligned to it. Like every index it describes the keys as they were when it
// was built.
template <class T> struct alignas(std::is_same_v<T, DXC_RotKeyData> ? 64 : 4) KeyIndexEntry {
    float time;
    uint16_t type;
    typename KeySampleOf<T>::Data data;

    static KeyIndexEntry Of(const DXC_KeyBase<T>& key) {
        return {key.time, key.type, KeySampleOf<T>::From(key.data)};
    }
};

static_assert(sizeof(KeyIndexEntry<DXC_RotKeyData>) == 64);

// Where a time falls in a track: the current key, the key after it (null after the last key)
// and the first key (for looping back), as index entries, and the list's first key itself. For
// a track without index the entries are copies held in the pair itself.
template <class T> struct KeyPair {
    const KeyIndexEntry<T>* k = nullptr; // null for an empty track
    const KeyIndexEntry<T>* n = nullptr;
    const KeyIndexEntry<T>* first = nullptr;
    const DXC_KeyBase<T>* firstKey = nullptr;
    const DXC_KeyBase<T>* walked = nullptr; // without index: the current key
    KeyIndexEntry<T> copies[3];
};

// One track: the key list, its stored count and its index.
template <class T> class KeyTrack {
public:
    KeyTrack() = default;
    KeyTrack(const KeyTrack&) = delete;
    KeyTrack& operator=(const KeyTrack&) = delete;
    ~KeyTrack() { Free(); }

    // Inserts a copy of key after every key of lower or equal time (keys of equal time keep
    // the order in which they were added); the count rises by 1. Returns the copy.
    DXC_KeyBase<T>* Insert(const DXC_KeyBase<T>& key);
    // Takes over a list read from a file (head only; prev links may be null).
    void Adopt(DXC_KeyBase<T>* head, int32_t storedCount);
    // Deep copy of other's list (order and links) with its count; no index.
    void CopyFrom(const KeyTrack& other);
    // Deletes keys and index; count 0.
    void Free();

    // Rebuilds the index from the list; returns the number of keys met on the way. The index
    // must be rebuilt after any change of the keys.
    int32_t BuildIndex();
    void FreeIndex();

    // The current key for t: the last key whose time is <= t, or the first key when t lies
    // before every key. Null for an empty track. Searches the index when there is one, else
    // walks the list.
    const DXC_KeyBase<T>* Find(float t) const;
    // The current key, the one after it and the first key, for sampling.
    void FindPair(float t, KeyPair<T>& out) const;

    DXC_KeyBase<T>* First() const { return first; }
    DXC_KeyBase<T>* Last() const { return last; }
    int32_t Count() const { return count; }
    void SetCount(int32_t n) { count = n; }
    // Asks the memory system for the index entries the next lookup will most likely read.
    void PrefetchLookup() const {
        if (!index) return;
        const char* from = reinterpret_cast<const char*>(index + hint);
        const char* to = reinterpret_cast<const char*>(index + (hint + 2 < indexSize ? hint + 2 : indexSize));
        for (; from < to; from += 64) __builtin_prefetch(from);
        __builtin_prefetch(to - 1);
    }
    const KeyIndexEntry<T>* Index() const { return index; }
    int32_t IndexSize() const { return indexSize; }

private:
    DXC_KeyBase<T>* first = nullptr;
    DXC_KeyBase<T>* last = nullptr; // appending in ascending time needs no walk
    int32_t count = 0;              // stored count; BuildIndex checks it against the list
    KeyIndexEntry<T>* index = nullptr;
    DXC_KeyBase<T>** indexKeys = nullptr; // the key of each index entry
    int32_t indexSize = 0;
    mutable int32_t hint = 0; // index entry found last; where the next search looks first
};

// Wraps t into [0, length) for looped animation: the remainder of t divided by length, taken
// up by length when t is negative (so a negative multiple of length wraps to length itself).
// fmod is exact for floats, where length * trunc(t / length) loses every digit of the
// remainder once t / length passes 2^24 and could land far outside [0, length). A length that
// is not positive has nothing to wrap into and gives 0. Inline: every looped object wraps its
// time once per frame.
inline float WrapTime(float t, float length) {
    if (!(length > 0.0f) || !std::isfinite(t)) return 0.0f;
    const float r = std::fmod(t, length); // exact; the sign of t
    if (t >= 0.0f) return r;
    if (r == 0.0f) return length;
    // r + length is rounded; a remainder just below 0 must not round up to length.
    const float w = r + length;
    return w < length ? w : std::nextafter(length, 0.0f);
}

// Ease curve of TCB rotation keys for a in 0..1, easing out of one key and into the next.
float Ease(float a, float from, float to);

// Samples a position or scale track at t (loop and loopLength of the owning object).
// The track must hold at least one key.
D3DXVECTOR3 SamplePositionTrack(const KeyTrack<DXC_PosKeyData>& track, float t, int32_t loop,
                                float loopLength);
D3DXVECTOR3 SampleScaleTrack(const KeyTrack<DXC_ScaleKeyData>& track, float t, int32_t loop,
                             float loopLength);
// Samples the rotation track at t. The track must hold at least one key.
D3DXQUATERNION SampleRotationTrack(const KeyTrack<DXC_RotKeyData>& track, float t, int32_t loop,
                                   float loopLength);
// The same from a pair that FindPair(t) filled, so that the three lookups of an evaluation can
// be made before any values are read.
D3DXVECTOR3 SamplePositionPair(const KeyPair<DXC_PosKeyData>& pair, float t, int32_t loop, float loopLength);
D3DXVECTOR3 SampleScalePair(const KeyPair<DXC_ScaleKeyData>& pair, float t, int32_t loop, float loopLength);
D3DXQUATERNION SampleRotationPair(const KeyPair<DXC_RotKeyData>& pair, float t, int32_t loop,
                                  float loopLength);

extern template class DXC_KeyBase<DXC_PosKeyData>;
extern template class DXC_KeyBase<DXC_RotKeyData>;
extern template class DXC_KeyBase<DXC_ScaleKeyData>;
extern template class KeyTrack<DXC_PosKeyData>;
extern template class KeyTrack<DXC_RotKeyData>;
extern template class KeyTrack<DXC_ScaleKeyData>;
