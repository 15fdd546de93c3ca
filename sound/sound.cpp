// The opening sound over the audio output and the music over the sequencer.
#include "sound/sound.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/audio/audio.h"
#include "platform/resources/resources.h"
#include "platform/text.h"
#include "settings/scene_settings.h"

namespace sound {

std::uint32_t& MusicDevice() {
    static std::uint32_t device = 0;
    return device;
}

void PlayWaveResource(std::string_view name, std::uint32_t flags) {
    const auto wave = platform::FindResource(platform::kResourceWave, name);
    if (!wave) return;
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
    if (const std::uint32_t device = platform::SequencerOpen(path)) return device;
    // A path written by the configuration dialog is in the keyboard code page, while
    // file names on the disk are UTF-8: a name with other than ASCII is tried both ways.
    const std::string_view bytes(path);
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return 0;
    return platform::SequencerOpen(platform::CodePageToUtf8(bytes, codePage));
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
