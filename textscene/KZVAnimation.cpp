// Transform blocks, animation controllers and the key conversion after loading.

#include <cmath>

#include "scene/Object3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/KeywordTable.h"

namespace {

constexpr float Pi = 3.141592f;
constexpr float TwoPi = 6.283184f;
// Material and map tracks take at most this many key lines.
constexpr int32_t MaxTrackKeys = 1024;
// One rotation key may be split into at most this many keys.
constexpr int32_t MaxRotationSplits = 4096;

// Scales the tangents of Bezier position or scale keys by their neighbouring intervals,
// from the first key while the keys are Bezier, then converts every time.
template <class Data>
void ConvertBezierTrack(KeyTrack<Data>& track, const KZVLoader& loader,
                        float (KZVLoader::*toSeconds)(float) const) {
    for (auto* key = track.First(); key && key->type == KeyTypeBezier; key = key->next) {
        if (key->prev) key->data.inTangent *= key->time - key->prev->time;
        if (key->next) key->data.outTangent *= key->next->time - key->time;
    }
    for (auto* key = track.First(); key; key = key->next) key->time = (loader.*toSeconds)(key->time);
}

void ScaleColour(D3DCOLORVALUE& c, float f) {
    c.r *= f;
    c.g *= f;
    c.b *= f;
    c.a *= f;
}

D3DXQUATERNION Slerp(const D3DXQUATERNION& a, const D3DXQUATERNION& b, float t) {
    D3DXQUATERNION out;
    D3DXQuaternionSlerp(&out, &a, &b, t);
    return out;
}

} // namespace

int32_t KZVLoader::ReadTransform(NodeTransform& record) {
    int32_t result = 0;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) break;
        if (id == KW_END_OF_DATA) {
            result = 1;
            break;
        }
        float v[3];
        switch (id) {
        case KW_TM_ROW0:
        case KW_TM_ROW1:
        case KW_TM_ROW2:
        case KW_TM_ROW3: {
            const int32_t row = id == KW_TM_ROW0 ? 0 : id == KW_TM_ROW1 ? 1 : id == KW_TM_ROW2 ? 2 : 3;
            float* m = record.matrix.m[row];
            ScanVector(m);
            m[3] = row == 3 ? 1.0f : 0.0f;
            break;
        }
        case KW_TM_POS:
            ScanVector(record.position);
            break;
        case KW_TM_SCALE:
            ScanVector(record.scale);
            break;
        case KW_TM_ROTAXIS:
            if (!ScanVector(v)) record.rotationAxis = -D3DXVECTOR3(v);
            break;
        case KW_TM_ROTANGLE:
            ScanFloat(record.rotationAngle);
            break;
        default:
            break;
        }
    }

    // The matrix the decomposition gives, compared axis by axis with the matrix as written:
    // where their signs differ the node is mirrored.
    D3DXMATRIX scaling, rotation, translation, rebuilt;
    D3DXMatrixScaling(&scaling, record.scale.x, record.scale.y, record.scale.z);
    D3DXMatrixRotationAxis(&rotation, &record.rotationAxis, record.rotationAngle);
    D3DXMatrixTranslation(&translation, record.position.x, record.position.y, record.position.z);
    D3DXMatrixMultiply(&rebuilt, &scaling, &rotation);
    D3DXMatrixMultiply(&rebuilt, &rebuilt, &translation);
    record.mirror = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    for (int32_t j = 0; j < 3; ++j) {
        int32_t r = 0;
        float largest = -1.0f;
        for (int32_t i = 0; i < 3; ++i)
            if (std::fabs(rebuilt.m[i][j]) >= largest) {
                largest = std::fabs(rebuilt.m[i][j]);
                r = i;
            }
        if (record.matrix.m[r][j] == 0.0f) {
            Warning("Determinant in TM is zero.");
            break;
        }
        if (rebuilt.m[r][j] / record.matrix.m[r][j] < 0.0f) (&record.mirror.x)[j] = -1.0f;
    }
    return result;
}

// ---- TM_ANIMATION -------------------------------------------------------------------------

int32_t KZVLoader::ReadTmAnimation() {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        int32_t end = 0;
        switch (id) {
        case KW_CONTROL_POS_BEZIER:
            SkipTo('{');
            end = ReadPosTrack();
            break;
        case KW_CONTROL_ROT_TCB:
            SkipTo('{');
            end = ReadRotTrack();
            break;
        case KW_CONTROL_SCALE_BEZIER:
            SkipTo('{');
            end = ReadScaleTrack();
            break;
        case KW_NODE_NAME:
            // A camera or light block may hold its target's animation, named after the
            // target: those keys belong to the target, not to the camera.
            if (animationOwner) {
                String nodeName;
                if (!ScanStringName(nodeName) && !IsOwnNodeName(animationOwner, nodeName)) {
                    // Keys given here replace any the target got from an earlier block.
                    animationTarget = TargetHelper(nodeName);
                    FreeKeys(animationTarget);
                    if (pendingTargetName.IsEmpty()) pendingTargetName = nodeName;
                }
            }
            break;
        default:
            break;
        }
        if (end) return 1;
    }
}

int32_t KZVLoader::ReadPosTrack() {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id != KW_CONTROL_POS_SAMPLE && id != KW_CONTROL_BEZIER_POS_KEY) continue;
        DXC_PosKey key;
        if (ScanFloat(key.time) || ScanVector(key.data.value)) continue;
        if (id == KW_CONTROL_BEZIER_POS_KEY) {
            if (ScanVector(key.data.inTangent) || ScanVector(key.data.outTangent)) continue;
            key.type = KeyTypeBezier;
        } else {
            key.type = KeyTypeLinear;
        }
        animationTarget->AddPosKey(key);
    }
}

int32_t KZVLoader::ReadScaleTrack() {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id != KW_CONTROL_SCALE_SAMPLE && id != KW_CONTROL_BEZIER_SCALE_KEY) continue;
        DXC_ScaleKey key;
        if (ScanFloat(key.time) || ScanVector(key.data.value)) continue;
        // Tangents of Bezier scale keys are not read: they stay zero.
        key.type = id == KW_CONTROL_BEZIER_SCALE_KEY ? KeyTypeBezier : KeyTypeLinear;
        key.data.value = D3DXVECTOR3(std::fabs(key.data.value.x), std::fabs(key.data.value.y),
                                     std::fabs(key.data.value.z));
        animationTarget->AddScaleKey(key);
    }
}

int32_t KZVLoader::ReadRotTrack() {
    float lastTime = -9e10f;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id != KW_CONTROL_ROT_SAMPLE && id != KW_CONTROL_TCB_ROT_KEY) continue;
        DXC_RotKey key;
        if (ScanFloat(key.time)) continue;
        if (key.time < lastTime) {
            // The rest of the line is left to the keyword scan.
            Warning("Skipped wrong order rotation key in file: %s", GetPath());
            continue;
        }
        lastTime = key.time;
        D3DXVECTOR3 axis;
        if (ScanVector(axis) || ScanFloat(key.data.angle)) continue;
        key.data.axis = -axis;
        if (id == KW_CONTROL_ROT_SAMPLE) {
            key.type = KeyTypeLinear;
            if (key.data.angle > Pi && key.data.angle < TwoPi) key.data.angle -= TwoPi;
        } else {
            key.type = KeyTypeTCB;
            float* tcb[5] = {&key.data.tension, &key.data.continuity, &key.data.bias, &key.data.easeIn,
                             &key.data.easeOut};
            bool failed = false;
            for (float* value : tcb) failed = failed || ScanFloat(*value);
            if (failed) continue;
        }
        AddRotationKey(key);
    }
}

void KZVLoader::AddRotationKey(DXC_RotKey& key) {
    const DXC_RotKey* previous = animationTarget->GetLastRotKey();
    if (!previous) {
        animationTarget->AddRotKey(key);
        return;
    }
    // No single key may turn by pi or more: a larger turn is spread over several keys.
    const float turns = std::fabs(key.data.angle) / Pi;
    if (!std::isfinite(turns) || !std::isfinite(key.time))
        Error("Invalid rotation key at time %g in object '%s'", static_cast<double>(key.time),
              animationTarget->name.Text());
    if (turns >= static_cast<float>(MaxRotationSplits))
        Error("Rotation key angle %g too large in object '%s'", static_cast<double>(key.data.angle),
              animationTarget->name.Text());
    const int32_t n = 1 + static_cast<int32_t>(turns);
    splitKeyBudget -= n - 1;
    if (splitKeyBudget < 0) Error("Too many rotation keys in object '%s'", animationTarget->name.Text());

    const float angle = key.data.angle / static_cast<float>(n);
    const float dt = (key.time - previous->time) / static_cast<float>(n);
    float time = previous->time;
    for (int32_t k = 1; k <= n; ++k) {
        DXC_RotKey part(key);
        time += dt;
        part.time = time;
        part.data.angle = angle;
        if (k < n && key.type == KeyTypeTCB) {
            part.data.tension = part.data.continuity = part.data.bias = 0.0f;
            part.data.easeIn = part.data.easeOut = 0.0f;
        }
        animationTarget->AddRotKey(part);
    }
}

// ---- material and map tracks ----------------------------------------------------------------

template <class Key, class ReadKey>
int32_t KZVLoader::ReadKeyTrack(ArrayTrack<Key>& track, int32_t bezierKeyword, int32_t linearKeyword,
                                ReadKey readKey) {
    track.keys.clear();
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK || id == KW_END_OF_DATA) {
            track.keys.shrink_to_fit();
            return id == KW_END_OF_DATA ? 1 : 0;
        }
        if (id != bezierKeyword && id != linearKeyword) continue;
        if (track.Count() >= MaxTrackKeys - 1) {
            Warning("Not more than 1024 float bezier keys allowed");
            continue;
        }
        Key key{};
        const bool bezier = id == bezierKeyword;
        if (!readKey(key, bezier)) continue;
        // One linear key makes the whole track linear.
        if (!bezier) track.type = 0;
        track.keys.push_back(key);
    }
}

int32_t KZVLoader::ReadColorTrack(ColourTrack& track) {
    return ReadKeyTrack(track, KW_CONTROL_BEZIER_POINT3_KEY, KW_CONTROL_POINT3_KEY,
                        [this](ColourKey& key, bool bezier) {
                            float value[3] = {}, in[3] = {}, out[3] = {};
                            if (ScanFloat(key.time) || ScanVector(value)) return false;
                            if (bezier && (ScanVector(in) || ScanVector(out))) return false;
                            key.value = {value[0], value[1], value[2], 1.0f};
                            key.inTangent = {in[0], in[1], in[2], 0.0f};
                            key.outTangent = {out[0], out[1], out[2], 0.0f};
                            return true;
                        });
}

int32_t KZVLoader::ReadFloatTrack(FloatTrack& track, int32_t invert) {
    return ReadKeyTrack(track, KW_CONTROL_BEZIER_FLOAT_KEY, KW_CONTROL_FLOAT_KEY,
                        [&](FloatKey& key, bool bezier) {
                            if (ScanFloat(key.time) || ScanFloat(key.value)) return false;
                            if (bezier && (ScanFloat(key.inTangent) || ScanFloat(key.outTangent)))
                                return false;
                            if (invert) {
                                // The opacity track is kept as transparency.
                                key.value = 1.0f - key.value;
                                key.inTangent = -key.inTangent;
                                key.outTangent = -key.outTangent;
                            }
                            return true;
                        });
}

int32_t KZVLoader::ReadMapFloatTrack(FloatTrack& track) {
    std::vector<FloatKey>().swap(track.keys);
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id != KW_CONTROL_BEZIER_FLOAT_KEY) continue;
        FloatKey key{};
        if (ScanFloat(key.time) || ScanFloat(key.value) || ScanFloat(key.inTangent) ||
            ScanFloat(key.outTangent))
            continue;
        track.keys.push_back(key);
        if (track.Count() == MaxTrackKeys) {
            // Further keys are dropped, but the block is read to its end: left to the
            // enclosing reader, its closing brace would end that reader's block too.
            Warning("More than 1024 float bezier keys");
            for (;;) {
                const int32_t rest = NextKeyword();
                if (rest == KW_END_OF_BLOCK) return 0;
                if (rest == KW_END_OF_DATA) return 1;
            }
        }
    }
}

// ---- conversion after loading ---------------------------------------------------------------

float KZVLoader::TicksToSeconds(float ticks) const {
    return (ticks - static_cast<float>(firstFrame) * ticksPerFrame) * secondsPerTick;
}

void KZVLoader::ConvertKeys(DXC_3dObject* object) const {
    ConvertBezierTrack(object->posKeys, *this, &KZVLoader::TicksToSeconds);
    ConvertBezierTrack(object->scaleKeys, *this, &KZVLoader::TicksToSeconds);
    for (DXC_RotKey* key = object->rotKeys.First(); key; key = key->next) {
        key->time = TicksToSeconds(key->time);
        if (key->type != KeyTypeTCB) continue;
        const D3DXQUATERNION& q = key->data.rotation;
        const float t = key->data.tension;
        if (!key->prev && !key->next) {
            key->data.inControl = key->data.outControl = q;
        } else if (!key->prev) {
            key->data.inControl = q;
            key->data.outControl = Slerp(q, key->next->data.rotation, (1.0f - 0.63f * t) * 0.5f);
        } else if (!key->next) {
            key->data.inControl = Slerp(key->prev->data.rotation, q, (1.0f + 0.63f * t) * 0.5f);
            key->data.outControl = q;
        } else {
            const D3DXQUATERNION a = Slerp(q, key->prev->data.rotation, -1.0f / 3.0f);
            const D3DXQUATERNION b = Slerp(q, key->next->data.rotation, 1.0f / 3.0f);
            const D3DXQUATERNION m = Slerp(a, b, 0.5f);
            key->data.inControl = Slerp(q, m, t - 1.0f);
            key->data.outControl = Slerp(q, m, 1.0f - t);
        }
    }
}

void KZVLoader::ConvertColorTrack(ColourTrack& track) const {
    auto& keys = track.keys;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) ScaleColour(keys[i].inTangent, keys[i].time - keys[i - 1].time);
        if (i + 1 < keys.size()) ScaleColour(keys[i].outTangent, keys[i + 1].time - keys[i].time);
    }
    for (auto& key : keys) key.time = TicksToSeconds(key.time);
}

void KZVLoader::ConvertFloatTrack(FloatTrack& track) const {
    auto& keys = track.keys;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) keys[i].inTangent *= keys[i].time - keys[i - 1].time;
        if (i + 1 < keys.size()) keys[i].outTangent *= keys[i + 1].time - keys[i].time;
    }
    for (auto& key : keys) key.time = TicksToSeconds(key.time);
}
