// The one-shot sound on Windows: the system plays it itself, with PlaySoundA from
// memory (SND_MEMORY | SND_ASYNC | SND_NODEFAULT), and mixes it with whatever else
// sounds. The bytes are checked by our own WAVE reader first, so a broken file is
// refused with the same reason on both systems and Windows never reads one.
//
// SND_MEMORY with SND_ASYNC reads the caller's memory while the sound plays, but the
// caller may release its bytes once PlayWave returns: the sound plays from a copy of
// our own, which is released only after the sound has been stopped (PlaySoundA with
// no sound returns once the running one has stopped).
#include <chrono>
#include <mutex>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/win32_api.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct State {
    std::mutex mutex;
    std::vector<std::byte> playing;  // the bytes Windows plays from
    Clock::time_point ends{};        // when the sound started last is over

    ~State() {
        // At the end of the program the copy goes; the sound must not outlive it.
        if (!playing.empty()) PlaySoundA(nullptr, nullptr, 0);
    }
};

State& S() {
    static State state;
    return state;
}

// Stops the running sound, then forgets its bytes. Under the state's lock.
void StopLocked(State& s) {
    if (s.playing.empty()) return;
    PlaySoundA(nullptr, nullptr, 0);
    s.playing.clear();
    s.playing.shrink_to_fit();
    s.ends = {};
}

// Starts a checked sound; false when Windows has no output device or refuses it.
bool Start(std::span<const std::byte> wave, const WaveSound& sound) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    StopLocked(s);
    if (waveOutGetNumDevs() == 0) return false;
    s.playing.assign(wave.begin(), wave.end());
    if (!PlaySoundA(reinterpret_cast<LPCSTR>(s.playing.data()), nullptr,
                    SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) {
        s.playing.clear();
        return false;
    }
    // Windows cannot be asked whether its sound still plays; its length is known.
    const auto length = std::chrono::microseconds(static_cast<std::int64_t>(sound.frames) *
                                                  1'000'000 / sound.sampleRate);
    s.ends = Clock::now() + length;
    return true;
}

}  // namespace

int AudioOutputCount() {
    return static_cast<int>(waveOutGetNumDevs());
}

bool PlayWave(std::span<const std::byte> wave, WaveError* error) {
    WaveSound sound;
    const WaveError e = ParseWave(wave, &sound);
    if (error) *error = e;
    return e == WaveError::kOk && Start(wave, sound);
}

bool PlayWaveInBackground(std::span<const std::byte> wave, WaveError* error) {
    // Windows opens its device on a thread of its own: PlaySoundA with SND_ASYNC
    // already returns at once. A sound that cannot play is silence, not a refusal.
    WaveSound sound;
    const WaveError e = ParseWave(wave, &sound);
    if (error) *error = e;
    if (e != WaveError::kOk) return false;
    Start(wave, sound);
    return true;
}

void StopWave() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    StopLocked(s);
}

bool WavePlaying() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    return !s.playing.empty() && Clock::now() < s.ends;
}

}  // namespace platform
