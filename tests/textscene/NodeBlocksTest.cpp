#include "LoaderTestSupport.h"

namespace {

using NodeBlocksTest = SceneLoaderTest;

std::string Light(const std::string& type, const std::string& settings = "") {
    return "*LIGHTOBJECT { *NODE_NAME \"L\" " + (type.empty() ? "" : "*LIGHT_TYPE " + type) +
           " *LIGHT_USELIGHT 0 *LIGHT_SETTINGS { " + settings + " } }";
}

// A camera block as the exporter writes a target camera: the target's transform and keys
// inside the camera block, named after the target.
const char* const TargetCamera = "*CAMERAOBJECT {\n *NODE_NAME \"Cam\"\n"
                                 " *NODE_TM { *NODE_NAME \"Cam\" *TM_POS 0 -10 0 }\n"
                                 " *NODE_TM { *NODE_NAME \"Cam.Target\" *TM_POS 5 5 5 }\n"
                                 " *CAMERA_SETTINGS { *CAMERA_FOV 0.5 }\n"
                                 " *TM_ANIMATION { *NODE_NAME \"Cam\" *CONTROL_POS_TRACK {\n"
                                 "  *CONTROL_POS_SAMPLE 0 0 -10 0 *CONTROL_POS_SAMPLE 4800 0 -20 0 } }\n"
                                 " *TM_ANIMATION { *NODE_NAME \"Cam.Target\" *CONTROL_POS_TRACK {\n"
                                 "  *CONTROL_POS_SAMPLE 0 5 5 5 } }\n"
                                 "}\n";

} // namespace

TEST_F(NodeBlocksTest, LightTypesAndSettings) {
    EXPECT_EQ(
        Load(Light("Target", "*LIGHT_COLOR 1 0.5 0 *LIGHT_INTENS 2 *LIGHT_COLOR 0 0 1 *LIGHT_HOTSPOT 45 "
                             "*LIGHT_FALLOFF 90 *LIGHT_TDIST 7 *LIGHT_ASPECT -1")),
        "");
    const DXC_Light* light = scene.GetLightAt(0);
    EXPECT_EQ(light->light.Type, D3DLIGHT_SPOT);
    EXPECT_EQ(light->objectType, ObjectTypeLight);
    EXPECT_EQ(light->unset, 0);
    EXPECT_EQ(light->enabled, 0);
    EXPECT_FLOAT_EQ(light->light.Diffuse.r, 2.0f); // the colour after the intensity is too late
    EXPECT_FLOAT_EQ(light->light.Diffuse.g, 1.0f);
    EXPECT_FLOAT_EQ(light->light.Specular.g, 1.0f);
    EXPECT_FLOAT_EQ(light->light.Diffuse.a, 1.0f);
    EXPECT_FLOAT_EQ(light->light.Ambient.a, 0.0f);
    EXPECT_NEAR(light->light.Theta, 0.785398f, 1e-6f);
    EXPECT_NEAR(light->light.Phi, 1.570796f, 1e-6f);
    EXPECT_FLOAT_EQ(light->light.Range, 1.84466e19f);
    EXPECT_FLOAT_EQ(light->light.Falloff, 1.0f);
    EXPECT_FLOAT_EQ(light->light.Attenuation0, 1.0f);
    EXPECT_TRUE(entries.empty()) << AllEntries();

    EXPECT_EQ(Load(Light("Directional", "*LIGHT_ASPECT 2")), "");
    EXPECT_EQ(scene.GetLightAt(0)->light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(CountEntries("Light aspect other than 1"), 1);
    for (const char* type : {"omni", "Free", ""}) {
        entries.clear();
        ResetReportState(); // no folding with the warning of the load before
        EXPECT_EQ(Load(Light(type)), "");
        EXPECT_EQ(scene.GetLightAt(0)->light.Type, D3DLIGHT_POINT) << type;
        EXPECT_EQ(CountEntries("Unknown light type changed to omni"), 1) << type;
    }
    // A light cut off by the end of the file keeps no type.
    EXPECT_EQ(Load("*LIGHTOBJECT { *NODE_NAME \"Cut\" *LIGHT_TYPE Omni"), "");
    EXPECT_EQ(scene.GetLightAt(0)->unset, 1);
}

TEST_F(NodeBlocksTest, HelpersBonesAndCameras) {
    EXPECT_EQ(Load("*BONEOBJECT { *NODE_NAME \"Bone\" *NODE_PARENT \"Root\"\n"
                   " *MESH { *MESH_NUMVERTEX 3 *MESH_NUMFACES 1 *MESH_VERTEX_LIST { *MESH_VERTEX 0 0 0 0\n"
                   "  *MESH_VERTEX 1 1 0 0 *MESH_VERTEX 2 0 1 0 } *MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 "
                   "C: 2 } } }"
                   "\n*HELPEROBJECT { *NODE_NAME \"Root\" *NODE_VISIBLE 0 }\n"
                   "*CAMERAOBJECT { *NODE_NAME \"Free\" *CAMERA_SETTINGS { *CAMERA_FOV 1.25 } }"),
              "");
    EXPECT_EQ(scene.GetMeshCount(), 0); // a mesh block inside a bone is passed over
    ASSERT_EQ(scene.GetHelperCount(), 2);
    EXPECT_EQ(scene.GetHelperAt(0)->objectType, ObjectTypeBone);
    EXPECT_EQ(scene.GetHelperAt(0)->GetParent(), scene.GetHelperAt(1));
    EXPECT_EQ(scene.GetHelperAt(1)->objectType, ObjectTypeHelper);
    const DXC_Camera* camera = scene.GetCameraAt(0);
    EXPECT_EQ(camera->objectType, ObjectTypeCamera);
    EXPECT_FLOAT_EQ(camera->fov, 1.25f);
    EXPECT_TRUE(camera->targetName.IsEmpty());
    EXPECT_EQ(camera->GetTarget(), nullptr);
}

TEST_F(NodeBlocksTest, TargetWrittenInsideTheCameraBlockBelongsToTheTarget) {
    EXPECT_EQ(Load(TargetCamera), "");
    DXC_Camera* camera = scene.GetCameraAt(0);
    EXPECT_FLOAT_EQ(camera->nodeTransform.position.y, -10.0f); // the camera keeps its own
    EXPECT_EQ(camera->posKeys.Count(), 2);
    EXPECT_STREQ(camera->targetName.Text(), "Cam.Target");
    ASSERT_EQ(scene.GetHelperCount(), 1);
    DXC_3dObject* target = scene.GetHelperAt(0);
    EXPECT_STREQ(target->name.Text(), "Cam.Target");
    EXPECT_FLOAT_EQ(target->nodeTransform.position.x, 5.0f);
    EXPECT_EQ(target->posKeys.Count(), 1);
    EXPECT_EQ(camera->GetTarget(), target);

    // A target block after the camera fills the same helper; its keys replace those above.
    EXPECT_EQ(Load(std::string(TargetCamera) +
                   "*TARGETOBJECT { *NODE_NAME \"Cam.Target\" *NODE_TM { *TM_POS 6 6 6 }\n"
                   " *TM_ANIMATION { *CONTROL_POS_TRACK { *CONTROL_POS_SAMPLE 0 6 6 6 *CONTROL_POS_SAMPLE "
                   "160 7 7 7 } } }"),
              "");
    ASSERT_EQ(scene.GetHelperCount(), 1);
    EXPECT_FLOAT_EQ(scene.GetHelperAt(0)->nodeTransform.position.x, 6.0f);
    EXPECT_EQ(scene.GetHelperAt(0)->posKeys.Count(), 2);

    // A target name given with TARGET_NODE is kept.
    std::string named(TargetCamera);
    named.insert(named.find(" *CAMERA_SETTINGS"), " *TARGET_NODE \"Elsewhere\"\n");
    EXPECT_EQ(Load(named + "*HELPEROBJECT { *NODE_NAME \"Elsewhere\" }"), "");
    EXPECT_STREQ(scene.GetCameraAt(0)->targetName.Text(), "Elsewhere");
}
