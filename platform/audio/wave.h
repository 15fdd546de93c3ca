// RIFF WAVE files: the parser that takes a file's bytes and returns its PCM sound, and
// the conversion of that sound to the output's format. No audio device is involved,
// so hostile files can be tested and fuzzed on their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace platform {

enum class WaveError {
    kOk,
    kNotRiff,       // no "RIFF" header, or fewer than 12 bytes
    kNotWave,       // a RIFF file of another form
    kBadChunkSize,  // a chunk that claims more bytes than the file holds
    kNoFormat,      // no "fmt " chunk before the sound data
    kBadFormat,     // a "fmt " chunk shorter than 16 bytes or with inconsistent sizes
    kNotPcm,        // compressed or floating-point sound
    kBadChannels,   // other than one or two channels
    kBadBits,       // other than 8 or 16 bits per sample
    kBadRate,       // a sample rate outside 1000..192000 per second
    kNoData,        // no "data" chunk, or one without a whole sample frame
    kTooLarge,      // more sound data, or a longer sound, than the program will hold
};

// A short English description of the error, for tests and diagnostics.
std::string_view WaveErrorText(WaveError error);

// The sound of a WAVE file. The samples point into the bytes that were parsed.
struct WaveSound {
    std::uint32_t sampleRate = 0;
    std::uint16_t channels = 0;       // 1 or 2
    std::uint16_t bitsPerSample = 0;  // 8 (unsigned) or 16 (signed, little-endian)
    std::span<const std::byte> samples;
    std::size_t frames = 0;  // whole sample frames in samples
};

// The most sound data accepted: far beyond the program's own opening sound, small
// enough that a hostile file cannot exhaust memory once converted.
inline constexpr std::size_t kMaxWaveDataBytes = 32u << 20;
// The longest sound accepted, which bounds the memory its conversion takes.
inline constexpr std::size_t kMaxWaveSeconds = 120;

// Parses the bytes of a RIFF WAVE file holding 8- or 16-bit PCM, mono or stereo.
// Chunks other than "fmt " and "data" are skipped; every size is checked against the
// bytes at hand, so a broken or hostile file gives an error and nothing is read
// outside the buffer.
WaveError ParseWave(std::span<const std::byte> bytes, WaveSound* sound);

// The sound as interleaved stereo floats in -1..1 at the output's rate, resampled by
// linear interpolation; a mono sound goes to both sides.
std::vector<float> ConvertWaveToStereo(const WaveSound& sound, std::uint32_t outputRate);

}  // namespace platform
