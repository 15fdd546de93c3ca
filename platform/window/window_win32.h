// What the Win32 backend's own partners (the WGL surface, the MCI sequencer) need of
// its windows. Nothing outside the Win32 backends includes this.
#pragma once

#include "platform/window/window.h"

// Windows' window handle type (HWND is a pointer to it), declared here so that this
// header needs no <windows.h>.
struct HWND__;

namespace platform {

// The Win32 window behind one of our windows; null when the backend in use is not
// the Win32 one or the window has no desktop side.
HWND__* Win32WindowOf(WindowHandle window);

// The Win32 backend itself, for the program's backend choice and for tests.
std::unique_ptr<WindowBackend> CreateWin32WindowBackend();

}  // namespace platform
