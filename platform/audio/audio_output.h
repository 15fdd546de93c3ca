// The audio output of a system where the program mixes its own sound (Linux): one
// device, opened when a sound or the music first needs it, that plays the one-shot
// sound and the sequencer's music together. The device itself is a backend: SDL audio
// for the program (its "disk" and "dummy" drivers serve tests), or a pulled output
// that tests drive sample by sample. Windows mixes in the system and has none of this.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/audio/audio.h"
#include "platform/audio/mixer.h"

namespace platform {

// The rate the output asks of its device, in frames per second.
inline constexpr std::uint32_t kAudioOutputRate = 44100;

class AudioBackend {
  public:
    virtual ~AudioBackend() = default;
    // Starts the device, which from then on calls mixer.Mix for interleaved stereo
    // floats; tells the rate it runs at. False when there is no device.
    virtual bool Start(Mixer& mixer, std::uint32_t* rate) = 0;
    virtual void Stop() = 0;
    // Whether a started device has stopped working (unplugged, server gone).
    virtual bool Failed() { return false; }
};

// SDL's audio, with whatever driver SDL picks or SDL_AUDIODRIVER names.
std::unique_ptr<AudioBackend> CreateSdlAudioBackend();

// An output without a device: nothing plays until Pull asks for frames. For tests.
class PulledAudioBackend : public AudioBackend {
  public:
    explicit PulledAudioBackend(std::uint32_t rate = kAudioOutputRate) : rate_(rate) {}
    bool Start(Mixer& mixer, std::uint32_t* rate) override;
    void Stop() override { mixer_ = nullptr; }
    // Mixes the next frames into out (interleaved stereo); silence when not started.
    void Pull(float* out, int frames);

  private:
    std::uint32_t rate_;
    Mixer* mixer_ = nullptr;
};

// Replaces the backend, closing the output that runs on the old one. The SDL backend
// is made on first use unless one was set.
void SetAudioBackend(std::unique_ptr<AudioBackend> backend);

// Opens the output when it is not open yet. False when there is no device.
bool OpenAudioOutput();
// The open output's rate, 0 when it is closed. Waits for an output still opening.
std::uint32_t AudioOutputRate();
// Makes the output's process-wide state (its mixer, not the output) without waiting
// for an output still opening: a static object that calls it while it is made is
// destroyed before that state.
void MakeAudioOutputState();
bool AudioOutputFailed();
// Stops the output and forgets the sound; attached streams stay attached.
void CloseAudioOutput();

// Streams render into the output while attached; the output opens on demand.
bool AttachAudioStream(AudioStream* stream);
void DetachAudioStream(AudioStream* stream);
// Holds the output's thread off while a stream's state changes.
std::unique_lock<std::mutex> LockAudio();

}  // namespace platform
