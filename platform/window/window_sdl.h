// What the SDL backend's own partners (the GL surface of the same backend) need of
// its windows. Nothing outside the SDL backends includes this.
#pragma once

#include <SDL.h>

#include "platform/window/window.h"

namespace platform {

// The SDL window behind one of our windows; null when the backend in use is not
// SDL's or the window has no desktop side.
SDL_Window* SdlWindowOf(WindowHandle window);

}  // namespace platform
