// libepoxy finds each function of the current context on its first call by itself.
#include "platform/gl/gl_api.h"

namespace platform::gl {

bool LoadFunctions() { return true; }

}  // namespace platform::gl
