// Ending SDL's text input, when SDL's video runs and text input is on.
#include <SDL.h>

#include "platform/password/input_method.h"

namespace platform {

void EndTextInput() {
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_IsTextInputActive()) SDL_StopTextInput();
}

}  // namespace platform
