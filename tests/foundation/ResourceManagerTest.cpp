#include "support/LogCapture.h"

#include "foundation/ResourceManager.h"

namespace {
using ResourceManagerTest = LogCaptureTest;
}

TEST_F(ResourceManagerTest, CountsHoldersAndRemovesTheEntryWithTheLast) {
    ResourceManager rm;
    EXPECT_STREQ(rm.GetObjectName(), "ResourceManager");
    int texture = 0;
    const int id = rm.Add(&texture, "maps\\Wood.bmp");
    EXPECT_EQ(id, 0);
    EXPECT_EQ(rm.Acquire("MAPS\\wood.BMP"), id);
    EXPECT_EQ(rm.Acquire(String("maps\\wood.bmp")), id);
    EXPECT_EQ(rm.Get(id)->refCount, 3);
    EXPECT_EQ(rm.Get(id)->resource, &texture);
    EXPECT_EQ(rm.Unacquire(id), 0);
    EXPECT_EQ(rm.Unacquire(id), 0);
    EXPECT_EQ(rm.Unacquire(id), 1);
    EXPECT_EQ(rm.Get(id), nullptr);
    EXPECT_EQ(rm.GetCount(), 0);
    EXPECT_EQ(rm.Acquire("maps\\wood.bmp"), -1);
}

TEST_F(ResourceManagerTest, NoResourceIdIsLeftAlone) {
    ResourceManager rm;
    rm.Add(nullptr, "a");
    EXPECT_EQ(rm.Acquire(-1), -1);
    EXPECT_EQ(rm.Unacquire(-1), 1);
    EXPECT_EQ(rm.GetAt(0)->refCount, 1);
    EXPECT_TRUE(entries.empty());
}

TEST_F(ResourceManagerTest, BadIdsAndNamesAreErrors) {
    ResourceManager rm;
    rm.Add(nullptr, "a");
    try {
        rm.Acquire(7);
        FAIL() << "no exception";
    } catch (const DXC_Error& e) {
        EXPECT_STREQ(e.name, "ResourceManager");
        EXPECT_STREQ(e.message, "Invalid ID number in Acquire:7");
    }
    EXPECT_THROW(rm.Unacquire(100000), DXC_Error);
    EXPECT_EQ(entries.back(), "Error:ResourceManager: Invalid ID number in Unacquire");
    EXPECT_THROW(rm.Acquire(""), DXC_Error);
    EXPECT_EQ(entries.back(), "Error:ResourceManager: Invalid file name in Acquire!");
    EXPECT_EQ(rm.GetAt(0)->refCount, 1);
}

TEST_F(ResourceManagerTest, OverlongNamesAreCutAndNeverShared) {
    ResourceManager rm;
    const std::string longName(300, 'p');
    const int id = rm.Add(nullptr, longName.c_str());
    EXPECT_EQ(std::string(rm.Get(id)->name), std::string(255, 'p'));
    EXPECT_EQ(rm.Acquire(longName.c_str()), -1);
    EXPECT_EQ(rm.Acquire(std::string(255, 'p').c_str()), -1);
}
