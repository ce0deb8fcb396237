#include "scene/Keys.h"

#include <cmath>

#include "foundation/File.h"

// ---- keys ----

template <class T> DXC_KeyBase<T>::~DXC_KeyBase() {
    // Iterative, so that a long track cannot exhaust the stack.
    DXC_KeyBase* k = next;
    next = nullptr;
    while (k) {
        DXC_KeyBase* after = k->next;
        k->next = nullptr;
        delete k;
        k = after;
    }
}

template <class T> int32_t DXC_KeyBase<T>::Write(File& file) const {
    int32_t written = 0;
    for (const DXC_KeyBase* k = this; k; k = k->next) {
        file.Write(&k->time, 4);
        file.WriteShort(k->type);
        file.Write(&k->data, sizeof(T));
        file.WriteByte(k->next ? 1 : 0);
        ++written;
    }
    return written;
}

template <class T> int32_t DXC_KeyBase<T>::Read(File& file) {
    delete next;
    next = nullptr;
    int32_t read = 0;
    for (DXC_KeyBase* k = this;;) {
        uint8_t more = 0;
        if (!file.ReadInt(&k->time) || !file.ReadShort(&k->type) || !file.Read(&k->data, sizeof(T)) ||
            !file.ReadByte(&more))
            return read;
        ++read;
        if (!more) return read;
        k->next = new DXC_KeyBase;
        k = k->next;
    }
}

template class DXC_KeyBase<DXC_PosKeyData>;
template class DXC_KeyBase<DXC_RotKeyData>;
template class DXC_KeyBase<DXC_ScaleKeyData>;

// ---- tracks ----

template <class T> DXC_KeyBase<T>* KeyTrack<T>::Insert(const DXC_KeyBase<T>& key) {
    FreeIndex(); // the index would no longer describe the list
    auto* k = new DXC_KeyBase<T>(key);
    ++count;
    if (!first) {
        first = last = k;
        return k;
    }
    if (k->time >= last->time) { // the common case while loading: append without a walk
        k->prev = last;
        last->next = k;
        last = k;
        return k;
    }
    DXC_KeyBase<T>* at = first;
    while (k->time >= at->time) at = at->next; // stops before last, whose time is greater
    k->next = at;
    k->prev = at->prev;
    if (at->prev)
        at->prev->next = k;
    else
        first = k; // a key earlier than every other becomes the head instead of getting lost
    at->prev = k;
    return k;
}

template <class T> void KeyTrack<T>::Adopt(DXC_KeyBase<T>* head, int32_t storedCount) {
    Free();
    first = head;
    count = storedCount;
    // Restore the back links and the tail so that later inserts stay correct.
    DXC_KeyBase<T>* prev = nullptr;
    for (DXC_KeyBase<T>* k = head; k; k = k->next) {
        k->prev = prev;
        prev = k;
    }
    last = prev;
}

template <class T> void KeyTrack<T>::CopyFrom(const KeyTrack& other) {
    Free();
    for (const DXC_KeyBase<T>* k = other.first; k; k = k->next) {
        auto* copy = new DXC_KeyBase<T>(*k);
        copy->prev = last;
        if (last)
            last->next = copy;
        else
            first = copy;
        last = copy;
    }
    count = other.count;
}

template <class T> void KeyTrack<T>::Free() {
    FreeIndex();
    delete first; // frees the whole list
    first = last = nullptr;
    count = 0;
}

template <class T> void KeyTrack<T>::FreeIndex() {
    delete[] index;
    delete[] indexKeys;
    index = nullptr;
    indexKeys = nullptr;
    indexSize = 0;
    hint = 0;
}

template <class T> int32_t KeyTrack<T>::BuildIndex() {
    FreeIndex();
    int32_t met = 0;
    for (const DXC_KeyBase<T>* k = first; k; k = k->next) ++met;
    if (met != count || met == 0) return met;
    index = new KeyIndexEntry<T>[met];
    indexKeys = new DXC_KeyBase<T>*[met];
    int32_t i = 0;
    for (DXC_KeyBase<T>* k = first; k; k = k->next, ++i) {
        index[i] = KeyIndexEntry<T>::Of(*k);
        indexKeys[i] = k;
    }
    indexSize = met;
    return met;
}

template <class T> void KeyTrack<T>::FindPair(float t, KeyPair<T>& out) const {
    if (index) {
        // Playback moves forward a little each frame, so the key found last time, or the one
        // after it, is nearly always the answer; checking them first spares the search and
        // its cache misses. The result is the same either way.
        int32_t found = -1;
        for (int32_t i = hint; i < hint + 2 && i < indexSize; ++i)
            if ((i == 0 || index[i].time <= t) && (i + 1 == indexSize || t < index[i + 1].time)) {
                found = i;
                break;
            }
        if (found < 0) {
            int32_t lo = 0, hi = indexSize;
            while (lo < hi - 1) {
                int32_t mid = (lo + hi) / 2;
                if (t < index[mid].time)
                    hi = mid;
                else
                    lo = mid;
            }
            found = lo;
        }
        hint = found;
        out.k = &index[found];
        out.n = found + 1 < indexSize ? &index[found + 1] : nullptr;
        out.first = index;
        out.firstKey = first;
        return;
    }
    // No index yet (a track still being built): walk the list and sample from copies.
    const DXC_KeyBase<T>* k = first;
    out.k = out.n = out.first = nullptr;
    out.firstKey = out.walked = nullptr;
    if (!k) return;
    while (k->next && !(t < k->next->time)) k = k->next;
    auto copy = [&out](int slot, const DXC_KeyBase<T>* key) {
        out.copies[slot] = KeyIndexEntry<T>::Of(*key);
        return &out.copies[slot];
    };
    out.k = copy(0, k);
    out.n = k->next ? copy(1, k->next) : nullptr;
    out.first = copy(2, first);
    out.firstKey = first;
    out.walked = k;
}

template <class T> const DXC_KeyBase<T>* KeyTrack<T>::Find(float t) const {
    KeyPair<T> pair;
    FindPair(t, pair);
    if (!pair.k) return nullptr;
    return index ? indexKeys[pair.k - index] : pair.walked;
}

template class KeyTrack<DXC_PosKeyData>;
template class KeyTrack<DXC_RotKeyData>;
template class KeyTrack<DXC_ScaleKeyData>;

// ---- time ----

float Ease(float a, float from, float to) {
    float sum = from + to;
    if (sum == 0.0f) return a;
    if (sum > 1.0f) {
        from /= sum;
        to /= sum;
    }
    float k = 1.0f / (2.0f - from - to);
    if (a < from) return a * a * k / from;
    if (a < 1.0f - to) return k * (2.0f * a - from);
    if (!(to > 0.0f)) return 1.0f; // a rounded up to 1 with no ease-in: the end of the curve
    float r = 1.0f - a;
    return 1.0f - r * r * k / to;
}

// ---- sampling ----

namespace {

template <class T>
D3DXVECTOR3 HermiteOrLinear(const KeyIndexEntry<T>& k, const KeyIndexEntry<T>& n, float s) {
    if (k.type != KeyTypeBezier) return k.data.value + (n.data.value - k.data.value) * s;
    float s2 = s * s, s3 = s2 * s;
    float h1 = 2.0f * s3 - 3.0f * s2 + 1.0f;
    float h2 = 3.0f * s2 - 2.0f * s3;
    float h3 = s3 - 2.0f * s2 + s;
    float h4 = s3 - s2;
    return k.data.value * h1 + k.data.outTangent * h3 - n.data.inTangent * h4 + n.data.value * h2;
}

template <class T> D3DXVECTOR3 SampleVector(const KeyPair<T>& pair, float t, int32_t loop, float loopLength) {
    const KeyIndexEntry<T>& k = *pair.k;
    if (t < k.time) return k.data.value;
    if (pair.n) return HermiteOrLinear(k, *pair.n, (t - k.time) / (pair.n->time - k.time));
    float span = loopLength - k.time;
    if (!loop || !(span > 0.0f)) return k.data.value; // held (or nothing left to blend over)
    return HermiteOrLinear(k, *pair.first, (t - k.time) / span);
}

// Slerp as D3DXQuaternionSlerp computes it (shorter arc), evaluated without trigonometry for
// the common case of nearby rotations, since sampling a TCB segment takes six of them per
// frame. The weight sin(t theta) / sin(theta) is the series sum of a_i (cos theta - 1)^i with
// a_0 = t and a_i = a_(i-1) (t^2 - i^2) / (i (2i + 1)). For t in 0..1 each term is less than
// r = (1 - cos theta) / 2 times the one before, so n terms leave an error below r^(n+1) / (1 - r):
// the number of terms is chosen from r to keep that below 1e-7. Other cases (wide angles,
// t outside 0..1) take the library function.
constexpr int kMaxSlerpTerms = 8;
constexpr float kSeriesMinCos = 0.7f; // r <= 0.15: 8 terms give 4e-8

struct SeriesCoefficients {
    float u[kMaxSlerpTerms + 1], v[kMaxSlerpTerms + 1];
    constexpr SeriesCoefficients() : u(), v() {
        for (int i = 1; i <= kMaxSlerpTerms; ++i) {
            u[i] = 1.0f / static_cast<float>(i * (2 * i + 1));
            v[i] = static_cast<float>(i) / static_cast<float>(2 * i + 1);
        }
    }
};
constexpr SeriesCoefficients kSeries;

// The two weights sin((1 - t) theta) / sin(theta) and sin(t theta) / sin(theta), N terms each,
// unrolled (N is a constant) and interleaved so that the two chains run side by side.
template <int N> void SeriesWeights(float t, float y, float& wd, float& wt) {
    const float d = 1.0f - t, t2 = t * t, d2 = d * d;
    float at = 1.0f, ad = 1.0f;
    for (int i = N; i >= 1; --i) {
        at = 1.0f + (kSeries.u[i] * t2 - kSeries.v[i]) * y * at;
        ad = 1.0f + (kSeries.u[i] * d2 - kSeries.v[i]) * y * ad;
    }
    wt = at * t;
    wd = ad * d;
}

// Inlined into the TCB chain: six calls per sample made the call overhead measurable.
inline __attribute__((always_inline)) D3DXQUATERNION Slerp(const D3DXQUATERNION& a, const D3DXQUATERNION& b,
                                                           float t) {
    // The six slerps of a TCB segment are a chain three deep, so their latency counts: the dot
    // product is summed pairwise, and the shorter arc is taken by a sign copy, not a multiply.
    const float dot = (a.x * b.x + a.y * b.y) + (a.z * b.z + a.w * b.w);
    const float x = std::fabs(dot);
    if (!(x >= kSeriesMinCos && t >= 0.0f && t <= 1.0f)) {
        D3DXQUATERNION q;
        D3DXQuaternionSlerp(&q, &a, &b, t);
        return q;
    }
    const float y = x - 1.0f;
    float wd, wt;
    if (y >= -0.002f) // r <= 0.001
        SeriesWeights<2>(t, y, wd, wt);
    else if (y >= -0.02f) // r <= 0.01
        SeriesWeights<3>(t, y, wd, wt);
    else if (y >= -0.1f) // r <= 0.05
        SeriesWeights<5>(t, y, wd, wt);
    else
        SeriesWeights<kMaxSlerpTerms>(t, y, wd, wt);
    wt = std::copysign(wt, dot);
    return D3DXQUATERNION(wd * a.x + wt * b.x, wd * a.y + wt * b.y, wd * a.z + wt * b.z, wd * a.w + wt * b.w);
}

// The TCB segment: a cubic Bezier curve on quaternions through the key rotations and their
// controls, evaluated by repeated slerp at the eased parameter.
D3DXQUATERNION SampleTcb(const KeyIndexEntry<DXC_RotKeyData>& k, const KeyIndexEntry<DXC_RotKeyData>& n,
                         float w) {
    float u = Ease(w, k.data.easeOut, n.data.easeIn);
    D3DXQUATERNION q1 = Slerp(k.data.rotation, k.data.outControl, u);
    D3DXQUATERNION q2 = Slerp(k.data.outControl, n.data.inControl, u);
    D3DXQUATERNION q3 = Slerp(n.data.inControl, n.data.rotation, u);
    D3DXQUATERNION q4 = Slerp(q1, q2, u);
    D3DXQUATERNION q5 = Slerp(q2, q3, u);
    return Slerp(q4, q5, u);
}

} // namespace

D3DXVECTOR3 SamplePositionTrack(const KeyTrack<DXC_PosKeyData>& track, float t, int32_t loop,
                                float loopLength) {
    KeyPair<DXC_PosKeyData> pair;
    track.FindPair(t, pair);
    return SampleVector(pair, t, loop, loopLength);
}

D3DXVECTOR3 SampleScaleTrack(const KeyTrack<DXC_ScaleKeyData>& track, float t, int32_t loop,
                             float loopLength) {
    KeyPair<DXC_ScaleKeyData> pair;
    track.FindPair(t, pair);
    return SampleVector(pair, t, loop, loopLength);
}

D3DXQUATERNION SampleRotationTrack(const KeyTrack<DXC_RotKeyData>& track, float t, int32_t loop,
                                   float loopLength) {
    KeyPair<DXC_RotKeyData> pair;
    track.FindPair(t, pair);
    return SampleRotationPair(pair, t, loop, loopLength);
}

D3DXVECTOR3 SamplePositionPair(const KeyPair<DXC_PosKeyData>& pair, float t, int32_t loop, float loopLength) {
    return SampleVector(pair, t, loop, loopLength);
}

D3DXVECTOR3 SampleScalePair(const KeyPair<DXC_ScaleKeyData>& pair, float t, int32_t loop, float loopLength) {
    return SampleVector(pair, t, loop, loopLength);
}

D3DXQUATERNION SampleRotationPair(const KeyPair<DXC_RotKeyData>& pair, float t, int32_t loop,
                                  float loopLength) {
    const KeyIndexEntry<DXC_RotKeyData>& k = *pair.k;
    if (t < k.time) { // before the first key: its own relative rotation
        const DXC_RotKeyData& first = pair.firstKey->data;
        D3DXQUATERNION q;
        D3DXQuaternionRotationAxis(&q, &first.axis, first.angle);
        return q;
    }
    if (const KeyIndexEntry<DXC_RotKeyData>* n = pair.n) {
        float w = (t - k.time) / (n->time - k.time);
        if (k.type == KeyTypeTCB) return SampleTcb(k, *n, w);
        return Slerp(k.data.rotation, n->data.rotation, w);
    }
    float span = loopLength - k.time;
    if (!loop || !(span > 0.0f)) return k.data.rotation;
    return Slerp(k.data.rotation, pair.first->data.rotation, (t - k.time) / span);
}
