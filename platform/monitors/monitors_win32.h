// The Win32 side of full screen on every monitor: the monitors EnumDisplayMonitors
// reports. Private to the Win32 window backend.
#pragma once

#include <vector>

#include "platform/monitors/monitor_layout.h"

namespace platform {

// The monitors as Windows lists them now, the primary marked.
std::vector<Monitor> ReadWin32Monitors();
// The whole desktop: the rectangle every monitor lies in.
ScreenRect VirtualScreen();
// The layout of full screen for the monitors there are now.
MonitorLayout CurrentWin32MonitorLayout();
// Where the primary monitor stands now; false when Windows reports none.
bool PrimaryMonitorRect(ScreenRect* rect);

}  // namespace platform
