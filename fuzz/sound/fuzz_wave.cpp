// Any bytes as a WAVE file: parsing never reads outside the bytes, what parses has
// consistent sizes, and its conversion to the output's stereo floats stays in -1..1.
#include <cstdlib>
#include <span>

#include "platform/audio/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    platform::WaveSound sound;
    if (platform::ParseWave(bytes, &sound) != platform::WaveError::kOk) return 0;
    const std::size_t frameBytes = sound.channels * (sound.bitsPerSample / 8u);
    if (sound.frames == 0 || sound.samples.size() != sound.frames * frameBytes) std::abort();
    if (sound.samples.data() < bytes.data() ||
        sound.samples.data() + sound.samples.size() > bytes.data() + bytes.size())
        std::abort();
    // A small output rate keeps the conversion quick for long sounds.
    const std::vector<float> out = platform::ConvertWaveToStereo(sound, 8000);
    if (out.empty() || out.size() % 2 != 0) std::abort();
    for (float f : out) {
        if (!(f >= -1.0f && f <= 1.0f)) std::abort();
    }
    return 0;
}
