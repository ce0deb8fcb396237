// The scene's sound: playlist and play rules, the end-of-stream handling, and the GStreamer
// pipeline behind them with a short generated sound file.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <thread>

#include "ViewerTestSupport.h"
#include "support/LogCapture.h"
#include "viewer/Media.h"

namespace {

using Lines = std::vector<std::string>;

template <class F> std::string ErrorOf(F f) {
    try {
        f();
    } catch (const DXC_Error& e) {
        return std::string(e.name) + ": " + e.message;
    }
    return "";
}

class MediaRulesTest : public LogCaptureTest {
protected:
    RecordingPipelineFactory pipelines;
};

TEST_F(MediaRulesTest, PlayWithoutSongsDoesNothingAndAnIndexPastTheListIsAnError) {
    DXC_Media media(pipelines.Factory());
    EXPECT_EQ(media.Play(-1), 0);
    EXPECT_EQ(ErrorOf([&] { media.Play(0); }), "DXC_Media: Invalid song selected");
    EXPECT_TRUE(pipelines.log.empty());
}

TEST_F(MediaRulesTest, FirstPlayLoadsTheFirstSongAndLaterPlaysOnlyRun) {
    DXC_Media media(pipelines.Factory());
    media.AddSong("a.wav");
    EXPECT_EQ(media.Play(-1), 1);
    EXPECT_EQ(media.GetCurrentSong(), 0);
    media.Pause();
    media.Play(-1);
    EXPECT_EQ(pipelines.log, (Lines{"Open a.wav", "Run", "Pause", "Run"}));
    // Every load builds a new pipeline, and says so in the log.
    std::vector<std::string> logged;
    for (const std::string& e : entries)
        if (e.rfind("DXC_Media: ", 0) == 0) logged.push_back(e.substr(0, e.find(" (Time:")));
    EXPECT_EQ(logged, (Lines{"DXC_Media: init successfull", "DXC_Media: Try to load file: a.wav",
                             "DXC_Media: init successfull", "DXC_Media: Try RenderFile a.wav",
                             "DXC_Media: Try to Run()", "DXC_Media: Try to Run()"}));
}

TEST_F(MediaRulesTest, StopRewindsAndAFileThatCannotBeRenderedIsFatal) {
    DXC_Media media(pipelines.Factory());
    media.AddSong("a.wav");
    media.Play(-1);
    media.Stop();
    EXPECT_EQ(pipelines.log, (Lines{"Open a.wav", "Run", "Stop", "Seek 0"}));
    pipelines.opens = false;
    media.ClearList();
    media.AddSong("missing.wav");
    EXPECT_EQ(ErrorOf([&] { media.Play(-1); }), "DXC_Media: Can not load file: missing.wav");
}

TEST_F(MediaRulesTest, EndOfStreamRestartsWhenLoopingAndStopsOtherwise) {
    DXC_Media media(pipelines.Factory());
    media.AddSong("a.wav");
    media.Play(-1);
    media.SetLoop(1);
    pipelines.last->pendingEnds = 1;
    ASSERT_TRUE(media.HasEvents());
    media.HandleEvents();
    EXPECT_EQ(pipelines.log, (Lines{"Open a.wav", "Run", "Seek 0"}));
    EXPECT_TRUE(pipelines.last->IsRunning());

    pipelines.log.clear();
    media.SetLoop(0);
    pipelines.last->pendingEnds = 1;
    media.HandleEvents();
    EXPECT_EQ(pipelines.log, (Lines{"Stop", "Seek 0", "Seek 0"}));
    EXPECT_FALSE(pipelines.last->IsRunning());
    EXPECT_EQ(media.GetCurrentSong(), 0); // one song: the next one is the same
}

// ---- the GStreamer pipeline ------------------------------------------------------------------

// A mono 16-bit sine of the given length.
void WriteTone(const std::string& path, double seconds) {
    const uint32_t rate = 8000, samples = static_cast<uint32_t>(seconds * rate), bytes = samples * 2;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    f.write("data", 4);
    u32(bytes);
    for (uint32_t i = 0; i < samples; ++i)
        u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 0.3))));
}

// Waits up to seconds for the condition, checking every 10 ms.
template <class F> bool WaitFor(double seconds, F condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class GstMediaTest : public LogCaptureTest {
protected:
    void SetUp() override {
        LogCaptureTest::SetUp();
        tone = PathOf("tone.wav");
        WriteTone(tone, 0.4);
    }
    std::string tone;
};

TEST_F(GstMediaTest, LoopingSoundStartsAgainFromZeroAtEachEnd) {
    DXC_Media media;
    media.AddSong(tone.c_str());
    media.SetLoop(1);
    media.Play(-1);
    SoundPipeline* p = media.GetPipeline();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(WaitFor(5.0, [&] { return media.HasEvents(); })) << "no end of stream in round " << round;
        media.HandleEvents();
        ASSERT_TRUE(WaitFor(2.0,
                            [&] {
                                const double at = p->Position();
                                return at > 0.0 && at < 0.3;
                            }))
            << "did not start again, at " << p->Position();
        EXPECT_TRUE(p->IsRunning());
    }
    // Without a sound card the log says once that the sound plays silently.
    int notes = 0;
    for (const std::string& e : entries) notes += e.find("no audio output") != std::string::npos;
    EXPECT_EQ(notes, p->WithoutAudioOutput() ? 1 : 0);
}

TEST_F(GstMediaTest, EndWithoutLoopStopsAtZero) {
    DXC_Media media;
    media.AddSong(tone.c_str());
    media.Play(-1);
    ASSERT_TRUE(WaitFor(5.0, [&] { return media.HasEvents(); }));
    media.HandleEvents();
    EXPECT_FALSE(media.GetPipeline()->IsRunning());
    EXPECT_TRUE(WaitFor(2.0, [&] { return std::fabs(media.GetPipeline()->Position()) < 0.02; }));
}

TEST_F(GstMediaTest, PositionAndRateReachThePipelineAndARefusedRateKeepsTheOld) {
    DXC_Media media;
    media.AddSong(tone.c_str());
    media.Play(-1);
    media.Pause();
    media.SetPosition(0.25);
    SoundPipeline* p = media.GetPipeline();
    EXPECT_TRUE(WaitFor(2.0, [&] { return std::fabs(p->Position() - 0.25) < 0.02; })) << p->Position();
    media.SetRate(2.0);
    EXPECT_EQ(p->Rate(), 2.0);
    media.SetRate(0.0);
    EXPECT_EQ(p->Rate(), 2.0);
    EXPECT_TRUE(WaitFor(2.0, [&] { return std::fabs(p->Position() - 0.25) < 0.02; }))
        << "rate moved the position";
}

TEST_F(GstMediaTest, MissingOrUnplayableFileIsFatal) {
    DXC_Media media;
    const std::string missing = PathOf("none.wav");
    media.AddSong(missing.c_str());
    EXPECT_EQ(ErrorOf([&] { media.Play(-1); }), "DXC_Media: Can not load file: " + missing);
    const std::string junk = PathOf("junk.wav");
    std::ofstream(junk) << "this is no sound";
    media.ClearList();
    media.AddSong(junk.c_str());
    EXPECT_EQ(ErrorOf([&] { media.Play(-1); }), "DXC_Media: Can not load file: " + junk);
}

} // namespace
