// The one-shot sound through the system's way of playing it, on both targets: a
// broken file is refused with the reader's own reason before any device sees it, a
// good one starts without holding the caller up, StopWave ends it, and the caller's
// bytes may go as soon as the call returns. On Linux the output is SDL's "dummy"
// driver (set by the test's environment); on Windows it is PlaySoundA, which under
// Wine may have no device behind it, so what a started sound does is checked only
// when it started.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "audio_test_util.h"
#include "platform/audio/audio.h"

using namespace platform;
using soundtest::Bytes;
using soundtest::MakeWave;

namespace {

using Clock = std::chrono::steady_clock;

void SetLe32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

// A good file with one thing broken, and the reason the reader gives for it.
struct Broken {
    const char* what;
    std::vector<std::uint8_t> bytes;
    WaveError reason;
};

std::vector<Broken> BrokenFiles() {
    const auto good = MakeWave(1, 8, 11025, 1000);
    std::vector<Broken> list;
    list.push_back({"empty", {}, WaveError::kNotRiff});
    auto v = good;
    v[0] = 'X';
    list.push_back({"no RIFF", v, WaveError::kNotRiff});
    v = good;
    v[8] = 'A';
    list.push_back({"no WAVE", v, WaveError::kNotWave});
    v = good;
    SetLe32(v, 40, 0x7FFFFFF0u);  // the data chunk claims far more than the file holds
    list.push_back({"data beyond the end", v, WaveError::kBadChunkSize});
    v = good;
    v[20] = 3;  // floating point
    list.push_back({"not PCM", v, WaveError::kNotPcm});
    v = good;
    v[22] = 5;
    list.push_back({"five channels", v, WaveError::kBadChannels});
    list.push_back({"two minutes and more", MakeWave(1, 8, 1000, 120000), WaveError::kTooLarge});
    v = good;
    v.resize(44);  // the data chunk's header, and no sample
    SetLe32(v, 40, 0);
    SetLe32(v, 4, 36);
    list.push_back({"no sample", v, WaveError::kNoData});
    return list;
}

class PlayWaveTest : public ::testing::Test {
  protected:
    void TearDown() override { StopWave(); }
};

}  // namespace

TEST_F(PlayWaveTest, ABrokenFileIsRefusedWithTheReadersReasonAndNothingPlays) {
    for (const Broken& b : BrokenFiles()) {
        WaveSound parsed;
        ASSERT_EQ(ParseWave(Bytes(b.bytes), &parsed), b.reason) << b.what;
        WaveError e = WaveError::kOk;
        EXPECT_FALSE(PlayWave(Bytes(b.bytes), &e)) << b.what;
        EXPECT_EQ(e, b.reason) << b.what;
        e = WaveError::kOk;
        EXPECT_FALSE(PlayWaveInBackground(Bytes(b.bytes), &e)) << b.what;
        EXPECT_EQ(e, b.reason) << b.what;
        EXPECT_FALSE(WavePlaying()) << b.what;
    }
}

TEST_F(PlayWaveTest, AGoodSoundStartsAtOnceAndStopWaveEndsIt) {
    const auto wave = MakeWave(1, 8, 11025, 11025 * 3);  // three seconds
    const auto start = Clock::now();
    WaveError e = WaveError::kNotRiff;
    const bool started = PlayWave(Bytes(wave), &e);
    const auto took = Clock::now() - start;
    EXPECT_EQ(e, WaveError::kOk);
    // Opening a device takes a tenth of a second or so; the sound itself is not awaited.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_EQ(WavePlaying(), started);
    StopWave();
    EXPECT_FALSE(WavePlaying());
    StopWave();  // stopping nothing is harmless
    EXPECT_FALSE(WavePlaying());
    if (!started) GTEST_SKIP() << "no wave output device: the sound was refused, nothing played";
    EXPECT_GE(AudioOutputCount(), 1);
    // A new start replaces the running sound, which then plays on.
    ASSERT_TRUE(PlayWave(Bytes(wave)));
    ASSERT_TRUE(PlayWave(Bytes(MakeWave(2, 16, 22050, 22050 * 2))));
    EXPECT_TRUE(WavePlaying());
}

TEST_F(PlayWaveTest, TheBytesMayBeReleasedOnceTheCallReturns) {
    auto bytes = std::make_unique<std::vector<std::uint8_t>>(MakeWave(1, 16, 44100, 44100));
    const bool started = PlayWave(Bytes(*bytes));
    // What the caller held is scribbled over and given back while the sound plays;
    // the sound must play from bytes of its own (the sanitizer build sees any read).
    std::fill(bytes->begin(), bytes->end(), std::uint8_t{0xCD});
    bytes.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(WavePlaying(), started);
    StopWave();
    EXPECT_FALSE(WavePlaying());
}

TEST_F(PlayWaveTest, InTheBackgroundAGoodSoundIsAcceptedWithOrWithoutADevice) {
    const auto wave = MakeWave(1, 8, 11025, 11025);
    const auto start = Clock::now();
    WaveError e = WaveError::kNotRiff;
    EXPECT_TRUE(PlayWaveInBackground(Bytes(wave), &e));
    EXPECT_EQ(e, WaveError::kOk);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    StopWave();
    EXPECT_FALSE(WavePlaying());
}
