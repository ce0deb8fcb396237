#include "support/LogCapture.h"

#include "foundation/SearchTree.h"

namespace {

struct MeshInfo {
    String name;
    int id = 0;
};

using SearchTreeTest = LogCaptureTest;

} // namespace

TEST_F(SearchTreeTest, NamesDifferingInCaseAreOneName) {
    SearchTree<MeshInfo> tree;
    EXPECT_STREQ(tree.GetObjectName(), "SearchTree");
    MeshInfo* box = tree.Insert("Box01");
    ASSERT_NE(box, nullptr);
    EXPECT_STREQ(box->name.Text(), "Box01");
    box->id = 7;
    EXPECT_EQ(tree.Insert("BOX01"), nullptr);
    EXPECT_EQ(tree.Find("box01"), box);
    EXPECT_EQ(tree.Find(String("bOx01"))->id, 7);
    EXPECT_EQ(tree.Find("box0"), nullptr);
    EXPECT_EQ(tree.Find("box011"), nullptr);
    EXPECT_EQ(tree.Find("Sphere"), nullptr);
}

TEST_F(SearchTreeTest, ShortNamesAndFullBuckets) {
    SearchTree<MeshInfo> tree;
    MeshInfo* a = tree.Insert("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(tree.Find("A"), a);
    // More names under one first character than a bucket starts with.
    std::vector<MeshInfo*> bones;
    for (int i = 0; i < 40; ++i) {
        bones.push_back(tree.Insert(("Bone" + std::to_string(i)).c_str()));
        ASSERT_NE(bones.back(), nullptr);
        bones.back()->id = i;
    }
    for (int i = 0; i < 40; ++i) EXPECT_EQ(tree.Find(("bone" + std::to_string(i)).c_str()), bones[i]);
    EXPECT_EQ(tree.Find("Bone40"), nullptr);
    EXPECT_EQ(tree.Find("a")->id, 0);
    tree.Clear();
    EXPECT_EQ(tree.Find("a"), nullptr);
    EXPECT_NE(tree.Insert("a"), nullptr);
}

TEST_F(SearchTreeTest, CaseSensitiveTreeKeepsCase) {
    SearchTree<MeshInfo> tree(1);
    MeshInfo* lower = tree.Insert("box");
    MeshInfo* upper = tree.Insert("Box");
    ASSERT_NE(lower, nullptr);
    ASSERT_NE(upper, nullptr);
    EXPECT_NE(lower, upper);
    EXPECT_EQ(tree.Find("box"), lower);
    EXPECT_EQ(tree.Find("Box"), upper);
    EXPECT_EQ(tree.Find("BOX"), nullptr);
}

TEST_F(SearchTreeTest, BadNamesAreReported) {
    SearchTree<MeshInfo> tree;
    try {
        tree.Insert("\x1f"
                    "abc");
        FAIL() << "no exception";
    } catch (const ErrorMsg& e) {
        EXPECT_STREQ(e.message, "Character in name string out of range: 31");
    }
    EXPECT_THROW(tree.Find(""), ErrorMsg);
    EXPECT_EQ(entries.back(), "Error:SearchTree: Empty name string");
    tree.SetThrowFlag(0);
    EXPECT_EQ(tree.Insert("\xe4pfel"), nullptr); // a Latin-1 umlaut: code 228
    EXPECT_EQ(entries.back(), "Error:SearchTree: Character in name string out of range: 228");
    EXPECT_EQ(tree.Insert(""), nullptr);
    // Only the branching character is checked; the rest is compared in the bucket.
    EXPECT_NE(tree.Insert("A\xe4"), nullptr);
    EXPECT_NE(tree.Find("a\xe4"), nullptr);
}
