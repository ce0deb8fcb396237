// A recording device per test, released at the end.
#pragma once

#include "platform/d3d8/RecordingDevice.h"

#include <gtest/gtest.h>

class RecordingDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = CreateRecordingDevice(640, 480);
        ASSERT_NE(device_, nullptr);
        recording_ = AsRecordingDevice(device_);
        ASSERT_NE(recording_, nullptr);
    }
    void TearDown() override {
        if (device_) {
            EXPECT_EQ(device_->Release(), 0u) << "something still holds the device";
        }
    }

    IDirect3DDevice8* device_ = nullptr;
    RecordingDevice* recording_ = nullptr;
};
