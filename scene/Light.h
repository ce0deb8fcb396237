#pragma once

#include "platform/d3d8/D3D8Types.h"
#include "scene/TargetObject.h"

// A scene light: a target object carrying a Direct3D light record that follows the object's
// transform. Types in the record: 1 point, 2 spot, 3 directional.
class DXC_Light : public DXC_Target3dObject {
public:
    DXC_Light();

    int32_t Write(File& file) override; // target record, enabled, unset, the 104-byte record
    int32_t Read(File& file) override;
    // The light record's position and direction: position and direction carried through
    // M = inverse(W) x P x W, with W the world matrix and P the pivot matrix (the direction
    // without M's translation).
    void UpdateTarget() override;

    void Reset();

    int32_t unset;   // 1 while the light has no type; such a light is never handed to the device
    int32_t enabled; // the light is switched on in the scene
    D3DLIGHT8 light; // all zero except Falloff 1 after a reset

private:
    void ResetLightFields();
};
