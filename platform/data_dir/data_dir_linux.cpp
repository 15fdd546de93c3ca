// Finding the data directory from the running binary's place.
#include "platform/data_dir/data_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path.push_back('/');
    return path;
}

std::string ExecutableDirectory() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string DataDirectory() {
    if (const char* env = std::getenv("ORBSAVER_DATA_DIR"); env && env[0]) return WithSlash(env);
    const std::string exe = ExecutableDirectory();
    if (!exe.empty()) {
        const std::string installed = exe + "/../" ORBSAVER_DATA_SUBDIR;
        if (IsDirectory(installed)) {
            char* real = realpath(installed.c_str(), nullptr);
            std::string result = WithSlash(real ? real : installed);
            std::free(real);
            return result;
        }
    }
    if (IsDirectory(ORBSAVER_BUILD_DATA_DIR)) return WithSlash(ORBSAVER_BUILD_DATA_DIR);
    return WithSlash(ORBSAVER_INSTALL_DATA_DIR);
}

}  // namespace platform
