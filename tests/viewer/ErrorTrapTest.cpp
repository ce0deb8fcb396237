#include "viewer/ErrorTrap.h"
#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Box {
    std::string caption, text;
};

class ErrorTrapTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLogDirectory(::testing::TempDir());
        SetMessageBoxPresenter([this](const char* caption, const char* text) {
            boxes.push_back({caption, text});
            return true;
        });
    }
    void TearDown() override { SetMessageBoxPresenter(nullptr); }
    std::vector<Box> boxes;
};

class Reporter : public DXC_Base {
public:
    Reporter() { SetObjectName("DXC_Gfx"); }
};
class Reader : public ErrorClass {
public:
    Reader() { SetObjectName("KZVLoader"); }
};

} // namespace

TEST_F(ErrorTrapTest, NormalEndPassesTheCodeThrough) {
    int shutdowns = 0;
    EXPECT_EQ(RunInErrorTrap([] { return 1; }, [&] { ++shutdowns; }), 1);
    EXPECT_EQ(shutdowns, 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ErrorTrapTest, EngineErrorsBecomeABoxAfterShutdown) {
    std::vector<std::string> order;
    int code = RunInErrorTrap(
        [] {
            Reporter r;
            r.Error("BeginScene failed: %s", "D3DERR_INVALIDCALL");
            return 1;
        },
        [&] { order.push_back("shutdown:" + std::to_string(boxes.size())); });
    EXPECT_EQ(code, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(order, std::vector<std::string>{"shutdown:0"});
    EXPECT_EQ(boxes[0].caption, "DXC Error (DirectX8)");
    EXPECT_EQ(boxes[0].text, "DXC_Gfx: BeginScene failed: D3DERR_INVALIDCALL");

    code = RunInErrorTrap(
        [] {
            Reader r;
            r.Error("Unexpected end of file");
            return 1;
        },
        nullptr);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].text, "KZVLoader: Unexpected end of file");
}
