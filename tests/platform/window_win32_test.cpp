// The Win32 window backend with real windows: what Windows sends a window arrives as
// our message with the same number and parameters, a preview inside another
// program's window fills it and goes with it, the monitors, and the WGL surface.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gl_surface/gl_surface.h"
#include "platform/monitors/monitors_win32.h"
#include "platform/window/window.h"
#include "platform/window/window_win32.h"
#include "platform/win32_api.h"

#include <GL/gl.h>

using platform::Msg;
using platform::WindowHandle;

namespace {

std::vector<Msg> g_got;

platform::LRESULT KeepingProc(WindowHandle w, std::uint32_t m, platform::WPARAM wp,
                              platform::LPARAM lp) {
    g_got.push_back(Msg{w, m, wp, lp});
    return platform::DefWindowProc(w, m, wp, lp);
}

class Win32Windows : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetWindowSystem();
        platform::SetWindowBackend(platform::CreateWin32WindowBackend());
        g_got.clear();
        ASSERT_TRUE(platform::RegisterWindowClass("Win32 test", KeepingProc));
    }
    void TearDown() override {
        platform::ResetWindowSystem();
        platform::SetWindowBackend(platform::CreateNullWindowBackend());
    }

    // Takes in and dispatches everything there is now.
    void Drain() {
        Msg m;
        for (int i = 0; i < 1000 && platform::PeekMessage(&m, true); ++i) {
            if (m.message != WM_QUIT) platform::DispatchMessage(m);
        }
    }

    // The messages of that number the window procedure got.
    std::vector<Msg> Got(std::uint32_t message) {
        std::vector<Msg> found;
        for (const Msg& m : g_got) {
            if (m.message == message) found.push_back(m);
        }
        return found;
    }

    // Where this thread's black windows stand.
    static std::vector<platform::ScreenRect> CoverRects() {
        std::vector<platform::ScreenRect> rects;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND hwnd, LPARAM data) -> BOOL {
                wchar_t name[64] = {};
                GetClassNameW(hwnd, name, 64);
                RECT r{};
                if (std::wstring(name) == L"orbsaver monitor cover" && GetWindowRect(hwnd, &r)) {
                    reinterpret_cast<std::vector<platform::ScreenRect>*>(data)->push_back(
                        platform::ScreenRect{r.left, r.top, r.right - r.left, r.bottom - r.top});
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&rects));
        return rects;
    }

    WindowHandle Popup(int width = 320, int height = 240) {
        return platform::CreateWindow("Win32 test", WS_POPUP | WS_VISIBLE, 0, 0, width, height, 0);
    }
};

}  // namespace

TEST_F(Win32Windows, WhatWindowsSendsArrivesWithItsNumberAndParameters) {
    const WindowHandle w = Popup();
    ASSERT_NE(w, 0u);
    HWND hwnd = platform::Win32WindowOf(w);
    ASSERT_NE(hwnd, nullptr);
    Drain();
    g_got.clear();
    const LPARAM keyBits = 1 | (0x1E << 16);
    PostMessageW(hwnd, WM_KEYDOWN, 'A', keyBits);
    PostMessageW(hwnd, WM_SYSKEYUP, VK_F10, keyBits | (3 << 30));
    PostMessageW(hwnd, WM_RBUTTONDOWN, MK_RBUTTON | MK_SHIFT, MAKELPARAM(12, 34));
    PostMessageW(hwnd, MM_MCINOTIFY, 1, 77);
    SendMessageW(hwnd, WM_ACTIVATEAPP, 5, 1234);  // any non-zero is "active"
    Drain();
    ASSERT_EQ(Got(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(Got(WM_KEYDOWN)[0].wParam, 'A');
    EXPECT_EQ(Got(WM_KEYDOWN)[0].lParam, keyBits);
    EXPECT_EQ(Got(WM_KEYDOWN)[0].window, w);
    ASSERT_EQ(Got(WM_SYSKEYUP).size(), 1u);
    EXPECT_EQ(Got(WM_SYSKEYUP)[0].wParam, VK_F10);
    ASSERT_EQ(Got(WM_RBUTTONDOWN).size(), 1u);
    EXPECT_EQ(Got(WM_RBUTTONDOWN)[0].wParam, static_cast<WPARAM>(MK_RBUTTON | MK_SHIFT));
    EXPECT_EQ(platform::PointX(Got(WM_RBUTTONDOWN)[0].lParam), 12);
    EXPECT_EQ(platform::PointY(Got(WM_RBUTTONDOWN)[0].lParam), 34);
    ASSERT_EQ(Got(MM_MCINOTIFY).size(), 1u);
    EXPECT_EQ(Got(MM_MCINOTIFY)[0].wParam, 1u);
    EXPECT_EQ(Got(MM_MCINOTIFY)[0].lParam, 77);
    ASSERT_FALSE(Got(WM_ACTIVATEAPP).empty());
    EXPECT_EQ(Got(WM_ACTIVATEAPP).back().wParam, 1u);
    // Keys typed become WM_CHAR with their code point, a UTF-16 pair as one; the key
    // above was translated into one too.
    ASSERT_EQ(Got(WM_CHAR).size(), 1u);
    EXPECT_EQ(Got(WM_CHAR)[0].wParam, static_cast<WPARAM>('a'));
    g_got.clear();
    PostMessageW(hwnd, WM_CHAR, 0xE9, 1);
    PostMessageW(hwnd, WM_CHAR, 0xD83D, 1);
    PostMessageW(hwnd, WM_CHAR, 0xDE00, 1);
    PostMessageW(hwnd, WM_CHAR, 0xDE00, 1);  // half a pair alone is nothing
    Drain();
    ASSERT_EQ(Got(WM_CHAR).size(), 2u);
    EXPECT_EQ(Got(WM_CHAR)[0].wParam, 0xE9u);
    EXPECT_EQ(Got(WM_CHAR)[1].wParam, 0x1F600u);
    EXPECT_TRUE(platform::IsWindow(w)) << "nothing so far closes the window";
}

// Windows sends WM_MOUSEMOVE when a window appears or moves under a still pointer, and
// moves the pointer itself when the display's mode changes: neither is the user's.
TEST_F(Win32Windows, OnlyAPointerThatMovesOnTheScreenIsAMove) {
    const WindowHandle w = Popup();
    ASSERT_NE(w, 0u);
    HWND hwnd = platform::Win32WindowOf(w);
    ASSERT_NE(hwnd, nullptr);
    Drain();
    g_got.clear();
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(40, 50));
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(40, 50));  // the same place again
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(41, 50));
    Drain();
    ASSERT_EQ(Got(WM_MOUSEMOVE).size(), 2u);
    EXPECT_EQ(platform::PointX(Got(WM_MOUSEMOVE)[0].lParam), 40);
    EXPECT_EQ(platform::PointX(Got(WM_MOUSEMOVE)[1].lParam), 41);

    // The window moves under the pointer: the same screen place in other coordinates.
    g_got.clear();
    RECT r{};
    GetWindowRect(hwnd, &r);
    SetWindowPos(hwnd, nullptr, r.left + 10, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Drain();
    g_got.clear();
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(31, 50));
    Drain();
    EXPECT_TRUE(Got(WM_MOUSEMOVE).empty()) << "the pointer did not move on the screen";

    // After a display change the pointer is put somewhere by the system for a while.
    g_got.clear();
    SendMessageW(hwnd, WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600));
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(200, 100));
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 7));
    Drain();
    EXPECT_TRUE(Got(WM_MOUSEMOVE).empty());
    SetWindowPos(hwnd, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TEST_F(Win32Windows, AKeySentToTheDesktopReachesTheFocusedWindow) {
    const WindowHandle w = Popup();
    ASSERT_NE(w, 0u);
    platform::FocusWindow(w);
    Drain();
    if (GetForegroundWindow() != platform::Win32WindowOf(w))
        GTEST_SKIP() << "the desktop gives this window no focus";
    g_got.clear();
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = 'Q';
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (Got(WM_KEYUP).empty() && std::chrono::steady_clock::now() < until) {
        platform::WaitMessage(20);
        Drain();
    }
    ASSERT_EQ(Got(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(Got(WM_KEYDOWN)[0].wParam, 'Q');
    ASSERT_EQ(Got(WM_KEYUP).size(), 1u);
    EXPECT_NE(Got(WM_KEYUP)[0].lParam & (LPARAM{1} << 31), 0) << "the transition bit of a release";
}

// Closing is the program's: Windows' close, its close command and the session's end
// reach the window procedure, and the window goes only through our default handling.
TEST_F(Win32Windows, ClosesAreThePrograms) {
    const WindowHandle w = Popup();
    ASSERT_NE(w, 0u);
    HWND hwnd = platform::Win32WindowOf(w);
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    EXPECT_TRUE(::IsWindow(hwnd)) << "Windows' own handling did not close it";
    Msg m;
    std::vector<std::uint32_t> commands;
    while (platform::PeekMessage(&m, true)) {
        if (m.message == WM_SYSCOMMAND) commands.push_back(static_cast<std::uint32_t>(m.wParam));
    }
    EXPECT_EQ(commands, (std::vector<std::uint32_t>{SC_CLOSE, SC_SCREENSAVE}));
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(::IsWindow(hwnd));
    Drain();
    EXPECT_FALSE(platform::IsWindow(w));
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(Got(WM_CLOSE).size(), 1u);
    EXPECT_EQ(Got(WM_DESTROY).size(), 1u);
}

// Every pointer motion over the saver asks to hide the cursor; one show must still
// bring it back, and one hide take it away after many shows.
TEST_F(Win32Windows, OneShowUndoesManyHidesAndOneHideManyShows) {
    for (int i = 0; i < 10; ++i) platform::ShowCursor(false);
    EXPECT_EQ(::ShowCursor(TRUE), 0) << "hidden once, not ten times";
    ::ShowCursor(FALSE);
    platform::ShowCursor(true);
    EXPECT_EQ(::ShowCursor(FALSE), -1) << "shown";
    ::ShowCursor(TRUE);
    for (int i = 0; i < 10; ++i) platform::ShowCursor(true);
    platform::ShowCursor(false);
    EXPECT_EQ(::ShowCursor(TRUE), 0) << "hidden after ten shows";
    ::ShowCursor(FALSE);
    platform::ShowCursor(true);
}

TEST_F(Win32Windows, TheSingleInstanceTestFindsWindowsByClass) {
    // A class of this process alone: tests run side by side on one desktop.
    const std::string name = "Single " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(platform::RegisterWindowClass(name, KeepingProc));
    EXPECT_FALSE(platform::WindowClassExists(name));
    const WindowHandle w = platform::CreateWindow(name, WS_POPUP, 0, 0, 10, 10, 0);
    ASSERT_NE(w, 0u);
    EXPECT_TRUE(platform::WindowClassExists(name)) << "a hidden window counts too";
    EXPECT_FALSE(platform::WindowClassExists("WindowsScreenSaverClass"));
    EXPECT_FALSE(platform::WindowClassExists(""));
    platform::DestroyWindow(w);
    EXPECT_FALSE(platform::WindowClassExists(name));
}

TEST_F(Win32Windows, TheDesktopAndItsPrimaryMonitor) {
    EXPECT_EQ(platform::GetDesktopWindowId(), reinterpret_cast<std::uintptr_t>(GetDesktopWindow()));
    int x = -1, y = -1, width = 0, height = 0;
    ASSERT_TRUE(platform::GetPrimaryMonitor(&x, &y, &width, &height));
    EXPECT_EQ(x, 0) << "the primary monitor stands at the origin";
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(height, GetSystemMetrics(SM_CYSCREEN));
    const std::vector<platform::Monitor> monitors = platform::ReadWin32Monitors();
    ASSERT_FALSE(monitors.empty());
    int primaries = 0;
    for (const platform::Monitor& m : monitors) primaries += m.primary ? 1 : 0;
    EXPECT_EQ(primaries, 1);

    // Full screen covers every other monitor; a child covers nothing.
    const WindowHandle w = Popup(width, height);
    ASSERT_NE(w, 0u);
    EXPECT_TRUE(platform::CoverEveryMonitor(w));
    // One black window for each place a monitor other than the primary shows.
    std::vector<platform::ScreenRect> others;
    for (const platform::Monitor& m : monitors) {
        const platform::ScreenRect primary{x, y, width, height};
        if (m.rect != primary && std::find(others.begin(), others.end(), m.rect) == others.end())
            others.push_back(m.rect);
    }
    EXPECT_EQ(platform::MonitorCoverCount(), others.size());
    // A click on a black window is the saver window's, where it is relative to it.
    if (HWND cover = FindWindowW(L"orbsaver monitor cover", nullptr)) {
        RECT coverRect{}, sceneRect{};
        GetWindowRect(cover, &coverRect);
        GetWindowRect(platform::Win32WindowOf(w), &sceneRect);
        Drain();
        g_got.clear();
        PostMessageW(cover, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
        PostMessageW(cover, WM_KEYDOWN, VK_SPACE, 1);
        Drain();
        ASSERT_EQ(Got(WM_LBUTTONDOWN).size(), 1u);
        EXPECT_EQ(Got(WM_LBUTTONDOWN)[0].window, w);
        EXPECT_EQ(platform::PointX(Got(WM_LBUTTONDOWN)[0].lParam), coverRect.left + 5 - sceneRect.left);
        EXPECT_EQ(platform::PointY(Got(WM_LBUTTONDOWN)[0].lParam), coverRect.top + 6 - sceneRect.top);
        ASSERT_EQ(Got(WM_KEYDOWN).size(), 1u);
        EXPECT_EQ(Got(WM_KEYDOWN)[0].wParam, static_cast<WPARAM>(VK_SPACE));
    }
    EXPECT_EQ(GetWindowLongW(platform::Win32WindowOf(w), GWL_EXSTYLE) & WS_EX_TOPMOST,
              WS_EX_TOPMOST);
    platform::DestroyWindow(w);
    EXPECT_EQ(platform::MonitorCoverCount(), 0u) << "the black windows go with the window";
}

namespace {

// Another program with a window of its own: Wine's (or Windows') notepad.
struct OtherProgram {
    OtherProgram() {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        wchar_t command[] = L"notepad.exe";
        if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &process))
            return;
        WaitForInputIdle(process.hProcess, 5000);
        for (int i = 0; i < 100 && !window; ++i) {
            // Its own window, not one of an earlier notepad's.
            EnumWindows(
                [](HWND hwnd, LPARAM data) -> BOOL {
                    auto* self = reinterpret_cast<OtherProgram*>(data);
                    DWORD owner = 0;
                    GetWindowThreadProcessId(hwnd, &owner);
                    if (owner != self->process.dwProcessId || !IsWindowVisible(hwnd)) return TRUE;
                    self->window = hwnd;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(this));
            if (!window) Sleep(50);
        }
    }
    ~OtherProgram() {
        if (!process.hProcess) return;
        if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 0);
            WaitForSingleObject(process.hProcess, 5000);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

}  // namespace

// Windows' /p: the preview is a child of another program's window, fills its client
// area, draws there, and goes with it, whether the program closes its window or is
// ended.
TEST_F(Win32Windows, APreviewInsideAnotherProgramsWindowGoesWithIt) {
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "the program is ended" : "the program closes its window");
        g_got.clear();
        OtherProgram other;
        if (!other.window) GTEST_SKIP() << "no other program to host the preview (notepad.exe)";
        HWND host = other.window;
        RECT area{};
        GetClientRect(host, &area);
        const WindowHandle w = platform::CreateWindow("Win32 test", WS_CHILD | WS_VISIBLE, 0, 0, 152,
                                                      112, reinterpret_cast<std::uintptr_t>(host));
        ASSERT_NE(w, 0u);
        int width = 0, height = 0;
        ASSERT_TRUE(platform::GetClientSize(w, &width, &height));
        EXPECT_EQ(width, area.right - area.left);
        EXPECT_EQ(height, area.bottom - area.top);
        EXPECT_EQ(GetParent(platform::Win32WindowOf(w)), host);
        EXPECT_TRUE(platform::IsWindowAlive(w));
        // The preview draws there with the same GL as a window of its own would.
        const WindowHandle probe = platform::CreateWindow("Win32 test", WS_POPUP, 0, 0, 16, 16, 0);
        const bool glThere = platform::GlSurface::Create(probe) != nullptr;
        platform::DestroyWindow(probe);
        g_got.clear();
        if (auto surface = platform::GlSurface::Create(w)) {
            surface->ClearToBlack();
            EXPECT_TRUE(surface->SwapBuffers());
            int drawableWidth = 0, drawableHeight = 0;
            surface->DrawableSize(&drawableWidth, &drawableHeight);
            EXPECT_EQ(drawableWidth, width);
            EXPECT_EQ(drawableHeight, height);
        } else {
            EXPECT_FALSE(glThere) << "GL 3.3 core on a window of our own, but not in the preview";
        }

        if (killed) {
            TerminateProcess(other.process.hProcess, 0);
        } else {
            PostMessageW(host, WM_CLOSE, 0, 0);
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (platform::IsWindow(w) && std::chrono::steady_clock::now() < until) {
            platform::WaitMessage(20);
            Drain();
        }
        EXPECT_FALSE(platform::IsWindow(w)) << "the preview outlived its parent";
        EXPECT_FALSE(platform::IsWindowAlive(w));
        EXPECT_EQ(Got(WM_DESTROY).size(), 1u);
    }
}

TEST_F(Win32Windows, AParentThatIsNoWindowGetsNoChild) {
    EXPECT_EQ(platform::CreateWindow("Win32 test", WS_CHILD, 0, 0, 10, 10, 0x7FFFFFF0u), 0u);
    int width = 0, height = 0;
    EXPECT_FALSE(platform::GetForeignWindowSize(0x7FFFFFF0u, &width, &height));
    EXPECT_TRUE(g_got.empty()) << "no WM_CREATE for a window that was not made";
}

TEST_F(Win32Windows, AGlSurfaceIsThreeThreeCore) {
    const WindowHandle w = Popup(320, 240);
    ASSERT_NE(w, 0u);
    Drain();
    auto surface = platform::GlSurface::Create(w);
    if (!surface) GTEST_SKIP() << "this desktop's OpenGL has no 3.3 core context";
    EXPECT_TRUE(surface->DrawsIntoTheWindowItself());
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    EXPECT_GE(version[0], '3') << version;
    GLint profile = 0;
    glGetIntegerv(0x9126 /* GL_CONTEXT_PROFILE_MASK */, &profile);
    EXPECT_EQ(profile & 1, 1) << "a core profile";
    int width = 0, height = 0;
    surface->DrawableSize(&width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    surface->BindWindowFramebuffer();
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    surface->ClearToBlack();
    unsigned char pixel[4] = {9, 9, 9, 9};
    glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0) << "black, not the red before";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(surface->SwapBuffers());
    EXPECT_GE(platform::DisplayRefreshRate(w), 0);
    const int depth = platform::DesktopBitsPerPixel();
    EXPECT_TRUE(depth == 16 || depth == 24 || depth == 32) << depth;
    // A second surface on the same window keeps the window's pixel format.
    surface.reset();
    EXPECT_NE(platform::GlSurface::Create(w), nullptr);
}

// A child of one of our own windows (the configuration dialog's preview) is shown by
// copy: it gets no pixel format, and what is presented reaches its device context the
// right way up, at the size the window has now.
TEST_F(Win32Windows, AChildOfOurOwnWindowShowsItsFramesByCopy) {
    // The child fills its parent, as a preview does.
    const WindowHandle parent = Popup(152, 112);
    ASSERT_NE(parent, 0u);
    const WindowHandle child =
        platform::CreateWindow("Win32 test", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112,
                               reinterpret_cast<std::uintptr_t>(platform::Win32WindowOf(parent)));
    ASSERT_NE(child, 0u);
    Drain();
    const HWND hwnd = platform::Win32WindowOf(child);
    auto surface = platform::GlSurface::Create(child);
    if (!surface) GTEST_SKIP() << "this desktop's OpenGL has no 3.3 core context";
    EXPECT_FALSE(surface->DrawsIntoTheWindowItself());
    const HDC dc = GetDC(hwnd);
    EXPECT_EQ(GetPixelFormat(dc), 0) << "the child itself has no pixel format";
    ReleaseDC(hwnd, dc);

    const auto present = [&](int topHalfRed) {
        surface->MakeCurrent();
        surface->BindWindowFramebuffer();
        int w = 0, h = 0;
        surface->DrawableSize(&w, &h);
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        if (topHalfRed) {
            // GL counts rows from the bottom: the upper half starts at h / 2.
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, h / 2, w, h - h / 2);
            glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            glDisable(GL_SCISSOR_TEST);
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return surface->SwapBuffers();
    };
    const auto pixel = [&](int x, int y) {
        const HDC d = GetDC(hwnd);
        const COLORREF c = GetPixel(d, x, y);
        ReleaseDC(hwnd, d);
        return c;
    };
    int width = 0, height = 0;
    surface->DrawableSize(&width, &height);
    EXPECT_EQ(width, 152);
    EXPECT_EQ(height, 112);
    ASSERT_TRUE(present(1));
    EXPECT_EQ(pixel(5, 5), RGB(255, 0, 0)) << "the top row first";
    EXPECT_EQ(pixel(146, 50), RGB(255, 0, 0));
    EXPECT_EQ(pixel(5, 60), RGB(0, 0, 255));
    EXPECT_EQ(pixel(146, 106), RGB(0, 0, 255));

    // A window of another size is drawn whole at that size.
    SetWindowPos(hwnd, nullptr, 0, 0, 100, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Drain();
    ASSERT_TRUE(present(1));
    surface->DrawableSize(&width, &height);
    EXPECT_EQ(width, 100);
    EXPECT_EQ(height, 80);
    EXPECT_EQ(pixel(95, 35), RGB(255, 0, 0));
    EXPECT_EQ(pixel(95, 45), RGB(0, 0, 255));

    // Once the window is gone there is nothing to present into.
    platform::DestroyWindow(child);
    EXPECT_FALSE(surface->SwapBuffers());
    surface.reset();
    platform::DestroyWindow(parent);
}

TEST_F(Win32Windows, FullScreenStandsOnThePrimaryAndGivesTheModeBack) {
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(platform::GetPrimaryMonitor(&x, &y, &width, &height));
    const WindowHandle w = Popup(320, 240);
    ASSERT_NE(w, 0u);
    HWND hwnd = platform::Win32WindowOf(w);
    // A mode the monitor does not offer changes nothing.
    EXPECT_FALSE(platform::EnterFullScreen(w, 123, 45, 32));
    EXPECT_FALSE(platform::PrimaryModeSwitched());
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, 320);
    // At the desktop's own mode the window covers the primary monitor.
    ASSERT_TRUE(platform::EnterDesktopFullScreen(w));
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, x);
    EXPECT_EQ(r.top, y);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
    platform::LeaveFullScreen(w);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "a dialog can go over it";

    // A mode of another size where the monitor offers one: set, then given back.
    // The saver's 800 x 600 where it is offered, else the first smaller one.
    int modeWidth = 0, modeHeight = 0;
    DWORD modes = 0;
    for (;; ++modes) {
        DEVMODEW other{};
        other.dmSize = sizeof other;
        if (!EnumDisplaySettingsW(nullptr, modes, &other)) break;
        const int w2 = static_cast<int>(other.dmPelsWidth), h2 = static_cast<int>(other.dmPelsHeight);
        if (w2 >= width || other.dmBitsPerPel != 32) continue;
        if (modeWidth == 0 || (w2 == 800 && h2 == 600)) {
            modeWidth = w2;
            modeHeight = h2;
        }
    }
    if (modeWidth == 0) GTEST_SKIP() << "the monitor offers no smaller mode to switch to, of " << modes;
    ASSERT_TRUE(platform::CoverEveryMonitor(w));
    ASSERT_TRUE(platform::EnterFullScreen(w, modeWidth, modeHeight, 32));
    EXPECT_TRUE(platform::PrimaryModeSwitched());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), modeWidth);
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, modeWidth);
    EXPECT_EQ(r.bottom - r.top, modeHeight);
    // The black windows follow the monitors once Windows says the display changed.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    std::vector<platform::ScreenRect> wanted = platform::CurrentWin32MonitorLayout().black;
    std::vector<platform::ScreenRect> covers = CoverRects();
    auto byPlace = [](const platform::ScreenRect& a, const platform::ScreenRect& b) {
        return std::tie(a.x, a.y, a.width, a.height) < std::tie(b.x, b.y, b.width, b.height);
    };
    std::sort(wanted.begin(), wanted.end(), byPlace);
    while (std::chrono::steady_clock::now() < until) {
        Drain();
        covers = CoverRects();
        std::sort(covers.begin(), covers.end(), byPlace);
        if (covers == wanted) break;
        platform::WaitMessage(20);
    }
    EXPECT_EQ(covers, wanted);
    platform::LeaveFullScreen(w);
    EXPECT_FALSE(platform::PrimaryModeSwitched());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), height);

    // The session's end gives the mode back before the window procedure returns, as
    // the process may be ended right after.
    ASSERT_TRUE(platform::EnterFullScreen(w, modeWidth, modeHeight, 32));
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(platform::PrimaryModeSwitched());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), width);
}
