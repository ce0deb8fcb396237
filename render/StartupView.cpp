#include "render/StartupView.h"

#include <cmath>
#include <cstring>

#include "render/DXC_Gfx.h"
#include "scene/Camera.h"
#include "scene/Light.h"

namespace {

constexpr float StartFov = 0.7854f;
constexpr float DefaultLightRange = 18446744073709551616.0f; // 2^64

// Turns the light's node so that its local -Z, the direction the scene's update derives every
// frame, points along d: the direction survives the update instead of being reset.
void AimNode(DXC_Light& light, const D3DXVECTOR3& d) {
    D3DXVECTOR3 unit;
    D3DXVec3Normalize(&unit, &d);
    const D3DXVECTOR3 forward(0.0f, 0.0f, -1.0f);
    D3DXVECTOR3 axis;
    D3DXVec3Cross(&axis, &forward, &unit);
    const float sine = D3DXVec3Length(&axis);
    const float cosine = forward.x * unit.x + forward.y * unit.y + forward.z * unit.z;
    if (sine < 1e-6f) {
        axis = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    } else {
        axis /= sine;
    }
    light.nodeTransform.rotationAxis = axis;
    light.nodeTransform.rotationAngle = std::atan2(sine, cosine);
    light.RebuildFromNode();
    light.needsUpdate = 1;
}

void AddDefaultLight(DXC_3dScene& scene, const DXC_Light& lightTemplate, const D3DXVECTOR3& direction) {
    DXC_Light* light = scene.Lights().Get(scene.Lights().AddNew());
    lightTemplate.CopyTo(light, 0);
    light->targetName = lightTemplate.targetName;
    light->SetTarget(nullptr);
    std::memset(&light->light, 0, sizeof light->light);
    light->light.Type = D3DLIGHT_DIRECTIONAL;
    light->light.Diffuse = D3DCOLORVALUE{2.0f, 2.0f, 2.0f, 0.0f};
    light->light.Specular = D3DCOLORVALUE{0.6f, 0.6f, 0.6f, 0.0f};
    light->light.Ambient = D3DCOLORVALUE{0.3f, 0.3f, 0.3f, 0.0f};
    light->light.Range = DefaultLightRange;
    light->unset = 0;
    light->enabled = 1;
    AimNode(*light, direction);
    light->SetPosition(0.0f, 0.0f, 0.0f);
    light->SetDirection(direction.x, direction.y, direction.z);
}

} // namespace

void AddDefaultLights(DXC_3dScene& scene, const DXC_Light& lightTemplate) {
    AddDefaultLight(scene, lightTemplate, D3DXVECTOR3(0.0f, -0.5f, -1.0f));
    AddDefaultLight(scene, lightTemplate, D3DXVECTOR3(-1.0f, 1.0f, 0.0f));
}

D3DXMATRIX CameraViewMatrix(const DXC_Target3dObject& camera) {
    const D3DXVECTOR3 at = camera.position + camera.direction;
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &camera.position, &at, &camera.up);
    return view;
}

StartupView ApplyStartupView(DXC_Gfx& gfx, DXC_3dScene& scene, DXC_Camera& freeCamera,
                             DXC_Light& lightTemplate, const StartupViewOptions& options) {
    StartupView view{};
    view.viewOptions = scene.viewOptions;
    view.noMesh = scene.GetMeshCount() == 0 ? 1 : 0;
    if (view.noMesh) {
        view.viewOptions.selectedHelper = -1;
        view.viewOptions.showLinks = 1;
    }
    view.viewOptions.clear = 1;
    view.viewOptions.mirror = options.mirror ? 1 : 0;
    scene.viewOptions = view.viewOptions;

    BoundsRecord bounds{};
    if (!scene.ComputeBounds(&bounds)) bounds = BoundsRecord{0, 0.0f, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    view.radius = bounds.radius;
    view.centre = bounds.centre;
    // A scene without size (nothing to measure, or one point) would give near = far = 0 and a
    // projection of NaNs; it is viewed as if it had radius 1.
    if (!(view.radius > 0.0f)) view.radius = 1.0f;

    if (options.nearPlane != options.farPlane)
        gfx.SetProjection(options.nearPlane, options.farPlane, StartFov, -1.0f);
    else
        gfx.SetProjection(view.radius / 20.0f, 5.0f * view.radius, StartFov, -1.0f);

    view.navigationSpeed = 2.0f * view.radius;
    const D3DXVECTOR3& c = view.centre;
    freeCamera.SetPosition(c.x, c.y - 2.8f * view.radius, c.z);
    freeCamera.SetDirection(0.0f, 1.0f, 0.0f);
    freeCamera.SetUp(0.0f, 0.0f, 1.0f);

    view.camera = options.camera >= scene.GetCameraCount() || options.camera < 0 ? -1 : options.camera;
    scene.SetCamera(view.camera);
    scene.SetLoop(options.loop);
    if (scene.GetLightCount() == 0) AddDefaultLights(scene, lightTemplate);
    return view;
}
