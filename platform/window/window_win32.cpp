// The window backend on Win32. Each of our windows is a real window of a real window
// class; its window procedure turns what Windows sends into our messages with the
// same numbers and parameters, which reach the program's queue when the backend next
// takes in events. Full screen covers every monitor: black popups of our own on all
// but the primary, whose input is the saver window's.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/monitors/monitor_layout.h"
#include "platform/monitors/monitors_win32.h"
#include "platform/window/window.h"
#include "platform/window/window_win32.h"
#include "platform/files/wide_path_win32.h"
#include "platform/win32_api.h"

namespace platform {

namespace {

constexpr wchar_t kCoverClass[] = L"orbsaver monitor cover";

std::wstring Widen(const std::string& text) { return WidePath(text); }

bool IsMouseMessage(UINT message) {
    switch (message) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            return true;
        default:
            return false;
    }
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

// The mouse-message flags our messages carry.
WPARAM MouseKeys(WPARAM flags) {
    return flags & (MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON);
}

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CoverProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class Win32WindowBackend;
// The backend the window procedures hand their messages to; one at a time.
Win32WindowBackend* g_backend = nullptr;

class Win32WindowBackend : public WindowBackend {
public:
    Win32WindowBackend() {
        g_backend = this;
        pending_.reserve(64);
    }

    ~Win32WindowBackend() override {
        RemoveCovers();
        while (!windows_.empty()) Destroy(windows_.begin()->first);
        if (g_backend == this) g_backend = nullptr;
    }

    bool Create(WindowHandle handle, const std::string& className, std::uint32_t style, int x,
                int y, int width, int height, std::uint64_t parent) override {
        const std::wstring name = Widen(className);
        if (name.empty() || !RegisterOnce(name, WindowProcedure)) return false;
        HWND parentWindow = nullptr;
        DWORD exStyle = 0;
        DWORD winStyle = style & (WS_VISIBLE | WS_POPUP | WS_CHILD);
        if (style & WS_CHILD) {
            parentWindow = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(parent));
            if (!parentWindow || !::IsWindow(parentWindow)) return false;
            // The preview fills its parent's client area.
            RECT r{};
            if (GetClientRect(parentWindow, &r) && r.right > 0 && r.bottom > 0) {
                x = 0;
                y = 0;
                width = r.right;
                height = r.bottom;
            }
            winStyle |= WS_CLIPSIBLINGS;
        } else {
            // Full screen stands above every other window.
            exStyle = WS_EX_TOPMOST;
            winStyle |= WS_POPUP;
        }
        winStyle |= WS_CLIPCHILDREN;
        creating_ = true;
        HWND hwnd = CreateWindowExW(exStyle, name.c_str(), L"", winStyle, x, y, width, height,
                                    parentWindow, nullptr, GetModuleHandleW(nullptr),
                                    reinterpret_cast<void*>(static_cast<std::uintptr_t>(handle)));
        creating_ = false;
        if (!hwnd) return false;
        windows_[handle] = Entry{hwnd, false, false, (style & WS_CHILD) != 0};
        return true;
    }

    void Destroy(WindowHandle handle) override {
        if (handle == coverOwner_) RemoveCovers();
        auto it = windows_.find(handle);
        if (it == windows_.end()) return;
        Entry& e = it->second;
        if (!e.gone && ::IsWindow(e.hwnd)) {
            e.destroying = true;
            ::DestroyWindow(e.hwnd);
        }
        windows_.erase(handle);
        std::erase_if(pending_, [&](const Msg& m) { return m.window == handle; });
    }

    void Pump(void (*post)(const Msg&)) override {
        MSG msg;
        // Bounded, so that a flood of the desktop's messages cannot hold the program.
        for (int i = 0; i < 512 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (msg.message == WM_QUIT) continue;  // the program's quit is its own
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // A child whose parent went in another process may go without a word to us.
        for (auto& [handle, e] : windows_) {
            if (e.child && !e.gone && !e.destroying && !::IsWindow(e.hwnd)) {
                e.gone = true;
                Post(handle, WM_DESTROY, 0, 0);
            }
        }
        if (monitorsChanged_) {
            monitorsChanged_ = false;
            UpdateCovers();
        }
        // Handing on may destroy a window; the queue drops what is left for it.
        std::vector<Msg> taken;
        taken.swap(pending_);
        for (const Msg& m : taken) post(m);
    }

    void Wait(int milliseconds) override {
        if (!pending_.empty()) return;
        MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds < 0 ? 0 : static_cast<DWORD>(milliseconds),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }

    bool ClassExists(const std::string& className) override {
        const std::wstring name = Widen(className);
        return !name.empty() && FindWindowW(name.c_str(), nullptr) != nullptr;
    }

    void SetCursorVisible(bool visible) override {
        cursorVisible_ = visible;
        // Windows counts shows and hides, and shows the cursor while the count is not
        // negative. The count is brought to 0 or -1 exactly, so that however often
        // either is asked (every pointer motion asks), the other undoes it at once.
        const int wanted = visible ? 0 : -1;
        int count = ::ShowCursor(visible ? TRUE : FALSE);
        for (int i = 0; i < 1024 && count != wanted; ++i) {
            count = ::ShowCursor(count < wanted ? TRUE : FALSE);
        }
        ::SetCursor(visible ? LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)) : nullptr);
    }

    void SetCursorPosition(int x, int y) override { ::SetCursorPos(x, y); }

    bool ClientSize(WindowHandle handle, int* width, int* height) override {
        const HWND hwnd = Live(handle);
        RECT r{};
        if (!hwnd || !GetClientRect(hwnd, &r)) return false;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return true;
    }

    void Focus(WindowHandle handle) override {
        const HWND hwnd = Live(handle);
        if (!hwnd) return;
        if (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) {
            ::SetFocus(hwnd);
            return;
        }
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(hwnd);
        ::SetFocus(hwnd);
    }

    bool ForeignWindowSize(std::uint64_t id, int* width, int* height) override {
        const HWND hwnd =
            id == 0 ? GetDesktopWindow() : reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id));
        // A window handle is 32 bits wide, on 64-bit Windows too.
        RECT r{};
        if (id > 0xFFFFFFFFu || !::IsWindow(hwnd) || !GetClientRect(hwnd, &r)) return false;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return true;
    }

    std::uint64_t DesktopWindowId() override {
        return reinterpret_cast<std::uintptr_t>(GetDesktopWindow());
    }

    bool Alive(WindowHandle handle) override { return Live(handle) != nullptr; }

    // Windows locks the session itself (the user's "On resume, display logon screen"),
    // and no program can hold the keyboard and pointer of the whole desktop.
    bool Grab(WindowHandle, bool grab) override { return !grab; }

    bool CoverMonitors(WindowHandle handle) override {
        const HWND owner = Live(handle);
        if (!owner || (GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)) return false;
        if (!RegisterOnce(kCoverClass, CoverProcedure)) return false;
        RemoveCovers();
        coverOwner_ = handle;
        UpdateCovers();
        return true;
    }

    std::size_t CoverCount() override { return covers_.size(); }

    bool PrimaryMonitor(int* x, int* y, int* width, int* height) override {
        ScreenRect r;
        if (!PrimaryMonitorRect(&r)) return false;
        *x = r.x;
        *y = r.y;
        *width = r.width;
        *height = r.height;
        return true;
    }

    HWND WindowOf(WindowHandle handle) const {
        auto it = windows_.find(handle);
        return it == windows_.end() || it->second.gone ? nullptr : it->second.hwnd;
    }

    // What a window of ours was sent; the answer Windows gets back.
    LRESULT Handle(HWND hwnd, WindowHandle h, UINT message, WPARAM wParam, LPARAM lParam) {
        if (creating_ && message != WM_DESTROY && message != WM_NCDESTROY)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        // A window of a backend that was replaced, still being taken down.
        auto it = windows_.find(h);
        if (it == windows_.end() || it->second.hwnd != hwnd)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_MOUSEMOVE && !PointerMoved(hwnd, lParam)) return 0;
        if (IsKeyMessage(message) || IsMouseMessage(message)) {
            Post(h, message, IsMouseMessage(message) ? MouseKeys(wParam) : wParam, lParam);
            return 0;
        }
        switch (message) {
            case WM_CHAR:
                Character(h, wParam, lParam);
                return 0;
            case WM_SYSCHAR:
                return 0;  // no menu to look the letter up in, and no beep
            case WM_SETCURSOR:
                if (LOWORD(lParam) != HTCLIENT) return DefWindowProcW(hwnd, message, wParam, lParam);
                Post(h, WM_SETCURSOR, HandleOf(reinterpret_cast<HWND>(wParam), h), lParam);
                ::SetCursor(cursorVisible_ ? LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW))
                                           : nullptr);
                return TRUE;
            case WM_PAINT: {
                PAINTSTRUCT ps;
                BeginPaint(hwnd, &ps);
                EndPaint(hwnd, &ps);
                Post(h, WM_PAINT, 0, 0);
                return 0;
            }
            case WM_MOVE:
                Post(h, WM_MOVE, 0, lParam);
                return 0;
            case WM_SIZE:
                Post(h, WM_SIZE, wParam, lParam);
                return 0;
            case WM_ACTIVATEAPP:
                Post(h, WM_ACTIVATEAPP, wParam ? 1 : 0, 0);
                return 0;
            case WM_CLOSE:
                // The program's own default handling destroys the window.
                Post(h, WM_CLOSE, 0, 0);
                return 0;
            case WM_QUERYENDSESSION:
                return TRUE;
            case WM_ENDSESSION:
                // The session ends: the process may be ended as soon as this returns,
                // so the desktop's mode comes back now; the window closes as for any
                // other close, should there be time.
                if (wParam) {
                    RestoreDesktopMode();
                    Post(h, WM_CLOSE, 0, 0);
                }
                return 0;
            case WM_SYSCOMMAND:
                // Every system command (the close, the screen saver's own start, the
                // menu key) is the program's to handle.
                Post(h, WM_SYSCOMMAND, wParam, lParam);
                return 0;
            case MM_MCINOTIFY:
                Post(h, MM_MCINOTIFY, wParam, lParam);
                return 0;
            case WM_DISPLAYCHANGE:
                monitorsChanged_ = true;
                // The pointer may be moved onto the new screen, at once or a little
                // later; that is no movement of the user's.
                GetCursorPos(&lastPointer_);
                settleUntil_ = GetTickCount() + kDisplayChangeSettleMilliseconds;
                settling_ = true;
                return DefWindowProcW(hwnd, message, wParam, lParam);
            case WM_DESTROY:
            case WM_NCDESTROY:
                // Destroyed by Windows, not by us: a preview whose parent went.
                if (!it->second.destroying && !it->second.gone) {
                    it->second.gone = true;
                    Post(h, WM_DESTROY, 0, 0);
                }
                return DefWindowProcW(hwnd, message, wParam, lParam);
            default:
                return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }

    // What a black window was sent: its input is the saver window's, at the position
    // it has relative to that window.
    LRESULT HandleCover(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        const HWND owner = WindowOf(coverOwner_);
        if (!owner) return DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_MOUSEMOVE && !PointerMoved(hwnd, lParam)) return 0;
        if (IsMouseMessage(message)) {
            POINT p{PointX(lParam), PointY(lParam)};
            ClientToScreen(hwnd, &p);
            ScreenToClient(owner, &p);
            Post(coverOwner_, message, MouseKeys(wParam), MakePointParam(p.x, p.y));
            return 0;
        }
        if (IsKeyMessage(message)) {
            Post(coverOwner_, message, wParam, lParam);
            return 0;
        }
        switch (message) {
            case WM_CHAR:
                Character(coverOwner_, wParam, lParam);
                return 0;
            case WM_SYSCHAR:
                return 0;
            case WM_SETCURSOR:
                if (LOWORD(lParam) != HTCLIENT) break;
                Post(coverOwner_, WM_SETCURSOR, coverOwner_, lParam);
                ::SetCursor(cursorVisible_ ? LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW))
                                           : nullptr);
                return TRUE;
            case WM_MOUSEACTIVATE:
                return MA_NOACTIVATE;  // the saver window keeps the focus
            case WM_CLOSE:
            case WM_SYSCOMMAND:
                return 0;  // a black window goes only with its saver window
            case WM_DISPLAYCHANGE:
                monitorsChanged_ = true;
                // The pointer may be moved onto the new screen, at once or a little
                // later; that is no movement of the user's.
                GetCursorPos(&lastPointer_);
                settleUntil_ = GetTickCount() + kDisplayChangeSettleMilliseconds;
                settling_ = true;
                break;
            default:
                break;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

private:
    struct Entry {
        HWND hwnd = nullptr;
        bool destroying = false;  // we destroy it now
        bool gone = false;        // Windows destroyed it
        bool child = false;
    };
    struct Cover {
        ScreenRect rect;
        HWND hwnd;
    };

    HWND Live(WindowHandle handle) const {
        const HWND hwnd = WindowOf(handle);
        return hwnd && ::IsWindow(hwnd) ? hwnd : nullptr;
    }

    WindowHandle HandleOf(HWND hwnd, WindowHandle otherwise) const {
        for (const auto& [handle, e] : windows_) {
            if (e.hwnd == hwnd && !e.gone) return handle;
        }
        return otherwise;
    }

    void Post(WindowHandle h, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        if (h) pending_.push_back(Msg{h, message, wParam, lParam});
    }

    // One WM_CHAR per character, carrying its code point: the two halves of a UTF-16
    // pair make one.
    void Character(WindowHandle h, WPARAM wParam, LPARAM lParam) {
        const auto unit = static_cast<std::uint32_t>(wParam & 0xFFFF);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            highSurrogate_ = unit;
            return;
        }
        std::uint32_t codePoint = unit;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (!highSurrogate_) return;  // half a pair is no character
            codePoint = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
        }
        highSurrogate_ = 0;
        Post(h, WM_CHAR, codePoint, lParam);
    }

    static bool RegisterOnce(const std::wstring& name, WNDPROC procedure) {
        static std::set<std::wstring> registered;
        if (registered.count(name)) return true;
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        // A device context of its own, as OpenGL wants it.
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = name.c_str();
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
        registered.insert(name);
        return true;
    }

    // Makes the black windows match the monitors there are now: a window whose
    // rectangle is still wanted stays as it is.
    void UpdateCovers() {
        const HWND owner = WindowOf(coverOwner_);
        if (!owner) return;
        const MonitorLayout layout = CurrentWin32MonitorLayout();
        std::vector<ScreenRect> existing;
        for (const Cover& c : covers_) existing.push_back(c.rect);
        const CoverChanges changes = ChangeCovers(existing, layout.black);
        for (auto i = changes.destroy.rbegin(); i != changes.destroy.rend(); ++i) {
            ::DestroyWindow(covers_[*i].hwnd);
            covers_.erase(covers_.begin() + static_cast<std::ptrdiff_t>(*i));
        }
        for (const ScreenRect& r : changes.create) {
            HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCoverClass, L"", WS_POPUP,
                                        r.x, r.y, r.width, r.height, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
            if (!hwnd) continue;
            ShowWindow(hwnd, SW_SHOWNOACTIVATE);
            covers_.push_back(Cover{r, hwnd});
        }
        // The saver window stands above a black window under it (a mirror of the
        // primary that shows more than the primary's switched mode).
        SetWindowPos(owner, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    void RemoveCovers() {
        for (const Cover& c : covers_) ::DestroyWindow(c.hwnd);
        covers_.clear();
        coverOwner_ = 0;
    }

    std::map<WindowHandle, Entry> windows_;
    std::vector<Msg> pending_;
    std::vector<Cover> covers_;
    WindowHandle coverOwner_ = 0;
    bool creating_ = false;
    // Windows sends WM_MOUSEMOVE when a window appears, moves or changes under a
    // pointer that stays still (a display mode switch does all three): only a move of
    // the pointer on the screen is posted as one.
    bool PointerMoved(HWND hwnd, LPARAM lParam) {
        POINT p{PointX(lParam), PointY(lParam)};
        ClientToScreen(hwnd, &p);
        if (settling_ && static_cast<LONG>(GetTickCount() - settleUntil_) < 0) {
            lastPointer_ = p;
            return false;
        }
        settling_ = false;
        if (p.x == lastPointer_.x && p.y == lastPointer_.y) return false;
        lastPointer_ = p;
        return true;
    }
    POINT lastPointer_{-100000, -100000};
    // After the display's mode changes, Windows (and Wine) put the pointer where the new
    // screen has room for it, with moves of their own, for up to about a second.
    static constexpr DWORD kDisplayChangeSettleMilliseconds = 1500;
    DWORD settleUntil_ = 0;
    bool settling_ = false;
    bool monitorsChanged_ = false;
    bool cursorVisible_ = true;
    std::uint32_t highSurrogate_ = 0;
};

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // Our handle came as the creation parameter.
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    const auto handle = static_cast<WindowHandle>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!g_backend || handle == 0) return DefWindowProcW(hwnd, message, wParam, lParam);
    return g_backend->Handle(hwnd, handle, message, wParam, lParam);
}

LRESULT CALLBACK CoverProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_backend) return DefWindowProcW(hwnd, message, wParam, lParam);
    return g_backend->HandleCover(hwnd, message, wParam, lParam);
}

}  // namespace

HWND__* Win32WindowOf(WindowHandle window) {
    auto* backend = dynamic_cast<Win32WindowBackend*>(&Backend());
    return backend ? backend->WindowOf(window) : nullptr;
}

namespace {

// Full screen fills the monitor's real pixels, and a preview or dialog is not
// stretched by the system: the program is per-monitor DPI aware (version 2 where
// Windows has it, from Windows 10 1703). Set before the first window is made.
void BecomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    const auto set = user ? reinterpret_cast<SetContext>(reinterpret_cast<void*>(
                                GetProcAddress(user, "SetProcessDpiAwarenessContext")))
                          : nullptr;
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (set && set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
    SetProcessDPIAware();
}

}  // namespace

std::unique_ptr<WindowBackend> CreateWin32WindowBackend() {
    static const bool aware = (BecomeDpiAware(), true);
    (void)aware;
    return std::make_unique<Win32WindowBackend>();
}

}  // namespace platform
