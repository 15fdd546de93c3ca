// The per-user registry: keys of named, typed byte values, kept in a REGEDIT4 text
// file that the Windows registry editor can import and that a Windows export of the
// same keys can replace. Key and value names compare without regard to case.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Registry value types, with their Windows numbers.
enum RegType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
};

struct RegValue {
    std::string name;  // empty for the key's default value ("@")
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
};

struct RegKey {
    std::string path;  // full path, e.g. "HKEY_CURRENT_USER\Control Panel\Desktop"
    std::vector<RegValue> values;

    RegValue* Find(std::string_view name);
    const RegValue* Find(std::string_view name) const;
};

struct RegDocument {
    std::vector<RegKey> keys;

    RegKey* Find(std::string_view path);
    const RegKey* Find(std::string_view path) const;
};

// The largest store file read, and the largest single value: far beyond what the
// saver writes, small enough that a hostile file cannot exhaust memory.
inline constexpr std::size_t kMaxRegFileBytes = 16u << 20;
inline constexpr std::size_t kMaxRegValueBytes = 1u << 20;

// Parses a REGEDIT4 file: quoted strings, dword:, hex: and hex(N): values, line
// continuations, comments, value and key deletions. Returns nothing (and a reason)
// when the text is not such a file.
std::optional<RegDocument> ParseRegedit4(std::string_view text, std::string* error = nullptr);

// Writes a REGEDIT4 file with CR LF line ends. Strings that are exactly one
// terminated text of printable bytes are written quoted; every other string keeps
// its exact bytes as hex(1):.
std::string WriteRegedit4(const RegDocument& doc);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

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

// The registry in a REGEDIT4 file. Every open reads the file afresh; closing a key
// that was changed writes the whole file again, atomically (temporary file, fsync,
// rename) with mode 0600, keeping every other key and value it held. A file that
// cannot be read or parsed counts as a key that cannot be opened.
class FileRegistry : public Registry {
public:
    explicit FileRegistry(std::string path);
    std::unique_ptr<RegistryKey> CreateKey(std::string_view subKey,
                                           KeyDisposition* disposition) override;
    std::unique_ptr<RegistryKey> OpenKey(std::string_view subKey) override;
    std::string ReadProblem() override;

    const std::string& path() const { return path_; }

private:
    std::unique_ptr<RegistryKey> Open(std::string_view subKey, bool create,
                                      KeyDisposition* disposition);
    std::string path_;
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
