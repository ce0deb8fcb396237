#pragma once

#include <cstdint>

#include "foundation/ResourceBase.h"
#include "foundation/String.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/Keys.h"
#include "scene/NodeTransform.h"

class File;

// The common base of everything placed in a scene (meshes, helpers and bones, cameras,
// lights, the scene itself): name, parent link, static node transform, the three animation
// tracks and the matrices that result from evaluating them at a time.
class DXC_3dObject : public DXC_ResourceBase {
public:
    DXC_3dObject();
    DXC_3dObject(const DXC_3dObject&) = delete; // objects own their keys; use CopyTo
    DXC_3dObject& operator=(const DXC_3dObject&) = delete;
    ~DXC_3dObject() override;

    // Binary object record (record id, tag, node transform, pivot, names, inherit flags,
    // tracks, loop). Write returns 1; Read resets the object first and leaves it evaluated
    // at time 0 with needsUpdate set.
    virtual int32_t Write(File& file);
    virtual int32_t Read(File& file);
    virtual int32_t IsMesh() const { return 0; }

    // Deletes the keys and indexes and sets every field to its reset value.
    void Reset();

    // Hints for a caller that evaluates many objects in a row (the scene's update): fetch the
    // part of the object that evaluation uses ahead, then, once that has arrived, the key
    // index entries its next evaluation will read. They change nothing.
    void PrefetchObject() const {
        const char* from = reinterpret_cast<const char*>(&nodeTransform.mirror);
        const char* to = reinterpret_cast<const char*>(this) + sizeof(DXC_3dObject);
        for (; from < to; from += 64) __builtin_prefetch(from, 1);
        __builtin_prefetch(to - 1, 1);
    }
    void PrefetchKeys() const {
        posKeys.PrefetchLookup();
        rotKeys.PrefetchLookup();
        scaleKeys.PrefetchLookup();
    }

    // Computes the transforms at time (see the class comment in Object3d.cpp). With withParent
    // the parent chain is first brought to this object's effective time. Returns 1.
    int32_t Evaluate(float time, int32_t withParent, int32_t force);

    // Resets target and copies every field into it; withKeys 0 copies no keys (counts 0), 1
    // deep copies of the three tracks with fresh indexes. A parent link that would make a cycle
    // through target is not copied.
    void CopyTo(DXC_3dObject* target, int32_t withKeys) const;

    void SetLoop(int32_t flag) { loop = flag; }
    void SetLoopLength(float length) { loopLength = length; }
    int32_t GetLoop() const { return loop; }
    float GetLoopLength() const { return loopLength; }
    // The effective time at which this object samples its tracks for time: wrapped into
    // [0, loopLength) when looped, else raised to 0 when negative.
    float EffectiveTime(float time) const;

    // nodeTransform.position = (x, y, z); with rebuild, RebuildFromNode(); needsUpdate = 1.
    void SetNodePosition(float x, float y, float z, int32_t rebuild);
    // The transform from the node transform alone, keys ignored: scale (with mirror), rotation,
    // translation become both worldTM and nodeTransform.matrix.
    void RebuildFromNode();
    // Scaling by currentScale (with mirror) x rotation of currentRotation x translation by
    // currentPosition, without the parent.
    D3DXMATRIX GetLocalMatrix() const;
    const D3DXVECTOR3& GetCurrentPosition() const { return currentPosition; }

    // Keys: a copy is inserted in time order. AddRotKey also computes the copy's absolute
    // rotation from its relative axis and angle and the previous key's rotation.
    void AddPosKey(const DXC_PosKey& key);
    void AddRotKey(const DXC_RotKey& key);
    void AddScaleKey(const DXC_ScaleKey& key);
    DXC_RotKey* GetLastRotKey() const { return rotKeys.Last(); }
    // Frees and rebuilds the three indexes; a count that differs from its list is an error.
    void BuildKeyIndex();

    // Sets the parent link; refuses (returns 0, link unchanged) a parent that is this object or
    // has it among its own ancestors, which would make evaluation run in circles.
    int32_t SetParent(DXC_3dObject* newParent);
    DXC_3dObject* GetParent() const { return parent; }
    // True when candidate is this object or one of its ancestors.
    bool IsSelfOrAncestor(const DXC_3dObject* candidate) const;

    // Reports prefixed with the object's scene name: "<name>: <message>".
    int Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
    [[noreturn]] void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // ---- fields ----
    // The stored record has its own order (Write, Read). In memory, the fields that no
    // evaluation touches come first, and those that every evaluation reads or writes follow
    // together, the four matrices on whole cache lines: the scene's update walks thousands of
    // objects per frame, and the lines each one occupies are what it waits for.
    int32_t tag;                 // stored and restored; no behaviour depends on it
    D3DXMATRIX pivotTM;          // matrix of the object's PIVOT_TM block
    String name;                 // used for every lookup and message
    String parentName;           // empty: no parent
    int32_t objectType;          // set by the loader: 1 mesh, 2 bone, 4 helper, 8 camera, 32 light
    NodeTransform nodeTransform; // the static node transform (evaluation reads what follows its matrix)
    int32_t frozen;              // evaluation leaves the object untouched
    int32_t needsUpdate;         // forces the next evaluation even at an unchanged time
    float lastTime;              // effective time of the last evaluation
    D3DXVECTOR3 currentPosition;
    D3DXVECTOR3 currentScale;
    D3DXQUATERNION currentRotation;
    int32_t inheritPosition, inheritScale, inheritRotation, inheritScaleSign;
    KeyTrack<DXC_PosKeyData> posKeys;
    KeyTrack<DXC_RotKeyData> rotKeys;
    KeyTrack<DXC_ScaleKeyData> scaleKeys;

private:
    friend class DXC_3dScene; // links parents in bulk and then breaks cycles in one pass

    DXC_3dObject* parent;
    DXC_3dObject* evalChild; // scratch link down the chain during one evaluation
    int32_t loop;            // time wraps at loopLength; the last key blends back to the first
    float loopLength;
    int32_t linkMark; // scratch mark of the scene's cycle check

public:
    alignas(64) D3DXMATRIX worldTM;                // transform after the last evaluation, parent included
    D3DXMATRIX translationTM, rotationTM, scaleTM; // parts of the last evaluation

protected:
    // Steps 1 to 7 of an evaluation; 0 when the object returns early (frozen or unchanged).
    bool EvaluateLocal(float time, int32_t force);
    // Multiplies the parent's world matrix into worldTM, honouring the inherit flags.
    void CombineWithParent();
};

// The record id that begins every stored object record.
constexpr int16_t ObjectRecordId = 0x1234;
