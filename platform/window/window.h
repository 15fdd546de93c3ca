// Windows and window messages. Desktop events, timers and sound notices become
// window messages with their Windows numbers, posted to one queue that the program's
// loop peeks; a window procedure handles them and never sees the desktop library.
// The desktop itself is a backend: SDL on X11 for the program, a null one for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

using WindowHandle = std::uint32_t;  // 0 is no window
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WindowProc = LRESULT (*)(WindowHandle, std::uint32_t, WPARAM, LPARAM);

struct Msg {
    WindowHandle window = 0;
    std::uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Message numbers, as Windows has them.
inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_MOVE = 0x0003;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_ACTIVATEAPP = 0x001C;
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t MM_MCINOTIFY = 0x03B9;

inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_KEYMENU = 0xF100;
inline constexpr WPARAM SIZE_RESTORED = 0;

// Mouse-message key flags.
inline constexpr WPARAM MK_LBUTTON = 0x01;
inline constexpr WPARAM MK_RBUTTON = 0x02;
inline constexpr WPARAM MK_SHIFT = 0x04;
inline constexpr WPARAM MK_CONTROL = 0x08;
inline constexpr WPARAM MK_MBUTTON = 0x10;

// Virtual-key codes used by the program; letters and digits are their ASCII capitals.
inline constexpr WPARAM VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                        VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14,
                        VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
                        VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
                        VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
                        VK_LWIN = 0x5B, VK_F1 = 0x70, VK_F10 = 0x79, VK_F12 = 0x7B,
                        VK_OEM_UNKNOWN = 0xFF;

// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
// A style bit of the program's own (one of the class-specific bits on Windows): the
// window never draws with GL itself. The desktop paints it black, and windows of other
// programs may draw inside it, below what it shows itself (ShowPromptBox).
inline constexpr std::uint32_t kStyleBlackNoGl = 0x00000001u;

inline LPARAM MakePointParam(int x, int y) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(x) & 0xFFFF) |
                               ((static_cast<std::uint32_t>(y) & 0xFFFF) << 16));
}
// The signed 16-bit halves of a packed position.
inline int PointX(LPARAM p) { return static_cast<std::int16_t>(p & 0xFFFF); }
inline int PointY(LPARAM p) { return static_cast<std::int16_t>((p >> 16) & 0xFFFF); }

// The desktop side of windows: makes and destroys native windows and turns desktop
// events into messages.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    // parent: a native window id of the desktop (an X11 window id on Linux, an HWND
    // on Windows) or 0.
    virtual bool Create(WindowHandle window, const std::string& className, std::uint32_t style,
                        int x, int y, int width, int height, std::uint64_t parent) = 0;
    virtual void Destroy(WindowHandle window) = 0;
    // Translates every waiting desktop event, handing each message to post.
    virtual void Pump(void (*post)(const Msg&)) = 0;
    // Sleeps until a desktop event arrives or the time has passed.
    virtual void Wait(int milliseconds) = 0;
    // Whether a window of that class exists anywhere on the desktop.
    virtual bool ClassExists(const std::string& className) = 0;
    virtual void SetCursorVisible(bool visible) = 0;
    virtual void SetCursorPosition(int x, int y) = 0;
    virtual bool ClientSize(WindowHandle window, int* width, int* height) = 0;
    // Raises the window and gives it the keyboard.
    virtual void Focus(WindowHandle window) = 0;
    // The size of another program's window (a native id; 0 for the desktop's own).
    virtual bool ForeignWindowSize(std::uint64_t id, int* width, int* height) = 0;
    // The desktop's own window (the X screen's root; GetDesktopWindow on Windows).
    virtual std::uint64_t DesktopWindowId() = 0;
    // Whether the desktop still has the window (a child dies with its parent).
    virtual bool Alive(WindowHandle window) = 0;
    // Takes (or gives back) the keyboard and pointer for the whole desktop. True when
    // the window now holds both (or, giving back, always); a backend without a
    // desktop has nothing to take them from.
    virtual bool Grab(WindowHandle, bool) { return true; }
    // Full screen on every monitor: black windows over all but the primary, which
    // follow the monitors as they come and go, their input posted to the window.
    // False where the desktop has no monitors to cover.
    virtual bool CoverMonitors(WindowHandle) { return false; }
    // How many black windows there are now.
    virtual std::size_t CoverCount() { return 0; }
    // Where the primary monitor stands on the desktop.
    virtual bool PrimaryMonitor(int*, int*, int*, int*) { return false; }
    // The desktop's own id of one of our windows (an X11 window id), 0 without one.
    virtual std::uint64_t NativeId(WindowHandle) { return 0; }
    // A box in the middle of the window, above every window inside it, holding a title
    // and one line of text; shown again with new text, or hidden.
    virtual void ShowBox(WindowHandle, const std::string&, const std::string&) {}
    virtual void HideBox(WindowHandle) {}
};

// SDL on X11; nothing when SDL's video cannot start.
std::unique_ptr<WindowBackend> CreateSdlWindowBackend();
// No desktop: windows exist only as handles, events come from tests.
std::unique_ptr<WindowBackend> CreateNullWindowBackend();
// A desktop that cannot be reached: no window can be made, so every run mode that
// needs one says so and ends.
std::unique_ptr<WindowBackend> CreateNoDesktopWindowBackend();

// The null backend with a way in for a test's desktop events: Deliver may be called
// from any thread, and a Wait in progress wakes at once, as a desktop event wakes
// the SDL backend's.
class TestDesktop : public WindowBackend {
public:
    virtual void Deliver(const Msg& msg) = 0;
};
std::unique_ptr<TestDesktop> CreateTestDesktop();

// The backend in use; the target's own (platform/backends.h) is made on first use
// unless one was set.
WindowBackend& Backend();
void SetWindowBackend(std::unique_ptr<WindowBackend> backend);

// Window classes and windows, as the program knows them.
bool RegisterWindowClass(const std::string& name, WindowProc proc);
WindowHandle CreateWindow(const std::string& className, std::uint32_t style, int x, int y,
                          int width, int height, std::uint64_t parent);
bool DestroyWindow(WindowHandle window);
bool IsWindow(WindowHandle window);
bool GetClientSize(WindowHandle window, int* width, int* height);
// Whether the window is ours and the desktop still has it.
bool IsWindowAlive(WindowHandle window);

LRESULT SendMessage(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProc(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
// False when the queue is full.
bool PostMessage(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Looks at the queue after taking in the desktop's events and due timers; with remove
// the message is taken off. WM_QUIT comes once the posted messages are gone.
bool PeekMessage(Msg* msg, bool remove);
LRESULT DispatchMessage(const Msg& msg);
// Sleeps until a message may be waiting, at most the given time.
void WaitMessage(int milliseconds);

// A window whose desktop side another service makes (a dialog). It takes part in
// messages and timers like any window, but the window backend is not asked for it;
// destroying it sends WM_DESTROY, then calls onDestroy.
WindowHandle CreateExternalWindow(WindowProc proc, void (*onDestroy)(WindowHandle));
// Takes the waiting messages and due timers and dispatches them, for a loop that is
// not the program's own (a dialog's). WM_QUIT is taken and dropped.
void PumpMessages();
// Milliseconds until the next timer is due (0 when one is due), -1 when none runs.
int MillisecondsToNextTimer();

// A window timer: WM_TIMER with the id every period, when nothing else is waiting.
// Setting a running id again starts it anew. As on Windows, a period shorter than
// kMinimumTimerPeriod is taken as that.
inline constexpr std::uint32_t kMinimumTimerPeriod = 10;
bool SetTimer(WindowHandle window, std::uintptr_t id, std::uint32_t milliseconds);
bool KillTimer(WindowHandle window, std::uintptr_t id);

// Whether a window of the class exists on the desktop (ours or another program's).
bool WindowClassExists(const std::string& className);

// The size of a desktop window that is not ours, by its native id.
bool GetForeignWindowSize(std::uint64_t id, int* width, int* height);
// The native id of the desktop's own window (the X screen's root), that a host's
// "-root" names; 0 without a desktop.
std::uint64_t GetDesktopWindowId();
// Raises the window and gives it the keyboard, as after a dialog over it.
void FocusWindow(WindowHandle window);
// While a password is required the saver's window holds the keyboard and pointer,
// so that no other program gets input. Taking them is tried again for up to the
// patience given while another program holds them; true when the window holds both.
// Giving them back always succeeds. While a window holds them the backend takes them
// back by itself should the desktop drop them.
bool GrabInput(WindowHandle window, bool grab, std::uint32_t patienceMilliseconds = 0);
// The window that holds the keyboard and pointer, or 0.
WindowHandle InputGrabWindow();
void ShowCursor(bool visible);
// The window, a popup standing on the primary monitor, covers the desktop with every
// other monitor: each of those gets a black window of its own, made once and never
// drawn again, whose input (keys, buttons, pointer motion) arrives as the window's,
// at positions relative to it. Monitors that appear get one within a frame or so,
// ones that go away lose theirs; the black windows go with the window. False without
// a desktop.
bool CoverEveryMonitor(WindowHandle window);
// The number of black windows there are now.
std::size_t MonitorCoverCount();
// The primary monitor's place and size on the desktop (the whole screen when the
// desktop reports no monitors); false without a desktop.
bool GetPrimaryMonitor(int* x, int* y, int* width, int* height);
void SetCursorPos(int x, int y);
// The desktop's own id of one of our windows (an X11 window id on Linux, an HWND on
// Windows), for another program to draw inside it; 0 when it has none.
std::uint64_t NativeWindowId(WindowHandle window);
// A box drawn by the desktop itself in the middle of a kStyleBlackNoGl window, above
// the windows other programs draw inside it: a title over a field of text. Showing it
// again changes its text; the desktop keeps it painted. Nothing without a desktop.
void ShowPromptBox(WindowHandle window, const std::string& title, const std::string& field);
void HidePromptBox(WindowHandle window);

// Milliseconds from a monotonic clock.
std::uint32_t TimeGetTime();
// Microseconds from the same clock, for timing within a frame.
std::int64_t MonotonicMicroseconds();

// Forgets every window, class, timer and message (tests).
void ResetWindowSystem();

}  // namespace platform
