#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"
#include "platform/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = folder_.Path();
        fs::create_directories(root_ / "Maps" / "Sub");
        std::ofstream(root_ / "Maps" / "Sub" / "Brick.jpg") << "brick";
    }
    std::string Root() const { return root_.string(); }
    TemporaryFolder folder_{"kzv_fs_"};
    fs::path root_;
};

} // namespace

TEST_F(TempDir, FindsNamesThatDifferOnlyInCase) {
    std::string exact = Root() + "/Maps/Sub/Brick.jpg";
    EXPECT_EQ(ResolvePath(Root() + "/maps/SUB/BRICK.JPG"), exact);
    EXPECT_EQ(ResolvePath(Root() + "\\MAPS\\sub\\brick.JPG"), exact);
    EXPECT_TRUE(FileExists((Root() + "\\maps\\sub\\brick.jpg").c_str()));
    EXPECT_TRUE(IsDirectory((Root() + "/MAPS").c_str()));
    EXPECT_FALSE(FileExists((Root() + "/maps/sub").c_str()));

    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadWholeFile((Root() + "/MAPS/SUB/BRICK.JPG").c_str(), data));
    EXPECT_EQ(std::string(data.begin(), data.end()), "brick");
}

TEST_F(TempDir, MissingPathsStayAsWrittenWithSlashes) {
    EXPECT_EQ(ResolvePath("C:\\maps\\Brick.JPG"), "C:/maps/Brick.JPG");
    EXPECT_EQ(ResolvePath(Root() + "/maps/none/x.png"), Root() + "/maps/none/x.png");
    EXPECT_EQ(OpenFile((Root() + "/nothing.kzv").c_str(), "rb"), nullptr);
    std::vector<unsigned char> data{1, 2};
    EXPECT_FALSE(ReadWholeFile((Root() + "/nothing.kzv").c_str(), data));
    EXPECT_TRUE(data.empty());
}

TEST_F(TempDir, WritingReusesAFileThatDiffersInCase) {
    FILE* f = OpenFile((Root() + "\\maps\\sub\\BRICK.JPG").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("new", f);
    std::fclose(f);
    std::ifstream in(root_ / "Maps" / "Sub" / "Brick.jpg");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "Maps" / "Sub"), fs::directory_iterator{}), 1);
}

TEST(PathParts, BothSeparators) {
    EXPECT_EQ(FileNamePart("C:\\maps\\brick.jpg"), "brick.jpg");
    EXPECT_EQ(FileNamePart("a/b/c.png"), "c.png");
    EXPECT_EQ(FileNamePart("plain.png"), "plain.png");
    EXPECT_EQ(DirectoryPart("a/b\\c.png"), "a/b");
    EXPECT_EQ(DirectoryPart("plain.png"), "");
    EXPECT_EQ(DirectoryPart("/x.kzv"), "/");
    EXPECT_EQ(JoinPath("a", "b.png"), "a/b.png");
    EXPECT_EQ(JoinPath("a/", "b.png"), "a/b.png");
    EXPECT_EQ(JoinPath("", "b.png"), "b.png");
}

TEST_F(TempDir, SettingsStoreStandsInForTheRegistry) {
    setenv("XDG_CONFIG_HOME", Root().c_str(), 1);
    const char* key = "Software\\Halvorn\\KZVView";
    EXPECT_EQ(RegistryKey::FileForKey(key), Root() + "/Halvorn/KZVView.ini");

    RegistryKey missing;
    EXPECT_FALSE(missing.Open(key)); // opening a missing key fails

    RegistryKey writer;
    ASSERT_TRUE(writer.Create(key));
    std::string value;
    EXPECT_EQ(writer.QueryValue("DefaultTexturePath", value, 1024), ENOENT);
    EXPECT_FALSE(SystemErrorText(ENOENT).empty());

    EXPECT_EQ(writer.SetValue("DefaultTexturePath", "/home/me/maps"), 0);
    EXPECT_EQ(writer.SetValue("Other", "x=y"), 0);
    EXPECT_EQ(writer.SetValue("DefaultTexturePath", "/srv/maps"), 0);
    EXPECT_EQ(writer.SetValue("Bad", "two\nlines"), EINVAL);

    RegistryKey reader;
    ASSERT_TRUE(reader.Open(key));
    EXPECT_EQ(reader.QueryValue("DefaultTexturePath", value, 1024), 0);
    EXPECT_EQ(value, "/srv/maps");
    EXPECT_EQ(reader.QueryValue("Other", value, 1024), 0);
    EXPECT_EQ(value, "x=y");
    EXPECT_EQ(reader.QueryValue("DefaultTexturePath", value, 4), 0);
    EXPECT_EQ(value, "/sr"); // cut like a read into a 4-byte buffer
    unsetenv("XDG_CONFIG_HOME");
}

TEST(SystemInfo, AvailableMemoryIsReadFromItsOwnLine) {
    TemporaryFolder folder("kzvmeminfo");
    ASSERT_FALSE(folder.Path().empty());
    const std::filesystem::path dir = folder.Path();
    const auto write = [&](const char* name, const char* text) {
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    };
    const std::string full = write("full", "MemTotal:       16318540 kB\nMemFree:          123456 kB\n"
                                           "MemAvailable:    7654321 kB\nBuffers:          1000 kB\n");
    EXPECT_EQ(ReadAvailableMemory(full.c_str()), 7654321ull * 1024);
    const std::string old = write("old", "MemTotal:       16318540 kB\nMemFree:          123456 kB\n");
    EXPECT_EQ(ReadAvailableMemory(old.c_str()), 0u); // a kernel without the line: unknown
    EXPECT_EQ(ReadAvailableMemory((dir / "missing").c_str()), 0u);
    EXPECT_GT(GetFreePhysicalMemory(), 0u);
}

TEST(SystemInfo, MemoryAndDirectory) {
    std::string cwd = GetWorkingDirectory();
    ASSERT_FALSE(cwd.empty());
    EXPECT_TRUE(SetWorkingDirectory("/"));
    EXPECT_EQ(GetWorkingDirectory(), "/");
    EXPECT_TRUE(SetWorkingDirectory(cwd));
    EXPECT_FALSE(SetWorkingDirectory("/no/such/folder/kzv"));
}

// A pipe with no writer blocks an ordinary open for reading, and one with no reader an open
// for writing; a device reads as endless data. None of them is opened, and none waits.
TEST_F(TempDir, OnlyRegularFilesOpenAndNothingWaitsOnAPipe) {
    const std::string pipe = Root() + "/Pipe.kzv";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const char* mode : {"rb", "r+b", "wb", "ab"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(OpenFile(pipe.c_str(), mode), nullptr);
        EXPECT_EQ(OpenFile((Root() + "/PIPE.KZV").c_str(), mode), nullptr); // found by case
        EXPECT_EQ(OpenFile("/dev/zero", mode), nullptr);
        EXPECT_EQ(OpenFile((Root() + "/Maps").c_str(), mode), nullptr);
    }
    std::vector<unsigned char> data;
    EXPECT_FALSE(ReadWholeFile(pipe.c_str(), data));

    EXPECT_TRUE(IsNonRegularFile(pipe.c_str()));
    EXPECT_TRUE(IsNonRegularFile("/dev/zero"));
    EXPECT_TRUE(IsNonRegularFile((Root() + "/maps").c_str()));
    EXPECT_FALSE(IsNonRegularFile((Root() + "/maps/sub/brick.jpg").c_str()));
    EXPECT_FALSE(IsNonRegularFile((Root() + "/missing").c_str()));

    // A regular file still opens for reading, and reads blocking as before.
    FILE* f = OpenFile((Root() + "/maps/sub/brick.jpg").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char text[6] = {};
    EXPECT_EQ(std::fread(text, 1, 5, f), 5u);
    EXPECT_STREQ(text, "brick");
    std::fclose(f);
}
