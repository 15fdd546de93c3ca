// Windows plays the sound and the music through the system itself (PlaySoundA, MCI):
// there is no audio backend for the tests to put in.
#include "media_page_test_util.h"

namespace config_test {

platform::PulledAudioBackend* InstallTestAudio() { return nullptr; }

void RemoveTestAudio() {}

}  // namespace config_test
