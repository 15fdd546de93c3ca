// The session lock as a named mutex of the user's session, which Windows lets go of
// when the process ends.
#include <mutex>
#include <set>

#include "platform/files/session_lock.h"
#include "platform/files/wide_path_win32.h"

namespace platform {

bool HoldSessionLock(const std::string& name) {
    static std::mutex mutex;
    static std::set<std::string> held;
    std::lock_guard<std::mutex> lock(mutex);
    if (held.count(name)) return true;
    const HANDLE h = CreateMutexW(nullptr, TRUE, WidePath("Local\\" + name).c_str());
    if (!h) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        return false;
    }
    held.insert(name);  // the handle stays open until the process ends
    return true;
}

}  // namespace platform
