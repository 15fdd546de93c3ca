// Regular files on Windows: opened for reading with sharing, so that a file another
// program has open still reads, and checked to be a disk file before anything is read.
#include <algorithm>

#include "platform/files/read_file.h"
#include "platform/files/wide_path_win32.h"

namespace platform {

RegularFile::~RegularFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool RegularFile::Open(const std::string& path, std::uint64_t maxBytes, std::string* why) {
    path_ = path;
    const HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
        if (why) {
            *why = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                       ? path + " is a folder"
                       : "cannot open " + path + ": " + LastErrorText();
        }
        return false;
    }
    const char* refused = nullptr;
    LARGE_INTEGER size{};
    if (GetFileType(h) != FILE_TYPE_DISK) {
        refused = "is not a regular file";
    } else if (!GetFileSizeEx(h, &size)) {
        refused = "cannot be examined";
    } else if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
        refused = "is too large";
    }
    if (refused) {
        if (why) *why = path + " " + refused;
        CloseHandle(h);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

bool RegularFile::ReadAll(void* out, std::uint64_t size, std::string* why) {
    auto* bytes = static_cast<unsigned char*>(out);
    std::uint64_t done = 0;
    bool ok = handle_ != -1;
    while (ok && done < size) {
        const DWORD ask = static_cast<DWORD>(std::min<std::uint64_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle_), bytes + done, ask, &got, nullptr) ||
            got == 0) {
            ok = false;  // a read error, or the file shrank while it was read
        } else {
            done += got;
        }
    }
    if (!ok && why) *why = "cannot read " + path_;
    return ok;
}

}  // namespace platform
