// A lock that one process of the user holds for as long as it runs, by name: under a
// host that fills several monitors, one process each, only the first plays the music.
#pragma once

#include <string>

namespace platform {

// True when this process holds the lock of that name now (taken here, or before);
// false when another process of the same user holds it or it cannot be made. The
// lock goes when the process ends, however it ends.
bool HoldSessionLock(const std::string& name);

// The target's own lock (session_lock_posix.cpp, session_lock_win32.cpp): taken for
// the rest of the process's life, or false when another process holds it.
bool TakeSessionLock(const std::string& name);

}  // namespace platform
