// The process-wide audio output: its backend, the mixer it plays, and the one-shot sound.
#include "platform/audio/audio.h"
#include "platform/backends.h"

namespace platform {

namespace {

struct State {
    // The mixer outlives the backend, whose thread calls it.
    Mixer mixer;
    std::unique_ptr<AudioBackend> backend;
    bool open = false;
    std::uint32_t rate = 0;

    ~State() {
        if (open && backend) backend->Stop();
    }
};

State& S() {
    static State state;
    return state;
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

bool AudioOutputFailed() {
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
    return std::unique_lock(S().mixer.Mutex());
}

}  // namespace platform
