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
};

InputState& Input();

}  // namespace shell
