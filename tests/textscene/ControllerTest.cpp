#include "LoaderTestSupport.h"

#include <cmath>

namespace {

class ControllerTest : public SceneLoaderTest {
protected:
    // Loads a helper whose TM_ANIMATION holds the given controller blocks; the scene timing
    // makes one second 4800 ticks unless a SCENE block says otherwise.
    std::string LoadAnimation(const std::string& controllers, const std::string& sceneBlock = "") {
        return Load(sceneBlock + "*HELPEROBJECT { *NODE_NAME \"H\" *TM_ANIMATION {\n" + controllers +
                    "\n} }");
    }
    DXC_3dObject* Helper() { return scene.GetHelperAt(0); }
    std::vector<const DXC_RotKey*> RotKeys() {
        std::vector<const DXC_RotKey*> keys;
        for (const DXC_RotKey* k = Helper()->rotKeys.First(); k; k = k->next) keys.push_back(k);
        return keys;
    }
};

} // namespace

TEST_F(ControllerTest, LargeTcbTurnsAreSplitWithTheParametersOnTheLastPart) {
    ASSERT_EQ(LoadAnimation("*CONTROL_ROT_TCB { *CONTROL_TCB_ROT_KEY 0 0 0 1 0 0.5 0.1 0.2 0.3 0.4\n"
                            "*CONTROL_TCB_ROT_KEY 480 0 0 1 7.0 0.5 0.1 0.2 0.3 0.4 }"),
              "");
    const auto keys = RotKeys();
    ASSERT_EQ(keys.size(), 4u);
    const float seconds[4] = {0.0f, 160.0f / 4800.0f, 320.0f / 4800.0f, 480.0f / 4800.0f};
    for (int i = 1; i < 4; ++i) {
        EXPECT_NEAR(keys[i]->time, seconds[i], 1e-6f);
        EXPECT_FLOAT_EQ(keys[i]->data.angle, 7.0f / 3.0f);
        EXPECT_FLOAT_EQ(keys[i]->data.axis.z, -1.0f); // stored negated
        EXPECT_EQ(keys[i]->type, KeyTypeTCB);
    }
    EXPECT_FLOAT_EQ(keys[1]->data.tension, 0.0f);
    EXPECT_FLOAT_EQ(keys[2]->data.easeOut, 0.0f);
    EXPECT_FLOAT_EQ(keys[3]->data.tension, 0.5f);
    EXPECT_FLOAT_EQ(keys[3]->data.easeOut, 0.4f);
    EXPECT_EQ(Helper()->rotKeys.Count(), 4);
}

TEST_F(ControllerTest, SampleAnglesWrapAndSplitAndTheFirstKeyStaysWhole) {
    ASSERT_EQ(LoadAnimation("*CONTROL_ROT_TRACK { *CONTROL_ROT_SAMPLE 0 0 0 1 9.0\n"
                            "*CONTROL_ROT_SAMPLE 160 0 0 1 4.0\n*CONTROL_ROT_SAMPLE 320 0 0 1 3.141592 }"),
              "");
    const auto keys = RotKeys();
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_FLOAT_EQ(keys[0]->data.angle, 9.0f); // the first key is never split
    EXPECT_FLOAT_EQ(keys[1]->data.angle, 4.0f - 6.283184f);
    EXPECT_FLOAT_EQ(keys[2]->data.angle, 1.570796f);
    EXPECT_FLOAT_EQ(keys[3]->data.angle, 1.570796f);
    EXPECT_NEAR(keys[2]->time, 240.0f / 4800.0f, 1e-6f);
    EXPECT_EQ(keys[3]->type, KeyTypeLinear);
}

TEST_F(ControllerTest, RotationKeysOutOfOrderAreSkipped) {
    ASSERT_EQ(LoadAnimation("*CONTROL_ROT_TRACK { *CONTROL_ROT_SAMPLE 200 0 0 1 0.1\n"
                            "*CONTROL_ROT_SAMPLE 100 0 0 1 0.2\n*CONTROL_ROT_SAMPLE 250 0 0 1 0.3 }"),
              "");
    const auto keys = RotKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_FLOAT_EQ(keys[1]->data.angle, 0.3f);
    EXPECT_EQ(CountEntries("Skipped wrong order rotation key in file: " + (dir / "scene.kzv").string()), 1);
}

TEST_F(ControllerTest, HostileRotationAnglesEndTheLoad) {
    const std::string first = "*CONTROL_ROT_TRACK { *CONTROL_ROT_SAMPLE 0 0 0 1 0.1\n";
    EXPECT_EQ(Message(LoadAnimation(first + "*CONTROL_ROT_SAMPLE 10 0 0 1 1e30 }")),
              "Rotation key angle 1e+30 too large in object 'H'");
    EXPECT_EQ(Message(LoadAnimation(first + "*CONTROL_ROT_SAMPLE 10 0 0 1 nan }")),
              "Invalid rotation key at time 10 in object 'H'");
    // Turns of up to 4096 half turns per key are spread as usual.
    EXPECT_EQ(LoadAnimation(first + "*CONTROL_ROT_SAMPLE 4800 0 0 1 3000 }"), "");
    EXPECT_EQ(Helper()->rotKeys.Count(), 1 + 955);
}

TEST_F(ControllerTest, PositionAndScaleKeys) {
    ASSERT_EQ(LoadAnimation("*CONTROL_POS_BEZIER {\n"
                            " *CONTROL_BEZIER_POS_KEY 0 0 0 0 1 1 1 1 1 1\n"
                            " *CONTROL_BEZIER_POS_KEY 160 1 0 0 1 1 1 2 2 2 0 \n"
                            " *CONTROL_BEZIER_POS_KEY 480 2 0 0 1 1 1 1 1 1 }\n"
                            "*CONTROL_SCALE_TRACK { *CONTROL_SCALE_SAMPLE 0 -1 2 -3\n"
                            " *CONTROL_BEZIER_SCALE_KEY 160 1 1 1 9 9 9 9 9 9 }"),
              "");
    const DXC_PosKey* middle = Helper()->posKeys.First()->next;
    EXPECT_EQ(middle->type, KeyTypeBezier);
    EXPECT_FLOAT_EQ(middle->data.inTangent.x, 160.0f);  // x the interval before, in ticks
    EXPECT_FLOAT_EQ(middle->data.outTangent.y, 640.0f); // x the interval after
    EXPECT_NEAR(middle->time, 160.0f / 4800.0f, 1e-7f);
    const DXC_ScaleKey* scale = Helper()->scaleKeys.First();
    EXPECT_EQ(scale->data.value, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(scale->type, KeyTypeLinear);
    EXPECT_EQ(scale->next->data.inTangent, D3DXVECTOR3(0, 0, 0)); // tangents of scale keys are not read
}

TEST_F(ControllerTest, TicksBecomeSecondsFromTheFirstFrame) {
    ASSERT_EQ(
        LoadAnimation("*CONTROL_POS_TRACK { *CONTROL_POS_SAMPLE 1600 0 0 0 *CONTROL_POS_SAMPLE 6400 1 0 0 }",
                      "*SCENE { *SCENE_FIRSTFRAME 10 *SCENE_FRAMESPEED 30 *SCENE_TICKSPERFRAME 160 }\n"),
        "");
    EXPECT_FLOAT_EQ(Helper()->posKeys.First()->time, 0.0f);
    EXPECT_FLOAT_EQ(Helper()->posKeys.Last()->time, 1.0f);
    EXPECT_EQ(Helper()->posKeys.IndexSize(), 2);
}

TEST_F(ControllerTest, TcbControlsFollowTheNeighbours) {
    ASSERT_EQ(LoadAnimation("*CONTROL_ROT_TCB { *CONTROL_TCB_ROT_KEY 0 0 0 1 0 1 0 0 0 0 }"), "");
    const DXC_RotKey* single = Helper()->rotKeys.First();
    EXPECT_EQ(single->data.inControl, single->data.rotation);
    EXPECT_EQ(single->data.outControl, single->data.rotation);

    ASSERT_EQ(LoadAnimation(
                  "*CONTROL_ROT_TCB { *CONTROL_TCB_ROT_KEY 0 0 0 1 0 0 0 0 0 0\n"
                  "*CONTROL_TCB_ROT_KEY 160 0 0 1 1 0 0 0 0 0\n*CONTROL_TCB_ROT_KEY 320 0 0 1 1 0 0 0 0 0 }"),
              "");
    const auto keys = RotKeys();
    ASSERT_EQ(keys.size(), 3u);
    // Tension 0 on an even turn: the controls lie on the arc a third of the way to the
    // neighbours, so the middle key's controls turn by -1/3 and +1/3 of a key step.
    auto angleZ = [](const D3DXQUATERNION& q) { return 2.0f * std::atan2(q.z, q.w); };
    const float middle = angleZ(keys[1]->data.rotation);
    EXPECT_NEAR(angleZ(keys[1]->data.inControl), middle + 1.0f / 3.0f, 1e-4f);
    EXPECT_NEAR(angleZ(keys[1]->data.outControl), middle - 1.0f / 3.0f, 1e-4f);
    // The first key's out control: halfway to the next key (tension 0).
    EXPECT_NEAR(angleZ(keys[0]->data.outControl), angleZ(keys[0]->data.rotation) - 0.5f, 1e-4f);
}
