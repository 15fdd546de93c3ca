// stat for the exact name, then the folder's entries compared with strcasecmp.
#include "platform/files/find_entry.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace platform {

namespace {

bool IsKind(const std::string& path, bool folder) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
}

}  // namespace

std::string FindEntryIgnoringCase(const std::string& dir, const std::string& name, bool folder) {
    const std::string exact = dir + "/" + name;
    if (IsKind(exact, folder)) return exact;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name.c_str()) != 0) continue;
        const std::string path = dir + "/" + e->d_name;
        if (IsKind(path, folder)) {
            found = path;
            break;
        }
    }
    ::closedir(d);
    return found;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace platform
