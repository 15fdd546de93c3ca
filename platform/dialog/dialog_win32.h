// The dialog backend on Win32: real dialogs made from the program's dialog templates,
// with real buttons, edits, trackbars, up-down controls and tab controls.
#pragma once

#include <memory>

#include "platform/dialog/dialog.h"

struct HWND__;

namespace platform {

std::unique_ptr<DialogBackend> CreateWin32DialogBackend();

// The Win32 dialog behind one of our dialogs; null when the backend in use is not the
// Win32 one or the dialog has no desktop side.
HWND__* Win32DialogOf(WindowHandle dialog);

}  // namespace platform
