// The input method: ending the text input a window holds, so that no composition
// outlives the password prompt.
#pragma once

namespace platform {

// Ends the desktop's text input (and any composition in progress) where it is on.
void EndTextInput();

}  // namespace platform
