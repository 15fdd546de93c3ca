// Permissions of a replaced file on POSIX: the file's own, or 0666 less the umask.
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/replace_mode.h"

namespace platform {

namespace {

unsigned FileModeFromUmask(unsigned mode) {
    const mode_t mask = umask(0);
    umask(mask);
    return mode & ~static_cast<unsigned>(mask);
}

}  // namespace

bool ModeForReplacing(const std::string& path, unsigned* mode, std::string* error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        *mode = FileModeFromUmask(0666);
        return true;
    }
    // Replacing goes round the file's own permissions (a rename needs only the
    // folder's), so a file made read-only is refused here, even for root.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0) {
        if (error) *error = path + " is read-only";
        return false;
    }
    *mode = st.st_mode & 07777;
    return true;
}

}  // namespace platform
