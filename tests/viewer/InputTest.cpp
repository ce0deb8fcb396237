// The keyboard state: presses, releases and the auto-repeat of held keys.
#include <gtest/gtest.h>

#include "ViewerTestSupport.h"
#include "support/LogCapture.h"
#include "viewer/Input.h"

namespace {

class KeyboardTest : public LogCaptureTest {
protected:
    void SetUp() override {
        LogCaptureTest::SetUp();
        input.Create(&events);
        input.AddKeyboard(&keyboard, 6);
        keyboard.repeatDelay = 0.3f;
        keyboard.repeatRate = 30.0f;
    }
    int32_t FrameAt(double t, uint8_t key) {
        clock.now = t;
        keyboard.UpdateKeyboard(0);
        return keyboard.KeyPresses(key);
    }

    FakeClock clock;
    ScriptedEvents events;
    DXC_Input input;
    DXC_InputKeybrd keyboard{clock.Source()};
};

TEST_F(KeyboardTest, HeldKeyActsAtThePressAndThenAtDelayPlusWholeRepeatPeriods) {
    events.keyboard.Press(DIK_S);
    EXPECT_EQ(FrameAt(10.0, DIK_S), 1);
    EXPECT_EQ(FrameAt(10.2, DIK_S), 0);
    EXPECT_EQ(FrameAt(10.3, DIK_S), 0); // the delay itself does not repeat yet
    EXPECT_EQ(FrameAt(10.3 + 1.0 / 30 - 1e-3, DIK_S), 0);
    EXPECT_EQ(FrameAt(10.3 + 1.0 / 30, DIK_S), 1); // k = 1, exactly on time
    EXPECT_EQ(FrameAt(10.3 + 1.0 / 30 + 1e-3, DIK_S), 0);
    EXPECT_EQ(FrameAt(10.3 + 5.0 / 30, DIK_S), 4); // a slow frame collects k = 2..5
    EXPECT_EQ(FrameAt(10.3 + 6.0 / 30, DIK_S), 1);
}

TEST_F(KeyboardTest, OneSecondHeldGivesThePressAndTwentyOneRepeats) {
    events.keyboard.Press(DIK_S);
    int32_t total = 0, framesActing = 0;
    for (int i = 0; i <= 64; ++i) { // 64 frames a second, the last at exactly 1 s
        const int32_t n = FrameAt(20.0 + i / 64.0, DIK_S);
        total += n;
        framesActing += n > 0;
    }
    EXPECT_EQ(total, 22);
    EXPECT_EQ(framesActing, 22);
}

TEST_F(KeyboardTest, ReleaseStopsPressesAndAnewPressStartsOver) {
    events.keyboard.Press(DIK_V);
    EXPECT_EQ(FrameAt(1.0, DIK_V), 1);
    EXPECT_EQ(keyboard.IsKeyDown(DIK_V), 1);
    events.keyboard.Release(DIK_V);
    EXPECT_EQ(FrameAt(2.0, DIK_V), 0);
    EXPECT_EQ(keyboard.IsKeyDown(DIK_V), 0);
    events.keyboard.Press(DIK_V);
    EXPECT_EQ(FrameAt(2.5, DIK_V), 1);
    EXPECT_EQ(FrameAt(2.5 + 0.3 + 1.0 / 30, DIK_V), 1); // timed from the new press
}

TEST_F(KeyboardTest, NoRepeatRateMeansOnePressPerPress) {
    keyboard.repeatRate = 0.0f;
    events.keyboard.Press(DIK_H);
    EXPECT_EQ(FrameAt(1.0, DIK_H), 1);
    EXPECT_EQ(FrameAt(5.0, DIK_H), 0);
}

TEST_F(KeyboardTest, UnreadableKeyboardWarnsAndKeepsTheLastState) {
    events.keyboard.Press(DIK_ESCAPE);
    clock.now = 1.0;
    ASSERT_EQ(keyboard.UpdateKeyboard(0), 1);
    events.keyboard.readable = false;
    events.keyboard.acquirable = false;
    EXPECT_EQ(keyboard.UpdateKeyboard(0), 0);
    EXPECT_EQ(keyboard.IsKeyDown(DIK_ESCAPE), 1);
    events.keyboard.acquirable = true;
    EXPECT_EQ(keyboard.UpdateKeyboard(0), 0);
    const std::vector<std::string> w = Warnings();
    ASSERT_EQ(w.size(), 2u);
    EXPECT_NE(w[0].find("DXC_InputKeybrd: Failed to acquire keyboard."), std::string::npos) << w[0];
    EXPECT_NE(w[1].find("DXC_InputKeybrd: Failed to get device state."), std::string::npos) << w[1];
}

} // namespace
