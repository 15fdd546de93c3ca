// The RIFF WAVE parser and the conversion of PCM sound to the output's stereo floats.
#include "platform/audio/wave.h"

#include <cstring>

namespace platform {

namespace {

std::uint32_t Le32(const std::byte* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t Le16(const std::byte* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned>(p[0]) |
                                      (static_cast<unsigned>(p[1]) << 8));
}

bool Tag(const std::byte* p, const char (&tag)[5]) {
    return std::memcmp(p, tag, 4) == 0;
}

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

struct Format {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bits = 0;
};

WaveError ReadFormat(const std::byte* p, std::uint32_t size, Format* f) {
    if (size < 16) return WaveError::kBadFormat;
    std::uint16_t tag = Le16(p);
    if (tag == kFormatExtensible) {
        // The extensible form names its real encoding in the first two bytes of its
        // sub-format identifier, 24 bytes into the chunk.
        if (size < 40 || Le16(p + 16) < 22) return WaveError::kBadFormat;
        tag = Le16(p + 24);
    }
    if (tag != kFormatPcm) return WaveError::kNotPcm;
    f->channels = Le16(p + 2);
    f->rate = Le32(p + 4);
    f->blockAlign = Le16(p + 12);
    f->bits = Le16(p + 14);
    if (f->channels != 1 && f->channels != 2) return WaveError::kBadChannels;
    if (f->bits != 8 && f->bits != 16) return WaveError::kBadBits;
    if (f->rate < 1000 || f->rate > 192000) return WaveError::kBadRate;
    if (f->blockAlign != f->channels * (f->bits / 8)) return WaveError::kBadFormat;
    return WaveError::kOk;
}

// One sample of the sound as a float in -1..1.
float SampleAt(const WaveSound& s, std::size_t frame, unsigned channel) {
    const std::size_t bytes = s.bitsPerSample / 8;
    const std::byte* p = s.samples.data() + (frame * s.channels + channel) * bytes;
    if (bytes == 1) return (static_cast<float>(static_cast<unsigned>(p[0])) - 128.0f) / 128.0f;
    return static_cast<float>(static_cast<std::int16_t>(Le16(p))) / 32768.0f;
}

}  // namespace

std::string_view WaveErrorText(WaveError error) {
    switch (error) {
        case WaveError::kOk:
            return "no error";
        case WaveError::kNotRiff:
            return "not a RIFF file";
        case WaveError::kNotWave:
            return "a RIFF file that is not a WAVE file";
        case WaveError::kBadChunkSize:
            return "a chunk is larger than the file";
        case WaveError::kNoFormat:
            return "no format chunk before the sound data";
        case WaveError::kBadFormat:
            return "a malformed format chunk";
        case WaveError::kNotPcm:
            return "the sound is not plain PCM";
        case WaveError::kBadChannels:
            return "only mono and stereo sounds are played";
        case WaveError::kBadBits:
            return "only 8- and 16-bit samples are played";
        case WaveError::kBadRate:
            return "the sample rate is out of range";
        case WaveError::kNoData:
            return "no sound data";
        case WaveError::kTooLarge:
            return "the sound is too large or too long";
    }
    return "unknown error";
}

WaveError ParseWave(std::span<const std::byte> bytes, WaveSound* sound) {
    *sound = WaveSound{};
    if (bytes.size() < 12 || !Tag(bytes.data(), "RIFF")) return WaveError::kNotRiff;
    if (!Tag(bytes.data() + 8, "WAVE")) return WaveError::kNotWave;
    // The RIFF size may disagree with the bytes at hand; the smaller one bounds the chunks.
    std::size_t end = bytes.size();
    const std::uint64_t riffEnd = static_cast<std::uint64_t>(Le32(bytes.data() + 4)) + 8;
    if (riffEnd < end) end = static_cast<std::size_t>(riffEnd);
    if (end < 12) return WaveError::kBadChunkSize;  // a RIFF size that ends inside the header

    Format format;
    bool haveFormat = false;
    std::size_t pos = 12;
    while (end - pos >= 8) {
        const std::byte* header = bytes.data() + pos;
        const std::uint32_t size = Le32(header + 4);
        pos += 8;
        if (size > end - pos) return WaveError::kBadChunkSize;
        const std::byte* body = bytes.data() + pos;
        if (Tag(header, "fmt ")) {
            if (const WaveError e = ReadFormat(body, size, &format); e != WaveError::kOk) return e;
            haveFormat = true;
        } else if (Tag(header, "data")) {
            if (!haveFormat) return WaveError::kNoFormat;
            if (size > kMaxWaveDataBytes) return WaveError::kTooLarge;
            const std::size_t frames = size / format.blockAlign;
            if (frames == 0) return WaveError::kNoData;
            if (frames / format.rate >= kMaxWaveSeconds) return WaveError::kTooLarge;
            sound->sampleRate = format.rate;
            sound->channels = format.channels;
            sound->bitsPerSample = format.bits;
            sound->frames = frames;
            sound->samples = std::span<const std::byte>(body, frames * format.blockAlign);
            return WaveError::kOk;
        }
        // Chunks are padded to an even size; a missing pad byte at the very end is harmless.
        pos += size;
        if ((size & 1) && pos < end) ++pos;
    }
    return haveFormat ? WaveError::kNoData : WaveError::kNoFormat;
}

std::vector<float> ConvertWaveToStereo(const WaveSound& sound, std::uint32_t outputRate) {
    std::vector<float> out;
    if (sound.frames == 0 || sound.sampleRate == 0 || outputRate == 0 || outputRate > 192000 ||
        sound.frames / sound.sampleRate >= kMaxWaveSeconds)
        return out;
    const std::uint64_t outFrames =
        (static_cast<std::uint64_t>(sound.frames) * outputRate + sound.sampleRate - 1) /
        sound.sampleRate;
    out.resize(static_cast<std::size_t>(outFrames) * 2);
    const double step = static_cast<double>(sound.sampleRate) / outputRate;
    const unsigned right = sound.channels == 2 ? 1 : 0;
    for (std::size_t i = 0; i < outFrames; ++i) {
        const double at = static_cast<double>(i) * step;
        std::size_t a = static_cast<std::size_t>(at);
        if (a >= sound.frames) a = sound.frames - 1;
        const std::size_t b = a + 1 < sound.frames ? a + 1 : a;
        const float t = static_cast<float>(at - static_cast<double>(a));
        for (unsigned c = 0; c < 2; ++c) {
            const unsigned channel = c == 0 ? 0 : right;
            const float x = SampleAt(sound, a, channel);
            const float y = SampleAt(sound, b, channel);
            out[i * 2 + c] = x + (y - x) * t;
        }
    }
    return out;
}

}  // namespace platform
