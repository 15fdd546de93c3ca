// Monitors and the primary's display mode through the Win32 display functions.
#include <string>

#include "platform/monitors/monitor_layout.h"
#include "platform/monitors/monitors_win32.h"
#include "platform/win32_api.h"

namespace platform {

namespace {

ScreenRect RectOf(const RECT& r) { return ScreenRect{r.left, r.top, r.right - r.left, r.bottom - r.top}; }

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* list = reinterpret_cast<std::vector<Monitor>*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    list->push_back(Monitor{RectOf(info.rcMonitor), (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    return TRUE;
}

// The primary monitor's device name (\\.\DISPLAY1) and place.
bool PrimaryDevice(std::wstring* device, ScreenRect* rect) {
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!primary || !GetMonitorInfoW(primary, &info)) return false;
    if (device) *device = info.szDevice;
    if (rect) *rect = RectOf(info.rcMonitor);
    return true;
}

// The device whose mode a switch changed; empty while the desktop's mode holds.
std::wstring& SwitchedDevice() {
    static std::wstring device;
    return device;
}

bool FindMode(const std::wstring& device, int width, int height, int bitsPerPixel, DEVMODEW* found) {
    DEVMODEW current{};
    current.dmSize = sizeof current;
    const bool haveCurrent = EnumDisplaySettingsW(device.c_str(), ENUM_CURRENT_SETTINGS, &current);
    bool any = false;
    for (DWORD i = 0;; ++i) {
        DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        if (!EnumDisplaySettingsW(device.c_str(), i, &mode)) break;
        if (static_cast<int>(mode.dmPelsWidth) != width ||
            static_cast<int>(mode.dmPelsHeight) != height ||
            static_cast<int>(mode.dmBitsPerPel) != bitsPerPixel)
            continue;
        // Of several refresh rates, the one the desktop shows now, else the highest.
        auto rank = [&](const DEVMODEW& m) {
            if (haveCurrent && m.dmDisplayFrequency == current.dmDisplayFrequency) return 1u << 30;
            return static_cast<unsigned>(m.dmDisplayFrequency);
        };
        if (!any || rank(mode) > rank(*found)) *found = mode;
        any = true;
    }
    return any;
}

}  // namespace

std::vector<Monitor> ReadWin32Monitors() {
    std::vector<Monitor> list;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&list));
    return list;
}

ScreenRect VirtualScreen() {
    return ScreenRect{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                      GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

MonitorLayout CurrentWin32MonitorLayout() { return LayOutMonitors(ReadWin32Monitors(), VirtualScreen()); }

bool PrimaryMonitorRect(ScreenRect* rect) {
    return PrimaryDevice(nullptr, rect) && rect->width > 0 && rect->height > 0;
}

bool SwitchPrimaryMode(int width, int height, int bitsPerPixel, ScreenRect* rect) {
    std::wstring device;
    if (width <= 0 || height <= 0 || !PrimaryDevice(&device, nullptr)) return false;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!FindMode(device, width, height, bitsPerPixel, &mode) &&
        !(bitsPerPixel == 24 && FindMode(device, width, height, 32, &mode)))
        return false;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY;
    if (ChangeDisplaySettingsExW(device.c_str(), &mode, nullptr, CDS_FULLSCREEN, nullptr) !=
        DISP_CHANGE_SUCCESSFUL)
        return false;
    SwitchedDevice() = device;
    ScreenRect now;
    if (!PrimaryDevice(nullptr, &now)) now = ScreenRect{0, 0, width, height};
    if (rect) *rect = now;
    return true;
}

void RestoreDesktopMode() {
    std::wstring& device = SwitchedDevice();
    if (device.empty()) return;
    // No mode: the one Windows' registry holds for the device, the desktop's.
    ChangeDisplaySettingsExW(device.c_str(), nullptr, nullptr, 0, nullptr);
    device.clear();
}

bool PrimaryModeSwitched() { return !SwitchedDevice().empty(); }

int DesktopModeBitsPerPixel() {
    std::wstring device;
    PrimaryDevice(&device, nullptr);
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    const wchar_t* name = device.empty() ? nullptr : device.c_str();
    if (EnumDisplaySettingsW(name, ENUM_REGISTRY_SETTINGS, &mode) && mode.dmBitsPerPel > 0)
        return static_cast<int>(mode.dmBitsPerPel);
    if (EnumDisplaySettingsW(name, ENUM_CURRENT_SETTINGS, &mode) && mode.dmBitsPerPel > 0)
        return static_cast<int>(mode.dmBitsPerPel);
    return 32;
}

int MonitorRefreshRate(int x, int y) {
    const HMONITOR monitor = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return 0;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode)) return 0;
    // 0 and 1 stand for the hardware's default rate, which Windows does not tell.
    return mode.dmDisplayFrequency > 1 ? static_cast<int>(mode.dmDisplayFrequency) : 0;
}

}  // namespace platform
