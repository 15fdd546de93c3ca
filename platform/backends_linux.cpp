// The Linux program's backends: SDL on X11 for windows, GTK for dialogs, SDL's audio
// output, the login password through PAM, and the user's store file for a registry.
#include "platform/backends.h"

#include "platform/audio/audio_output.h"
#include "platform/dialog/dialog.h"
#include "platform/password/password.h"
#include "platform/registry/registry_file.h"
#include "platform/window/window.h"

namespace platform {

std::unique_ptr<WindowBackend> CreateDefaultWindowBackend() {
    if (auto sdl = CreateSdlWindowBackend()) return sdl;
    return CreateNoDesktopWindowBackend();
}

std::unique_ptr<DialogBackend> CreateDefaultDialogBackend() { return CreateGtkDialogBackend(); }

std::unique_ptr<AudioBackend> CreateDefaultAudioBackend() { return CreateSdlAudioBackend(); }

std::unique_ptr<PasswordService> CreateDefaultPasswordService() {
    return CreatePamPasswordService();
}

std::unique_ptr<Registry> CreateDefaultUserRegistry() {
    return std::make_unique<FileRegistry>(UserRegistryPath());
}

}  // namespace platform
