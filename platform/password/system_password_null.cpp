// A system with no saver password of its own: the saver checks the login password
// itself, and there is nothing to change.
#include "platform/password/system_password.h"

namespace platform {

bool UsesSystemPassword() { return false; }

SystemPasswordCheck CheckSystemPassword(WindowHandle, bool, void (*)()) {
    return SystemPasswordCheck::kNoLibrary;
}

void ChangeSystemPassword() {}

}  // namespace platform
