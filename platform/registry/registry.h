// The per-user registry: keys of named, typed byte values below HKEY_CURRENT_USER.
// Key and value names compare without regard to case. Its backends: one in memory
// (here), the user's store file (registry_file.h) and Windows' own registry
// (registry_win32.cpp).
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
    // A store that is there but cannot be read is never written over: this moves it
    // aside under a free name, told in *keptAs, so that the next key made starts a new
    // store. True, with *problem empty, when the store can be read; false, with the
    // reason in *problem, when it cannot and cannot be moved either.
    virtual bool SetAsideIfUnreadable(std::string* keptAs, std::string* problem) {
        (void)keptAs;
        *problem = ReadProblem();
        return problem->empty();
    }
};

// A registry held in memory, for tests and for a run that must not touch the disk.
class MemoryRegistry : public Registry {
public:
    std::unique_ptr<RegistryKey> CreateKey(std::string_view subKey,
                                           KeyDisposition* disposition) override;
    std::unique_ptr<RegistryKey> OpenKey(std::string_view subKey) override;

    RegDocument document;
};

// The user's store: the target's own (platform/backends.h) unless a test set one.
Registry& UserRegistry();
// Replaces the process-wide registry (tests); nullptr restores the user's store.
void SetUserRegistry(Registry* registry);

}  // namespace platform
