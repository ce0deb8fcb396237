#include "scene/Light.h"

#include <cstring>

#include "foundation/File.h"

static_assert(sizeof(D3DLIGHT8) == 104, "the light record is stored as 104 raw bytes");

DXC_Light::DXC_Light() {
    SetObjectName("DXC_Light");
    ResetLightFields();
    UpdateTarget();
}

void DXC_Light::ResetLightFields() {
    unset = 1;
    enabled = 1;
    std::memset(&light, 0, sizeof light);
    light.Falloff = 1.0f;
}

void DXC_Light::Reset() {
    DXC_Target3dObject::Reset();
    ResetLightFields();
    UpdateTarget();
}

void DXC_Light::UpdateTarget() {
    D3DXMATRIX inv, m;
    if (D3DXMatrixInverse(&inv, nullptr, &worldTM)) {
        D3DXMatrixMultiply(&m, &inv, &pivotTM);
        D3DXMatrixMultiply(&m, &m, &worldTM);
    } else {
        // A world matrix scaled to nothing has no inverse; leave the values as computed.
        D3DXMatrixIdentity(&m);
    }
    D3DXVECTOR3 p, d;
    D3DXVec3TransformCoord(&p, &position, &m);
    D3DXVec3TransformNormal(&d, &direction, &m);
    light.Position = p;
    light.Direction = d;
}

int32_t DXC_Light::Write(File& file) {
    DXC_Target3dObject::Write(file);
    file.WriteInt(enabled);
    file.WriteInt(unset);
    file.Write(&light, sizeof light);
    return 1;
}

int32_t DXC_Light::Read(File& file) {
    DXC_Target3dObject::Read(file);
    ResetLightFields();
    file.ReadInt(&enabled);
    file.ReadInt(&unset);
    file.Read(&light, sizeof light);
    return 1;
}
