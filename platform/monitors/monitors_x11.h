// The X11 side of full screen on every monitor: the monitors RandR reports, the black
// windows over all but the primary, and the primary's display mode as the desktop had
// it, so that it can be put back on every way out. Private to the SDL window backend.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "platform/monitors/monitor_layout.h"

namespace platform {

// The monitors as RandR lists them now (`xrandr --listmonitors`); empty when the
// server has no RandR 1.5.
std::vector<Monitor> ReadMonitors(Display* display);
// The layout of full screen for the monitors there are now.
MonitorLayout CurrentMonitorLayout(Display* display);

// Black windows over every monitor but the primary, following the monitors as they
// come and go. They are made on the connection that draws the scene's window, so that
// the pointer grab that connection holds reports their input as usual; the server
// paints them black itself, and nothing is drawn into them ever.
class MonitorCovers {
public:
    // query: the connection RandR is asked and watched on; windows: the connection
    // that owns the windows (the scene window's).
    MonitorCovers(Display* query, Display* windows, Window owner, const std::string& className);
    ~MonitorCovers();
    MonitorCovers(const MonitorCovers&) = delete;
    MonitorCovers& operator=(const MonitorCovers&) = delete;

    // Makes the windows match the monitors there are now.
    void Update();
    bool Owns(Window w) const;
    std::size_t Count() const { return windows_.size(); }
    // Over the black windows the pointer shows exactly where it does over the scene.
    void SetCursorVisible(bool visible);

private:
    struct Cover {
        ScreenRect rect;
        Window window;
    };
    Window Create(const ScreenRect& rect);

    Display* query_;
    Display* display_;
    Window owner_;
    std::string className_;
    Cursor blank_ = 0;
    bool cursorVisible_ = false;
    std::vector<Cover> windows_;
};

// Asks for RandR's notices of screen, output and CRTC changes on the root window;
// the first of RandR's event numbers, or -1 without RandR.
int WatchMonitorChanges(Display* display);
// Whether the event is one of RandR's (the event base from WatchMonitorChanges); Xlib
// learns the new screen size from it.
bool IsMonitorChange(Display* display, XEvent& event, int eventBase);

// Gives the primary monitor a mode of that size that it offers, in its place, turned
// as it is, for the outputs it shows on; the other monitors keep theirs. The desktop's
// mode is noted first (the first note of a run is kept). False, with nothing changed,
// when the primary offers no such mode or the server refuses it. rect: where the
// primary stands now.
bool SwitchPrimaryMode(Display* display, int width, int height, ScreenRect* rect);
// Gives the primary monitor the desktop's mode again when it still shows the one full
// screen set. Harmless to repeat; nothing when no mode was ever switched.
void RestoreDesktopMode(Display* display);
// The same over a new connection, for when the one there was has broken (the server
// dropped the program) but the server may still be there.
void RestoreDesktopModeOnNewConnection();

}  // namespace platform
