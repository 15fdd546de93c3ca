// The target's desktop on Windows: the Win32 backend, and windows of a class of the
// test's own as other programs' windows.
#include "platform/window/window_win32.h"
#include "tests/platform/window_backends.h"
#include "platform/win32_api.h"

TargetDesktop::TargetDesktop() = default;
TargetDesktop::~TargetDesktop() = default;

std::unique_ptr<platform::WindowBackend> TargetDesktop::Make() {
    return platform::CreateWin32WindowBackend();
}

std::uint64_t TargetDesktop::MakeParent(int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"orbsaver test parent";
        registered = RegisterClassExW(&wc) != 0;
    }
    // A client area of that size under a frame, as a settings dialog's preview has.
    RECT r{0, 0, width, height};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    AdjustWindowRect(&r, style, FALSE);
    HWND hwnd = CreateWindowExW(0, L"orbsaver test parent", L"parent", style, 10, 10,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    return reinterpret_cast<std::uintptr_t>(hwnd);
}

void TargetDesktop::DestroyParent(std::uint64_t id) {
    DestroyWindow(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id)));
}
