#pragma once

#include "scene/Object3d.h"

// A scene object that looks somewhere: an optional target object, the world position, a
// viewing direction and an up vector, recomputed after each evaluation. Base of cameras and
// lights.
class DXC_Target3dObject : public DXC_3dObject {
public:
    DXC_Target3dObject();

    int32_t Write(File& file) override; // object record, then targetName
    int32_t Read(File& file) override;
    // Brings derived state (the light record) up to date; nothing here.
    virtual void UpdateTarget() {}

    // The DXC_3dObject reset, then the target fields, then UpdateTarget().
    void Reset();

    // Evaluate, then the target's Evaluate(time, 1, 0), ComputeDirection(), UpdateTarget().
    int32_t EvaluateTarget(float time, int32_t withParent, int32_t force);
    // position = the world translation; with a target, direction = target position - position
    // (not normalised; up unchanged); without, up and direction are the images of the local
    // +Y and -Z axes.
    void ComputeDirection();

    int32_t SetPosition(float x, float y, float z);  // node position (rebuilt) and position
    int32_t SetDirection(float x, float y, float z); // stored normalised
    int32_t SetUp(float x, float y, float z);        // stored normalised
    // Rotates direction and up by angle (radians) about direction x up.
    int32_t Pitch(float angle);

    void SetTarget(DXC_3dObject* object) { target = object; }
    DXC_3dObject* GetTarget() const { return target; }

    String targetName; // empty: no target
    D3DXVECTOR3 position;
    D3DXVECTOR3 direction;
    D3DXVECTOR3 up;

private:
    void ResetTargetFields();

    DXC_3dObject* target;
};
