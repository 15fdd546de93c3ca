// The program's own opening sound, as its resource holds it.
#include <gtest/gtest.h>

#include "platform/audio/wave.h"
#include "platform/resources/resources.h"

using namespace platform;

TEST(WaveParser, TheOpeningSoundIsElevenKilohertzMonoEightBit) {
    const auto open = FindResource(kResourceWave, "OPEN");
    ASSERT_TRUE(open.has_value());
    WaveSound s;
    ASSERT_EQ(ParseWave(*open, &s), WaveError::kOk);
    EXPECT_EQ(s.sampleRate, 11025u);
    EXPECT_EQ(s.channels, 1u);
    EXPECT_EQ(s.bitsPerSample, 8u);
    EXPECT_EQ(s.samples.size(), 43678u);
}
