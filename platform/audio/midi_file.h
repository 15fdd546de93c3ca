// Standard MIDI Files as the user names them: a strict, bounds-checked reader that
// either refuses the file or rewrites it in the plainest form the synthesiser's player
// reads (explicit status bytes, no foreign chunks, ticks per quarter note).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace platform {

enum class MidiError {
    kOk,
    kNotMidi,          // no "MThd" chunk at the start (nor inside a RIFF "RMID" file)
    kBadHeader,        // a header too short, of an unknown format, or without tracks
    kBadDivision,      // zero ticks per quarter note, or an unknown frame rate
    kTruncated,        // a chunk larger than the file, or fewer tracks than declared
    kBadDelta,         // a delta time longer than four bytes or cut off
    kNoRunningStatus,  // a data byte where an event must start
    kBadData,          // a channel message whose data bytes are missing or not data bytes
    kIllegalStatus,    // a system common or real-time status (F1..F6, F8..FE) in a track
    kBadLength,        // a meta or system-exclusive event longer than its track
    kTooLong,          // a piece longer than the player's tick counter holds
    kTooLarge,         // a file larger than the program reads
};

std::string_view MidiErrorText(MidiError error);

// The largest MIDI file read: far beyond any piece of music, small enough that a
// hostile file cannot exhaust memory.
inline constexpr std::size_t kMaxMidiFileBytes = 8u << 20;

// Reads a whole MIDI file and writes it anew into *out: format 1 (format 0 for a
// single track), every event with its status byte, unknown chunks dropped, a missing
// end of track added. A time division in SMPTE frames becomes ticks per quarter note
// with one tempo that keeps the file's timing. The sequences of a format 2 file are
// joined one after another into one track. Format 0 files that hold several tracks
// play them together. Anything malformed is refused with the first fault found.
MidiError NormalizeMidiFile(std::span<const std::byte> bytes, std::vector<std::uint8_t>* out);

}  // namespace platform
