// The Windows program's backends: Windows' own services. The services whose Windows
// backends are not there yet have no entry here, and nothing that needs them is
// built for Windows (platform/CMakeLists.txt). The sound and the music have no
// backend to choose: Windows mixes the sound itself (PlaySoundA) and plays the music
// on its MCI sequencer, so the program's own mixed output (AudioBackend) and
// CreateDefaultAudioBackend are Linux's alone.
#include "platform/backends.h"
#include "platform/registry/registry_win32.h"
#include "platform/window/window.h"

namespace platform {

// Until the Win32 window backend is there, our windows exist only as handles: the
// desktop cannot be reached, and a run mode that needs a window says so and ends.
std::unique_ptr<WindowBackend> CreateDefaultWindowBackend() {
    return CreateNoDesktopWindowBackend();
}

std::unique_ptr<Registry> CreateDefaultUserRegistry() { return CreateWin32Registry(); }

}  // namespace platform
