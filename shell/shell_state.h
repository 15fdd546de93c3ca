// The input state of the saver window's procedure. The run mode and the view values
// it works with are the view state of settings/view_state.h.
#pragma once

#include <cstdint>

#include "settings/view_state.h"

namespace shell {

// The input state of the saver window's procedure.
struct InputState {
    bool ignoreInput = true;
    std::int32_t lastMousePosX = 0;
    std::int32_t lastMousePosY = 0;
    bool passwordPause = false;
    // The saver is a screen lock: a password is required and the saver window holds
    // the keyboard and pointer.
    bool locked = false;
    // An ending attempt is asking for the password: the pointer shows meanwhile.
    bool askingPassword = false;
};

// How long the saver tries to take the keyboard and pointer from another program.
inline constexpr std::uint32_t kGrabPatienceMilliseconds = 1000;

InputState& Input();

}  // namespace shell
