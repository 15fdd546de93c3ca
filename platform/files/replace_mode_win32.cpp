// Replacing a file on Windows: a file marked read-only is refused; the permissions of
// the new one are the folder's, as Windows gives them.
#include "platform/files/replace_mode.h"
#include "platform/files/wide_path_win32.h"

namespace platform {

bool ModeForReplacing(const std::string& path, unsigned* mode, std::string* error) {
    *mode = 0666;
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        if (error) *error = path + " is read-only";
        return false;
    }
    return true;
}

}  // namespace platform
