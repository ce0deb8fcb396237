#pragma once

#include <cstdint>

#include "platform/d3dx/D3DXMath.h"
#include "scene/Scene3d.h"

class DXC_Gfx;
class DXC_Camera;
class DXC_Light;
class DXC_Target3dObject;

// What the viewer's command line decides about the first frame of a scene.
struct StartupViewOptions {
    int32_t mirror = 1;     // view options word 1: 0 with /mx
    float nearPlane = 0.0f; // /zn
    float farPlane = 0.0f;  // /zf; equal to /zn: both from the scene's size
    int32_t camera = 0;     // /cam
    int32_t loop = 0;       // /loop
};

// The start-up view of a loaded scene, as the viewer keeps it.
struct StartupView {
    int32_t noMesh; // the scene has no mesh: all helpers shown, parent links on
    D3DXVECTOR3 centre;
    float radius;
    float navigationSpeed;        // 2 x radius
    int32_t camera;               // the scene camera in use, -1 free
    SceneViewOptions viewOptions; // working copy as written back into the scene
};

// The viewer's steps between LoadScene and the first frame, shared by the viewer and the
// headless renderer so that both show the same picture: view options (clear, mirror, and for a
// scene without meshes all helpers and the links), the scene's bounds, the projection (field of
// view 0.7854, near r / 20 and far 5 r unless the options give planes), the free camera at
// c - (0, 2.8 r, 0) looking along +Y with Z up, the scene camera (the free one when the number
// names none), the loop flag, and two default lights for a scene without lights.
StartupView ApplyStartupView(DXC_Gfx& gfx, DXC_3dScene& scene, DXC_Camera& freeCamera,
                             DXC_Light& lightTemplate, const StartupViewOptions& options);

// The view matrix of a camera placed by position, direction and up (the free camera):
// a left-handed look-at from position towards position + direction.
D3DXMATRIX CameraViewMatrix(const DXC_Target3dObject& camera);

// Adds the two default lights (copies of the template: directional, diffuse 2.0, specular 0.6,
// ambient 0.3, directions (0, -0.5, -1) and (-1, 1, 0)) to a scene.
void AddDefaultLights(DXC_3dScene& scene, const DXC_Light& lightTemplate);
