// Mixing the one-shot sound and the attached streams into the output's buffer.
#include "platform/audio/mixer.h"

#include <algorithm>

namespace platform {

void Mixer::StartSound(std::vector<float> stereo) {
    {
        std::lock_guard lock(mutex_);
        sound_.swap(stereo);
        soundPos_ = 0;
    }
    // The replaced sound is released here, outside the lock, not on the output's thread.
}

void Mixer::StopSound() {
    StartSound({});
}

bool Mixer::SoundPlaying() {
    std::lock_guard lock(mutex_);
    return soundPos_ < sound_.size();
}

bool Mixer::AddStream(AudioStream* stream) {
    std::lock_guard lock(mutex_);
    if (std::find(streams_.begin(), streams_.end(), stream) != streams_.end()) return true;
    for (AudioStream*& slot : streams_) {
        if (!slot) {
            slot = stream;
            return true;
        }
    }
    return false;
}

void Mixer::RemoveStream(AudioStream* stream) {
    std::lock_guard lock(mutex_);
    for (AudioStream*& slot : streams_) {
        if (slot == stream) slot = nullptr;
    }
}

void Mixer::Mix(float* out, int frames) {
    if (frames <= 0) return;
    const std::size_t floats = static_cast<std::size_t>(frames) * 2;
    std::fill(out, out + floats, 0.0f);
    std::lock_guard lock(mutex_);
    if (soundPos_ < sound_.size()) {
        const std::size_t n = std::min(floats, sound_.size() - soundPos_);
        std::copy(sound_.begin() + static_cast<std::ptrdiff_t>(soundPos_),
                  sound_.begin() + static_cast<std::ptrdiff_t>(soundPos_ + n), out);
        soundPos_ += n;
    }
    for (AudioStream* stream : streams_) {
        if (stream) stream->Render(out, frames);
    }
    for (std::size_t i = 0; i < floats; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

}  // namespace platform
