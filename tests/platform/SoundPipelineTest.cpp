// The GStreamer sound pipeline over many loads: a viewer that loads its scene again for hours
// builds a pipeline each time, and each must go completely when the next one comes.
#include "platform/SoundPipeline.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <cstddef>
#include <string>

// The heap in use: the sanitizer's count in a sanitizer build, else the C library's.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

long long HeapInUse() {
    if (__sanitizer_get_current_allocated_bytes)
        return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
    return static_cast<long long>(mallinfo2().uordblks);
}

// Builds a pipeline for the file, plays it a little faster than real time, and lets it go.
void PlayOnce(const std::string& path) {
    std::unique_ptr<SoundPipeline> pipeline = CreateSoundPipeline();
    std::string error;
    ASSERT_TRUE(pipeline->Open(path.c_str(), &error)) << error;
    ASSERT_TRUE(pipeline->Run());
    ASSERT_TRUE(pipeline->SetRate(8.0));
    ::usleep(20000);
}

} // namespace

// Each load leaves threads finishing and buffers in flight for a moment, so the heap is read as
// the least of five loads in a row, before and after thirty more.
TEST(SoundPipeline, LoadingTheSoundAgainAndAgainKeepsTheHeapFlat) {
    const std::string tone = std::string(KZV_SOURCE_DIR) + "/data/samples/tone.wav";
    const auto leastOfFive = [&] {
        long long least = -1;
        for (int i = 0; i < 5; ++i) {
            PlayOnce(tone);
            const long long now = HeapInUse();
            if (least < 0 || now < least) least = now;
        }
        return least;
    };
    for (int i = 0; i < 3; ++i) PlayOnce(tone); // the plugins, their types and caches settle first
    const long long before = leastOfFive();
    constexpr int Loads = 30;
    for (int i = 0; i < Loads; ++i) PlayOnce(tone);
    const long long grown = leastOfFive() - before;
    // A pipeline part left behind on each load (4 to 6 kB) would add up to well over this.
    EXPECT_LT(grown, 64 * 1024) << "bytes kept per load: " << grown / Loads;
}
