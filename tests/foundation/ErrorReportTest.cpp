#include "support/LogCapture.h"

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/SystemInfo.h"

namespace {

class Gfx : public DXC_Base {
public:
    explicit Gfx(const char* name = "DXC_Gfx") { SetObjectName(name); }
    // A class with a display prefix of its own, as scene objects have.
    int PrefixWarning(const char* prefix, const char* format, ...) {
        va_list args;
        va_start(args, format);
        const int r = PrefixedWarningV(prefix, format, args);
        va_end(args);
        return r;
    }
};

class Reader : public ErrorClass {
public:
    explicit Reader(const char* name = "KZVLoader") { SetObjectName(name); }
};

using LogTest = LogCaptureTest;
using WarningTest = LogCaptureTest;
using ErrorTest = LogCaptureTest;

} // namespace

TEST_F(LogTest, EntriesCarryTimeAndMemoryAndTheFirstEntryTruncates) {
    {
        std::ofstream old(dir / "logfile.txt");
        old << "left over from an earlier run\n";
    }
    // Free memory in megabytes rounded to the nearest: 3.5 MiB gives 4, a byte less gives 3.
    uint64_t freeBytes = 3 * 1048576 + 524288;
    SetLogMemorySource([&freeBytes] { return freeBytes; });
    LogMessage("Loaded %i objects from %s", 12, "scene.kzv");
    freeBytes -= 1;
    LogMessage("second");
    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Loaded 12 objects from scene.kzv (Time:0.00, free sysmem:4)");
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(second \(Time:\d+\.\d\d, free sysmem:3\))")))
        << lines[1];
    EXPECT_EQ(entries, (std::vector<std::string>{"Loaded 12 objects from scene.kzv", "second"}));
    EXPECT_EQ(GetLogEntryCount(), 2);
}

TEST_F(LogTest, FolderIsFixedByTheFirstEntry) {
    ResetLogState(); // no folder set: the working directory of the first entry is taken
    const std::string home = GetWorkingDirectory();
    const auto other = dir / "other";
    std::filesystem::create_directory(other);
    ASSERT_TRUE(SetWorkingDirectory(dir.string()));
    LogMessage("first");
    ASSERT_TRUE(SetWorkingDirectory(other.string()));
    LogMessage("after the loader changed folder");
    ASSERT_TRUE(SetWorkingDirectory(home));
    EXPECT_EQ(FileLines().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(other / "logfile.txt"));
    EXPECT_EQ(GetLogDirectory(), dir.string());
}

TEST_F(LogTest, StopsAfterTheEntryLimitWithOneNotice) {
    for (int i = 0; i < MaxLogEntries + 10; ++i) LogMessage("entry %i", i);
    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(MaxLogEntries) + 1);
    EXPECT_EQ(lines[MaxLogEntries - 1].rfind("entry 4023 (Time:", 0), 0u);
    EXPECT_EQ(lines.back(), "Maximum number of log entries reached!");
    EXPECT_EQ(entries.size(), static_cast<size_t>(MaxLogEntries));
    EXPECT_EQ(GetLogEntryCount(), MaxLogEntries);
}

TEST_F(LogTest, RepeatedTextsFoldToTheirPowerOfTwoCountsAndKeepTheEntryBudget) {
    // A reload cycle of three lines, a hundred times over.
    for (int i = 0; i < 100; ++i) {
        LogMessage("Warning:KZVLoader: 12 vertices duplicated in mesh 'Hand'");
        LogMessage("DXC_Media: Try to Run()");
        if (i == 40) LogMessage("news");
    }
    std::vector<std::string> texts;
    for (const std::string& line : FileLines()) texts.push_back(line.substr(0, line.find(" (Time:")));
    std::vector<std::string> expected{"Warning:KZVLoader: 12 vertices duplicated in mesh 'Hand'",
                                      "DXC_Media: Try to Run()"};
    for (int n : {2, 4, 8, 16, 32, 64}) {
        if (n == 64) expected.push_back("news");
        expected.push_back("Warning:KZVLoader: 12 vertices duplicated in mesh 'Hand' [seen " +
                           std::to_string(n) + " times]");
        expected.push_back("DXC_Media: Try to Run() [seen " + std::to_string(n) + " times]");
    }
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(GetLogEntryCount(), 15);
    EXPECT_EQ(entries.size(), 201u); // the observer sees every one
}

TEST_F(LogTest, TextLostToAnUnwritableFileIsNotCountedAsSeenAndANewRunForgets) {
    const auto texts = [this] {
        std::vector<std::string> out;
        for (const std::string& line : FileLines()) out.push_back(line.substr(0, line.find(" (Time:")));
        return out;
    };
    SetLogDirectory((dir / "missing").string());
    LogMessage("same");
    SetLogDirectory(dir.string());
    LogMessage("same");
    LogMessage("same");
    EXPECT_EQ(texts(), (std::vector<std::string>{"same", "same [seen 2 times]"}));
    ResetLogState();
    SetLogDirectory(dir.string());
    LogMessage("same");
    EXPECT_EQ(texts(), std::vector<std::string>{"same"});
}

TEST_F(LogTest, UnwritableFolderSkipsEntriesWithoutCountingThem) {
    SetLogDirectory((dir / "missing" / "deeper").string());
    LogMessage("lost");
    EXPECT_EQ(GetLogEntryCount(), 0);
    EXPECT_EQ(entries, std::vector<std::string>{"lost"}); // the observer still sees it
    // The entry that is finally written is the first of the run: its clock reads 0.00.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SetLogDirectory(dir.string());
    LogMessage("written");
    const auto lines = FileLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("written (Time:0.00, free sysmem:", 0), 0u) << lines[0];
}

TEST_F(LogTest, OverlongTextIsCutSafely) {
    const std::string longText(3000, 'x');
    LogMessage("%s", longText.c_str());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], std::string(1023, 'x'));
}

TEST_F(WarningTest, IdenticalWarningsFoldIntoACount) {
    Reader r;
    r.Warning("first %i", 1);
    for (int i = 0; i < 10; ++i) r.Warning("Unknown keyword '%s'", "*FOO");
    r.Warning("other");
    EXPECT_EQ(entries, (std::vector<std::string>{"Warning:KZVLoader: first 1",
                                                 "Warning:KZVLoader: Unknown keyword '*FOO'",
                                                 "Warning Repeat: 9", "Warning:KZVLoader: other"}));
    EXPECT_EQ(ErrorClass::GetReportState().warningCount, 3);
}

TEST_F(WarningTest, TheFirstWarningOfARunNeverFolds) {
    Gfx g;
    g.Warning("same");
    g.Warning("same");
    g.Warning("same");
    EXPECT_EQ(entries, (std::vector<std::string>{"Warning:DXC_Gfx: same", "Warning:DXC_Gfx: same"}));
    EXPECT_EQ(DXC_Base::GetReportState().repeatCount, 1);
}

TEST_F(WarningTest, DestroyedObjectWritesItsPendingRepeats) {
    {
        Gfx g("DXC_Keyboard");
        g.Warning("start");
        for (int i = 0; i < 4; ++i) g.Warning("Keyboard lost");
    }
    EXPECT_EQ(entries,
              (std::vector<std::string>{"Warning:DXC_Keyboard: start", "Warning:DXC_Keyboard: Keyboard lost",
                                        "Warning Repeat: 3", "Warning:DXC_Keyboard: end"}));
    // Nothing is pending any more, so a further destruction logs nothing.
    { Gfx quiet; }
    EXPECT_EQ(entries.size(), 4u);
}

TEST_F(WarningTest, ConstructionDropsAPendingCountAndResetsTheLastReport) {
    Gfx g;
    g.Warning("a");
    g.Warning("b");
    g.Warning("b");
    EXPECT_STREQ(DXC_Base::GetReportState().last.message, "b");
    Gfx later;
    EXPECT_EQ(DXC_Base::GetReportState().repeatCount, 0);
    EXPECT_STREQ(DXC_Base::GetReportState().last.message, "No error.");
    Reader r;
    EXPECT_STREQ(ErrorClass::GetReportState().last.message, "No error");
    g.Warning("c");
    EXPECT_EQ(entries.back(), "Warning:DXC_Gfx: c");
    EXPECT_NE(entries[entries.size() - 2].rfind("Warning Repeat", 0), 0u);
}

TEST_F(WarningTest, TheTwoBasesKeepSeparateState) {
    Gfx g("Same");
    Reader r("Same");
    g.Warning("x");
    r.Warning("x");
    g.Warning("x");
    r.Warning("x");
    g.Warning("x"); // folds against the DXC_Base line only
    r.Warning("x");
    EXPECT_EQ(entries.size(), 4u);
    EXPECT_EQ(DXC_Base::GetReportState().repeatCount, 1);
    EXPECT_EQ(ErrorClass::GetReportState().repeatCount, 1);
}

TEST_F(WarningTest, StopsAfterTheWarningLimitWithItsOwnNotice) {
    Gfx g;
    for (int i = 0; i < MaxWarningLines - 1; ++i) g.Warning("w%i", i);
    // Start the log over so the last lines are not lost to the log's own entry limit.
    ResetLogState();
    SetLogDirectory(dir.string());
    entries.clear();
    g.Warning("last");
    g.Warning("beyond");
    EXPECT_EQ(entries, (std::vector<std::string>{"Warning:DXC_Gfx: last",
                                                 "DXC_Base: Maximum number of warnings reached!"}));
    EXPECT_EQ(DXC_Base::GetReportState().warningCount, MaxWarningLines);
    Reader r;
    r.Warning("still possible"); // the other base counts on its own
    EXPECT_EQ(entries.back(), "Warning:KZVLoader: still possible");
    for (int i = 1; i < MaxWarningLines - 1; ++i) r.Warning("r%i", i);
    ResetLogState();
    SetLogDirectory(dir.string());
    entries.clear();
    r.Warning("last");
    r.Warning("beyond");
    EXPECT_EQ(entries, (std::vector<std::string>{"Warning:KZVLoader: last",
                                                 "ErrorClass: Maximum number of warnings reached!"}));
}

TEST_F(WarningTest, LongMessagesAndLinesAreCut) {
    Gfx g;
    const std::string longText(2000, 'm');
    g.Warning("%s", longText.c_str());
    EXPECT_EQ(std::string(DXC_Base::GetReportState().last.message), std::string(1023, 'm'));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "Warning:DXC_Gfx: " + std::string(1023 - 17, 'm'));
}

TEST_F(WarningTest, PrefixIsNotFormattedAgain) {
    Gfx g("DXC_Mesh");
    g.PrefixWarning("Box%s01%d", "Invalid face %i", 7);
    EXPECT_EQ(entries, std::vector<std::string>{"Warning:DXC_Mesh: Box%s01%d: Invalid face 7"});
}

TEST_F(ErrorTest, DXC_BaseErrorIsLoggedBeforeItIsThrown) {
    Gfx g;
    try {
        g.Error("BeginScene failed: %s", "D3DERR_INVALIDCALL");
        FAIL() << "no exception";
    } catch (const DXC_Error& e) {
        EXPECT_STREQ(e.name, "DXC_Gfx");
        EXPECT_STREQ(e.message, "BeginScene failed: D3DERR_INVALIDCALL");
        EXPECT_EQ(entries, std::vector<std::string>{"Error:DXC_Gfx: BeginScene failed: D3DERR_INVALIDCALL"});
    }
    EXPECT_EQ(g.GetErrorFlag(), 1);
    EXPECT_EQ(DXC_Base::GetReportState().warningCount, 0);
}

TEST_F(ErrorTest, ErrorClassThrowsOnlyWhileTheThrowFlagIsSet) {
    Reader r;
    EXPECT_EQ(r.GetThrowFlag(), 1);
    try {
        r.Error("Unexpected end of file in line %i", 3);
        FAIL() << "no exception";
    } catch (const ErrorMsg& e) {
        EXPECT_STREQ(e.name, "KZVLoader");
        EXPECT_STREQ(e.message, "Unexpected end of file in line 3");
    }
    Reader quiet("TextDataFileReader");
    quiet.SetThrowFlag(0);
    EXPECT_NO_THROW(quiet.Error("bad %s", "token"));
    EXPECT_EQ(quiet.GetErrorFlag(), 1);
    EXPECT_EQ(entries.back(), "Error:TextDataFileReader: bad token");
    EXPECT_STREQ(ErrorClass::GetReportState().last.name, "TextDataFileReader");
}

TEST_F(ErrorTest, ErrorsAreNeverFolded) {
    Reader r;
    r.SetThrowFlag(0);
    for (int i = 0; i < 3; ++i) r.Error("same");
    EXPECT_EQ(entries.size(), 3u);
}

TEST(ObjectNameTest, LongNamesAreCutTo31Characters) {
    ObjectName n;
    EXPECT_STREQ(n.Get(), "Undefined");
    n.Set("DXC_AVeryLongClassNameThatGoesOnAndOn"); // 37 characters
    EXPECT_EQ(std::string(n.Get()), std::string("DXC_AVeryLongClassNameThatGoesOnAndOn").substr(0, 31));
    Reader r("0123456789012345678901234567890123456789");
    EXPECT_STREQ(r.GetObjectName(), "0123456789012345678901234567890");
}
