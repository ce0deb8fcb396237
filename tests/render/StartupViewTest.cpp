// The start-up view of a loaded scene: projection, free camera, scene camera, view options
// and default lights.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "GfxTestSupport.h"
#include "PassTestScene.h"
#include "render/StartupView.h"
#include "scene/Camera.h"
#include "scene/Light.h"
#include "support/LogCapture.h"

namespace {

class StartupViewTest : public LogCaptureTest {
protected:
    void SetUp() override {
        LogCaptureTest::SetUp();
        rec = std::make_unique<RecordingGfx>();
        scene = std::make_unique<DXC_3dScene>();
    }
    void TearDown() override {
        scene.reset();
        rec.reset();
        LogCaptureTest::TearDown();
    }
    // Two quads of size 2 at x = -4 and x = 4: the box -5..5 by -1..1, centre (0, 0, 0).
    void TwoQuads() {
        QuadSpec spec;
        spec.size = 2.0f;
        spec.position = D3DXVECTOR3(-4, 0, 0);
        AddQuad(*rec->gfx, *scene, "a", spec);
        spec.position = D3DXVECTOR3(4, 0, 0);
        AddQuad(*rec->gfx, *scene, "b", spec);
    }
    StartupView Apply(const StartupViewOptions& options = StartupViewOptions()) {
        return ApplyStartupView(*rec->gfx, *scene, freeCamera, lightTemplate, options);
    }

    std::unique_ptr<RecordingGfx> rec;
    std::unique_ptr<DXC_3dScene> scene;
    DXC_Camera freeCamera;
    DXC_Light lightTemplate;
};

void ExpectVector(const D3DXVECTOR3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
    EXPECT_NEAR(v.z, z, 1e-4f);
}

TEST_F(StartupViewTest, SceneWithoutCamerasStartsFromTheFreeCameraBelowTheCentre) {
    TwoQuads();
    const StartupView view = Apply();
    const float r = std::sqrt(5.0f * 5.0f + 1.0f * 1.0f); // half the box diagonal
    EXPECT_NEAR(view.radius, r, 1e-4f);
    ExpectVector(view.centre, 0, 0, 0);
    EXPECT_NEAR(view.navigationSpeed, 2 * r, 1e-4f);
    EXPECT_EQ(view.camera, -1);
    EXPECT_EQ(scene->GetCurrentCamera(), -1);
    ExpectVector(freeCamera.position, 0, -2.8f * r, 0);
    ExpectVector(freeCamera.direction, 0, 1, 0);
    ExpectVector(freeCamera.up, 0, 0, 1);
    EXPECT_NEAR(rec->gfx->GetNearPlane(), r / 20, 1e-5f);
    EXPECT_NEAR(rec->gfx->GetFarPlane(), 5 * r, 1e-4f);
    // The projection's vertical scale is cot(fov / 2) for the field of view 0.7854.
    EXPECT_NEAR(rec->gfx->GetProjectionMatrix()._22, 1.0f / std::tan(0.7854f / 2), 1e-4f);
    // The free camera's view puts the centre straight ahead at distance 2.8 r.
    const D3DXMATRIX v = CameraViewMatrix(freeCamera);
    D3DXVECTOR3 centre(0, 0, 0), seen;
    D3DXVec3TransformCoord(&seen, &centre, &v);
    ExpectVector(seen, 0, 0, 2.8f * r);
}

TEST_F(StartupViewTest, ClippingPlanesFromTheOptionsWhenTheyDiffer) {
    TwoQuads();
    StartupViewOptions options;
    options.nearPlane = 0.5f;
    options.farPlane = 0.5f; // equal: from the scene
    Apply(options);
    EXPECT_NEAR(rec->gfx->GetFarPlane(), 5 * std::sqrt(26.0f), 1e-4f);
    options.farPlane = 300.0f;
    Apply(options);
    EXPECT_FLOAT_EQ(rec->gfx->GetNearPlane(), 0.5f);
    EXPECT_FLOAT_EQ(rec->gfx->GetFarPlane(), 300.0f);
}

TEST_F(StartupViewTest, CameraNumberPastTheLastSelectsTheFreeCamera) {
    TwoQuads();
    scene->Cameras().AddNew();
    scene->Cameras().AddNew();
    StartupViewOptions options;
    options.camera = 1;
    EXPECT_EQ(Apply(options).camera, 1);
    EXPECT_EQ(scene->GetCurrentCamera(), 1);
    options.camera = 2;
    EXPECT_EQ(Apply(options).camera, -1);
    options.camera = 5;
    EXPECT_EQ(Apply(options).camera, -1);
    EXPECT_EQ(scene->GetCurrentCamera(), -1);
}

TEST_F(StartupViewTest, ViewOptionsAreWrittenBackAndASceneWithoutMeshesShowsHelpersAndLinks) {
    TwoQuads();
    StartupViewOptions options;
    options.mirror = 0;
    StartupView view = Apply(options);
    EXPECT_EQ(view.noMesh, 0);
    EXPECT_EQ(scene->viewOptions.clear, 1);
    EXPECT_EQ(scene->viewOptions.mirror, 0);
    EXPECT_EQ(scene->viewOptions.selectedHelper, -2);

    scene = std::make_unique<DXC_3dScene>();
    scene->Helpers().AddNew();
    view = Apply();
    EXPECT_EQ(view.noMesh, 1);
    EXPECT_EQ(scene->viewOptions.mirror, 1);
    EXPECT_EQ(scene->viewOptions.selectedHelper, -1);
    EXPECT_EQ(scene->viewOptions.showLinks, 1);
    EXPECT_EQ(view.viewOptions.showLinks, 1);
    // One helper has no size: the projection stays finite.
    EXPECT_TRUE(std::isfinite(rec->gfx->GetProjectionMatrix()._33));
}

TEST_F(StartupViewTest, SceneWithoutLightsGetsTwoDefaultLightsThatKeepTheirDirections) {
    TwoQuads();
    Apply();
    ASSERT_EQ(scene->GetLightCount(), 2);
    for (int32_t i = 0; i < 2; ++i) {
        const D3DLIGHT8& l = scene->GetLightAt(i)->light;
        EXPECT_EQ(l.Type, D3DLIGHT_DIRECTIONAL);
        EXPECT_FLOAT_EQ(l.Diffuse.r, 2.0f);
        EXPECT_FLOAT_EQ(l.Specular.g, 0.6f);
        EXPECT_FLOAT_EQ(l.Ambient.b, 0.3f);
        EXPECT_FLOAT_EQ(l.Diffuse.a, 0.0f);
        EXPECT_FLOAT_EQ(l.Range, 18446744073709551616.0f);
        EXPECT_EQ(scene->GetLightAt(i)->enabled, 1);
    }
    // The scene's update recomputes every light's direction from its node: the default lights
    // must still shine along their own directions afterwards.
    scene->Update(0.5f, 1);
    const float s = 1.0f / std::sqrt(1.25f);
    ExpectVector(scene->GetLightAt(0)->direction, 0, -0.5f * s, -s);
    ExpectVector(scene->GetLightAt(1)->direction, -std::sqrt(0.5f), std::sqrt(0.5f), 0);
    D3DXVECTOR3 d1(scene->GetLightAt(1)->light.Direction.x, scene->GetLightAt(1)->light.Direction.y,
                   scene->GetLightAt(1)->light.Direction.z);
    ExpectVector(d1, -std::sqrt(0.5f), std::sqrt(0.5f), 0);

    // A scene with a light of its own gets none.
    scene = std::make_unique<DXC_3dScene>();
    TwoQuads();
    scene->Lights().AddNew();
    Apply();
    EXPECT_EQ(scene->GetLightCount(), 1);
}

} // namespace
