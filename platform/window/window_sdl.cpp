// The window backend on SDL and X11. SDL makes the windows and delivers input; a
// connection of our own to the X server gives windows their class, makes child
// windows of another program's window, notices when such a parent goes away, and
// searches the desktop for windows of a class. Full screen covers every monitor: black
// windows of our own on all but the primary, whose input is the saver window's.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/monitors/monitors_x11.h"
#include "platform/process/child_process.h"
#include "platform/report/report.h"
#include "platform/text/text.h"
#include "platform/window/window.h"
#include "platform/window/window_sdl.h"

namespace platform {

namespace {

int g_xErrors = 0;

int CountXError(Display*, XErrorEvent*) {
    ++g_xErrors;
    return 0;
}

// Windows of another program (a preview's parent) can vanish at any moment, and the
// requests on them then fail; such failures are no reason to end the program, which
// is what Xlib does by default.
int TolerateXError(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
    char text[128] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    Report("orbsaver: X request " + std::to_string(error->request_code) + " failed: " + text);
    return 0;
}

// The X server has gone (the session ended, the host's display closed). Xlib's own
// handler would end the process through exit(), whose destructors then ask the dead
// server to destroy windows and wait for its answer for ever; the run has ended, so
// the process ends here without them.
// When the server only dropped this program (xkill), it is still there and the
// primary monitor would keep full screen's display mode: a new connection puts the
// desktop's back.
int EndWithTheDisplay(Display*) {
    // Programs this one started (the scene of a lock) end with it.
    KillChildProcesses();
    static const char kWord[] = "orbsaver: the X display went away\n";
    const ssize_t written = write(2, kWord, sizeof kWord - 1);
    (void)written;
    RestoreDesktopModeOnNewConnection();
    _exit(1);
}

// A hang-up (the terminal or session closing) ends the saver as SIGTERM and SIGINT
// do, which SDL turns into its quit event: through the normal end, which gives the
// monitors their modes back.
volatile sig_atomic_t g_hangUp = 0;
void NoteHangUp(int) { g_hangUp = 1; }

// Keys typed while the pointer is over a black window and the keyboard's focus is
// nowhere of ours (no window manager set it). SDL's own translation covers the rest.
WPARAM KeysymVirtualKey(KeySym key) {
    if (key >= XK_a && key <= XK_z) return static_cast<WPARAM>('A' + (key - XK_a));
    if (key >= XK_A && key <= XK_Z) return static_cast<WPARAM>('A' + (key - XK_A));
    if (key >= XK_0 && key <= XK_9) return static_cast<WPARAM>('0' + (key - XK_0));
    if (key >= XK_F1 && key <= XK_F12) return VK_F1 + static_cast<WPARAM>(key - XK_F1);
    switch (key) {
        case XK_BackSpace: return VK_BACK;
        case XK_Tab: return VK_TAB;
        case XK_Return: case XK_KP_Enter: return VK_RETURN;
        case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
        case XK_Control_L: case XK_Control_R: return VK_CONTROL;
        case XK_Alt_L: case XK_Alt_R: return VK_MENU;
        case XK_Escape: return VK_ESCAPE;
        case XK_space: return VK_SPACE;
        case XK_Left: return VK_LEFT;
        case XK_Up: return VK_UP;
        case XK_Right: return VK_RIGHT;
        case XK_Down: return VK_DOWN;
        case XK_Super_L: case XK_Super_R: return VK_LWIN;
        default: return VK_OEM_UNKNOWN;
    }
}

WPARAM VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<WPARAM>(key - SDLK_F1);
    switch (key) {
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_LALT: case SDLK_RALT: return VK_MENU;
        case SDLK_PAUSE: return VK_PAUSE;
        case SDLK_CAPSLOCK: return VK_CAPITAL;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_PAGEUP: return VK_PRIOR;
        case SDLK_PAGEDOWN: return VK_NEXT;
        case SDLK_END: return VK_END;
        case SDLK_HOME: return VK_HOME;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_INSERT: return VK_INSERT;
        case SDLK_DELETE: return VK_DELETE;
        case SDLK_LGUI: case SDLK_RGUI: return VK_LWIN;
        default: return VK_OEM_UNKNOWN;
    }
}

WPARAM MouseKeys() {
    const std::uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    const SDL_Keymod mod = SDL_GetModState();
    WPARAM flags = 0;
    if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
    if (mod & KMOD_SHIFT) flags |= MK_SHIFT;
    if (mod & KMOD_CTRL) flags |= MK_CONTROL;
    return flags;
}

class SdlWindowBackend : public WindowBackend {
public:
    SdlWindowBackend(Display* display)
        : display_(display), monitorEvents_(WatchMonitorChanges(display)) {}

    ~SdlWindowBackend() override {
        covers_.reset();
        while (!windows_.empty()) Destroy(windows_.begin()->first);
        if (font_) XFreeFont(display_, font_);
        XCloseDisplay(display_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool Create(WindowHandle handle, const std::string& className, std::uint32_t style, int x,
                int y, int width, int height, std::uint64_t parent) override {
        Entry e;
        if (style & WS_CHILD) {
            e.child = CreateChild(className, x, y, width, height, parent, style & WS_VISIBLE);
            if (!e.child) return false;
            SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
            e.sdl = SDL_CreateWindowFrom(reinterpret_cast<void*>(e.child));
            if (!e.sdl) {
                XDestroyWindow(display_, e.child);
                XFlush(display_);
                return false;
            }
        } else {
            const bool gl = (style & kStyleBlackNoGl) == 0;
            e.sdl = SDL_CreateWindow("", x, y, width, height,
                                     SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN |
                                         (gl ? SDL_WINDOW_OPENGL : 0));
            if (!e.sdl) return false;
            SetClass(NativeId(e.sdl), className);
            if (!gl) {
                // The server paints it black itself, wherever nothing inside it draws;
                // windows appearing inside it are watched, to keep its box above them.
                const Window native = NativeId(e.sdl);
                XSetWindowBackground(display_, native, BlackPixel(display_, DefaultScreen(display_)));
                XSelectInput(display_, native, SubstructureNotifyMask);
                XClearWindow(display_, native);
                XFlush(display_);
            }
            if (style & WS_VISIBLE) SDL_ShowWindow(e.sdl);
        }
        windows_[handle] = e;
        return true;
    }

    void Destroy(WindowHandle handle) override {
        XSetErrorHandler(TolerateXError);
        if (handle == coverOwner_) {
            covers_.reset();
            coverOwner_ = 0;
        }
        auto it = windows_.find(handle);
        if (it == windows_.end()) return;
        if (grabbed_ == handle) grabbed_ = 0;  // a destroyed window's grabs end with it
        DestroyBox(it->second);
        if (it->second.sdl) {
            // Requests SDL makes about a window whose parent has gone fail; let them
            // fail now, under our handler, rather than when SDL closes its display.
            Display* sdlDisplay = DisplayOf(it->second.sdl);
            SDL_DestroyWindow(it->second.sdl);
            if (sdlDisplay) XSync(sdlDisplay, False);
        }
        if (it->second.child && !it->second.childGone) {
            g_xErrors = 0;
            XDestroyWindow(display_, it->second.child);
            XSync(display_, False);
        }
        windows_.erase(it);
    }

    void Pump(void (*post)(const Msg&)) override {
        // SDL puts its own handler back after some of its calls; it ends the program
        // on a failed request about a window that has gone.
        XSetErrorHandler(TolerateXError);
        WatchChildren(post);
        if (g_hangUp) {
            g_hangUp = 0;
            PostAll(post, WM_CLOSE);
        }
        if (monitorsChanged_ && covers_) covers_->Update();
        monitorsChanged_ = false;
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) Translate(ev, post);
        FlushMotion(post);
        KeepGrab();
    }

    void Wait(int milliseconds) override {
        SDL_WaitEventTimeout(nullptr, milliseconds < 0 ? 0 : milliseconds);
    }

    bool ClassExists(const std::string& className) override {
        auto* old = XSetErrorHandler(CountXError);
        const bool found = Search(DefaultRootWindow(display_), className, 0);
        XSync(display_, False);
        XSetErrorHandler(old);
        return found;
    }

    void SetCursorVisible(bool visible) override {
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
        if (covers_) covers_->SetCursorVisible(visible);
    }

    bool CoverMonitors(WindowHandle handle) override {
        auto it = windows_.find(handle);
        if (it == windows_.end() || !it->second.sdl || it->second.child) return false;
        Display* display = DisplayOf(it->second.sdl);
        const Window owner = NativeId(it->second.sdl);
        if (!display || !owner) return false;
        XClassHint hint{};
        std::string className;
        if (XGetClassHint(display_, owner, &hint)) {
            if (hint.res_class) className = hint.res_class;
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
        // The black windows' input reaches us among SDL's events, as raw X events.
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
        covers_ = std::make_unique<MonitorCovers>(display_, display, owner, className);
        coverOwner_ = handle;
        covers_->SetCursorVisible(SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE);
        covers_->Update();
        return true;
    }

    std::size_t CoverCount() override { return covers_ ? covers_->Count() : 0; }

    bool PrimaryMonitor(int* x, int* y, int* width, int* height) override {
        const ScreenRect r = CurrentMonitorLayout(display_).scene;
        *x = r.x;
        *y = r.y;
        *width = r.width;
        *height = r.height;
        return r.width > 0 && r.height > 0;
    }

    void SetCursorPosition(int x, int y) override { SDL_WarpMouseGlobal(x, y); }

    std::uint64_t NativeId(WindowHandle handle) override {
        auto it = windows_.find(handle);
        if (it == windows_.end() || !it->second.sdl) return 0;
        return it->second.child ? it->second.child : NativeId(it->second.sdl);
    }

    // The box is a window of our own inside the window. Its picture is its background,
    // which the server paints again by itself whenever it is uncovered.
    void ShowBox(WindowHandle handle, const std::string& title, const std::string& field) override {
        auto it = windows_.find(handle);
        if (it == windows_.end() || !it->second.sdl) return;
        Entry& e = it->second;
        const Window parent = NativeId(e.sdl);
        if (!parent) return;
        int w = 0, h = 0;
        SDL_GetWindowSize(e.sdl, &w, &h);
        const int boxW = std::min(w - 8, kBoxWidth) + 4, boxH = std::min(h - 8, kBoxHeight) + 4;
        if (boxW <= 4 || boxH <= 4) return;
        const int x = (w - boxW) / 2, y = (h - boxH) / 2;
        const int screen = DefaultScreen(display_);
        if (!e.box) {
            e.box = XCreateSimpleWindow(display_, parent, x, y, static_cast<unsigned>(boxW),
                                        static_cast<unsigned>(boxH), 0, BlackPixel(display_, screen),
                                        BlackPixel(display_, screen));
            e.boxGc = XCreateGC(display_, e.box, 0, nullptr);
            if (!font_) font_ = XLoadQueryFont(display_, "fixed");
            if (font_) XSetFont(display_, e.boxGc, font_->fid);
        } else {
            XMoveResizeWindow(display_, e.box, x, y, static_cast<unsigned>(boxW),
                              static_cast<unsigned>(boxH));
        }
        const Pixmap picture = XCreatePixmap(display_, e.box, static_cast<unsigned>(boxW),
                                             static_cast<unsigned>(boxH),
                                             static_cast<unsigned>(DefaultDepth(display_, screen)));
        const unsigned long edge = Colour(180, 190, 220), inside = Colour(24, 28, 48),
                            ink = Colour(255, 255, 255);
        GC gc = e.boxGc;
        auto fill = [&](unsigned long colour, int fx, int fy, int fw, int fh) {
            if (fw <= 0 || fh <= 0) return;
            XSetForeground(display_, gc, colour);
            XFillRectangle(display_, picture, gc, fx, fy, static_cast<unsigned>(fw),
                           static_cast<unsigned>(fh));
        };
        fill(edge, 0, 0, boxW, boxH);
        fill(inside, 2, 2, boxW - 4, boxH - 4);
        fill(edge, 18, 50, boxW - 36, 30);
        fill(inside, 19, 51, boxW - 38, 28);
        if (font_) {
            XSetForeground(display_, gc, ink);
            const int ascent = font_->ascent, lineHeight = font_->ascent + font_->descent;
            XDrawString(display_, picture, gc, 18, 16 + ascent, title.data(),
                        static_cast<int>(title.size()));
            // Only what fits the field is drawn.
            const int room = boxW - 48;
            std::size_t shown = field.size();
            while (shown > 0 && XTextWidth(font_, field.data(), static_cast<int>(shown)) > room)
                --shown;
            XDrawString(display_, picture, gc, 24, 51 + (28 - lineHeight) / 2 + ascent,
                        field.data(), static_cast<int>(shown));
        }
        XSetWindowBackgroundPixmap(display_, e.box, picture);
        XFreePixmap(display_, picture);
        XClearWindow(display_, e.box);
        XMapRaised(display_, e.box);
        e.boxShown = true;
        XFlush(display_);
    }

    void HideBox(WindowHandle handle) override {
        auto it = windows_.find(handle);
        if (it == windows_.end() || !it->second.box) return;
        XUnmapWindow(display_, it->second.box);
        it->second.boxShown = false;
        XFlush(display_);
    }

    bool ClientSize(WindowHandle handle, int* width, int* height) override {
        auto it = windows_.find(handle);
        if (it == windows_.end() || !it->second.sdl) return false;
        SDL_GetWindowSize(it->second.sdl, width, height);
        return true;
    }

    bool ForeignWindowSize(std::uint64_t id, int* width, int* height) override {
        auto* old = XSetErrorHandler(CountXError);
        g_xErrors = 0;
        XWindowAttributes a{};
        const bool ok = XGetWindowAttributes(display_, static_cast<Window>(id), &a) != 0;
        XSync(display_, False);
        XSetErrorHandler(old);
        if (!ok || g_xErrors != 0) return false;
        *width = a.width;
        *height = a.height;
        return true;
    }

    std::uint64_t DesktopWindowId() override { return DefaultRootWindow(display_); }

    bool Grab(WindowHandle handle, bool grab) override {
        auto it = windows_.find(handle);
        if (!grab) {
            if (grabbed_ == handle) {
                grabbed_ = 0;
                if (it != windows_.end()) Ungrab(it->second.sdl);
            }
            return true;
        }
        if (it == windows_.end() || !it->second.sdl) return false;
        if (!TakeInput(it->second.sdl)) return false;
        grabbed_ = handle;
        grabLostSaid_ = false;
        return true;
    }

    void Focus(WindowHandle handle) override {
        auto it = windows_.find(handle);
        if (it == windows_.end() || !it->second.sdl) return;
        SDL_RaiseWindow(it->second.sdl);
        SDL_SetWindowInputFocus(it->second.sdl);
    }

    bool Alive(WindowHandle handle) override {
        auto it = windows_.find(handle);
        if (it == windows_.end()) return false;
        if (!it->second.child) return true;
        if (it->second.childGone) return false;
        // Everything asked of the server so far has been done once XSync returns.
        auto* old = XSetErrorHandler(CountXError);
        g_xErrors = 0;
        XWindowAttributes attributes;
        const bool alive = XGetWindowAttributes(display_, it->second.child, &attributes) != 0;
        XSync(display_, False);
        XSetErrorHandler(old);
        return alive && g_xErrors == 0;
    }

    SDL_Window* SdlWindow(WindowHandle handle) const {
        auto it = windows_.find(handle);
        return it == windows_.end() ? nullptr : it->second.sdl;
    }

private:
    struct Entry {
        SDL_Window* sdl = nullptr;
        Window child = 0;  // our own X window when the window is a child of another's
        bool childGone = false;
        Window box = 0;  // the box shown inside the window (ShowBox), on our connection
        GC boxGc = nullptr;
        bool boxShown = false;
    };

    static constexpr int kBoxWidth = 360, kBoxHeight = 96;

    void DestroyBox(Entry& e) {
        if (e.boxGc) XFreeGC(display_, e.boxGc);
        if (e.box) XDestroyWindow(display_, e.box);
        if (e.box) XFlush(display_);
        e.box = 0;
        e.boxGc = nullptr;
        e.boxShown = false;
    }

    // A colour of the screen's default colormap; white when it has no room.
    unsigned long Colour(unsigned short r, unsigned short g, unsigned short b) {
        XColor c{};
        c.red = static_cast<unsigned short>(r * 257);
        c.green = static_cast<unsigned short>(g * 257);
        c.blue = static_cast<unsigned short>(b * 257);
        c.flags = DoRed | DoGreen | DoBlue;
        const int screen = DefaultScreen(display_);
        if (!XAllocColor(display_, DefaultColormap(display_, screen), &c))
            return WhitePixel(display_, screen);
        return c.pixel;
    }

    // Another program's window came up inside one of ours: our box stays above it.
    void KeepBoxOnTop(const XMapEvent& map) {
        for (auto& [handle, w] : windows_) {
            if (w.boxShown && w.box != map.window && w.sdl && NativeId(w.sdl) == map.event) {
                XRaiseWindow(display_, w.box);
                XFlush(display_);
            }
        }
    }

    static Display* DisplayOf(SDL_Window* w) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
        return info.info.x11.display;
    }

    static Window NativeId(SDL_Window* w) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
        return info.info.x11.window;
    }

    void SetClass(Window w, const std::string& className) {
        if (!w) return;
        XClassHint hint;
        hint.res_name = const_cast<char*>(className.c_str());
        hint.res_class = const_cast<char*>(className.c_str());
        XSetClassHint(display_, w, &hint);
        XFlush(display_);
    }

    Window CreateChild(const std::string& className, int x, int y, int width, int height,
                       std::uint64_t parent, bool visible) {
        auto* old = XSetErrorHandler(CountXError);
        g_xErrors = 0;
        // The child has the screen's default visual, whatever its parent's: the GL
        // context made on it is of the default kind, and a window of another depth
        // (a host that gives its display modes a 32-bit window for OpenGL, as
        // XScreenSaver's "GL:" does) would refuse every frame presented to it.
        const int screen = DefaultScreen(display_);
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(display_, screen);
        attributes.border_pixel = BlackPixel(display_, screen);
        // One colormap of that visual serves every child for the life of the display.
        if (!colormap_) {
            colormap_ = XCreateColormap(display_, RootWindow(display_, screen),
                                        DefaultVisual(display_, screen), AllocNone);
        }
        attributes.colormap = colormap_;
        attributes.event_mask = StructureNotifyMask;
        Window child = XCreateWindow(display_, static_cast<Window>(parent), x, y,
                                     static_cast<unsigned>(width), static_cast<unsigned>(height),
                                     0, DefaultDepth(display_, screen), InputOutput,
                                     DefaultVisual(display_, screen),
                                     CWBackPixel | CWBorderPixel | CWColormap | CWEventMask,
                                     &attributes);
        XSync(display_, False);
        if (g_xErrors == 0) {
            SetClass(child, className);
            if (visible) XMapWindow(display_, child);
            XSync(display_, False);
        }
        XSetErrorHandler(old);
        if (g_xErrors != 0) {
            if (child) {
                XDestroyWindow(display_, child);
                XSync(display_, False);
            }
            return 0;
        }
        return child;
    }

    // A child of another program's window dies with its parent; tell the window.
    // Monitors that come, go or change their mode change the black windows.
    void WatchChildren(void (*post)(const Msg&)) {
        while (XPending(display_)) {
            XEvent ev;
            XNextEvent(display_, &ev);
            if (IsMonitorChange(display_, ev, monitorEvents_)) {
                monitorsChanged_ = true;
                continue;
            }
            if (ev.type == MotionNotify || ev.type == ButtonPress || ev.type == ButtonRelease) {
                // The held pointer's events, wherever it is.
                if (grabbed_) PointerInput(ev, grabbed_, post);
                continue;
            }
            if (ev.type == MapNotify) {
                KeepBoxOnTop(ev.xmap);
                continue;
            }
            if (ev.type != DestroyNotify) continue;
            WindowHandle gone = 0;
            for (auto& [handle, w] : windows_) {
                if (w.child == ev.xdestroywindow.window && !w.childGone) {
                    w.childGone = true;
                    gone = handle;
                }
            }
            // Posting may destroy the window and with it its entry: post after the loop.
            if (gone) post(Msg{gone, WM_DESTROY, 0, 0});
        }
    }

    bool Search(Window w, const std::string& className, int depth) {
        XClassHint hint{};
        if (XGetClassHint(display_, w, &hint)) {
            const bool match = (hint.res_class && className == hint.res_class) ||
                               (hint.res_name && className == hint.res_name);
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
            if (match) return true;
        }
        if (depth > 64) return false;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, w, &root, &parent, &children, &count)) return false;
        bool found = false;
        for (unsigned i = 0; i < count && !found; ++i) {
            found = Search(children[i], className, depth + 1);
        }
        if (children) XFree(children);
        return found;
    }

    WindowHandle HandleOf(std::uint32_t sdlId) {
        for (auto& [handle, w] : windows_) {
            if (w.sdl && SDL_GetWindowID(w.sdl) == sdlId) return handle;
        }
        return 0;
    }

    // Input the desktop sent us while SDL sees no window of ours with the focus (before
    // the first focus event, or after another program took the focus while we hold
    // the keyboard) belongs to the window holding the keyboard and pointer, else to
    // our one window when there is only one.
    WindowHandle InputWindow(std::uint32_t sdlId) {
        if (const WindowHandle h = HandleOf(sdlId)) return h;
        if (grabbed_) return grabbed_;
        return windows_.size() == 1 ? windows_.begin()->first : 0;
    }

    // The keyboard grab on SDL's own connection, so that SDL goes on receiving the
    // keys (and their text). The pointer grab on ours: SDL lets go of a pointer grab
    // of its connection whenever the pointer crosses its window's edge, which it does
    // with every monitor it passes. The pointer is free to go to every monitor; its
    // events all come to us, relative to the saver window.
    bool TakeInput(SDL_Window* w) {
        Display* display = DisplayOf(w);
        const Window xwindow = NativeId(w);
        if (!display || !xwindow) return false;
        const int keyboard = XGrabKeyboard(display, xwindow, True, GrabModeAsync, GrabModeAsync,
                                           CurrentTime);
        const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
        const int pointer = XGrabPointer(display_, xwindow, False, mask, GrabModeAsync,
                                         GrabModeAsync, None, None, CurrentTime);
        XFlush(display);
        if (keyboard == GrabSuccess && pointer == GrabSuccess) return true;
        // Half a lock is none: give back the one that was had.
        if (keyboard == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
        if (pointer == GrabSuccess) XUngrabPointer(display_, CurrentTime);
        XSync(display, False);
        XSync(display_, False);
        return false;
    }

    void Ungrab(SDL_Window* w) {
        Display* display = w ? DisplayOf(w) : nullptr;
        if (display) {
            XUngrabKeyboard(display, CurrentTime);
            XSync(display, False);
        }
        XUngrabPointer(display_, CurrentTime);
        XSync(display_, False);
    }

    // SDL lets go of the keyboard whenever it thinks its window lost or gained the
    // focus, and does not tell, not even always with a window event: take them again
    // every time the events are taken in (each frame, each turn of a loop), and give
    // the window the focus back so that SDL passes on its keys. Taking a grab one
    // holds already costs a round trip and changes nothing.
    void KeepGrab() {
        if (!grabbed_) return;
        auto it = windows_.find(grabbed_);
        if (it == windows_.end() || !it->second.sdl) return;
        SDL_Window* w = it->second.sdl;
        if (!(SDL_GetWindowFlags(w) & SDL_WINDOW_INPUT_FOCUS)) SDL_SetWindowInputFocus(w);
        if (TakeInput(w)) {
            if (grabLostSaid_) Report("orbsaver: the keyboard and pointer are held again");
            grabLostSaid_ = false;
        } else if (!grabLostSaid_) {
            Report("orbsaver: another program took the keyboard or pointer; taking them back as "
                   "soon as it lets go");
            grabLostSaid_ = true;
        }
    }

    void PostAll(void (*post)(const Msg&), std::uint32_t message) {
        for (auto& [handle, w] : windows_) post(Msg{handle, message, 0, 0});
    }

    void Translate(const SDL_Event& ev, void (*post)(const Msg&)) {
        switch (ev.type) {
            case SDL_SYSWMEVENT:
                if (covers_ && ev.syswm.msg && ev.syswm.msg->subsystem == SDL_SYSWM_X11)
                    CoverInput(ev.syswm.msg->msg.x11.event, post);
                return;
            case SDL_QUIT:
                // A termination signal or the desktop session ending.
                PostAll(post, WM_CLOSE);
                return;
            case SDL_WINDOWEVENT: {
                const WindowHandle h = HandleOf(ev.window.windowID);
                if (!h) return;
                switch (ev.window.event) {
                    case SDL_WINDOWEVENT_CLOSE:
                        // The window manager's close, which Windows sends as the
                        // system command; only a termination signal is WM_CLOSE.
                        post(Msg{h, WM_SYSCOMMAND, SC_CLOSE, 0});
                        return;
                    case SDL_WINDOWEVENT_MOVED:
                        post(Msg{h, WM_MOVE, 0, MakePointParam(ev.window.data1, ev.window.data2)});
                        return;
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        post(Msg{h, WM_SIZE, SIZE_RESTORED,
                                 MakePointParam(ev.window.data1, ev.window.data2)});
                        return;
                    case SDL_WINDOWEVENT_EXPOSED:
                        post(Msg{h, WM_PAINT, 0, 0});
                        return;
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                        post(Msg{h, WM_ACTIVATEAPP, 1, 0});
                        return;
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        post(Msg{h, WM_ACTIVATEAPP, 0, 0});
                        return;
                    default:
                        return;
                }
            }
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                FlushMotion(post);
                const WindowHandle h = InputWindow(ev.key.windowID);
                if (!h) return;
                const WPARAM vk = VirtualKey(ev.key.keysym.sym);
                const bool alt = (ev.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
                const bool down = ev.type == SDL_KEYDOWN;
                std::uint32_t message = down ? WM_KEYDOWN : WM_KEYUP;
                if (alt || vk == VK_F10) message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
                // Repeat count 1, the scan code, the Alt context, previous state, transition.
                LPARAM l = 1 | ((ev.key.keysym.scancode & 0xFF) << 16);
                if (alt) l |= 1 << 29;
                if (!down || ev.key.repeat) l |= 1 << 30;
                if (!down) l |= static_cast<LPARAM>(1u << 31);
                post(Msg{h, message, vk, l});
                return;
            }
            case SDL_TEXTINPUT: {
                const WindowHandle h = InputWindow(ev.text.windowID);
                if (!h) return;
                // One WM_CHAR per character, carrying its code point.
                const std::string_view text(ev.text.text);
                for (std::size_t at = 0; at < text.size();) {
                    post(Msg{h, WM_CHAR, NextCodePoint(text, at), 1});
                }
                return;
            }
            case SDL_MOUSEMOTION: {
                // As on Windows, movements waiting together make one message at the
                // latest position: a pointer moved while a dialog held the program
                // does not replay its path afterwards.
                const WindowHandle h = InputWindow(ev.motion.windowID);
                if (!h) return;
                if (motionWindow_ && motionWindow_ != h) FlushMotion(post);
                motionWindow_ = h;
                motionX_ = ev.motion.x;
                motionY_ = ev.motion.y;
                return;
            }
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                FlushMotion(post);
                const WindowHandle h = InputWindow(ev.button.windowID);
                if (!h) return;
                const bool down = ev.type == SDL_MOUSEBUTTONDOWN;
                std::uint32_t message = 0;
                switch (ev.button.button) {
                    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
                    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
                    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
                    default: return;
                }
                post(Msg{h, message, MouseKeys(), MakePointParam(ev.button.x, ev.button.y)});
                return;
            }
            default:
                return;
        }
    }

    // Input over a black window is the saver window's, at the place it has relative
    // to that window, so that the first-position rule holds wherever the pointer is.
    void CoverInput(const XEvent& x, void (*post)(const Msg&)) {
        if (covers_->Owns(x.xany.window)) PointerInput(x, coverOwner_, post);
    }

    void PointerInput(const XEvent& x, WindowHandle target, void (*post)(const Msg&)) {
        auto it = windows_.find(target);
        if (it == windows_.end() || !it->second.sdl) return;
        int left = 0, top = 0;
        SDL_GetWindowPosition(it->second.sdl, &left, &top);
        switch (x.type) {
            case MotionNotify:
                if (motionWindow_ && motionWindow_ != target) FlushMotion(post);
                motionWindow_ = target;
                motionX_ = x.xmotion.x_root - left;
                motionY_ = x.xmotion.y_root - top;
                return;
            case ButtonPress:
            case ButtonRelease: {
                FlushMotion(post);
                const bool down = x.type == ButtonPress;
                std::uint32_t message = 0;
                switch (x.xbutton.button) {
                    case Button1: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
                    case Button3: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
                    case Button2: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
                    default: return;  // the wheel, as over the saver window
                }
                post(Msg{target, message, MouseKeys(),
                         MakePointParam(x.xbutton.x_root - left, x.xbutton.y_root - top)});
                return;
            }
            case KeyPress:
            case KeyRelease: {
                FlushMotion(post);
                XKeyEvent key = x.xkey;
                const WPARAM vk = KeysymVirtualKey(XLookupKeysym(&key, 0));
                const bool down = x.type == KeyPress;
                const bool alt = (key.state & Mod1Mask) != 0 || vk == VK_MENU;
                std::uint32_t message = down ? WM_KEYDOWN : WM_KEYUP;
                if (alt || vk == VK_F10) message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
                LPARAM l = 1 | ((key.keycode & 0xFF) << 16);
                if (alt) l |= 1 << 29;
                if (!down) l |= static_cast<LPARAM>(3u << 30);
                post(Msg{target, message, vk, l});
                return;
            }
            default:
                return;
        }
    }

    void FlushMotion(void (*post)(const Msg&)) {
        if (!motionWindow_) return;
        const WindowHandle h = std::exchange(motionWindow_, 0);
        auto it = windows_.find(h);
        if (it == windows_.end()) return;
        if ((h == coverOwner_ || h == grabbed_) && it->second.sdl) {
            // SDL reports a pointer outside its window (on another monitor, seen
            // through a grab's crossing events) at the window's edge: the position
            // is the pointer's own, wherever it is, so that the saver window and the
            // black windows agree on it.
            // Asked of the server: SDL's own idea of it misses a pointer that was
            // put somewhere (warped) rather than moved.
            int left = 0, top = 0, x = 0, y = 0, wx = 0, wy = 0;
            unsigned mask = 0;
            Window root = 0, child = 0;
            SDL_GetWindowPosition(it->second.sdl, &left, &top);
            if (XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &wx,
                              &wy, &mask)) {
                motionX_ = x - left;
                motionY_ = y - top;
            }
        }
        post(Msg{h, WM_SETCURSOR, h, 1 | (static_cast<LPARAM>(WM_MOUSEMOVE) << 16)});
        post(Msg{h, WM_MOUSEMOVE, MouseKeys(), MakePointParam(motionX_, motionY_)});
    }

    Display* display_;
    XFontStruct* font_ = nullptr;  // the boxes' text
    Colormap colormap_ = 0;
    int monitorEvents_;
    bool monitorsChanged_ = false;
    std::unique_ptr<MonitorCovers> covers_;
    WindowHandle coverOwner_ = 0;  // the window whose monitors are covered
    std::map<WindowHandle, Entry> windows_;
    WindowHandle grabbed_ = 0;  // holds the keyboard and pointer
    bool grabLostSaid_ = false;
    WindowHandle motionWindow_ = 0;
    int motionX_ = 0, motionY_ = 0;
};

}  // namespace

SDL_Window* SdlWindowOf(WindowHandle window) {
    auto* sdl = dynamic_cast<SdlWindowBackend*>(&Backend());
    return sdl ? sdl->SdlWindow(window) : nullptr;
}

std::unique_ptr<WindowBackend> CreateSdlWindowBackend() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    // The window manager closing our last window is a request to the window, not
    // the end of the program; only a termination signal is that.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A full-screen saver that loses the focus stays where it is: minimising it would
    // show the desktop.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        XCloseDisplay(display);
        return nullptr;
    }
    XSetErrorHandler(TolerateXError);
    // For every connection of the process: ours, SDL's and the GL driver's.
    XSetIOErrorHandler(EndWithTheDisplay);
    struct sigaction hangUp {};
    sigaction(SIGHUP, nullptr, &hangUp);
    if (hangUp.sa_handler == SIG_DFL) {
        hangUp.sa_handler = NoteHangUp;
        sigemptyset(&hangUp.sa_mask);
        hangUp.sa_flags = 0;
        sigaction(SIGHUP, &hangUp, nullptr);
    }
    return std::make_unique<SdlWindowBackend>(display);
}

}  // namespace platform
