// The per-user registry: keys of named, typed byte values, kept in a text file that
// the Windows registry editor can import and that a Windows export of the same keys
// (REGEDIT4 or 5.00) can replace. Key and value names compare without regard to case.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/reg_file.h"
#include "platform/text/text.h"

namespace platform {

enum class RegStatus { kOk, kNotFound, kMoreData };

// An open key. Values set on it are kept when the key is closed; Close reports
// whether that worked, and the destructor closes a key that is still open.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // Copies the value's bytes into the buffer when they fit (RegQueryValueEx).
    // On entry *size is the buffer's size; on kOk it is the number of bytes copied,
    // on kMoreData the size the value needs. The buffer is untouched unless kOk.
    virtual RegStatus QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                                 std::uint32_t* type = nullptr) = 0;
    virtual void SetValue(std::string_view name, std::uint32_t type, const void* data,
                          std::uint32_t size) = 0;
    virtual bool Close() = 0;
};

enum class KeyDisposition { kCreatedNew, kOpenedExisting };

class Registry {
public:
    virtual ~Registry() = default;
    // Opens the key below HKEY_CURRENT_USER, creating it when absent. Nothing when
    // the store cannot be read.
    virtual std::unique_ptr<RegistryKey> CreateKey(std::string_view subKey,
                                                   KeyDisposition* disposition) = 0;
    // Opens an existing key below HKEY_CURRENT_USER.
    virtual std::unique_ptr<RegistryKey> OpenKey(std::string_view subKey) = 0;
    // Why the store is there but cannot be read or parsed, in words that name it
    // ("/home/ann/.config/orbsaver/user.reg cannot be parsed (line 3: bad value
    // data)"); empty when it can be read (a store that does not exist can: it is empty).
    virtual std::string ReadProblem() { return {}; }
};

// A registry held in memory, for tests and for a run that must not touch the disk.
class MemoryRegistry : public Registry {
public:
    std::unique_ptr<RegistryKey> CreateKey(std::string_view subKey,
                                           KeyDisposition* disposition) override;
    std::unique_ptr<RegistryKey> OpenKey(std::string_view subKey) override;

    RegDocument document;
};

// Lines told on stderr, each once however often it comes up.
struct ToldLines {
    void Tell(const std::string& line);
    std::vector<std::string> lines;
};

// The registry in a REGEDIT4 or 5.00 file. Every open reads the file afresh; closing
// a key that was changed writes the whole file again, in the form it was read (a new
// file is REGEDIT4), atomically (temporary file, fsync, rename) with mode 0600,
// keeping every other key and value it held. A file that cannot be read or parsed
// counts as a key that cannot be opened. Texts of a 5.00 file are taken in codePage;
// a value the code page cannot hold reads as absent, told once on stderr when it is
// asked for (a value nobody asks for is kept as it is and not told).
class FileRegistry : public Registry {
public:
    explicit FileRegistry(std::string path, int codePage = KeyboardCodePage());
    std::unique_ptr<RegistryKey> CreateKey(std::string_view subKey,
                                           KeyDisposition* disposition) override;
    std::unique_ptr<RegistryKey> OpenKey(std::string_view subKey) override;
    std::string ReadProblem() override;

    const std::string& path() const { return path_; }

private:
    std::unique_ptr<RegistryKey> Open(std::string_view subKey, bool create,
                                      KeyDisposition* disposition);
    std::string path_;
    int codePage_;
    std::shared_ptr<ToldLines> told_;  // shared with the keys, which may outlive it
};

// The user's store: $XDG_CONFIG_HOME/orbsaver/user.reg, or ~/.config/orbsaver/user.reg.
std::string UserRegistryPath();
Registry& UserRegistry();
// Replaces the process-wide registry (tests); nullptr restores the user's store.
void SetUserRegistry(Registry* registry);

// Writes bytes to a file atomically: a temporary file beside it, fsync, rename. The
// file's folder is made first (mode 0700) when asked. A path that is a symbolic link
// stays one: the file it leads to is the one replaced. On failure errno says why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         bool makeFolder = false);

}  // namespace platform
