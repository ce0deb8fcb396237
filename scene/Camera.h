#pragma once

#include "scene/TargetObject.h"

// A viewpoint of the scene: a target object with a field of view.
class DXC_Camera : public DXC_Target3dObject {
public:
    static constexpr float DefaultFov = 0.785f; // radians

    DXC_Camera();

    int32_t Write(File& file) override; // target record, then fov
    int32_t Read(File& file) override;

    void Reset();

    float fov; // field of view used by the projection, radians
};
