// The session lock as a named mutex of the user's session, which Windows lets go of
// when the process ends.
#include "platform/files/session_lock.h"
#include "platform/files/wide_path_win32.h"

namespace platform {

bool TakeSessionLock(const std::string& name) {
    const HANDLE h = CreateMutexW(nullptr, TRUE, WidePath("Local\\" + name).c_str());
    if (!h) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        return false;
    }
    return true;  // the handle stays open until the process ends
}

}  // namespace platform
