// Reads a file the user named, whole. Only a regular file is read: it is opened
// without blocking, so that a name given to a pipe or a device cannot hold the
// program up, and a folder or a file larger than the caller allows is refused
// before anything is allocated.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace platform {

// False, with the reason in *why when given, when the file cannot be opened, is no
// regular file, is larger than maxBytes, or shrinks while it is read.
template <class Byte>
bool ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::vector<Byte>& out,
                     std::string* why = nullptr) {
    static_assert(sizeof(Byte) == 1);
    out.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (why) *why = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    const char* refused = nullptr;
    if (fstat(fd, &st) != 0) {
        refused = "cannot be examined";
    } else if (!S_ISREG(st.st_mode)) {
        refused = S_ISDIR(st.st_mode) ? "is a folder" : "is not a regular file";
    } else if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        refused = "is too large";
    }
    if (refused) {
        if (why) *why = path + " " + refused;
        close(fd);
        return false;
    }
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < out.size()) {
        const ssize_t n = read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;  // a read error, or the file shrank while it was read
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    close(fd);
    if (!ok) {
        if (why) *why = "cannot read " + path;
        out.clear();
    }
    return ok;
}

}  // namespace platform
