#include "support/LogCapture.h"

#include "foundation/ConfigFileReader.h"

namespace {

class ConfigFileReaderTest : public LogCaptureTest {
protected:
    // Writes the bytes to a file and opens a reader on it.
    int Load(ConfigFileReader& reader, const std::string& bytes, const char* name = "test.cfg") {
        const auto path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return reader.Open(path.string().c_str());
    }
    std::vector<std::string> AllLines(ConfigFileReader& reader) {
        std::vector<std::string> out;
        for (int i = 0; i < reader.GetLineCount(); ++i) out.emplace_back(reader.Line(i));
        return out;
    }
    using Lines = std::vector<std::string>;
};

} // namespace

TEST_F(ConfigFileReaderTest, SplitsLinesAtCrLfAndCrLf) {
    ConfigFileReader r;
    EXPECT_STREQ(r.GetObjectName(), "ConfigFileReader");
    ASSERT_EQ(Load(r, "a\r\nb"), 0);
    EXPECT_EQ(AllLines(r), (Lines{"a", "b"}));
    ASSERT_EQ(Load(r, "a\n\nb"), 0);
    EXPECT_EQ(AllLines(r), (Lines{"a", "", "b"}));
    ASSERT_EQ(Load(r, "a\n"), 0);
    EXPECT_EQ(AllLines(r), (Lines{"a", ""}));
    ASSERT_EQ(Load(r, "a\r\rb\r\n\r\nc"), 0);
    EXPECT_EQ(AllLines(r), (Lines{"a", "", "b", "", "c"}));
    // Control characters after a line end are skipped; a tab starts the next line.
    ASSERT_EQ(Load(r, "a\n\x01\x02\tb\x01 c\n\x1a"), 0);
    EXPECT_EQ(AllLines(r), (Lines{"a", "\tb\x01 c", ""}));
    ASSERT_EQ(Load(r, ""), 0);
    EXPECT_EQ(r.GetLineCount(), 1);
    EXPECT_EQ(r.GetEntryLineCount(-1), 1);
    EXPECT_EQ(r.GetEntryCount(), 0);
}

TEST_F(ConfigFileReaderTest, LineAccessReportsMissingLines) {
    ConfigFileReader r;
    ASSERT_EQ(Load(r, "one\ntwo"), 0);
    EXPECT_EQ(r.Line(2), nullptr);
    EXPECT_STREQ(r.GetErrorText(), "Line #2 does not exist");
    EXPECT_EQ(r.Line(-1), nullptr);
    std::string longLine(65535, 'x');
    ASSERT_EQ(Load(r, "ok\n" + longLine), 0);
    EXPECT_EQ(r.Line(1), nullptr);
    EXPECT_STREQ(r.GetErrorText(), "Line #1 is too long:65535");
}

TEST_F(ConfigFileReaderTest, OpenFailuresGiveTheirCodes) {
    ConfigFileReader r;
    const std::string missing = (dir / "none.cfg").string();
    EXPECT_EQ(r.Open(missing.c_str()), 1);
    EXPECT_EQ(std::string(r.GetErrorText()), "Can not open file " + missing + ", Code:2");
    EXPECT_EQ(r.IsOpened(), 0);
    EXPECT_EQ(Load(r, std::string(65536, 'x')), 4);
    EXPECT_EQ(std::string(r.GetErrorText()), "Line too long in file " + (dir / "test.cfg").string());
    std::string manyLines(65535, '\n'); // 65536 lines with the final empty one
    EXPECT_EQ(Load(r, manyLines), 3);
    EXPECT_EQ(std::string(r.GetErrorText()), "File " + (dir / "test.cfg").string() + " too big");
    EXPECT_EQ(Load(r, std::string(65534, '\n')), 0);
    EXPECT_EQ(r.GetLineCount(), 65535);
    EXPECT_EQ(r.IsOpened(), 1);
    EXPECT_TRUE(entries.empty());
}

TEST_F(ConfigFileReaderTest, KeysMatchAtLineStartWithADelimiter) {
    ConfigFileReader r;
    ASSERT_EQ(Load(r, "descr \"no\"\n  DESC \"x\"\ndesc=\"y\"\n\tdesc\n#3 \"hash\"\ndesc \"open\n"), 0);
    EXPECT_EQ(r.Find("desc"), 1);
    EXPECT_EQ(r.Find("descr"), 0);
    EXPECT_EQ(r.Find("#"), 4);
    EXPECT_EQ(r.Find("#3"), 4);
    String v;
    EXPECT_EQ(r.Value("desc", v), 0);
    EXPECT_STREQ(v.Text(), "x");
    r.SetCaseSensitive(1);
    EXPECT_EQ(r.Value("desc", v), 0);
    EXPECT_STREQ(v.Text(), "y");
    EXPECT_EQ(r.Find("Desc"), -1);
}

TEST_F(ConfigFileReaderTest, ValuesNeedBothQuotes) {
    ConfigFileReader r;
    ASSERT_EQ(Load(r, "name \"open\nempty \"\"\nnone\ntex3_2 \"b.bmp\" \"c\"\ntex3 \"a.bmp\"\n"), 0);
    String v("keep");
    EXPECT_EQ(r.Value("name", v), 1);
    EXPECT_EQ(r.Value("none", v), 1);
    EXPECT_EQ(r.Value("missing", v), 1);
    EXPECT_STREQ(v.Text(), "keep");
    EXPECT_EQ(r.Value("empty", v), 0);
    EXPECT_STREQ(v.Text(), "");
    EXPECT_EQ(r.Value("tex", v, -1, 3, 2), 0);
    EXPECT_STREQ(v.Text(), "b.bmp");
    EXPECT_EQ(r.Value("tex", v, -1, 3), 0);
    EXPECT_STREQ(v.Text(), "a.bmp");
}

TEST_F(ConfigFileReaderTest, EntriesBlocksAndTheDescIndex) {
    const std::string text = "header \"h\"\n"
                             "# first\n"
                             "desc \"Wood\"\n"
                             "layer {\n"
                             "  map \"inner\"\n"
                             "  {\n"
                             "    map \"deep\"\n"
                             "  }\n"
                             "}\n"
                             "map \"outer\"\n"
                             "#second\n"
                             "DESC=\"stone\"\n"
                             "map \"rock\"\n";
    ConfigFileReader r;
    r.SetDescKey("desc");
    ASSERT_EQ(Load(r, text), 0);
    EXPECT_EQ(r.GetEntryCount(), 2);
    EXPECT_EQ(r.GetEntryStart(0), 1);
    EXPECT_EQ(r.GetEntryLineCount(0), 9);
    EXPECT_EQ(r.GetEntryLineCount(1), 4); // up to the final empty line
    EXPECT_EQ(r.GetEntryLineCount(2), -1);
    EXPECT_EQ(r.GetLineDepth(4), 1);
    EXPECT_EQ(r.GetLineDepth(6), 2);
    EXPECT_EQ(r.GetLineDepth(8), 1);
    EXPECT_EQ(r.GetLineDepth(9), 0);

    String v;
    EXPECT_EQ(r.Value("map", v, 1), 0);
    EXPECT_STREQ(v.Text(), "rock");
    EXPECT_EQ(r.Value("map", v, 2), 2);
    EXPECT_EQ(r.Find("map", 2), -2);
    EXPECT_EQ(r.Value("header", v, 0), 1); // before the first entry
    r.SetBlock(4, 1);
    EXPECT_EQ(r.Find("map"), 4);
    r.SetBlock(6, 2);
    EXPECT_EQ(r.Find("map"), 6);
    r.SetBlock(7, 2);
    EXPECT_EQ(r.Find("map"), -1); // the block ends before "outer"
    r.ClearBlock();
    EXPECT_EQ(r.Find("map"), 4);

    EXPECT_EQ(r.FindDesc("wood"), 0);
    EXPECT_EQ(r.FindDesc("Stone"), 1);
    EXPECT_EQ(r.FindDesc("glass"), -1);
}

TEST_F(ConfigFileReaderTest, MalformedBlocksAreErrors) {
    ConfigFileReader r;
    EXPECT_EQ(Load(r, "#a\n{\n}\n"), 0);
    EXPECT_THROW(Load(r, "#a\n{ x\n}\n"), ErrorMsg);
    EXPECT_EQ(entries.back(), "Error:ConfigFileReader: Invalid block start/end in file '" +
                                  (dir / "test.cfg").string() + "' at line 2");
    r.SetThrowFlag(0);
    EXPECT_EQ(Load(r, "#a\n}\n"), 5);
    EXPECT_EQ(entries.back(),
              "Error:ConfigFileReader: Invalid '}' in file '" + (dir / "test.cfg").string() + "' at line 2");
    EXPECT_EQ(Load(r, "#a\n{\n#b\n{\n"), 5);
    EXPECT_EQ(entries.back(),
              "Error:ConfigFileReader: Unfinished block in file '" + (dir / "test.cfg").string() + "'");
    EXPECT_EQ(r.IsOpened(), 0);
    // Braces mean nothing in a file without entries.
    EXPECT_EQ(Load(r, "}{ x\n"), 0);
}

TEST_F(ConfigFileReaderTest, DescIndexNeedsUniqueValues) {
    ConfigFileReader r;
    r.SetDescKey("desc");
    r.SetThrowFlag(0);
    EXPECT_EQ(Load(r, "#\ndesc \"a\"\n#\nname \"b\"\n"), 6);
    EXPECT_EQ(entries.back(), "Error:ConfigFileReader: No 'desc' entry in entry 1 in file '" +
                                  (dir / "test.cfg").string() + "'");
    EXPECT_EQ(Load(r, "#\ndesc \"Same\"\n#\ndesc \"same\"\n"), 6);
    EXPECT_EQ(entries.back(), "Error:ConfigFileReader: 'desc' entry in '" + (dir / "test.cfg").string() +
                                  "' (1) not unique: 'same'");
    // Values the index cannot file give the result code too, without an exception.
    EXPECT_EQ(Load(r, "#\ndesc \"\"\n"), 6);
    EXPECT_EQ(entries.back(), "Error:SearchTree: Empty name string");
    EXPECT_EQ(Load(r, "#\ndesc \"ok\"\n#\ndesc \"\xe4rger\"\n"), 6);
    EXPECT_EQ(entries.back(), "Error:SearchTree: Character in name string out of range: 228");
    ASSERT_EQ(Load(r, "#\ndesc \"ok\"\n"), 0);
    EXPECT_EQ(r.FindDesc("\xe4rger"), -1);
    r.SetThrowFlag(1);
    EXPECT_THROW(Load(r, "#\ndesc \"\"\n"), ErrorMsg);
}

TEST_F(ConfigFileReaderTest, ParentIsAskedFirst) {
    ConfigFileReader base, local;
    ASSERT_EQ(Load(base, "shared \"parent\"\n", "base.cfg"), 0);
    ASSERT_EQ(Load(local, "shared \"own\"\nlocal \"own\"\n", "local.cfg"), 0);
    local.SetParent(&base);
    String v;
    EXPECT_EQ(local.Value("shared", v), 0);
    EXPECT_STREQ(v.Text(), "parent");
    EXPECT_EQ(local.FoundInParent(), 1);
    EXPECT_EQ(local.Value("local", v), 0);
    EXPECT_STREQ(v.Text(), "own");
    EXPECT_EQ(local.FoundInParent(), 0);
    base.SetParent(&local); // a cycle must not recurse forever
    EXPECT_EQ(local.Value("nothing", v), 1);
}
