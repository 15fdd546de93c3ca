// Which windows cover the monitors in full screen: the scene's window on the primary
// monitor, a black window on every other part of the desktop that a monitor shows.
// Plain data in, plain data out, so that every monitor list can be tried without a
// display.
#pragma once

#include <cstddef>
#include <vector>

namespace platform {

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ScreenRect&) const = default;
};

struct Monitor {
    ScreenRect rect;
    bool primary = false;
};

struct MonitorLayout {
    // Where the scene's window stands.
    ScreenRect scene;
    // One black window each, none of them the same rectangle twice.
    std::vector<ScreenRect> black;
};

// The layout for the monitors the desktop reports. No usable monitor means the
// whole screen is one; without a primary the first one takes its place. Monitors
// that mirror one another (the same rectangle) get one window, and one that the
// scene's window covers whole gets none.
MonitorLayout LayOutMonitors(const std::vector<Monitor>& monitors, const ScreenRect& screen);

// How to go from the black windows there are to the ones wanted: which of those there
// are to destroy (their indices, in increasing order) and which rectangles need a new
// window. A window already in place stays as it is, so that nothing is drawn again.
struct CoverChanges {
    std::vector<std::size_t> destroy;
    std::vector<ScreenRect> create;
};
CoverChanges ChangeCovers(const std::vector<ScreenRect>& existing,
                          const std::vector<ScreenRect>& wanted);

}  // namespace platform
