// Window classes, windows, the message queue and timers, over a desktop backend.
#include "platform/window/window.h"
#include "platform/backends.h"

#include <time.h>

#include <array>
#include <vector>

namespace platform {

namespace {

struct ClassEntry {
    std::string name;
    WindowProc proc;
};

struct WindowEntry {
    WindowHandle handle = 0;
    WindowProc proc = nullptr;
    bool destroying = false;
    // An external window's own destruction; the backend has no part in it.
    void (*onDestroy)(WindowHandle) = nullptr;
    bool external = false;
};

struct TimerEntry {
    WindowHandle window;
    std::uintptr_t id;
    std::uint32_t period;
    std::uint32_t due;
};

// A fixed ring of posted messages, so that posting never allocates.
class MessageRing {
public:
    bool Push(const Msg& m) {
        if (count_ == ring_.size()) return false;
        ring_[(head_ + count_) % ring_.size()] = m;
        ++count_;
        return true;
    }
    bool Empty() const { return count_ == 0; }
    const Msg& Front() const { return ring_[head_]; }
    void Pop() {
        // A taken message leaves nothing behind: typed characters may be a password.
        ring_[head_] = Msg{};
        head_ = (head_ + 1) % ring_.size();
        --count_;
    }
    void Clear() { head_ = count_ = 0; }

private:
    std::array<Msg, 4096> ring_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

struct State {
    std::unique_ptr<WindowBackend> backend;
    std::vector<ClassEntry> classes;
    std::vector<WindowEntry> windows;
    std::vector<TimerEntry> timers;
    MessageRing queue;
    WindowHandle nextHandle = 1;
    bool quitPosted = false;
    int quitCode = 0;
    WindowHandle grabbed = 0;  // the window holding the keyboard and pointer
};

State& S() {
    static State state;
    return state;
}

WindowEntry* FindWindow(WindowHandle h) {
    for (WindowEntry& w : S().windows) {
        if (w.handle == h) return &w;
    }
    return nullptr;
}

void PostFromBackend(const Msg& m) {
    // Messages for windows that are gone are dropped, as the desktop may still
    // report events for a window while it is being destroyed.
    if (m.window != 0 && !FindWindow(m.window)) return;
    if (m.message == WM_DESTROY) {
        // The desktop destroyed the window (its parent went away).
        if (WindowEntry* w = FindWindow(m.window); w && !w->destroying) DestroyWindow(m.window);
        return;
    }
    S().queue.Push(m);
}

bool Elapsed(std::uint32_t now, std::uint32_t due) {
    return static_cast<std::int32_t>(now - due) >= 0;
}

// Due timers become WM_TIMER messages, one at a time, only on an empty queue.
bool TakeDueTimer(Msg* msg) {
    const std::uint32_t now = TimeGetTime();
    for (TimerEntry& t : S().timers) {
        if (Elapsed(now, t.due)) {
            t.due = now + t.period;
            *msg = Msg{t.window, WM_TIMER, t.id, 0};
            return true;
        }
    }
    return false;
}

}  // namespace

WindowBackend& Backend() {
    State& s = S();
    if (!s.backend) {
        s.backend = CreateDefaultWindowBackend();
    }
    return *s.backend;
}

void SetWindowBackend(std::unique_ptr<WindowBackend> backend) { S().backend = std::move(backend); }

bool RegisterWindowClass(const std::string& name, WindowProc proc) {
    if (!proc) return false;
    for (ClassEntry& c : S().classes) {
        if (c.name == name) return false;  // already registered, as Windows answers
    }
    S().classes.push_back(ClassEntry{name, proc});
    return true;
}

WindowHandle CreateWindow(const std::string& className, std::uint32_t style, int x, int y,
                          int width, int height, std::uint64_t parent) {
    State& s = S();
    WindowProc proc = nullptr;
    for (ClassEntry& c : s.classes) {
        if (c.name == className) proc = c.proc;
    }
    if (!proc) return 0;
    // A child window needs a parent.
    if ((style & WS_CHILD) && parent == 0) return 0;
    const WindowHandle handle = s.nextHandle++;
    if (!Backend().Create(handle, className, style, x, y, width, height, parent)) return 0;
    s.windows.push_back(WindowEntry{handle, proc, false});
    if (proc(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return 0;
    }
    return handle;
}

WindowHandle CreateExternalWindow(WindowProc proc, void (*onDestroy)(WindowHandle)) {
    if (!proc) return 0;
    State& s = S();
    const WindowHandle handle = s.nextHandle++;
    WindowEntry entry;
    entry.handle = handle;
    entry.proc = proc;
    entry.onDestroy = onDestroy;
    entry.external = true;
    s.windows.push_back(entry);
    return handle;
}

bool DestroyWindow(WindowHandle window) {
    WindowEntry* w = FindWindow(window);
    if (!w || w->destroying) return false;
    w->destroying = true;
    const WindowProc proc = w->proc;
    const bool external = w->external;
    void (*onDestroy)(WindowHandle) = w->onDestroy;
    proc(window, WM_DESTROY, 0, 0);
    if (S().grabbed == window) S().grabbed = 0;
    std::erase_if(S().timers, [&](const TimerEntry& t) { return t.window == window; });
    if (external) {
        if (onDestroy) onDestroy(window);
    } else {
        Backend().Destroy(window);
    }
    std::erase_if(S().windows, [&](const WindowEntry& e) { return e.handle == window; });
    return true;
}

bool IsWindow(WindowHandle window) { return FindWindow(window) != nullptr; }

bool IsWindowAlive(WindowHandle window) {
    return FindWindow(window) && Backend().Alive(window);
}

bool GetClientSize(WindowHandle window, int* width, int* height) {
    return FindWindow(window) && Backend().ClientSize(window, width, height);
}

LRESULT SendMessage(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    WindowEntry* w = FindWindow(window);
    return w ? w->proc(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProc(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) PostMessage(window, WM_CLOSE, 0, 0);
            return 0;
        case WM_SYSKEYDOWN:
            // Alt+F4 closes the window, as on Windows.
            if (wParam == 0x73) PostMessage(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        default:
            return 0;
    }
}

bool PostMessage(WindowHandle window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (window != 0 && !FindWindow(window)) return false;
    return S().queue.Push(Msg{window, message, wParam, lParam});
}

void PostQuitMessage(int exitCode) {
    S().quitPosted = true;
    S().quitCode = exitCode;
}

bool PeekMessage(Msg* msg, bool remove) {
    State& s = S();
    if (s.queue.Empty()) Backend().Pump(&PostFromBackend);
    if (!s.queue.Empty()) {
        *msg = s.queue.Front();
        if (remove) s.queue.Pop();
        return true;
    }
    if (s.quitPosted) {
        *msg = Msg{0, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0};
        if (remove) s.quitPosted = false;
        return true;
    }
    Msg timer;
    if (TakeDueTimer(&timer)) {
        if (!remove) {
            s.queue.Push(timer);
        }
        *msg = timer;
        return true;
    }
    return false;
}

LRESULT DispatchMessage(const Msg& msg) {
    if (msg.window == 0) return 0;
    return SendMessage(msg.window, msg.message, msg.wParam, msg.lParam);
}

void WaitMessage(int milliseconds) {
    State& s = S();
    if (!s.queue.Empty() || s.quitPosted) return;
    // Wake no later than the next timer.
    const std::uint32_t now = TimeGetTime();
    for (const TimerEntry& t : s.timers) {
        const auto left = static_cast<std::int32_t>(t.due - now);
        if (left < milliseconds) milliseconds = left < 0 ? 0 : left;
    }
    Backend().Wait(milliseconds);
}

void PumpMessages() {
    // Bounded, so that a window posting to itself cannot hold the other loop.
    for (int i = 0; i < 256; ++i) {
        Msg msg;
        if (!PeekMessage(&msg, true)) return;
        if (msg.message != WM_QUIT) DispatchMessage(msg);
    }
}

int MillisecondsToNextTimer() {
    const std::uint32_t now = TimeGetTime();
    int next = -1;
    for (const TimerEntry& t : S().timers) {
        const auto left = static_cast<std::int32_t>(t.due - now);
        const int ms = left < 0 ? 0 : left;
        if (next < 0 || ms < next) next = ms;
    }
    return next;
}

bool SetTimer(WindowHandle window, std::uintptr_t id, std::uint32_t milliseconds) {
    if (!FindWindow(window)) return false;
    if (milliseconds < kMinimumTimerPeriod) milliseconds = kMinimumTimerPeriod;
    const std::uint32_t due = TimeGetTime() + milliseconds;
    for (TimerEntry& t : S().timers) {
        if (t.window == window && t.id == id) {
            t.period = milliseconds;
            t.due = due;
            return true;
        }
    }
    S().timers.push_back(TimerEntry{window, id, milliseconds, due});
    return true;
}

bool KillTimer(WindowHandle window, std::uintptr_t id) {
    return std::erase_if(S().timers, [&](const TimerEntry& t) {
               return t.window == window && t.id == id;
           }) > 0;
}

bool WindowClassExists(const std::string& className) { return Backend().ClassExists(className); }

bool GetForeignWindowSize(std::uint64_t id, int* width, int* height) {
    return Backend().ForeignWindowSize(id, width, height);
}

std::uint64_t GetDesktopWindowId() { return Backend().DesktopWindowId(); }

void FocusWindow(WindowHandle window) {
    if (FindWindow(window)) Backend().Focus(window);
}

bool GrabInput(WindowHandle window, bool grab, std::uint32_t patienceMilliseconds) {
    State& s = S();
    if (!FindWindow(window)) return !grab;
    if (!grab) {
        Backend().Grab(window, false);
        if (s.grabbed == window) s.grabbed = 0;
        return true;
    }
    const std::uint32_t start = TimeGetTime();
    for (;;) {
        if (Backend().Grab(window, true)) {
            s.grabbed = window;
            return true;
        }
        // Another program holds them (a menu, another lock): it may let go soon. The
        // clock counts whole milliseconds, so only a count past the patience is sure
        // to have waited all of it.
        if (patienceMilliseconds == 0 || TimeGetTime() - start > patienceMilliseconds) return false;
        timespec pause{0, 20 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

WindowHandle InputGrabWindow() { return S().grabbed; }

void ShowCursor(bool visible) { Backend().SetCursorVisible(visible); }

bool CoverEveryMonitor(WindowHandle window) {
    return FindWindow(window) && Backend().CoverMonitors(window);
}

std::size_t MonitorCoverCount() { return Backend().CoverCount(); }

bool GetPrimaryMonitor(int* x, int* y, int* width, int* height) {
    return Backend().PrimaryMonitor(x, y, width, height);
}

void SetCursorPos(int x, int y) { Backend().SetCursorPosition(x, y); }

std::uint64_t NativeWindowId(WindowHandle window) {
    return FindWindow(window) ? Backend().NativeId(window) : 0;
}

void ShowPromptBox(WindowHandle window, const std::string& title, const std::string& field) {
    if (FindWindow(window)) Backend().ShowBox(window, title, field);
}

void HidePromptBox(WindowHandle window) {
    if (FindWindow(window)) Backend().HideBox(window);
}

std::uint32_t TimeGetTime() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

std::int64_t MonotonicMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void ResetWindowSystem() {
    State& s = S();
    while (!s.windows.empty()) DestroyWindow(s.windows.back().handle);
    s.classes.clear();
    s.timers.clear();
    s.queue.Clear();
    s.quitPosted = false;
    s.quitCode = 0;
    s.grabbed = 0;
}

}  // namespace platform
