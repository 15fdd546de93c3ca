// Starting and ending SDL's text input, when SDL's video runs.
#include <SDL.h>

#include "platform/password/input_method.h"

namespace platform {

void BeginTextInput() {
    if (SDL_WasInit(SDL_INIT_VIDEO) && !SDL_IsTextInputActive()) SDL_StartTextInput();
}

void EndTextInput() {
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_IsTextInputActive()) SDL_StopTextInput();
}

}  // namespace platform
