// The opening sound and the background music: the WAVE resource "OPEN" played once
// from memory, and the MIDI file of the MIDI_NM setting played as a sequencer device
// whose completion notices reach the window that started it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/audio/sequencer.h"
#include "platform/window/window.h"

namespace sound {

// The device ID of the open music, 0 when none is open. Written by whoever opens or
// closes the music, read by the saver window when a notice arrives.
std::uint32_t& MusicDevice();

// Play flags of PlayWaveResource, with their Windows numbers.
inline constexpr std::uint32_t SND_SYNC = 0x0000;
inline constexpr std::uint32_t SND_ASYNC = 0x0001;
inline constexpr std::uint32_t SND_NODEFAULT = 0x0002;
inline constexpr std::uint32_t SND_MEMORY = 0x0004;

// Plays the program's WAVE resource of that name on every output device that can
// play it, a new start replacing the running sound. Without SND_ASYNC it returns when
// the sound has ended. Does nothing when there is no such resource or no device.
void PlayWaveResource(std::string_view name, std::uint32_t flags);

// Opens the MIDI file as a sequencer device: its ID, or 0 when the file or the
// sequencer cannot be opened. The path is a setting's bytes: taken as they are, and
// when that fails and they hold other than ASCII, read in the keyboard code page.
std::uint32_t OpenMusic(const char* path);
std::uint32_t OpenMusic(const char* path, int codePage);
// Plays from the current position to the end, the outcome notified to the window.
void PlayMusic(std::uint32_t device, platform::WindowHandle window);
// Goes back to the start, without a notice.
void RewindMusic(std::uint32_t device, platform::WindowHandle window);
// Stops, keeping the position; the stop is notified to the window.
void StopMusic(std::uint32_t device, platform::WindowHandle window);
void CloseMusic(std::uint32_t device);

}  // namespace sound
