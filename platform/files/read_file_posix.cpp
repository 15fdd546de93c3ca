// Regular files on POSIX: opened without blocking and checked with fstat before
// anything is read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/read_file.h"

namespace platform {

RegularFile::~RegularFile() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool RegularFile::Open(const std::string& path, std::uint64_t maxBytes, std::string* why) {
    path_ = path;
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
    handle_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool RegularFile::ReadAll(void* out, std::uint64_t size, std::string* why) {
    auto* bytes = static_cast<unsigned char*>(out);
    std::uint64_t done = 0;
    bool ok = handle_ >= 0;
    while (ok && done < size) {
        const ssize_t n = read(static_cast<int>(handle_), bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;  // a read error, or the file shrank while it was read
        } else {
            done += static_cast<std::uint64_t>(n);
        }
    }
    if (!ok && why) *why = "cannot read " + path_;
    return ok;
}

}  // namespace platform
