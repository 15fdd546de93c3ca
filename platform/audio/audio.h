// The one-shot sound, as every system has it: a RIFF WAVE file's sound started from
// memory, replacing the one that plays, while the program goes on. Linux plays it
// through the program's own mixed output (audio_output.h); Windows plays it with
// PlaySoundA (audio_win32.cpp). No device means silence.
#pragma once

#include <cstddef>
#include <span>

#include "platform/audio/wave.h"

namespace platform {

// The number of output devices the sound can play on (Linux: 1 when its output
// opens, else 0; Windows: the wave output devices the system has).
int AudioOutputCount();

// Starts a RIFF WAVE file's sound, replacing the one that plays; returns at once.
// False when the bytes are no playable WAVE file (with the reason) or there is no
// device. The bytes may be released once this returns.
bool PlayWave(std::span<const std::byte> wave, WaveError* error = nullptr);
// The same without waiting for the device to open: the bytes are checked here, the
// device is opened and the sound started on a thread of its own, while the caller
// goes on (opening a sound device takes a tenth of a second and more). False when
// the bytes are no playable WAVE file; no device is silence, not a refusal. On Linux
// every other call of the output waits for that thread first.
bool PlayWaveInBackground(std::span<const std::byte> wave, WaveError* error = nullptr);
void StopWave();
bool WavePlaying();

}  // namespace platform
