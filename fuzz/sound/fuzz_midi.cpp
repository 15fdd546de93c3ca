// Any bytes as a MIDI file: reading never goes outside the bytes, and what is accepted
// is rewritten into a plain file that reads back to exactly itself.
#include <cstdlib>
#include <span>

#include "platform/audio/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> plain;
    if (platform::NormalizeMidiFile(std::as_bytes(std::span(data, size)), &plain) !=
        platform::MidiError::kOk)
        return 0;
    std::vector<std::uint8_t> again;
    if (platform::NormalizeMidiFile(std::as_bytes(std::span(plain)), &again) !=
            platform::MidiError::kOk ||
        again != plain)
        std::abort();
    return 0;
}
