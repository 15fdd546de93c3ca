// The session lock's bookkeeping, which every target shares: a lock is taken once per
// process and name, and then held until the process ends.
#include <mutex>
#include <set>

#include "platform/files/session_lock.h"

namespace platform {

bool HoldSessionLock(const std::string& name) {
    static std::mutex mutex;
    static std::set<std::string> held;
    std::lock_guard<std::mutex> lock(mutex);
    if (held.count(name)) return true;
    if (!TakeSessionLock(name)) return false;
    held.insert(name);
    return true;
}

}  // namespace platform
