// The Linux program's backends: SDL on X11 for windows, GTK for dialogs, SDL's audio
// output, the login password through PAM, and the user's store file for a registry.
#include "platform/backends.h"

#include "platform/audio/audio_output.h"
#include "platform/dialog/dialog.h"
#include "platform/password/password.h"
#include "platform/registry/registry_file.h"
#include "platform/window/window.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

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

// SDL connects to the session bus when its video starts (for input methods and to
// keep the screen awake). libdbus finds the bus in DBUS_SESSION_BUS_ADDRESS, else at
// the user's socket $XDG_RUNTIME_DIR/bus; with neither it runs
// `dbus-launch --autolaunch`, which looks for a bus on the X display and starts a
// daemon when there is none: some 25 ms of every start on a display without a
// session. An address of a transport libdbus does not know ends the search at once;
// SDL then runs without the bus, as where libdbus is missing.
void ForgoSessionBusLaunch() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st {};
        const std::string socket = std::string(runtime) + "/bus";
        if (stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return;
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

// SDL's video start opens Xlib's input method, which parses the locale's compose file
// (some 6,000 lines for en_US.UTF-8: about 15 ms, and half a megabyte kept) unless
// XCOMPOSEFILE names another; the empty file makes it an empty table. Xlib's own
// cache of the parsed table is not used for the superuser and needs a folder the user
// made, so it cannot be counted on.
void ForgoComposeTable() { setenv("XCOMPOSEFILE", "/dev/null", 1); }

}  // namespace platform
