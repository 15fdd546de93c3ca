// What both loaders share: reading the context's version string.
#include "platform/gl/gl_api.h"

#include <cstring>

namespace platform::gl {

// The loader's own part: gl_api_epoxy.cpp, gl_api_glad.cpp.
bool LoadFunctions();

VersionInfo ParseVersion(const char* text) {
    VersionInfo info;
    if (!text) return info;
    static constexpr char kEs[] = "OpenGL ES";
    if (std::strncmp(text, kEs, sizeof kEs - 1) == 0) {
        text += sizeof kEs - 1;
        // "OpenGL ES-CM 1.1", "OpenGL ES 3.2"
        while (*text && *text != ' ') ++text;
        while (*text == ' ') ++text;
    } else {
        info.desktop = true;
    }
    // "<major>.<minor>[.<release>][ <vendor text>]"
    if (*text < '0' || *text > '9') return VersionInfo{};
    int major = 0;
    while (*text >= '0' && *text <= '9' && major < 100) major = major * 10 + (*text++ - '0');
    if (*text++ != '.' || *text < '0' || *text > '9') return VersionInfo{};
    const int minor = *text - '0';
    info.version = major * 10 + minor;
    return info;
}

VersionInfo LoadCurrentContext() {
    if (!LoadFunctions()) return VersionInfo{};
    return ParseVersion(reinterpret_cast<const char*>(glGetString(GL_VERSION)));
}

}  // namespace platform::gl
