// Replacing a file whole on Windows: a temporary file beside it, written through to the
// disk, then moved over the file in one step (MoveFileEx with write-through).
#include <algorithm>
#include <cerrno>

#include "platform/files/wide_path_win32.h"
#include "platform/files/write_file.h"

namespace platform {

namespace {

int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        default:
            return EIO;
    }
}

bool MakeFolders(const std::wstring& dir) {
    if (dir.empty()) return true;
    const DWORD attributes = GetFileAttributesW(dir.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::size_t slash = dir.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0 && dir[slash - 1] != L':' &&
        !MakeFolders(dir.substr(0, slash))) {
        return false;
    }
    return CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned /*mode*/,
                         bool makeFolder) {
    const std::wstring file = WidePath(path);
    const std::size_t slash = file.find_last_of(L"\\/");
    if (makeFolder && slash != std::wstring::npos && !MakeFolders(file.substr(0, slash))) {
        errno = ErrnoOf(GetLastError());
        return false;
    }
    const std::wstring temp = file + L".tmp" + std::to_wstring(GetCurrentProcessId());
    const HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return false;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        ok = WriteFile(h, bytes.data() + done, ask, &wrote, nullptr) && wrote > 0;
        done += wrote;
    }
    ok = ok && FlushFileBuffers(h);
    DWORD error = ok ? 0 : GetLastError();
    CloseHandle(h);
    if (ok && !MoveFileExW(temp.c_str(), file.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileW(temp.c_str());
        errno = ErrnoOf(error);
    }
    return ok;
}

}  // namespace platform
