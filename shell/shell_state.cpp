// The process-wide input state of the saver window.
#include "shell/shell_state.h"

namespace shell {

InputState& Input() {
    static InputState state;
    return state;
}

}  // namespace shell
