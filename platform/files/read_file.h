// Reads a file the user named, whole. Only a regular file is read: it is opened
// without blocking, so that a name given to a pipe or a device cannot hold the
// program up, and a folder or a file larger than the caller allows is refused
// before anything is allocated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One regular file open for reading; each target opens it its own way
// (read_file_posix.cpp, read_file_win32.cpp).
class RegularFile {
public:
    RegularFile() = default;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // False, with the reason in *why when given, when the file cannot be opened, is
    // no regular file, or is larger than maxBytes.
    bool Open(const std::string& path, std::uint64_t maxBytes, std::string* why);
    std::uint64_t Size() const { return size_; }
    // Reads the whole file into size bytes at out; false when it cannot, or when the
    // file shrank while it was read.
    bool ReadAll(void* out, std::uint64_t size, std::string* why);

private:
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
    std::string path_;
};

// False, with the reason in *why when given, when the file cannot be opened, is no
// regular file, is larger than maxBytes, or shrinks while it is read.
template <class Byte>
bool ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::vector<Byte>& out,
                     std::string* why = nullptr) {
    static_assert(sizeof(Byte) == 1);
    out.clear();
    RegularFile file;
    if (!file.Open(path, maxBytes, why)) return false;
    out.resize(static_cast<std::size_t>(file.Size()));
    if (!file.ReadAll(out.data(), out.size(), why)) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace platform
