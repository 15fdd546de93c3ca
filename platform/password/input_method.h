// The input method: ending the text input a window holds, so that no composition
// outlives the password prompt.
#pragma once

namespace platform {

// Starts the desktop's text input, so that typed characters arrive as WM_CHAR.
void BeginTextInput();
// Ends the desktop's text input (and any composition in progress) where it is on.
void EndTextInput();

}  // namespace platform
