// The process-wide audio output: its backend, the mixer it plays, and the one-shot sound.
#include "platform/audio/audio_output.h"
#include "platform/backends.h"

#include <atomic>
#include <thread>
#include <vector>

namespace platform {

namespace {

struct State {
    // The mixer outlives the backend, whose thread calls it.
    Mixer mixer;
    std::unique_ptr<AudioBackend> backend;
    bool open = false;
    std::uint32_t rate = 0;
    // Opens the output and starts a sound for PlayWaveInBackground.
    std::thread opener;
    std::atomic<bool> opening{false};

    ~State() {
        if (opener.joinable()) opener.join();
        if (open && backend) backend->Stop();
    }
};

State& Unsettled() {
    static State state;
    return state;
}

// The state once a background start has finished; only the caller's thread goes on.
State& S() {
    State& s = Unsettled();
    if (s.opener.joinable() && s.opener.get_id() != std::this_thread::get_id()) s.opener.join();
    return s;
}

AudioBackend& Backend() {
    State& s = S();
    if (!s.backend) s.backend = CreateDefaultAudioBackend();
    return *s.backend;
}

}  // namespace

bool PulledAudioBackend::Start(Mixer& mixer, std::uint32_t* rate) {
    mixer_ = &mixer;
    *rate = rate_;
    return true;
}

void PulledAudioBackend::Pull(float* out, int frames) {
    if (mixer_) {
        mixer_->Mix(out, frames);
    } else {
        std::fill(out, out + static_cast<std::ptrdiff_t>(frames) * 2, 0.0f);
    }
}

void SetAudioBackend(std::unique_ptr<AudioBackend> backend) {
    CloseAudioOutput();
    S().backend = std::move(backend);
}

bool OpenAudioOutput() {
    State& s = S();
    if (s.open) return true;
    std::uint32_t rate = 0;
    if (!Backend().Start(s.mixer, &rate) || rate == 0) return false;
    s.open = true;
    s.rate = rate;
    return true;
}

std::uint32_t AudioOutputRate() {
    return S().open ? S().rate : 0;
}

void MakeAudioOutputState() { (void)Unsettled(); }

bool AudioOutputFailed() {
    // Asked every frame: an output still opening has not failed, and the frame does
    // not wait for it.
    if (Unsettled().opening) return false;
    return S().open && Backend().Failed();
}

void CloseAudioOutput() {
    State& s = S();
    if (!s.open) return;
    s.backend->Stop();
    s.open = false;
    s.rate = 0;
    s.mixer.StopSound();
}

int AudioOutputCount() {
    return OpenAudioOutput() ? 1 : 0;
}

bool PlayWaveInBackground(std::span<const std::byte> wave, WaveError* error) {
    WaveSound checked;
    const WaveError e = ParseWave(wave, &checked);
    if (error) *error = e;
    if (e != WaveError::kOk) return false;
    State& s = S();
    s.opening = true;
    s.opener = std::thread([bytes = std::vector<std::byte>(wave.begin(), wave.end())] {
        WaveSound sound;
        if (ParseWave(bytes, &sound) == WaveError::kOk && OpenAudioOutput())
            Unsettled().mixer.StartSound(ConvertWaveToStereo(sound, Unsettled().rate));
        Unsettled().opening = false;
    });
    return true;
}

bool PlayWave(std::span<const std::byte> wave, WaveError* error) {
    WaveSound sound;
    const WaveError e = ParseWave(wave, &sound);
    if (error) *error = e;
    if (e != WaveError::kOk || !OpenAudioOutput()) return false;
    S().mixer.StartSound(ConvertWaveToStereo(sound, S().rate));
    return true;
}

void StopWave() {
    S().mixer.StopSound();
}

bool WavePlaying() {
    return S().mixer.SoundPlaying();
}

bool AttachAudioStream(AudioStream* stream) {
    return S().mixer.AddStream(stream);
}

void DetachAudioStream(AudioStream* stream) {
    S().mixer.RemoveStream(stream);
}

std::unique_lock<std::mutex> LockAudio() {
    // The mixer is there from the start; its lock does not wait for an output opening.
    return std::unique_lock(Unsettled().mixer.Mutex());
}

}  // namespace platform
