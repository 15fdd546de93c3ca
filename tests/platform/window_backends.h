// The window backends the typed window tests run against: the null one, and the
// target's own desktop (window_backends_sdl.cpp, window_backends_win32.cpp) where one
// can be reached.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/window/window.h"

struct NullDesktop {
    std::unique_ptr<platform::WindowBackend> Make() { return platform::CreateNullWindowBackend(); }
    // A desktop of handles only takes any number for another program's window.
    std::uint64_t MakeParent(int, int) { return 99; }
    void DestroyParent(std::uint64_t) {}
    static constexpr bool kReal = false;
};

// SDL on X11 on Linux, Win32 on Windows. Make gives nothing without a desktop.
struct TargetDesktop {
    TargetDesktop();
    ~TargetDesktop();
    std::unique_ptr<platform::WindowBackend> Make();
    // A window that is not one of ours, with a client area of that size, shown.
    std::uint64_t MakeParent(int width, int height);
    void DestroyParent(std::uint64_t id);
    static constexpr bool kReal = true;
    void* native = nullptr;  // the target's own connection to its desktop
};

struct DesktopNames {
    template <class T>
    static std::string GetName(int) {
        if constexpr (std::is_same_v<T, NullDesktop>) return "Null";
        return "Target";
    }
};
