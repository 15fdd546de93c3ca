// Monitors through the Win32 display functions.
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

}  // namespace platform
