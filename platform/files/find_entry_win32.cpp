// Windows' file systems mostly ignore case already, so the exact name usually finds
// the entry; a folder that keeps case (a WSL one, or one marked so) is searched
// entry by entry. Paths go to the "W" functions as UTF-16.
#include "platform/files/find_entry.h"

#include "platform/files/wide_path_win32.h"
#include "platform/win32_api.h"

namespace platform {

namespace {

bool IsKind(const std::string& path, bool folder) {
    const DWORD a = GetFileAttributesW(WidePath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    const bool is_folder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A device name (NUL, COM1) reads as no file.
    return folder ? is_folder : !is_folder && (a & FILE_ATTRIBUTE_DEVICE) == 0;
}

std::string Utf8(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
    return out;
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::string FindEntryIgnoringCase(const std::string& dir, const std::string& name, bool folder) {
    // A name with a wildcard or a separator is no single entry.
    if (name.empty() || name.find_first_of("*?/\\") != std::string::npos) return {};
    const std::string exact = dir + "/" + name;
    if (IsKind(exact, folder)) return exact;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileExW(WidePath(dir + "/*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                   nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return {};
    std::string found;
    do {
        const std::string entry_name = Utf8(entry.cFileName);
        if (!EqualIgnoringAsciiCase(entry_name, name)) continue;
        const std::string path = dir + "/" + entry_name;
        if (IsKind(path, folder)) {
            found = path;
            break;
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return found;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace platform
