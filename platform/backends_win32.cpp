// The Windows program's backends: Windows' own services. The services whose Windows
// backends are not there yet have no entry here, and nothing that needs them is
// built for Windows (platform/CMakeLists.txt). The sound and the music have no
// backend to choose: Windows mixes the sound itself (PlaySoundA) and plays the music
// on its MCI sequencer, so the program's own mixed output (AudioBackend) and
// CreateDefaultAudioBackend are Linux's alone.
#include "platform/backends.h"

#include "platform/dialog/dialog_unavailable.h"
#include "platform/password/password.h"
#include "platform/registry/registry_win32.h"
#include "platform/window/window_win32.h"

namespace platform {

// The configuration dialog's Windows controls are still to come: until then the
// configuration mode says so and ends.
std::unique_ptr<DialogBackend> CreateDefaultDialogBackend() {
    return CreateUnavailableDialogBackend(
        "The settings dialog is not available on Windows yet. The saver runs with the "
        "settings stored in the registry.");
}

// Windows keeps the saver's password itself (system_password.h): the saver has no
// service of its own to ask.
std::unique_ptr<PasswordService> CreateDefaultPasswordService() { return nullptr; }

std::unique_ptr<Registry> CreateDefaultUserRegistry() { return CreateWin32Registry(); }

// Windows' own windows; its desktop is always there.
std::unique_ptr<WindowBackend> CreateDefaultWindowBackend() { return CreateWin32WindowBackend(); }

}  // namespace platform
