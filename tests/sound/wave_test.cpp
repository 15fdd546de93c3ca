// The WAVE parser: the formats it plays, one broken file per kind of refusal, and the
// conversion to the output's stereo floats.
#include "platform/audio/wave.h"

#include <gtest/gtest.h>

#include "audio_test_util.h"

using namespace platform;
using soundtest::Bytes;
using soundtest::MakeWave;

namespace {

WaveError Parse(const std::vector<std::uint8_t>& v, WaveSound* s = nullptr) {
    WaveSound local;
    return ParseWave(Bytes(v), s ? s : &local);
}

void SetLe32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

// Offsets in the files MakeWave writes.
constexpr std::size_t kRiffSize = 4, kFmtTag = 20, kChannels = 22, kRate = 24, kBlockAlign = 32,
                      kBits = 34, kDataTag = 36, kDataSize = 40;

}  // namespace

TEST(WaveParser, ReadsEveryPlayableLayout) {
    for (unsigned channels : {1u, 2u}) {
        for (unsigned bits : {8u, 16u}) {
            WaveSound s;
            ASSERT_EQ(Parse(MakeWave(channels, bits, 22050, 100), &s), WaveError::kOk)
                << channels << " channels, " << bits << " bits";
            EXPECT_EQ(s.channels, channels);
            EXPECT_EQ(s.bitsPerSample, bits);
            EXPECT_EQ(s.sampleRate, 22050u);
            EXPECT_EQ(s.frames, 100u);
            EXPECT_EQ(s.samples.size(), 100u * channels * bits / 8);
        }
    }
}

TEST(WaveParser, SkipsOtherChunksAndKeepsWholeFrames) {
    std::vector<std::uint8_t> v = MakeWave(1, 8, 11025, 10);
    // A "LIST" chunk of odd size (with its pad byte) before the format.
    const std::vector<std::uint8_t> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    v.insert(v.begin() + 12, list.begin(), list.end());
    SetLe32(v, kRiffSize, static_cast<std::uint32_t>(v.size() - 8));
    WaveSound s;
    ASSERT_EQ(Parse(v, &s), WaveError::kOk);
    EXPECT_EQ(s.frames, 10u);
    // A data chunk whose last frame is cut keeps the whole frames.
    std::vector<std::uint8_t> odd = MakeWave(2, 16, 8000, 4);
    SetLe32(odd, kDataSize, 4 * 4 - 1);
    odd.pop_back();
    ASSERT_EQ(Parse(odd, &s), WaveError::kOk);
    EXPECT_EQ(s.frames, 3u);
}

TEST(WaveParser, RefusesEachKindOfBrokenFile) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        WaveError expected;
    };
    const std::vector<std::uint8_t> good = MakeWave(1, 8, 11025, 50);
    auto with = [&](auto change) {
        std::vector<std::uint8_t> v = good;
        change(v);
        return v;
    };
    const std::vector<Case> cases = {
        {"empty", {}, WaveError::kNotRiff},
        {"eleven bytes", std::vector<std::uint8_t>(good.begin(), good.begin() + 11),
         WaveError::kNotRiff},
        {"not RIFF", with([](auto& v) { v[0] = 'X'; }), WaveError::kNotRiff},
        {"RIFF of another form", with([](auto& v) { v[8] = 'A'; }), WaveError::kNotWave},
        {"data larger than the file", with([](auto& v) { SetLe32(v, kDataSize, 0xFFFFFFF0u); }),
         WaveError::kBadChunkSize},
        {"format larger than the file", with([](auto& v) { SetLe32(v, 16, 0x7FFFFFFFu); }),
         WaveError::kBadChunkSize},
        {"format of 14 bytes", with([](auto& v) { SetLe32(v, 16, 14); }), WaveError::kBadFormat},
        {"compressed", with([](auto& v) { v[kFmtTag] = 2; }), WaveError::kNotPcm},
        {"floating point", with([](auto& v) { v[kFmtTag] = 3; }), WaveError::kNotPcm},
        {"no channels", with([](auto& v) { v[kChannels] = 0; }), WaveError::kBadChannels},
        {"six channels", with([](auto& v) { v[kChannels] = 6; }), WaveError::kBadChannels},
        {"24 bits", with([](auto& v) { v[kBits] = 24; }), WaveError::kBadBits},
        {"rate 0", with([](auto& v) { SetLe32(v, kRate, 0); }), WaveError::kBadRate},
        {"rate 4 GHz", with([](auto& v) { SetLe32(v, kRate, 0xFFFFFFFFu); }), WaveError::kBadRate},
        {"block align 0", with([](auto& v) { v[kBlockAlign] = 0; }), WaveError::kBadFormat},
        {"block align too large", with([](auto& v) { v[kBlockAlign] = 7; }), WaveError::kBadFormat},
        {"data before format", with([](auto& v) { v[12] = 'X'; }), WaveError::kNoFormat},
        {"no data chunk", with([](auto& v) { v[kDataTag] = 'X'; }), WaveError::kNoData},
        {"empty data", MakeWave(1, 8, 11025, 0), WaveError::kNoData},
        {"header only", std::vector<std::uint8_t>(good.begin(), good.begin() + 12),
         WaveError::kNoFormat},
        {"RIFF size ends inside the header", with([](auto& v) { SetLe32(v, kRiffSize, 0); }),
         WaveError::kBadChunkSize},
        {"RIFF size cuts the data chunk", with([](auto& v) { SetLe32(v, kRiffSize, 40); }),
         WaveError::kBadChunkSize},
    };
    for (const Case& c : cases) {
        WaveSound s;
        EXPECT_EQ(Parse(c.bytes, &s), c.expected) << c.what;
        EXPECT_EQ(s.frames, 0u) << c.what;
        EXPECT_FALSE(WaveErrorText(c.expected).empty());
    }
}

TEST(WaveParser, RefusesSoundsThatWouldExhaustMemory) {
    // Two minutes or more at the lowest rate.
    EXPECT_EQ(Parse(MakeWave(1, 8, 1000, 120000)), WaveError::kTooLarge);
    EXPECT_EQ(Parse(MakeWave(1, 8, 1000, 119999)), WaveError::kOk);
}

TEST(WaveConversion, ResamplesToTheOutputRateAndSpreadsMonoToBothSides) {
    WaveSound s;
    const auto v = MakeWave(1, 8, 11025, 1000);
    ASSERT_EQ(ParseWave(Bytes(v), &s), WaveError::kOk);
    const std::vector<float> out = ConvertWaveToStereo(s, 44100);
    ASSERT_EQ(out.size(), 4000u * 2);
    // 8-bit 200 is (200 - 128) / 128.
    EXPECT_FLOAT_EQ(out[0], 72.0f / 128.0f);
    for (std::size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]);
    // Halfway between two source samples the value is their mean: source frames 19
    // and 20 are 200 and 56, output frame 78 lies halfway (19.5 x 4).
    EXPECT_NEAR(out[78 * 2], 0.0f, 1e-6);
}

TEST(WaveConversion, KeepsStereoSidesApartInSixteenBits) {
    std::vector<std::uint8_t> v = MakeWave(2, 16, 44100, 4);
    // Left +16384, right -16384 in the first frame.
    v[44] = 0x00;
    v[45] = 0x40;
    v[46] = 0x00;
    v[47] = 0xC0;
    WaveSound s;
    ASSERT_EQ(ParseWave(Bytes(v), &s), WaveError::kOk);
    const std::vector<float> out = ConvertWaveToStereo(s, 44100);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], -0.5f);
}
