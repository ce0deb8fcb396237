#include "viewer/CommandLine.h"
#include "viewer/ViewerSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

ViewerSettings Read(const char* cmd) {
    ViewerSettings s;
    ReadViewerSettings(cmd, s);
    return s;
}

} // namespace

TEST(HasOption, MatchesWholeWordsWithoutCase) {
    EXPECT_EQ(HasOption("scene.kzv /LOOP", "/loop"), 1);
    EXPECT_EQ(HasOption("/Loop", "/loop"), 1);
    EXPECT_EQ(HasOption("/loop2 /loop:1", "/loop"), 0);
    EXPECT_EQ(HasOption("   /fps   ", "/fps"), 1);
    // Only the blank separates words: a tab belongs to the word.
    EXPECT_EQ(HasOption("/fps\t/loop", "/loop"), 0);
    EXPECT_EQ(HasOption("", "/loop"), 0);
    EXPECT_EQ(HasOption(nullptr, "/loop"), 0);
}

TEST(GetIntOption, OnlyTheFirstWordWithThePrefixCounts) {
    int v = 77;
    EXPECT_EQ(GetIntOption("/resxy:5 /resx:800", "/resx", &v), 0);
    EXPECT_EQ(v, 77);
    EXPECT_EQ(GetIntOption("/resx /resx:800", "/resx", &v), 0);
    EXPECT_EQ(GetIntOption("/RESX=800", "/resx", &v), 1);
    EXPECT_EQ(v, 800);
}

TEST(GetIntOption, DigitsSignAndLimits) {
    int v = 5;
    EXPECT_EQ(GetIntOption("/resx:", "/resx", &v), 1);
    EXPECT_EQ(v, 0); // an empty value is present and reads as 0
    EXPECT_EQ(GetIntOption("/cam:-1", "/cam", &v), 1);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(GetIntOption("/resx:12345678901", "/resx", &v), 1);
    EXPECT_EQ(v, 0); // more than 10 digits
    EXPECT_EQ(GetIntOption("/resx:9999999999", "/resx", &v), 1);
    EXPECT_EQ(v, INT32_MAX); // 10 digits beyond the 32-bit range saturate instead of wrapping
    EXPECT_EQ(GetIntOption("/resx:-9999999999", "/resx", &v), 1);
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_EQ(GetIntOption("/resx:8a0", "/resx", &v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(GetIntOption("/resx:0042", "/resx", &v), 1);
    EXPECT_EQ(v, 42);
}

TEST(GetFloatOption, DecimalLiteralsAndNonNumbers) {
    float f = 9.0f;
    EXPECT_EQ(GetFloatOption("/t:2.5", "/t", &f), 1);
    EXPECT_FLOAT_EQ(f, 2.5f);
    EXPECT_EQ(GetFloatOption("/spd=0.5", "/spd", &f), 1);
    EXPECT_FLOAT_EQ(f, 0.5f);
    EXPECT_EQ(GetFloatOption("/spd:abc", "/spd", &f), 1);
    EXPECT_FLOAT_EQ(f, 0.0f);
    EXPECT_EQ(GetFloatOption("/spd:-1.25e1", "/spd", &f), 1);
    EXPECT_FLOAT_EQ(f, -12.5f);
    // Values that are no finite float read as 0 rather than poisoning the clock.
    EXPECT_EQ(GetFloatOption("/spd:1e300", "/spd", &f), 1);
    EXPECT_FLOAT_EQ(f, 0.0f);
    EXPECT_EQ(GetFloatOption("/spd:nan", "/spd", &f), 1);
    EXPECT_FLOAT_EQ(f, 0.0f);
    // "/t" must not take "/tx:3".
    f = 7.0f;
    EXPECT_EQ(GetFloatOption("/tx:3", "/t", &f), 0);
    EXPECT_FLOAT_EQ(f, 7.0f);
}

TEST(GetFileArgument, PlainQuotedAndAbsent) {
    char buf[256];
    EXPECT_EQ(GetFileArgument("/loop scene.kzv /fps", buf), 1);
    EXPECT_STREQ(buf, "scene.kzv");
    EXPECT_EQ(GetFileArgument("\"my scenes/a b.kzv\" /fps", buf), 0);
    EXPECT_STREQ(buf, "my scenes/a b.kzv");
    EXPECT_EQ(GetFileArgument("\"open ended", buf), 0);
    EXPECT_STREQ(buf, "open ended");
    EXPECT_EQ(GetFileArgument("/loop /fps", buf), -1);
    EXPECT_STREQ(buf, "");
    std::string longName(300, 'x');
    EXPECT_EQ(GetFileArgument(longName.c_str(), buf), 0);
    EXPECT_EQ(std::string(buf).size(), 255u);
}

TEST(ViewerSettings, DefaultsDependOnFullScreen) {
    ViewerSettings s = Read("/LOOP /Resx=800");
    EXPECT_EQ(s.loop, 1);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 480);
    EXPECT_EQ(s.windowed, 1);

    s = Read("/full");
    EXPECT_EQ(s.windowed, 0);
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 768);

    s = Read("/full /resx:800");
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 768);
}

TEST(ViewerSettings, EveryFlagAndValue) {
    ViewerSettings s = Read("/stop /fps /close /nospec /nr /nokey /nm /nl /esc /mx /wbuf /hv /hwskin /ref "
                            "/bpp:32 /rr:75 /scr:1 /cam:2 /vs:3 /zn:0.5 /zf:900 /spd:2 /t:1.5");
    EXPECT_EQ(s.startPaused, 1);
    EXPECT_EQ(s.showFrameRate, 1);
    EXPECT_EQ(s.closeAtEnd, 1);
    EXPECT_EQ(s.specular, 0);
    EXPECT_EQ(s.noResize, 1);
    EXPECT_EQ(s.noKeys, 1);
    EXPECT_EQ(s.noMenu, 1);
    EXPECT_EQ(s.lighting, 0);
    EXPECT_EQ(s.escapeOnly, 1);
    EXPECT_EQ(s.mirrorOff, 1);
    EXPECT_EQ(s.wBuffer, 1);
    EXPECT_EQ(s.hardwareVertexProcessing, 1);
    EXPECT_EQ(s.hardwareSkinning, 1);
    EXPECT_EQ(s.referenceRasteriser, 1);
    EXPECT_EQ(s.bitsPerPixel, 32);
    EXPECT_EQ(s.refreshRate, 75);
    EXPECT_EQ(s.adapter, 1);
    EXPECT_EQ(s.firstCamera, 2);
    EXPECT_EQ(s.vsync, 3);
    EXPECT_FLOAT_EQ(s.nearPlane, 0.5f);
    EXPECT_FLOAT_EQ(s.farPlane, 900.0f);
    EXPECT_FLOAT_EQ(s.speed, 2.0f);
    EXPECT_FLOAT_EQ(s.startTime, 1.5f);
    EXPECT_FLOAT_EQ(s.maximumFrameRate, 0.0f);
}

TEST(SplitProgramArguments, OptionsPathsAndDashes) {
    SplitArguments a = SplitProgramArguments({"--resx=800", "/tmp/x/scene.kzv", "-t:2", "/loop"});
    EXPECT_TRUE(a.hasScenePath);
    EXPECT_EQ(a.scenePath, "/tmp/x/scene.kzv");
    EXPECT_EQ(a.commandLine, "/resx=800 /t:2 /loop");

    // "--resx 800": the option has no attached value, and "800" is taken as the scene path.
    a = SplitProgramArguments({"--resx", "800"});
    EXPECT_EQ(a.scenePath, "800");
    EXPECT_EQ(a.commandLine, "/resx");
    int v = 640;
    EXPECT_EQ(GetIntOption(a.commandLine.c_str(), "/resx", &v), 0);
    EXPECT_EQ(v, 640);

    // After the scene path, further non-options are set aside.
    a = SplitProgramArguments({"scene.kzv", "--resx", "800", "/tmp/t", "-t:2"});
    EXPECT_EQ(a.scenePath, "scene.kzv");
    EXPECT_EQ(a.commandLine, "/resx /t:2");
    ASSERT_EQ(a.ignored.size(), 2u);
    float t = 0;
    EXPECT_EQ(GetFloatOption(a.commandLine.c_str(), "/t", &t), 1);
    EXPECT_FLOAT_EQ(t, 2.0f);

    // A path with blanks stays one path.
    a = SplitProgramArguments({"my scene.kzv", "/fps"});
    EXPECT_EQ(a.scenePath, "my scene.kzv");
}

TEST(SplitProgramArguments, RootLevelFileIsAPathNotAnOption) {
    // "/name" with no further slash is an option unless such a file exists.
    SplitArguments a = SplitProgramArguments({"/proc", "/nosuchfile_kzv"});
    // "/proc" exists (a folder, not a file) and has no further '/', so it names an existing
    // file system entry only when it is a file: it stays an option word.
    EXPECT_FALSE(a.hasScenePath);
    EXPECT_EQ(a.commandLine, "/proc /nosuchfile_kzv");
}
