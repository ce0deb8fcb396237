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
    s.Append(".bak");
    EXPECT_STREQ(s.Text(), "Textures/Anim.IFL.bak");
    EXPECT_EQ(s.Length(), 21);
    EXPECT_TRUE(s.EqualsNoCase("textures/anim.ifl.BAK"));
    EXPECT_FALSE(s.Equals("textures/anim.ifl.bak"));
}
