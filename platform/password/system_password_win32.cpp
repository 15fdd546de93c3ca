// Windows' screen-saver password libraries, loaded by name at each use. Windows 95 and
// 98 keep a saver password in "password.cpl"; Windows NT has no such library, locks
// the session itself when the user's setting asks for it, and the saver simply ends.
#include "platform/password/system_password.h"

#include "platform/window/window_win32.h"
#include "platform/win32_api.h"

namespace platform {

bool UsesSystemPassword() { return true; }

SystemPasswordCheck CheckSystemPassword(WindowHandle window, bool secure, void (*beforeDialog)()) {
    HMODULE library = LoadLibraryA("password.cpl");
    if (!library) return SystemPasswordCheck::kNoLibrary;
    SystemPasswordCheck result = SystemPasswordCheck::kNoPassword;
    if (secure) {
        using Verify = BOOL(WINAPI*)(HWND);
        const auto verify = reinterpret_cast<Verify>(
            reinterpret_cast<void*>(GetProcAddress(library, "VerifyScreenSavePwd")));
        if (!verify) {
            result = SystemPasswordCheck::kNoFunction;
        } else {
            if (beforeDialog) beforeDialog();
            result = verify(Win32WindowOf(window)) ? SystemPasswordCheck::kAccepted
                                                   : SystemPasswordCheck::kRefused;
        }
    }
    FreeLibrary(library);
    return result;
}

void ChangeSystemPassword() {
    HMODULE library = LoadLibraryA("mpr.dll");
    if (!library) return;
    using Change = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);
    const auto change = reinterpret_cast<Change>(
        reinterpret_cast<void*>(GetProcAddress(library, "PwdChangePasswordA")));
    if (change) change("SCRSAVE", nullptr, 0, 0);
    FreeLibrary(library);
}

}  // namespace platform
