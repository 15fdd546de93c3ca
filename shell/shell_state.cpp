// The process-wide start-up values and input state.
#include "shell/shell_state.h"

namespace shell {

ShellState& Shell() {
    static ShellState state;
    return state;
}

InputState& Input() {
    static InputState state;
    return state;
}

}  // namespace shell
