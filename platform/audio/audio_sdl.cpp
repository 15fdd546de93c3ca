// The audio output on SDL: one device in interleaved stereo floats, SDL converting to
// whatever the driver needs, its callback running the mixer on SDL's audio thread.
#include <SDL.h>
#include <dlfcn.h>

#include "platform/audio/audio_output.h"

namespace platform {

namespace {

// ALSA's library writes every failed look-up to stderr ("ALSA lib confmisc.c:...
// cannot find card '0'", a dozen lines on a machine without a sound card) while SDL
// probes it. SDL loads the library itself at run time; loading the same library
// first and giving it a handler that says nothing keeps those lines off the user's
// terminal. A machine without the library has nothing to silence.
void SilenceAlsa(const char*, int, const char*, int, const char*, ...) {}

void QuietenAlsa() {
    static const bool done = [] {
        void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!alsa) return true;
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        // Kept loaded for the rest of the run, so that the handler stays in place.
        if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) {
            set(&SilenceAlsa);
        }
        return true;
    }();
    (void)done;
}

class SdlAudioBackend : public AudioBackend {
  public:
    bool Start(Mixer& mixer, std::uint32_t* rate) override {
        QuietenAlsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(kAudioOutputRate);
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &SdlAudioBackend::Callback;
        want.userdata = &mixer;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts, so the mixer always gets what it asked for.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        *rate = static_cast<std::uint32_t>(have.freq);
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void Stop() override {
        if (device_ == 0) return;
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool Failed() override {
        return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
    }

    ~SdlAudioBackend() override { Stop(); }

  private:
    static void Callback(void* mixer, Uint8* stream, int length) {
        static_cast<Mixer*>(mixer)->Mix(reinterpret_cast<float*>(stream),
                                        length / static_cast<int>(2 * sizeof(float)));
    }

    SDL_AudioDeviceID device_ = 0;
};

}  // namespace

std::unique_ptr<AudioBackend> CreateSdlAudioBackend() {
    return std::make_unique<SdlAudioBackend>();
}

}  // namespace platform
