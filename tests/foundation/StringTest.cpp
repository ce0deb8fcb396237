#include <gtest/gtest.h>

#include <utility>

#include "foundation/String.h"

TEST(StringTest, EmptyTextHoldsNoBuffer) {
    String s;
    EXPECT_STREQ(s.Text(), "");
    EXPECT_EQ(s.Length(), 0);
    s = "abc";
    s = static_cast<const char*>(nullptr);
    EXPECT_STREQ(s.Text(), "");
    EXPECT_EQ(s.Length(), 0);
    s = "abc";
    s = "";
    EXPECT_TRUE(s.IsEmpty());
}

TEST(StringTest, AssignmentFromItselfOrItsOwnTextIsSafe) {
    String s("Box01");
    const String& alias = s;
    s = alias;
    EXPECT_STREQ(s.Text(), "Box01");
    s = s.Text() + 3;
    EXPECT_STREQ(s.Text(), "01");
    EXPECT_EQ(s.Length(), 2);
    String moved(std::move(s));
    EXPECT_STREQ(moved.Text(), "01");
    EXPECT_EQ(s.Length(), 0);
}

TEST(StringTest, AppendAndCountedAssign) {
    String s;
    s.Append("maps\\").Append(nullptr).Append("wood.bmp");
    EXPECT_STREQ(s.Text(), "maps\\wood.bmp");
    EXPECT_EQ(s.Length(), 13);
    s.Assign("abcdef", 3);
    EXPECT_STREQ(s.Text(), "abc");
    char* buffer = s.Allocate(4);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(s.Length(), 4);
    EXPECT_EQ(buffer[4], 0);
}

TEST(StringTest, EndsWithIgnoresCase) {
    String s("Textures/Anim.IFL");
    EXPECT_TRUE(s.EndsWith(".ifl"));
    EXPECT_TRUE(s.EndsWith(""));
    EXPECT_FALSE(s.EndsWith(".bmp"));
    EXPECT_FALSE(s.EndsWith("x/Textures/Anim.IFL"));
    String empty;
    EXPECT_TRUE(empty.EndsWith(nullptr));
    EXPECT_TRUE(empty.EndsWith(""));
    EXPECT_FALSE(empty.EndsWith("a"));
    EXPECT_TRUE(s.EqualsNoCase("textures/anim.ifl"));
    EXPECT_FALSE(s.Equals("textures/anim.ifl"));
}
