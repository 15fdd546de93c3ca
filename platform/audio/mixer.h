// The mixer behind the audio output: one one-shot sound, a new start replacing the
// running one, plus the streams attached to it (the sequencer's music). The output
// calls Mix on its own thread; everything else runs on the program's thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {

// A source of continuous sound, such as the sequencer.
class AudioStream {
  public:
    virtual ~AudioStream() = default;
    // Adds frames of interleaved stereo floats into out. Runs on the output's thread
    // with the mixer's lock held, so it must not take that lock again.
    virtual void Render(float* out, int frames) = 0;
};

class Mixer {
  public:
    static constexpr std::size_t kMaxStreams = 8;

    // Starts the one-shot sound (interleaved stereo at the output's rate), replacing
    // the one that plays.
    void StartSound(std::vector<float> stereo);
    void StopSound();
    bool SoundPlaying();

    // False when every stream slot is taken. A stream is attached at most once.
    bool AddStream(AudioStream* stream);
    void RemoveStream(AudioStream* stream);

    // Fills out with frames of interleaved stereo: the sound and every stream added,
    // limited to -1..1. Takes the lock; never allocates.
    void Mix(float* out, int frames);

    // The lock that Mix holds while it runs, for callers that change what a stream
    // renders. Do not call the mixer's own functions while holding it.
    std::mutex& Mutex() { return mutex_; }

  private:
    std::mutex mutex_;
    std::vector<float> sound_;
    std::size_t soundPos_ = 0;  // in floats
    std::array<AudioStream*, kMaxStreams> streams_{};
};

}  // namespace platform
