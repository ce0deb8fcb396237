#include "scene/Camera.h"

#include "foundation/File.h"

DXC_Camera::DXC_Camera() : fov(DefaultFov) {
    SetObjectName("DXC_Camera");
}

void DXC_Camera::Reset() {
    DXC_Target3dObject::Reset();
    fov = DefaultFov;
}

int32_t DXC_Camera::Write(File& file) {
    DXC_Target3dObject::Write(file);
    file.Write(&fov, sizeof(float));
    return 1;
}

int32_t DXC_Camera::Read(File& file) {
    DXC_Target3dObject::Read(file);
    fov = DefaultFov;
    file.ReadInt(&fov);
    return 1;
}
