// The system's own screen-saver password, where the system keeps one (Windows): a
// library that checks it in a dialog of its own when the saver would end
// ("password.cpl"), and one that changes it ("mpr.dll"). Each is loaded by name at each
// use and released after. Where the system keeps none (Linux), the saver checks the
// login password itself (password.h).
#pragma once

#include "platform/window/window.h"

namespace platform {

// Whether this system's saver checks and changes the password through the system's
// libraries rather than through its own prompt.
bool UsesSystemPassword();

enum class SystemPasswordCheck {
    kNoLibrary,   // no "password.cpl": the system keeps no saver password of its own
                  // (Windows NT locks the session itself on resume)
    kNoPassword,  // the library is there, but no password was asked for
    kNoFunction,  // the library lacks "VerifyScreenSavePwd"
    kAccepted,
    kRefused,
};

// Loads "password.cpl" and, when a password is asked for (secure), shows its dialog
// for the window; beforeDialog runs just before the dialog is shown.
SystemPasswordCheck CheckSystemPassword(WindowHandle window, bool secure, void (*beforeDialog)());

// Shows the system's dialog for changing the saver's password ("PwdChangePasswordA" of
// "mpr.dll", for the key "SCRSAVE"); nothing where there is none.
void ChangeSystemPassword();

}  // namespace platform
