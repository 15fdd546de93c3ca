// The monitor layout of full screen and the changes between two layouts.
#include "platform/monitors/monitor_layout.h"

#include <algorithm>

namespace platform {

namespace {

bool Usable(const ScreenRect& r) { return r.width > 0 && r.height > 0; }

bool Contains(const ScreenRect& outer, const ScreenRect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           static_cast<long long>(inner.x) + inner.width <=
               static_cast<long long>(outer.x) + outer.width &&
           static_cast<long long>(inner.y) + inner.height <=
               static_cast<long long>(outer.y) + outer.height;
}

}  // namespace

MonitorLayout LayOutMonitors(const std::vector<Monitor>& monitors, const ScreenRect& screen) {
    MonitorLayout layout;
    const Monitor* primary = nullptr;
    for (const Monitor& m : monitors) {
        if (!Usable(m.rect)) continue;
        if (!primary || (m.primary && !primary->primary)) primary = &m;
    }
    if (!primary) {
        layout.scene = screen;
        return layout;
    }
    layout.scene = primary->rect;
    for (const Monitor& m : monitors) {
        if (&m == primary || !Usable(m.rect) || Contains(layout.scene, m.rect)) continue;
        if (std::find(layout.black.begin(), layout.black.end(), m.rect) != layout.black.end())
            continue;
        layout.black.push_back(m.rect);
    }
    return layout;
}

CoverChanges ChangeCovers(const std::vector<ScreenRect>& existing,
                          const std::vector<ScreenRect>& wanted) {
    CoverChanges changes;
    std::vector<bool> kept(existing.size(), false);
    for (const ScreenRect& r : wanted) {
        bool found = false;
        for (std::size_t i = 0; i < existing.size() && !found; ++i) {
            if (!kept[i] && existing[i] == r) kept[i] = found = true;
        }
        if (!found) changes.create.push_back(r);
    }
    for (std::size_t i = 0; i < existing.size(); ++i) {
        if (!kept[i]) changes.destroy.push_back(i);
    }
    return changes;
}

}  // namespace platform
