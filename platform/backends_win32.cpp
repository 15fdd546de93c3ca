// The Windows program's backends: Windows' own services. The services whose Windows
// backends are not there yet have no entry here, and nothing that needs them is
// built for Windows (platform/CMakeLists.txt).
#include "platform/backends.h"
#include "platform/registry/registry_win32.h"
#include "platform/window/window_win32.h"

namespace platform {

std::unique_ptr<Registry> CreateDefaultUserRegistry() { return CreateWin32Registry(); }

// Windows' own windows; its desktop is always there.
std::unique_ptr<WindowBackend> CreateDefaultWindowBackend() { return CreateWin32WindowBackend(); }

}  // namespace platform
