// Windows' own registry below HKEY_CURRENT_USER, through the ANSI functions, so that
// texts stay in the code page as the program keeps them.
#include <cstring>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/registry/registry_win32.h"
#include "platform/win32_api.h"

namespace platform {

namespace {

class Win32Key : public RegistryKey {
public:
    explicit Win32Key(HKEY key) : key_(key) {}
    ~Win32Key() override { Close(); }

    RegStatus QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                         std::uint32_t* type) override {
        const std::string n(name);
        DWORD valueType = 0, needed = 0;
        if (!key_ || RegQueryValueExA(key_, n.c_str(), nullptr, &valueType, nullptr, &needed) !=
                         ERROR_SUCCESS) {
            return RegStatus::kNotFound;
        }
        if (needed > *size) {
            *size = needed;
            return RegStatus::kMoreData;
        }
        // Read into a buffer of our own first: the caller's is untouched unless the
        // whole value fits (the value may have grown since it was measured).
        std::vector<BYTE> data(needed ? needed : 1);
        DWORD got = needed;
        const LONG r = RegQueryValueExA(key_, n.c_str(), nullptr, &valueType, data.data(), &got);
        if (r == ERROR_MORE_DATA || got > *size) {
            *size = got;
            return RegStatus::kMoreData;
        }
        if (r != ERROR_SUCCESS) return RegStatus::kNotFound;
        if (got) std::memcpy(buffer, data.data(), got);
        *size = got;
        if (type) *type = valueType;
        return RegStatus::kOk;
    }

    void SetValue(std::string_view name, std::uint32_t type, const void* data,
                  std::uint32_t size) override {
        if (!key_) return;
        const std::string n(name);
        if (RegSetValueExA(key_, n.c_str(), 0, type, static_cast<const BYTE*>(data), size) !=
            ERROR_SUCCESS) {
            ok_ = false;
        }
    }

    bool Close() override {
        if (key_) {
            if (RegCloseKey(key_) != ERROR_SUCCESS) ok_ = false;
            key_ = nullptr;
        }
        return ok_;
    }

private:
    HKEY key_;
    bool ok_ = true;
};

class Win32Registry : public Registry {
public:
    std::unique_ptr<RegistryKey> CreateKey(std::string_view subKey,
                                           KeyDisposition* disposition) override {
        const std::string path(subKey);
        HKEY key = nullptr;
        DWORD how = 0;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, &key, &how) != ERROR_SUCCESS) {
            return nullptr;
        }
        if (disposition) {
            *disposition = how == REG_CREATED_NEW_KEY ? KeyDisposition::kCreatedNew
                                                      : KeyDisposition::kOpenedExisting;
        }
        return std::make_unique<Win32Key>(key);
    }

    std::unique_ptr<RegistryKey> OpenKey(std::string_view subKey) override {
        const std::string path(subKey);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WRITE, &key) !=
            ERROR_SUCCESS) {
            return nullptr;
        }
        return std::make_unique<Win32Key>(key);
    }
};

}  // namespace

std::unique_ptr<Registry> CreateWin32Registry() { return std::make_unique<Win32Registry>(); }

bool DeleteWin32KeyTree(std::string_view subKey) {
    const std::string path(subKey);
    return RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS &&
           RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace platform
