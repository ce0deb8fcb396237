#include "support/LogCapture.h"

#include <cstring>
#include <sys/stat.h>

#include "foundation/File.h"

namespace {

class FileTest : public LogCaptureTest {
protected:
    std::string PathOf(const char* name) const { return (dir / name).string(); }
    void WriteRaw(const char* name, const std::string& bytes) const {
        std::ofstream out(dir / name, std::ios::binary);
        out << bytes;
    }
};

} // namespace

TEST_F(FileTest, ValuesAndStringsRoundTrip) {
    const std::string path = PathOf("scene.3sc");
    {
        File f;
        EXPECT_STREQ(f.GetObjectName(), "File");
        ASSERT_EQ(f.Create(path.c_str()), 1);
        EXPECT_EQ(f.WriteByte(0x1ab), 1);
        EXPECT_EQ(f.WriteShort(-2), 1);
        EXPECT_EQ(f.WriteInt(0x12345678), 1);
        float pi = 3.25f;
        int32_t bits;
        std::memcpy(&bits, &pi, 4);
        EXPECT_EQ(f.WriteInt(bits), 1);
        EXPECT_EQ(f.WriteString(String("Box01")), 1);
        EXPECT_EQ(f.WriteString(String()), 1);
        EXPECT_EQ(f.Printf("%d;%s", 42, "x"), 1);
        EXPECT_EQ(f.Tell(), 1 + 2 + 4 + 4 + 9 + 4 + 4);
        EXPECT_EQ(f.GetFileSize(), 28);
    }
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    EXPECT_EQ(f.GetSize(), 28);
    EXPECT_EQ(f.IsWriteable(), 0);
    uint8_t b = 0;
    int16_t s = 0;
    int32_t i = 0;
    float x = 0;
    String text("old");
    EXPECT_EQ(f.ReadByte(&b), 1);
    EXPECT_EQ(f.ReadShort(&s), 1);
    EXPECT_EQ(f.ReadInt(&i), 1);
    EXPECT_EQ(f.ReadInt(&x), 1);
    EXPECT_EQ(b, 0xab);
    EXPECT_EQ(s, -2);
    EXPECT_EQ(i, 0x12345678);
    EXPECT_EQ(x, 3.25f);
    EXPECT_EQ(f.ReadString(text), 1);
    EXPECT_STREQ(text.Text(), "Box01");
    EXPECT_EQ(f.ReadString(text), 1);
    EXPECT_EQ(text.Length(), 0);
    EXPECT_EQ(f.Tell(), 24); // the empty string took only its count
    char tail[5] = {};
    EXPECT_EQ(f.Read(tail, 4), 1);
    EXPECT_STREQ(tail, "42;x");
}

TEST_F(FileTest, ShortReadIsAnErrorPrefixedWithThePath) {
    const std::string path = PathOf("short%s.3sc"); // a '%' in the path stays literal
    WriteRaw("short%s.3sc", "0123456789");
    File f;
    ASSERT_EQ(f.Open(path.c_str()), 1);
    f.Seek(8);
    int32_t v = 0;
    try {
        f.Read(&v, 4);
        FAIL() << "no exception";
    } catch (const ErrorMsg& e) {
        EXPECT_STREQ(e.name, "File");
        EXPECT_EQ(std::string(e.message), path + ": Error reading from file");
    }
    EXPECT_EQ(entries.back(), "Error:File: " + path + ": Error reading from file");
    f.SetThrowFlag(0);
    f.Seek(8);
    EXPECT_EQ(f.Read(&v, 4), 0);
    EXPECT_EQ(f.GetPosition(), 10);
    EXPECT_EQ(f.Tell(), 10);
}

TEST_F(FileTest, DamagedStringCountFailsWithoutAllocating) {
    std::string bytes(4, '\0');
    const int32_t huge = 0x7ffffff0;
    std::memcpy(bytes.data(), &huge, 4);
    WriteRaw("bad.3sc", bytes + "abc");
    File f;
    ASSERT_EQ(f.Open(PathOf("bad.3sc").c_str()), 1);
    f.SetThrowFlag(0);
    String text("x");
    EXPECT_EQ(f.ReadString(text), 0);
    EXPECT_EQ(text.Length(), 0);
    EXPECT_EQ(entries.back(), "Error:File: " + PathOf("bad.3sc") + ": Error reading from file");
}

TEST_F(FileTest, SizeGrowsOnlyWhenWritingPastTheEnd) {
    File f;
    ASSERT_EQ(f.Create(PathOf("grow.bin").c_str(), false), 1);
    EXPECT_EQ(f.IsReadable(), 1);
    f.WriteInt(1);
    f.WriteInt(2);
    EXPECT_EQ(f.GetSize(), 8);
    f.Seek(2);
    f.WriteShort(7);
    EXPECT_EQ(f.GetSize(), 8);
    f.WriteInt(9);
    EXPECT_EQ(f.GetSize(), 8);
    f.WriteInt(9);
    EXPECT_EQ(f.GetSize(), 12);
    f.Seek(0);
    int32_t v = 0;
    EXPECT_EQ(f.ReadInt(&v), 1);
    EXPECT_EQ(v, 0x00070001);
}

TEST_F(FileTest, AccessModesAreEnforced) {
    File f;
    ASSERT_EQ(f.Create(PathOf("w.bin").c_str()), 1);
    int32_t v = 0;
    try {
        f.ReadInt(&v);
        FAIL() << "no exception";
    } catch (const ErrorMsg& e) {
        EXPECT_EQ(std::string(e.message), PathOf("w.bin") + ": File is not readable");
    }
    f.SetThrowFlag(0);
    EXPECT_EQ(f.Read(&v, 0), 1); // nothing to read succeeds once the report is handled
    EXPECT_EQ(f.ReadInt(&v), 0);
    f.Close();
    ASSERT_EQ(f.Open(PathOf("w.bin").c_str()), 1);
    EXPECT_EQ(f.WriteInt(1), 0);
    EXPECT_EQ(entries.back(), "Error:File: " + PathOf("w.bin") + ": File is not writeable");
    f.Close();
    EXPECT_EQ(f.GetFileSize(), -1);
    EXPECT_EQ(f.ReadInt(&v), 0);
}

TEST_F(FileTest, MissingFilesFailQuietly) {
    File f;
    EXPECT_EQ(f.Open(PathOf("none.3sc").c_str()), 0);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Create(PathOf("no/such/folder.3sc").c_str()), 0);
    EXPECT_TRUE(entries.empty());
    f.SetThrowFlag(0);
    f.Seek(4);
    EXPECT_EQ(entries.back(), "Error:File: " + PathOf("no/such/folder.3sc") + ": fseek failed: -1");
}

TEST_F(FileTest, PipesAndDevicesAreNotOpened) {
    const std::string pipe = PathOf("pipe.3sc");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    File f;
    EXPECT_EQ(f.Open(pipe.c_str()), 0); // would wait for a writer if opened
    EXPECT_EQ(f.Create(pipe.c_str()), 0);
    EXPECT_EQ(f.Open("/dev/zero"), 0);
    EXPECT_FALSE(f.IsOpen());
}

TEST_F(FileTest, ReopeningClosesTheOldStream) {
    WriteRaw("a.bin", "AAAA");
    WriteRaw("b.bin", "BBBBBB");
    File f;
    ASSERT_EQ(f.Open(PathOf("a.bin").c_str()), 1);
    ASSERT_EQ(f.Open(PathOf("b.bin").c_str(), false), 1);
    EXPECT_EQ(f.GetSize(), 6);
    EXPECT_EQ(f.IsWriteable(), 1);
    EXPECT_STREQ(f.GetPath().Text(), PathOf("b.bin").c_str());
}
