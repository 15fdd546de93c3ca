// The registry backends the typed registry tests run against: the memory one, and the
// target's own (registry_backends_posix.cpp, registry_backends_win32.cpp).
#pragma once

#include <memory>
#include <string>

#include "platform/registry/registry.h"

struct MemoryBackend {
    std::unique_ptr<platform::Registry> Make() { return std::make_unique<platform::MemoryRegistry>(); }
    void Remove(const std::string&) {}
};

// The store file in a folder of the test's own on Linux, Windows' registry on Windows.
struct TargetBackend {
    TargetBackend();
    ~TargetBackend();
    std::unique_ptr<platform::Registry> Make();
    void Remove(const std::string& root);
    std::string folder;
};

struct BackendNames {
    template <class T>
    static std::string GetName(int) {
        if constexpr (std::is_same_v<T, MemoryBackend>) return "Memory";
        return "Target";
    }
};
