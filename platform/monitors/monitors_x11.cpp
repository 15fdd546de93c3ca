// Monitors through RandR, the black windows over the secondary monitors, and the
// primary monitor's display mode kept for putting back.
#include "platform/monitors/monitors_x11.h"
#include "platform/report/report.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

int g_errors = 0;
int CountError(Display*, XErrorEvent*) {
    ++g_errors;
    return 0;
}

bool HasMonitorList(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return false;
    if (!XRRQueryVersion(display, &major, &minor)) return false;
    return major > 1 || (major == 1 && minor >= 5);
}

// The primary output's CRTC and what it shows: the mode, where, turned how, for
// which outputs.
struct CrtcState {
    RRCrtc crtc = 0;
    RRMode mode = 0;
    int x = 0, y = 0;
    Rotation rotation = RR_Rotate_0;
    std::vector<RROutput> outputs;
};

bool ReadPrimaryCrtc(Display* display, CrtcState* state) {
    const Window root = DefaultRootWindow(display);
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return false;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources) return false;
    RROutput primary = XRRGetOutputPrimary(display, root);
    bool found = false;
    // Without a primary output, the first one that shows something is it, as the
    // monitor list has it.
    for (int i = -1; i < resources->noutput && !found; ++i) {
        const RROutput output = i < 0 ? primary : resources->outputs[i];
        if (!output) continue;
        XRROutputInfo* info = XRRGetOutputInfo(display, resources, output);
        if (info && info->crtc) {
            XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, info->crtc);
            if (crtc && crtc->mode) {
                state->crtc = info->crtc;
                state->mode = crtc->mode;
                state->x = crtc->x;
                state->y = crtc->y;
                state->rotation = crtc->rotation;
                state->outputs.assign(crtc->outputs, crtc->outputs + crtc->noutput);
                found = true;
            }
            if (crtc) XRRFreeCrtcInfo(crtc);
        }
        if (info) XRRFreeOutputInfo(info);
    }
    XRRFreeScreenResources(resources);
    return found;
}

// The process's one note of the desktop's mode, also read by the handler of a broken
// connection.
struct ModeNote {
    bool noted = false;
    CrtcState desktop;
    RRMode switched = 0;
    char displayName[256] = {};
} g_note;

}  // namespace

std::vector<Monitor> ReadMonitors(Display* display) {
    std::vector<Monitor> monitors;
    if (!HasMonitorList(display)) return monitors;
    int count = 0;
    XRRMonitorInfo* list = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    for (int i = 0; list && i < count; ++i) {
        monitors.push_back(
            {{list[i].x, list[i].y, list[i].width, list[i].height}, list[i].primary != 0});
    }
    if (list) XRRFreeMonitors(list);
    return monitors;
}

MonitorLayout CurrentMonitorLayout(Display* display) {
    const int screen = DefaultScreen(display);
    const ScreenRect whole{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
    return LayOutMonitors(ReadMonitors(display), whole);
}

MonitorCovers::MonitorCovers(Display* query, Display* windows, Window owner,
                             const std::string& className)
    : query_(query), display_(windows), owner_(owner), className_(className) {
    // A cursor of one clear pixel stands for none.
    static const char kClear[1] = {0};
    const Window root = DefaultRootWindow(display_);
    Pixmap pixmap = XCreateBitmapFromData(display_, root, kClear, 1, 1);
    XColor black{};
    blank_ = XCreatePixmapCursor(display_, pixmap, pixmap, &black, &black, 0, 0);
    XFreePixmap(display_, pixmap);
}

MonitorCovers::~MonitorCovers() {
    for (const Cover& c : windows_) XDestroyWindow(display_, c.window);
    if (blank_) XFreeCursor(display_, blank_);
    XFlush(display_);
}

Window MonitorCovers::Create(const ScreenRect& r) {
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    // Stands where it is put, above the desktop's windows, without a window
    // manager's frame; and tells of the input that ends the saver.
    a.override_redirect = True;
    a.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                   PointerMotionMask;
    a.cursor = cursorVisible_ ? None : blank_;
    const Window w = XCreateWindow(display_, DefaultRootWindow(display_), r.x, r.y,
                                   static_cast<unsigned>(r.width), static_cast<unsigned>(r.height),
                                   0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWBackPixel | CWOverrideRedirect | CWEventMask | CWCursor, &a);
    XClassHint hint;
    hint.res_name = const_cast<char*>(className_.c_str());
    hint.res_class = const_cast<char*>(className_.c_str());
    XSetClassHint(display_, w, &hint);
    XMapWindow(display_, w);
    return w;
}

void MonitorCovers::Update() {
    const MonitorLayout layout = CurrentMonitorLayout(query_);
    std::vector<ScreenRect> existing;
    for (const Cover& c : windows_) existing.push_back(c.rect);
    const CoverChanges changes = ChangeCovers(existing, layout.black);
    for (auto i = changes.destroy.rbegin(); i != changes.destroy.rend(); ++i) {
        XDestroyWindow(display_, windows_[*i].window);
        windows_.erase(windows_.begin() + static_cast<std::ptrdiff_t>(*i));
    }
    for (const ScreenRect& r : changes.create) windows_.push_back({r, Create(r)});
    // A black window under a mirror of the primary must not hide the scene.
    if (!changes.create.empty()) XRaiseWindow(display_, owner_);
    XFlush(display_);
}

bool MonitorCovers::Owns(Window w) const {
    return std::any_of(windows_.begin(), windows_.end(),
                       [w](const Cover& c) { return c.window == w; });
}

void MonitorCovers::SetCursorVisible(bool visible) {
    if (visible == cursorVisible_) return;
    cursorVisible_ = visible;
    for (const Cover& c : windows_) XDefineCursor(display_, c.window, visible ? None : blank_);
    XFlush(display_);
}

int WatchMonitorChanges(Display* display) {
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return -1;
    XRRSelectInput(display, DefaultRootWindow(display),
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    return eventBase;
}

bool IsMonitorChange(Display*, XEvent& event, int eventBase) {
    if (eventBase < 0) return false;
    if (event.type != eventBase + RRScreenChangeNotify && event.type != eventBase + RRNotify)
        return false;
    XRRUpdateConfiguration(&event);
    return true;
}

bool SwitchPrimaryMode(Display* display, int width, int height, ScreenRect* rect) {
    CrtcState state;
    if (!ReadPrimaryCrtc(display, &state) || state.outputs.empty()) return false;
    if (!g_note.noted) {
        g_note.desktop = state;
        g_note.switched = 0;
        std::snprintf(g_note.displayName, sizeof g_note.displayName, "%s", DisplayString(display));
        g_note.noted = true;
    }
    // Turned a quarter, a mode shows with its sides swapped; the saver asks for none
    // such.
    if (state.rotation & (RR_Rotate_90 | RR_Rotate_270)) return false;
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources) return false;
    // A mode every output of the CRTC offers, the first of them (the preferred
    // one comes first).
    RRMode chosen = 0;
    XRROutputInfo* output = XRRGetOutputInfo(display, resources, state.outputs[0]);
    for (int i = 0; output && i < output->nmode && !chosen; ++i) {
        for (int m = 0; m < resources->nmode; ++m) {
            const XRRModeInfo& info = resources->modes[m];
            if (info.id == output->modes[i] && static_cast<int>(info.width) == width &&
                static_cast<int>(info.height) == height) {
                chosen = info.id;
                break;
            }
        }
    }
    if (output) XRRFreeOutputInfo(output);
    bool set = false;
    if (chosen == state.mode) {
        set = true;
    } else if (chosen) {
        auto* old = XSetErrorHandler(CountError);
        g_errors = 0;
        const Status status = XRRSetCrtcConfig(display, resources, state.crtc, CurrentTime, state.x,
                                               state.y, chosen, state.rotation,
                                               state.outputs.data(),
                                               static_cast<int>(state.outputs.size()));
        XSync(display, False);
        XSetErrorHandler(old);
        set = status == RRSetConfigSuccess && g_errors == 0;
        if (set && state.crtc == g_note.desktop.crtc && chosen != g_note.desktop.mode)
            g_note.switched = chosen;
    }
    XRRFreeScreenResources(resources);
    if (set) *rect = {state.x, state.y, width, height};
    return set;
}

void RestoreDesktopMode(Display* display) {
    if (!g_note.noted || !g_note.switched) return;
    CrtcState now;
    if (!ReadPrimaryCrtc(display, &now)) return;
    // Someone else's change of mode since is theirs to keep.
    if (now.crtc != g_note.desktop.crtc || now.mode != g_note.switched) return;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources) return;
    auto* old = XSetErrorHandler(CountError);
    g_errors = 0;
    const CrtcState& d = g_note.desktop;
    const Status status = XRRSetCrtcConfig(
        display, resources, d.crtc, CurrentTime, d.x, d.y, d.mode, d.rotation,
        const_cast<RROutput*>(d.outputs.data()), static_cast<int>(d.outputs.size()));
    XSync(display, False);
    XSetErrorHandler(old);
    XRRFreeScreenResources(resources);
    if (status != RRSetConfigSuccess || g_errors != 0)
        Report("orbsaver: the monitor's own display mode could not be set again");
}

void RestoreDesktopModeOnNewConnection() {
    if (!g_note.noted || !g_note.switched) return;
    Display* display = XOpenDisplay(g_note.displayName);
    if (!display) return;  // the server itself has gone, and the mode with it
    RestoreDesktopMode(display);
    XCloseDisplay(display);
}

}  // namespace platform
