#include "scene/TargetObject.h"

#include "foundation/File.h"

DXC_Target3dObject::DXC_Target3dObject() {
    SetObjectName("DXC_Target3dObject");
    ResetTargetFields();
}

void DXC_Target3dObject::ResetTargetFields() {
    targetName.Clear();
    target = nullptr;
    position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    direction = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    up = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
}

void DXC_Target3dObject::Reset() {
    DXC_3dObject::Reset();
    ResetTargetFields();
    UpdateTarget();
}

int32_t DXC_Target3dObject::EvaluateTarget(float time, int32_t withParent, int32_t force) {
    Evaluate(time, withParent, force);
    if (target) target->Evaluate(time, 1, 0);
    ComputeDirection();
    UpdateTarget();
    return 1;
}

void DXC_Target3dObject::ComputeDirection() {
    position = D3DXVECTOR3(worldTM._41, worldTM._42, worldTM._43);
    if (target) {
        direction = D3DXVECTOR3(target->worldTM._41, target->worldTM._42, target->worldTM._43) - position;
        return;
    }
    D3DXVECTOR3 localUp(0.0f, 1.0f, 0.0f), localForward(0.0f, 0.0f, -1.0f), p;
    D3DXVec3TransformCoord(&p, &localUp, &worldTM);
    up = p - position;
    D3DXVec3TransformCoord(&p, &localForward, &worldTM);
    direction = p - position;
}

int32_t DXC_Target3dObject::SetPosition(float x, float y, float z) {
    SetNodePosition(x, y, z, 1);
    position = D3DXVECTOR3(x, y, z);
    UpdateTarget();
    return 1;
}

int32_t DXC_Target3dObject::SetDirection(float x, float y, float z) {
    D3DXVECTOR3 v(x, y, z);
    D3DXVec3Normalize(&direction, &v);
    UpdateTarget();
    return 1;
}

int32_t DXC_Target3dObject::SetUp(float x, float y, float z) {
    D3DXVECTOR3 v(x, y, z);
    D3DXVec3Normalize(&up, &v);
    UpdateTarget();
    return 1;
}

int32_t DXC_Target3dObject::Pitch(float angle) {
    D3DXVECTOR3 axis;
    D3DXVec3Cross(&axis, &direction, &up);
    D3DXMATRIX r;
    D3DXMatrixRotationAxis(&r, &axis, angle);
    D3DXVec3TransformNormal(&direction, &direction, &r);
    D3DXVec3TransformNormal(&up, &up, &r);
    UpdateTarget();
    return 1;
}

int32_t DXC_Target3dObject::Write(File& file) {
    DXC_3dObject::Write(file);
    file.WriteString(targetName);
    return 1;
}

int32_t DXC_Target3dObject::Read(File& file) {
    DXC_3dObject::Read(file);
    ResetTargetFields();
    file.ReadString(targetName);
    return 1;
}
