// The opening sound over the audio output and the music over the sequencer.
#include "sound/sound.h"

#include <chrono>
#include <thread>

#include "platform/audio/audio.h"
#include "platform/resources/resources.h"
#include "settings/scene_settings.h"

namespace sound {

std::uint32_t& MusicDevice() {
    static std::uint32_t device = 0;
    return device;
}

void PlayWaveResource(std::string_view name, std::uint32_t flags) {
    const auto wave = platform::FindResource(platform::kResourceWave, name);
    if (!wave) return;
    if (flags & SND_ASYNC) {
        // Opening the sound device is slow; the start goes on meanwhile.
        platform::PlayWaveInBackground(*wave);
        return;
    }
    // The output stands for every device there is; it converts any PCM format, so
    // 11.025 kHz mono 8-bit is always among what it plays.
    const int devices = platform::AudioOutputCount();
    if (devices <= 0) return;
    for (int device = 0; device < devices; ++device) {
        if (!platform::PlayWave(*wave)) return;
    }
    if (!(flags & SND_ASYNC)) {
        while (platform::WavePlaying()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::uint32_t OpenMusic(const char* path, int codePage) {
    if (!path || !*path) return 0;
    std::uint32_t device = 0;
    settings::OpenStoredPath(path, codePage, [&](const std::string& name) {
        device = platform::SequencerOpen(name);
        return device != 0;
    });
    return device;
}

std::uint32_t OpenMusic(const char* path) {
    return OpenMusic(path, settings::Settings().keyboardCodePage);
}

void PlayMusic(std::uint32_t device, platform::WindowHandle window) {
    platform::SequencerPlay(device, window);
}

void RewindMusic(std::uint32_t device, platform::WindowHandle) {
    platform::SequencerSeekToStart(device);
}

void StopMusic(std::uint32_t device, platform::WindowHandle window) {
    platform::SequencerStop(device, window);
}

void CloseMusic(std::uint32_t device) {
    platform::SequencerClose(device);
}

}  // namespace sound
