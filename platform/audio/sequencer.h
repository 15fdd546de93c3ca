// The MIDI sequencer, kept to the model of the multimedia command interface: a file
// is opened as a device with a nonzero ID, then played, sought to its start, stopped
// and closed by that ID. A command given a window posts MM_MCINOTIFY to it with the
// outcome in wParam and the device ID in lParam. On Linux the music is rendered by a
// software synthesiser into the audio output that the one-shot sound uses too
// (sequencer_fluid.cpp); on Windows the system's own MCI "sequencer" device plays it
// (sequencer_mci.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/window.h"

namespace platform {

using MciDeviceId = std::uint32_t;  // 0 is no device

// The outcomes a notice reports, with their Windows numbers.
inline constexpr WPARAM MCI_NOTIFY_SUCCESSFUL = 0x0001;  // the command completed
inline constexpr WPARAM MCI_NOTIFY_SUPERSEDED = 0x0002;  // a later command asked for a notice
inline constexpr WPARAM MCI_NOTIFY_ABORTED = 0x0004;     // a later command ended the play
inline constexpr WPARAM MCI_NOTIFY_FAILURE = 0x0008;     // the device failed while playing

enum class SequencerError {
    kOk,
    kCannotRead,   // the file is missing, unreadable or too large
    kNotMidi,      // the file is no well-formed MIDI file
    kNoSoundFont,  // no SoundFont was found, or none could be loaded
    kNoOutput,     // there is no audio output device (Windows: MCI refused the sequencer)
    kSynthesiser,  // the synthesiser or its player could not be made
};

std::string_view SequencerErrorText(SequencerError error);

// Opens a MIDI file as a new device, positioned at its start and not playing.
// Returns 0 (and the reason) when the file, a SoundFont or the output is missing.
MciDeviceId SequencerOpen(const std::string& path, SequencerError* error = nullptr);

// Plays from the current position to the end. With a window, a notice follows:
// successful at the end, superseded when another command asks for a notice first,
// aborted when a seek, stop or close ends the play, failure when the output fails.
// A device at its end completes at once. False for an unknown device.
bool SequencerPlay(MciDeviceId device, WindowHandle notify);
// Stops playing and goes back to the start; an awaited notice becomes aborted.
bool SequencerSeekToStart(MciDeviceId device);
// Stops playing and keeps the position; an awaited notice becomes aborted. With a
// window, the stop itself is reported successful.
bool SequencerStop(MciDeviceId device, WindowHandle notify);
// Stops and forgets the device; an awaited notice becomes aborted.
bool SequencerClose(MciDeviceId device);

// Whether the device is playing (not stopped, not at its end). For tests and diagnostics.
bool SequencerPlaying(MciDeviceId device);
// How many devices are open. For tests and diagnostics.
std::size_t SequencerOpenCount();

// Posts the notices of plays that ended or failed on the output's thread. The audio
// runs on a thread of its own while window messages belong to the program's thread,
// so the program's loop calls this on each turn (it is cheap when nothing happened).
// On Windows it takes the messages MCI posted to the sequencer's hidden windows.
void PollSequencerNotices();

// The SoundFonts tried, in order: ORBSAVER_SOUNDFONT when set, the synthesiser's
// configured default, then the General MIDI fonts the system may have. None on
// Windows, whose sequencer brings its own instruments.
std::vector<std::string> SoundFontCandidates();
// The first candidate that is a readable SoundFont, or "" when there is none.
std::string FindSoundFont();

}  // namespace platform
