// The mixer: the one-shot sound replaced by a new start, streams added to it, and the
// output kept within -1..1.
#include "platform/audio/mixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "audio_test_util.h"
#include "platform/audio/audio_output.h"

using namespace platform;

namespace {

class ConstantStream : public AudioStream {
  public:
    explicit ConstantStream(float v) : value(v) {}
    void Render(float* out, int frames) override {
        for (int i = 0; i < frames * 2; ++i) out[i] += value;
        calls++;
    }
    float value;
    int calls = 0;
};

}  // namespace

TEST(Mixer, PlaysTheSoundOnceAndThenSilence) {
    Mixer m;
    m.StartSound({0.25f, -0.25f, 0.5f, -0.5f});
    EXPECT_TRUE(m.SoundPlaying());
    float out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    m.Mix(out, 4);
    EXPECT_EQ(std::vector<float>(out, out + 8),
              (std::vector<float>{0.25f, -0.25f, 0.5f, -0.5f, 0, 0, 0, 0}));
    EXPECT_FALSE(m.SoundPlaying());
}

TEST(Mixer, ANewStartReplacesTheRunningSound) {
    Mixer m;
    m.StartSound(std::vector<float>(100, 0.1f));
    float out[4];
    m.Mix(out, 2);
    m.StartSound({0.7f, 0.7f});
    m.Mix(out, 2);
    EXPECT_FLOAT_EQ(out[0], 0.7f);
    EXPECT_FLOAT_EQ(out[2], 0.0f);  // the first sound does not come back
    m.StartSound(std::vector<float>(10, 0.3f));
    m.StopSound();
    EXPECT_FALSE(m.SoundPlaying());
}

TEST(Mixer, AddsStreamsToTheSoundAndLimitsTheSum) {
    Mixer m;
    ConstantStream a(0.5f), b(0.75f);
    ASSERT_TRUE(m.AddStream(&a));
    ASSERT_TRUE(m.AddStream(&a));  // once only
    ASSERT_TRUE(m.AddStream(&b));
    m.StartSound({-0.5f, -0.5f});
    float out[4];
    m.Mix(out, 2);
    EXPECT_FLOAT_EQ(out[0], 0.75f);  // -0.5 + 0.5 + 0.75
    EXPECT_FLOAT_EQ(out[2], 1.0f);   // 1.25 limited
    EXPECT_EQ(a.calls, 1);
    m.RemoveStream(&a);
    m.Mix(out, 2);
    EXPECT_FLOAT_EQ(out[0], 0.75f);
    EXPECT_EQ(a.calls, 1);
}

TEST(Mixer, RefusesStreamsBeyondItsSlots) {
    Mixer m;
    std::vector<ConstantStream> streams(Mixer::kMaxStreams + 1, ConstantStream(0.0f));
    for (std::size_t i = 0; i < Mixer::kMaxStreams; ++i) EXPECT_TRUE(m.AddStream(&streams[i]));
    EXPECT_FALSE(m.AddStream(&streams.back()));
    m.RemoveStream(&streams[0]);
    EXPECT_TRUE(m.AddStream(&streams.back()));
}

namespace {

// An output that opens only when the test lets it, as a slow sound device does.
class SlowBackend : public platform::AudioBackend {
  public:
    explicit SlowBackend(std::future<void> go) : go_(std::move(go)) {}
    bool Start(platform::Mixer& mixer, std::uint32_t* rate) override {
        go_.wait();
        mixer_ = &mixer;
        *rate = platform::kAudioOutputRate;
        return true;
    }
    void Stop() override { mixer_ = nullptr; }
    bool Failed() override { return false; }

  private:
    std::future<void> go_;
    platform::Mixer* mixer_ = nullptr;
};

}  // namespace

// The opening sound does not hold the start up while the device opens: the call comes
// back at once, the frame's checks of the output and its poll for the music's notices
// do not wait either, and the sound
// plays once the device is open. A file that is no sound is refused at once.
TEST(BackgroundSound, StartsWithoutWaitingForTheDevice) {
    std::promise<void> go;
    platform::SetAudioBackend(std::make_unique<SlowBackend>(go.get_future()));
    const std::vector<std::uint8_t> wave = soundtest::MakeWave(1, 8, 11025, 11025);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(platform::PlayWaveInBackground(soundtest::Bytes(wave)));
    // The device opens a second later: a check that waited for it would take that long.
    std::thread release([&go] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        go.set_value();
    });
    EXPECT_FALSE(platform::AudioOutputFailed());
    { auto lock = platform::LockAudio(); }
    // Every frame polls, the first one too: a poll that waited for the device would
    // wait holding the audio lock that the opening sound then needs, for ever.
    platform::PollSequencerNotices();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_TRUE(platform::WavePlaying());  // waits for the device, then the sound plays
    EXPECT_EQ(platform::AudioOutputRate(), platform::kAudioOutputRate);
    release.join();
    std::vector<std::uint8_t> broken = wave;
    broken[0] = 'X';
    platform::WaveError error = platform::WaveError::kOk;
    EXPECT_FALSE(platform::PlayWaveInBackground(soundtest::Bytes(broken), &error));
    EXPECT_NE(error, platform::WaveError::kOk);
    platform::SetAudioBackend(nullptr);
}
