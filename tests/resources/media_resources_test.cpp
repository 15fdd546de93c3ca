// The sprite script, the opening sound and the icon: the script byte for byte, the
// sound in the one format the saver plays, the icon a picture of the About box's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "resource_bytes.h"

namespace {

using resources_test::Required;
using resources_test::Text;
using resources_test::U16;
using resources_test::U32;

TEST(SpriteScriptResource, IsTheBuiltInScriptWithCrLfLineEnds) {
    const std::string expected =
        "LoadRes CHAR_BMP\r\n"
        "Surface BALL   (  0,300)  (186  22) (186 22)\r\n"
        "Surface DUMMY1 (  0,  0)  (  1   1) ( 1  1)\r\n"
        "Surface DUMMY2 (  0,  0)  (  1   1) ( 1  1)\r\n"
        "Surface DUMMY3 (  0,  0)  (  1   1) ( 1  1)\r\n"
        "Surface STR    (  0,  0)  (200 299) (24+1 24+1)\r\n";
    auto script = Required("PATSCRIPT", "PATSCRIPT1");
    EXPECT_EQ(Text(script, 0, script.size()), expected);
    // The script ends with a line break, so its last token is delivered.
    ASSERT_GE(script.size(), 2u);
    EXPECT_EQ(Text(script, script.size() - 2, 2), "\r\n");
}

TEST(OpeningSound, IsMonoEightBitPcmAt11025Hertz) {
    auto wave = Required("WAVE", "OPEN");
    ASSERT_GE(wave.size(), 44u);
    EXPECT_EQ(Text(wave, 0, 4), "RIFF");
    EXPECT_EQ(U32(wave, 4), wave.size() - 8);
    EXPECT_EQ(Text(wave, 8, 4), "WAVE");
    EXPECT_EQ(Text(wave, 12, 4), "fmt ");
    const std::uint32_t fmtSize = U32(wave, 16);
    EXPECT_EQ(fmtSize, 16u);
    EXPECT_EQ(U16(wave, 20), 1);       // PCM
    EXPECT_EQ(U16(wave, 22), 1);       // one channel
    EXPECT_EQ(U32(wave, 24), 11025u);  // samples a second
    EXPECT_EQ(U32(wave, 28), 11025u);  // bytes a second
    EXPECT_EQ(U16(wave, 32), 1);       // block alignment
    EXPECT_EQ(U16(wave, 34), 8);       // bits a sample
    const std::size_t data = 20 + fmtSize;
    EXPECT_EQ(Text(wave, data, 4), "data");
    EXPECT_EQ(U32(wave, data + 4), 43678u);
    EXPECT_EQ(wave.size(), data + 8 + 43678u);
}

TEST(OpeningSound, IsAudibleAndStartsAndEndsInSilence) {
    auto wave = Required("WAVE", "OPEN");
    ASSERT_EQ(wave.size(), 44u + 43678u);
    auto samples = wave.subspan(44);
    int peak = 0;
    for (std::byte b : samples) peak = std::max(peak, std::abs(std::to_integer<int>(b) - 128));
    EXPECT_GT(peak, 80);   // loud enough to hear
    EXPECT_LT(peak, 128);  // and not clipped
    // no click: the first and last samples sit at the 8-bit midpoint
    EXPECT_EQ(std::to_integer<int>(samples.front()), 128);
    EXPECT_EQ(std::to_integer<int>(samples.back()), 128);
    // sound in every second, not a short blip padded with silence
    for (std::size_t second = 0; second + 11025 <= samples.size(); second += 11025) {
        int loudest = 0;
        for (std::size_t i = second; i < second + 11025; ++i) {
            loudest = std::max(loudest, std::abs(std::to_integer<int>(samples[i]) - 128));
        }
        EXPECT_GT(loudest, 10) << "second " << second / 11025;
    }
}

TEST(IconResource, Is32By32Png) {
    auto icon = Required("ICON", "101");
    ASSERT_GE(icon.size(), 33u);
    EXPECT_EQ(Text(icon, 0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(Text(icon, 12, 4), "IHDR");
    EXPECT_EQ(resources_test::U32BigEndian(icon, 16), 32u);
    EXPECT_EQ(resources_test::U32BigEndian(icon, 20), 32u);
    EXPECT_EQ(std::to_integer<int>(icon[24]), 8);  // bits a channel
    EXPECT_EQ(std::to_integer<int>(icon[25]), 6);  // colour with alpha
}

}  // namespace
