// The device's shader programs: the lighting shader's variants and the background's,
// compiled and linked in the current GL context. Used by device.cpp alone.
#pragma once

#include <string>

namespace platform::rm::shaders {

// A program's GL name, 0 when it does not compile or link (with the reason).
unsigned LinkLighting(bool flat, bool shiny, bool oneLight, std::string* error);
unsigned LinkBackground(std::string* error);

}  // namespace platform::rm::shaders
