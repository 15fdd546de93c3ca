// The one OpenGL header of the 3D layer and of the GL surfaces: OpenGL 3.3 core
// through libepoxy on Linux, and through the loader glad generates at build time on
// Windows (the orbsaver_gl target makes it). Include it before any other GL header.
#pragma once

#if defined(_WIN32)
#include <glad/gl.h>
#else
#include <epoxy/gl.h>
#endif

namespace platform::gl {

// What a GL_VERSION string says: the version as 10 * major + minor (33 for 3.3), 0
// when the text names none, and whether it is desktop OpenGL (OpenGL ES says so
// first).
struct VersionInfo {
    int version = 0;
    bool desktop = false;
};
VersionInfo ParseVersion(const char* gl_version);

// Makes the functions of the context current on this thread callable and says which
// OpenGL it is: version 0 when no context is current or its functions cannot be found.
// Call it once a context is current, before the first other GL call with it.
VersionInfo LoadCurrentContext();

}  // namespace platform::gl
