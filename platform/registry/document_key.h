// A key open on a registry document (the parsed text of a REGEDIT file): what the
// memory and the file registries share. Internal to platform/registry.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/registry/reg_file.h"
#include "platform/registry/registry.h"

namespace platform::registry_detail {

inline constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER\\";

// A key open on a document: the memory registry's own, or a file's copy.
class DocumentKey : public RegistryKey {
public:
    DocumentKey(RegDocument& doc, std::size_t index) : doc_(doc), index_(index) {}

    RegStatus QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                         std::uint32_t* type) override {
        const RegValue* v = doc_.keys[index_].Find(name);
        if (v && !v->readable && !v->problem.empty()) Unreadable(v->problem);
        if (!v || !v->readable) return RegStatus::kNotFound;
        if (type) *type = v->type;
        if (v->data.size() > *size) {
            *size = static_cast<std::uint32_t>(v->data.size());
            return RegStatus::kMoreData;
        }
        if (!v->data.empty()) std::memcpy(buffer, v->data.data(), v->data.size());
        *size = static_cast<std::uint32_t>(v->data.size());
        return RegStatus::kOk;
    }

    void SetValue(std::string_view name, std::uint32_t type, const void* data,
                  std::uint32_t size) override {
        RegKey& key = doc_.keys[index_];
        RegValue* v = key.Find(name);
        if (!v) {
            key.values.push_back(RegValue{std::string(name), type, {}});
            v = &key.values.back();
        }
        v->type = type;
        v->asRead.reset();  // the value is the caller's now, no longer the file's
        v->readable = true;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        v->data.assign(bytes, bytes + size);
        changed_ = true;
    }

    bool Close() override { return true; }

protected:
    // A value the caller asked for reads as absent, for this reason.
    virtual void Unreadable(const std::string& /*problem*/) {}

    RegDocument& doc_;
    std::size_t index_;
    bool changed_ = false;
};

inline std::size_t FindOrAdd(RegDocument& doc, const std::string& path, bool create, bool* created) {
    *created = false;
    for (std::size_t i = 0; i < doc.keys.size(); ++i) {
        if (doc.keys[i].pathReadable && EqualsIgnoreCase(doc.keys[i].path, path)) return i;
    }
    if (!create) return SIZE_MAX;
    doc.keys.push_back(RegKey{path, {}});
    *created = true;
    return doc.keys.size() - 1;
}

}  // namespace platform::registry_detail
