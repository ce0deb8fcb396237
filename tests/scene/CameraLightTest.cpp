// Cameras and lights: direction and up from the transform or a target, the setters, pitching,
// the light record following the object, and their stored records.
#include "SceneTestSupport.h"

#include "foundation/File.h"
#include "scene/Camera.h"
#include "scene/Light.h"

namespace {
constexpr float kPi = 3.14159265f;
}

using CameraTest = SceneTest;
using LightTest = SceneTest;

TEST_F(CameraTest, WithoutTargetLooksDownLocalNegativeZ) {
    DXC_Camera cam;
    EXPECT_STREQ(cam.GetObjectName(), "DXC_Camera");
    EXPECT_FLOAT_EQ(cam.fov, 0.785f);
    ExpectVec3(cam.direction, 0, 1, 0); // reset values before the first evaluation
    ExpectVec3(cam.up, 0, 0, 1);
    cam.EvaluateTarget(0, 1, 0);
    ExpectVec3(cam.position, 0, 0, 0);
    ExpectVec3(cam.direction, 0, 0, -1);
    ExpectVec3(cam.up, 0, 1, 0);

    // Turned 90 degrees about Y and moved: the axes follow, the position is the translation.
    cam.nodeTransform.rotationAxis = D3DXVECTOR3(0, 1, 0);
    cam.nodeTransform.rotationAngle = kPi / 2;
    cam.nodeTransform.position = D3DXVECTOR3(1, 2, 3);
    cam.EvaluateTarget(1, 1, 0);
    ExpectVec3(cam.position, 1, 2, 3);
    ExpectVec3(cam.direction, -1, 0, 0);
    ExpectVec3(cam.up, 0, 1, 0);
}

TEST_F(CameraTest, TargetGivesUnnormalisedDirectionAndKeepsUp) {
    DXC_Camera cam;
    DXC_3dObject target;
    target.AddPosKey(PosKey(0, 0, 0, 0));
    target.AddPosKey(PosKey(1, 20, 0, 0));
    target.BuildKeyIndex();
    cam.SetTarget(&target);
    cam.SetUp(0, 0, 2);
    cam.EvaluateTarget(0.5f, 1, 0); // the target is brought to the same time
    ExpectVec3(cam.direction, 10, 0, 0);
    ExpectVec3(cam.up, 0, 0, 1);
}

TEST_F(CameraTest, SettersNormaliseAndPitchTurnsTowardsUp) {
    DXC_Camera cam;
    cam.SetDirection(0, 0, 5);
    ExpectVec3(cam.direction, 0, 0, 1);
    cam.SetDirection(0, 0, -1);
    cam.SetUp(0, 3, 0);
    ExpectVec3(cam.up, 0, 1, 0);
    cam.Pitch(kPi / 2);
    ExpectVec3(cam.direction, 0, 1, 0);
    ExpectVec3(cam.up, 0, 0, 1);
    cam.Pitch(-kPi / 2);
    ExpectVec3(cam.direction, 0, 0, -1);

    cam.SetPosition(1, 2, 3);
    ExpectVec3(cam.position, 1, 2, 3);
    ExpectVec3(cam.nodeTransform.position, 1, 2, 3);
    ExpectVec3(Row4(cam.worldTM), 1, 2, 3); // rebuilt from the node at once
}

TEST_F(LightTest, NewLightIsUnsetWithFalloffOne) {
    DXC_Light light;
    EXPECT_STREQ(light.GetObjectName(), "DXC_Light");
    EXPECT_EQ(light.unset, 1);
    EXPECT_EQ(light.enabled, 1);
    EXPECT_EQ(static_cast<int>(light.light.Type), 0);
    EXPECT_EQ(light.light.Falloff, 1.0f);
    EXPECT_EQ(light.light.Range, 0.0f);
    EXPECT_EQ(light.light.Diffuse.r, 0.0f);
    light.EvaluateTarget(0, 1, 0);
    EXPECT_EQ(light.unset, 1);
}

TEST_F(LightTest, RecordFollowsTheTransformAndPivot) {
    DXC_Light light;
    light.nodeTransform.position = D3DXVECTOR3(10, 0, 0);
    light.EvaluateTarget(0, 1, 0);
    ExpectVec3(light.light.Position, 10, 0, 0);
    ExpectVec3(light.light.Direction, 0, 0, -1);

    // The pivot moves the light one unit along its local Y; the object is turned 90 degrees
    // about Z, so local Y is world -X.
    light.nodeTransform.rotationAxis = D3DXVECTOR3(0, 0, 1);
    light.nodeTransform.rotationAngle = kPi / 2;
    D3DXMatrixTranslation(&light.pivotTM, 0, 1, 0);
    light.EvaluateTarget(1, 1, 0);
    ExpectVec3(light.position, 10, 0, 0);
    ExpectVec3(light.light.Position, 9, 0, 0);
    ExpectVec3(light.light.Direction, 0, 0, -1); // no translation for directions
}

TEST_F(LightTest, SingularWorldMatrixLeavesValuesFinite) {
    DXC_Light light;
    light.nodeTransform.scale = D3DXVECTOR3(0, 0, 0);
    light.nodeTransform.position = D3DXVECTOR3(1, 2, 3);
    D3DXMatrixTranslation(&light.pivotTM, 0, 1, 0);
    light.EvaluateTarget(0, 1, 0);
    ExpectVec3(light.light.Position, 1, 2, 3);
}

TEST_F(LightTest, CameraAndLightRecordsRoundTrip) {
    const std::string path = PathOf("objects.bin");
    DXC_Camera cam;
    cam.name = "Camera01";
    cam.targetName = "Camera01.Target";
    cam.fov = 0.5f;
    DXC_Light light;
    light.name = "Omni01";
    light.unset = 0;
    light.enabled = 0;
    light.light.Type = D3DLIGHT_SPOT;
    light.light.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
    light.light.Range = 100.0f;
    light.light.Phi = 0.75f;
    {
        File f;
        ASSERT_EQ(f.Create(path.c_str()), 1);
        cam.Write(f);
        light.Write(f);
    }
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    DXC_Camera cam2;
    DXC_Light light2;
    cam2.Read(f);
    light2.Read(f);
    EXPECT_EQ(f.GetPosition(), f.GetSize());
    EXPECT_STREQ(cam2.name.Text(), "Camera01");
    EXPECT_STREQ(cam2.targetName.Text(), "Camera01.Target");
    EXPECT_EQ(cam2.fov, 0.5f);
    EXPECT_STREQ(light2.name.Text(), "Omni01");
    EXPECT_EQ(light2.unset, 0);
    EXPECT_EQ(light2.enabled, 0);
    EXPECT_EQ(light2.light.Type, D3DLIGHT_SPOT);
    EXPECT_EQ(light2.light.Diffuse.g, 0.25f);
    EXPECT_EQ(light2.light.Range, 100.0f);
    EXPECT_EQ(light2.light.Phi, 0.75f);
}
