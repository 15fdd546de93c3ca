// The generated loader looks up the current context's functions in opengl32.dll
// (OpenGL 1.1) and through wglGetProcAddress (the rest); it fails when no context is
// current.
#include "platform/gl/gl_api.h"

namespace platform::gl {

bool LoadFunctions() { return gladLoaderLoadGL() != 0; }

}  // namespace platform::gl
