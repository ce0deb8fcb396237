#include "scene/Object3d.h"

#include <cmath>
#include <cstdarg>
#include <memory>

#include "foundation/File.h"

DXC_3dObject::DXC_3dObject() {
    SetObjectName("DXC_3dObject");
    Reset();
}

DXC_3dObject::~DXC_3dObject() = default; // the tracks free their keys

void DXC_3dObject::Reset() {
    posKeys.Free();
    rotKeys.Free();
    scaleKeys.Free();
    tag = 0;
    D3DXMatrixIdentity(&worldTM);
    D3DXMatrixIdentity(&pivotTM);
    nodeTransform.Reset();
    frozen = 0;
    needsUpdate = 1;
    lastTime = 0.0f;
    D3DXMatrixIdentity(&translationTM);
    D3DXMatrixIdentity(&rotationTM);
    D3DXMatrixIdentity(&scaleTM);
    currentPosition = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    currentScale = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    currentRotation = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    name = "*undefined*";
    parentName.Clear();
    inheritPosition = inheritScale = inheritRotation = inheritScaleSign = 1;
    objectType = 0;
    parent = nullptr;
    evalChild = nullptr;
    linkMark = 0;
    loop = 0;
    loopLength = 100.0f;
}

// ---- evaluation ----

float DXC_3dObject::EffectiveTime(float time) const {
    if (loop) return WrapTime(time, loopLength);
    return time < 0.0f ? 0.0f : time;
}

bool DXC_3dObject::EvaluateLocal(float time, int32_t force) {
    if (frozen) return false;
    if (time == lastTime && !needsUpdate && !force) return false;
    const float t = EffectiveTime(time);

    // Locate all three key pairs before reading any values, so that their memory is fetched
    // in parallel rather than one track after the other.
    KeyPair<DXC_PosKeyData> pos;
    KeyPair<DXC_ScaleKeyData> scl;
    KeyPair<DXC_RotKeyData> rot;
    posKeys.FindPair(t, pos);
    scaleKeys.FindPair(t, scl);
    rotKeys.FindPair(t, rot);

    currentPosition = pos.k ? SamplePositionPair(pos, t, loop, loopLength) : nodeTransform.position;
    D3DXMatrixTranslation(&translationTM, currentPosition.x, currentPosition.y, currentPosition.z);

    currentScale = scl.k ? SampleScalePair(scl, t, loop, loopLength) : nodeTransform.scale;
    const D3DXVECTOR3& mirror = nodeTransform.mirror;
    D3DXMatrixScaling(&scaleTM, currentScale.x * mirror.x, currentScale.y * mirror.y,
                      currentScale.z * mirror.z);

    if (rot.k) {
        currentRotation = SampleRotationPair(rot, t, loop, loopLength);
        D3DXMatrixRotationQuaternion(&rotationTM, &currentRotation);
    } else {
        D3DXQuaternionRotationAxis(&currentRotation, &nodeTransform.rotationAxis,
                                   nodeTransform.rotationAngle);
        D3DXMatrixRotationAxis(&rotationTM, &nodeTransform.rotationAxis, nodeTransform.rotationAngle);
    }

    // scaleTM x rotationTM x translationTM, composed directly: the scale is diagonal and the
    // translation only fills the fourth row.
    for (int r = 0; r < 3; ++r) {
        const float s = scaleTM.m[r][r];
        for (int c = 0; c < 4; ++c) worldTM.m[r][c] = s * rotationTM.m[r][c];
    }
    worldTM._41 = currentPosition.x;
    worldTM._42 = currentPosition.y;
    worldTM._43 = currentPosition.z;
    worldTM._44 = 1.0f;

    lastTime = t;
    return true;
}

void DXC_3dObject::CombineWithParent() {
    const D3DXMATRIX& p = parent->worldTM;
    if (inheritPosition && inheritScale && inheritRotation && inheritScaleSign) {
        D3DXMatrixMultiply(&worldTM, &worldTM, &p);
        return;
    }
    // Split the parent into translation, row lengths (scale) and the normalised rows
    // (rotation), and take only the inherited parts.
    D3DXMATRIX q, rot;
    D3DXMatrixIdentity(&q);
    D3DXMatrixIdentity(&rot);
    float length[3], sign[3];
    for (int r = 0; r < 3; ++r) {
        length[r] = std::sqrt(p.m[r][0] * p.m[r][0] + p.m[r][1] * p.m[r][1] + p.m[r][2] * p.m[r][2]);
        sign[r] = length[r] < 0.0f ? -1.0f : 1.0f;
        // A row of length 0 (a parent scaled to nothing) has no direction; it stays 0
        // rather than turning the whole chain into NaN.
        const float inv = length[r] > 0.0f ? 1.0f / length[r] : 0.0f;
        for (int c = 0; c < 4; ++c) rot.m[r][c] = p.m[r][c] * inv;
    }
    for (int r = 0; r < 3; ++r) {
        if (inheritScale) q.m[r][r] = length[r];
        if (inheritScaleSign) q.m[r][r] *= sign[r];
    }
    if (inheritRotation) D3DXMatrixMultiply(&q, &q, &rot);
    if (inheritPosition)
        for (int c = 0; c < 4; ++c) q.m[3][c] = p.m[3][c];
    D3DXMatrixMultiply(&worldTM, &worldTM, &q);
}

// Evaluating an object with its parent evaluates the parent first at the child's effective
// time, then combines. Done as two passes instead of recursion, so that the depth of a parent
// chain read from a file cannot exhaust the stack: up the chain computing each object's own
// transform until an object returns early (frozen or already evaluated at that time), then
// back down combining each with its freshly evaluated parent.
int32_t DXC_3dObject::Evaluate(float time, int32_t withParent, int32_t force) {
    DXC_3dObject* top = nullptr;
    DXC_3dObject* obj = this;
    float t = time;
    int32_t f = force;
    while (obj->EvaluateLocal(t, f)) {
        top = obj;
        if (!withParent || !obj->parent) break;
        obj->parent->evalChild = obj;
        t = obj->lastTime; // the child's effective time
        f = 0;
        obj = obj->parent;
    }
    if (!top) return 1;
    for (DXC_3dObject* o = top;; o = o->evalChild) {
        if (o->parent) o->CombineWithParent();
        o->needsUpdate = 0;
        if (o == this) break;
    }
    return 1;
}

// ---- node transform ----

void DXC_3dObject::SetNodePosition(float x, float y, float z, int32_t rebuild) {
    nodeTransform.position = D3DXVECTOR3(x, y, z);
    if (rebuild) RebuildFromNode();
    needsUpdate = 1;
}

void DXC_3dObject::RebuildFromNode() {
    const NodeTransform& n = nodeTransform;
    D3DXMatrixTranslation(&translationTM, n.position.x, n.position.y, n.position.z);
    D3DXMatrixScaling(&scaleTM, n.scale.x * n.mirror.x, n.scale.y * n.mirror.y, n.scale.z * n.mirror.z);
    D3DXMatrixRotationAxis(&rotationTM, &n.rotationAxis, n.rotationAngle);
    D3DXMatrixMultiply(&worldTM, &scaleTM, &rotationTM);
    D3DXMatrixMultiply(&worldTM, &worldTM, &translationTM);
    nodeTransform.matrix = worldTM;
    currentPosition = n.position;
    needsUpdate = 1;
}

D3DXMATRIX DXC_3dObject::GetLocalMatrix() const {
    const D3DXVECTOR3& m = nodeTransform.mirror;
    D3DXMATRIX s, r, t, out;
    D3DXMatrixScaling(&s, currentScale.x * m.x, currentScale.y * m.y, currentScale.z * m.z);
    D3DXMatrixRotationQuaternion(&r, &currentRotation);
    D3DXMatrixTranslation(&t, currentPosition.x, currentPosition.y, currentPosition.z);
    D3DXMatrixMultiply(&out, &s, &r);
    return *D3DXMatrixMultiply(&out, &out, &t);
}

// ---- keys ----

void DXC_3dObject::AddPosKey(const DXC_PosKey& key) {
    posKeys.Insert(key);
}

void DXC_3dObject::AddScaleKey(const DXC_ScaleKey& key) {
    scaleKeys.Insert(key);
}

void DXC_3dObject::AddRotKey(const DXC_RotKey& key) {
    DXC_RotKey* k = rotKeys.Insert(key);
    D3DXQUATERNION& q = k->data.rotation;
    D3DXQuaternionRotationAxis(&q, &k->data.axis, k->data.angle);
    if (const DXC_RotKey* p = k->prev) {
        if (D3DXQuaternionDot(&p->data.rotation, &q) < 0.0f) q = -q; // shortest arc
        D3DXQuaternionMultiply(&q, &p->data.rotation, &q);           // p's rotation, then k's own
    }
}

void DXC_3dObject::BuildKeyIndex() {
    if (posKeys.BuildIndex() != posKeys.Count()) Error("Check: Pos key numbers don't match");
    if (rotKeys.BuildIndex() != rotKeys.Count()) Error("Check: Rot key numbers don't match");
    if (scaleKeys.BuildIndex() != scaleKeys.Count()) Error("Check: Scale key numbers don't match");
}

// ---- copy and links ----

bool DXC_3dObject::IsSelfOrAncestor(const DXC_3dObject* candidate) const {
    for (const DXC_3dObject* o = this; o; o = o->parent)
        if (o == candidate) return true;
    return false;
}

int32_t DXC_3dObject::SetParent(DXC_3dObject* newParent) {
    if (newParent && newParent->IsSelfOrAncestor(this)) return 0;
    parent = newParent;
    needsUpdate = 1;
    return 1;
}

void DXC_3dObject::CopyTo(DXC_3dObject* target, int32_t withKeys) const {
    if (!target || target == this) return;
    target->DXC_3dObject::Reset();
    target->tag = tag;
    target->worldTM = worldTM;
    target->pivotTM = pivotTM;
    target->nodeTransform = nodeTransform;
    target->frozen = frozen;
    target->needsUpdate = needsUpdate;
    target->lastTime = lastTime;
    target->translationTM = translationTM;
    target->rotationTM = rotationTM;
    target->scaleTM = scaleTM;
    target->currentPosition = currentPosition;
    target->currentScale = currentScale;
    target->currentRotation = currentRotation;
    target->name = name;
    target->parentName = parentName;
    target->inheritPosition = inheritPosition;
    target->inheritScale = inheritScale;
    target->inheritRotation = inheritRotation;
    target->inheritScaleSign = inheritScaleSign;
    target->objectType = objectType;
    target->loop = loop;
    target->loopLength = loopLength;
    target->SetParent(parent);
    if (withKeys) {
        target->posKeys.CopyFrom(posKeys);
        target->rotKeys.CopyFrom(rotKeys);
        target->scaleKeys.CopyFrom(scaleKeys);
        target->BuildKeyIndex();
    }
}

// ---- reports ----

int DXC_3dObject::Warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int r = PrefixedWarningV(name.Text(), format, args);
    va_end(args);
    return r;
}

void DXC_3dObject::Error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrefixedErrorV(name.Text(), format, args); // throws
}

// ---- stored form ----

namespace {

template <class T>
void WriteTrack(DXC_3dObject& obj, File& file, const KeyTrack<T>& track, const char* message) {
    int32_t inList = 0;
    for (const DXC_KeyBase<T>* k = track.First(); k; k = k->next) ++inList;
    if (inList != track.Count()) obj.Error("%s", message);
    file.WriteInt(track.Count());
    if (track.First()) track.First()->Write(file);
}

template <class T> void ReadTrack(File& file, KeyTrack<T>& track) {
    int32_t count = 0;
    file.ReadInt(&count);
    if (count < 1) {
        track.SetCount(count); // a negative count fails the index check after reading
        return;
    }
    auto head = std::make_unique<DXC_KeyBase<T>>();
    head->Read(file);
    track.Adopt(head.release(), count);
}

} // namespace

int32_t DXC_3dObject::Write(File& file) {
    file.WriteShort(ObjectRecordId);
    file.WriteInt(tag);
    file.Write(&nodeTransform, sizeof(NodeTransform));
    for (int r = 0; r < 4; ++r) file.Write(pivotTM.m[r], 3 * sizeof(float));
    file.WriteString(name);
    file.WriteString(parentName);
    file.WriteByte((inheritPosition ? 1 : 0) | (inheritScale ? 2 : 0) | (inheritRotation ? 4 : 0) |
                   (inheritScaleSign ? 8 : 0));
    WriteTrack(*this, file, posKeys, "numPosKey does not match actual size");
    WriteTrack(*this, file, rotKeys, "numRotKey does not match actual size");
    WriteTrack(*this, file, scaleKeys, "numScaleKey does not match actual size");
    file.WriteInt(loop);
    file.Write(&loopLength, sizeof(float));
    return 1;
}

int32_t DXC_3dObject::Read(File& file) {
    DXC_3dObject::Reset();
    int16_t id = 0;
    file.ReadShort(&id);
    if (id != ObjectRecordId) Error("Invalid file read id, file: %s", file.GetPath().Text());
    file.ReadInt(&tag);
    file.Read(&nodeTransform, sizeof(NodeTransform));
    for (int r = 0; r < 4; ++r) {
        file.Read(pivotTM.m[r], 3 * sizeof(float));
        pivotTM.m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
    file.ReadString(name);
    file.ReadString(parentName);
    uint8_t flags = 0;
    file.ReadByte(&flags);
    inheritPosition = flags & 1;
    inheritScale = (flags >> 1) & 1;
    inheritRotation = (flags >> 2) & 1;
    inheritScaleSign = (flags >> 3) & 1;
    ReadTrack(file, posKeys);
    ReadTrack(file, rotKeys);
    ReadTrack(file, scaleKeys);
    file.ReadInt(&loop);
    file.ReadInt(&loopLength);
    BuildKeyIndex();
    Evaluate(0.0f, 1, 0);
    needsUpdate = 1;
    return 1;
}
