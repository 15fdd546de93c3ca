// The Windows program's backends: Windows' own services. The sound and the music have no
// backend to choose: Windows mixes the sound itself (PlaySoundA) and plays the music
// on its MCI sequencer, so the program's own mixed output (AudioBackend) and
// CreateDefaultAudioBackend are Linux's alone.
#include "platform/backends.h"

#include "platform/dialog/dialog_win32.h"
#include "platform/password/password.h"
#include "platform/registry/registry_win32.h"
#include "platform/window/window_win32.h"

namespace platform {

// Real dialogs from the program's dialog templates, with the common controls.
std::unique_ptr<DialogBackend> CreateDefaultDialogBackend() { return CreateWin32DialogBackend(); }

// Windows keeps the saver's password itself (system_password.h): the saver has no
// service of its own to ask.
std::unique_ptr<PasswordService> CreateDefaultPasswordService() { return nullptr; }

std::unique_ptr<Registry> CreateDefaultUserRegistry() { return CreateWin32Registry(); }

// Windows' own windows; its desktop is always there.
std::unique_ptr<WindowBackend> CreateDefaultWindowBackend() { return CreateWin32WindowBackend(); }

// Windows starts no bus for a program: there is nothing to keep from starting.
void ForgoSessionBusLaunch() {}

void ForgoComposeTable() {}

}  // namespace platform
