// What every sequencer backend shares.
#include "platform/audio/sequencer.h"

namespace platform {

std::string_view SequencerErrorText(SequencerError error) {
    switch (error) {
        case SequencerError::kOk:
            return "no error";
        case SequencerError::kCannotRead:
            return "the file cannot be read";
        case SequencerError::kNotMidi:
            return "the file is not a well-formed MIDI file";
        case SequencerError::kNoSoundFont:
            return "no SoundFont can be loaded";
        case SequencerError::kNoOutput:
            return "there is no audio output";
        case SequencerError::kSynthesiser:
            return "the synthesiser cannot be started";
    }
    return "unknown error";
}

}  // namespace platform
