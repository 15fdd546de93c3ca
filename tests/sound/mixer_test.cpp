// The mixer: the one-shot sound replaced by a new start, streams added to it, and the
// output kept within -1..1.
#include "platform/audio/mixer.h"

#include <gtest/gtest.h>

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
