// The Win32 side of full screen on every monitor: the monitors EnumDisplayMonitors
// reports, and the primary monitor's display mode, switched on that monitor alone and
// given back on every way out. Private to the Win32 window backend and the WGL surface.
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

// Gives the primary monitor (and only it) a display mode of that size and depth that
// it offers, for this run (CDS_FULLSCREEN: Windows' registry keeps the desktop's).
// A depth of 24 is also had as 32 where the monitor offers no 24-bit mode. False, with
// nothing changed, when the monitor offers no such mode or Windows refuses it.
// rect: where the primary stands once the mode is set.
bool SwitchPrimaryMode(int width, int height, int bitsPerPixel, ScreenRect* rect);
// Gives the primary monitor the desktop's mode back when a switch set another one.
// Harmless to repeat; nothing when no mode was switched.
void RestoreDesktopMode();
// Whether a switched mode is in place.
bool PrimaryModeSwitched();
// The depth of the desktop's own mode of the primary monitor.
int DesktopModeBitsPerPixel();
// The refresh rate of the mode the monitor holding that point (in desktop coordinates)
// shows now; 0 when Windows says "the hardware's default".
int MonitorRefreshRate(int x, int y);

}  // namespace platform
