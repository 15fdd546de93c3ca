// The media page's tests play through a backend whose samples they pull themselves.
#include "media_page_test_util.h"

namespace config_test {

platform::PulledAudioBackend* InstallTestAudio() {
    auto audio = std::make_unique<platform::PulledAudioBackend>();
    platform::PulledAudioBackend* output = audio.get();
    platform::SetAudioBackend(std::move(audio));
    return output;
}

void RemoveTestAudio() { platform::SetAudioBackend(nullptr); }

}  // namespace config_test
