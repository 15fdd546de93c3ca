// Replacing a file whole on POSIX: a temporary file beside it, fsync, rename, and the
// folder's fsync, so that a crash leaves the old file or the new one, never half.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/files/write_file.h"

namespace platform {

namespace {

bool MakeDirectories(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash))) {
        return false;
    }
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

// The file a path names once symbolic links are followed: the link itself is kept
// and its file replaced. False for a chain of links that never ends.
bool FollowLinks(const std::string& path, std::string* target) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *target = at;
            return true;
        }
        char buffer[4096];
        const ssize_t n = readlink(at.c_str(), buffer, sizeof buffer - 1);
        if (n <= 0) return false;
        const std::string link(buffer, static_cast<std::size_t>(n));
        const std::size_t slash = at.find_last_of('/');
        // A relative link is relative to the folder it lies in.
        at = (link[0] == '/' || slash == std::string::npos) ? link : at.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         bool makeFolder) {
    const std::size_t linkSlash = path.find_last_of('/');
    if (makeFolder && linkSlash != std::string::npos &&
        !MakeDirectories(path.substr(0, linkSlash))) {
        return false;
    }
    std::string file;
    if (!FollowLinks(path, &file)) return false;
    const std::size_t slash = file.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : file.substr(0, slash);
    std::string temp = file + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    int failure = 0;  // the first errno, which the caller may report
    auto check = [&](bool ok) {
        if (!ok && failure == 0) failure = errno ? errno : EIO;
        return ok;
    };
    bool ok = check(fchmod(fd, mode) == 0);
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (!check(n > 0)) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ok = ok && check(fsync(fd) == 0);
    ok = check(close(fd) == 0) && ok;
    ok = ok && check(rename(temp.c_str(), file.c_str()) == 0);
    if (!ok) {
        unlink(temp.c_str());
        errno = failure;
        return false;
    }
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}
}  // namespace platform
