// The session lock as a file lock in the user's runtime folder (/tmp without one),
// named for the user, that the kernel lets go of when the process ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include "platform/files/session_lock.h"

namespace platform {

bool TakeSessionLock(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string path = std::string(runtime && runtime[0] == '/' ? runtime : "/tmp") + "/" +
                             name + "-" + std::to_string(getuid()) + ".lock";
    const int f = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (f < 0) return false;
    if (flock(f, LOCK_EX | LOCK_NB) != 0) {
        close(f);
        return false;
    }
    return true;  // the descriptor stays open until the process ends
}

}  // namespace platform
