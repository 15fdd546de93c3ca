// The About box, and the routine through which the program runs its modal dialogs.
#pragma once

#include "platform/dialog/picture_dialog.h"
#include "platform/window/window.h"

namespace shell {

inline constexpr int kAboutBoxTemplate = 104;
inline constexpr int kConfigDialogTemplate = 2003;

// The About box's layout for a screen of the given size: the face centred, the OK
// button and the icon at their places on it, the pointer on the OK button.
platform::PictureDialog AboutBoxLayout(int screenWidth, int screenHeight);

// The window the About box over this owner takes the keyboard and pointer from:
// the saver window of a lock, which holds them; 0 otherwise.
platform::WindowHandle AboutBoxInputOwner(platform::WindowHandle owner);

// Runs the dialog of that template modally, owned by the window (0 for none).
// False when the program has no such dialog or none can be shown.
bool ShowModalDialog(int templateNumber, platform::WindowHandle owner);

// The About box over the given window.
void ShowAboutBox(platform::WindowHandle owner);

}  // namespace shell
