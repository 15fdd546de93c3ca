// Windows and messages on every window backend (none, and the target's own desktop):
// the queue's order, WM_QUIT, timers, window destruction, the default handling, and
// other programs' windows.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/window/window.h"
#include "tests/fake_window_backend.h"
#include "tests/platform/window_backends.h"

using namespace platform;

namespace {

std::vector<std::uint32_t> g_seen;

// What a real desktop sends of its own accord as windows come and go; the tests
// below are about everything else.
bool IsHousekeeping(std::uint32_t m) {
    return m == WM_SIZE || m == WM_MOVE || m == WM_PAINT || m == WM_ACTIVATEAPP ||
           m == WM_SETCURSOR || m == WM_MOUSEMOVE;
}

LRESULT RecordingProc(WindowHandle w, std::uint32_t m, WPARAM wp, LPARAM lp) {
    if (!IsHousekeeping(m)) g_seen.push_back(m);
    if (m == WM_DESTROY) PostQuitMessage(7);
    return DefWindowProc(w, m, wp, lp);
}

// The same tests on every desktop: none, and the target's own where there is one.
template <class D>
class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWindowSystem();
        auto backend = desktop.Make();
        if (!backend) GTEST_SKIP() << "no desktop can be reached";
        SetWindowBackend(std::move(backend));
        g_seen.clear();
        ASSERT_TRUE(RegisterWindowClass("Test", RecordingProc));
    }
    void TearDown() override {
        ResetWindowSystem();
        if (parent) desktop.DestroyParent(parent);
        SetWindowBackend(CreateNullWindowBackend());
    }

    // The next message that is not the desktop's housekeeping.
    bool Take(Msg& m) {
        while (PeekMessage(&m, true)) {
            if (!IsHousekeeping(m.message)) return true;
        }
        return false;
    }

    D desktop;
    std::uint64_t parent = 0;
};

using Desktops = ::testing::Types<NullDesktop, TargetDesktop>;
TYPED_TEST_SUITE(Windows, Desktops, DesktopNames);

}  // namespace

TYPED_TEST(Windows, ClassesRegisterOnceAndChildrenNeedAParent) {
    EXPECT_FALSE(RegisterWindowClass("Test", RecordingProc));
    EXPECT_EQ(CreateWindow("Nope", WS_POPUP, 0, 0, 10, 10, 0), 0u);
    EXPECT_EQ(CreateWindow("Test", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112, 0), 0u);
    this->parent = this->desktop.MakeParent(152, 112);
    ASSERT_NE(this->parent, 0u);
    const WindowHandle w =
        CreateWindow("Test", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112, this->parent);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(g_seen, std::vector<std::uint32_t>{WM_CREATE});
    int width = 0, height = 0;
    EXPECT_TRUE(GetClientSize(w, &width, &height));
    EXPECT_EQ(width, 152);
    EXPECT_EQ(height, 112);
    EXPECT_TRUE(IsWindowAlive(w));
}

TYPED_TEST(Windows, PostedMessagesComeInOrderAndQuitComesLast) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    ASSERT_NE(w, 0u);
    PostMessage(w, WM_KEYDOWN, 'A', 0);
    PostQuitMessage(3);
    PostMessage(w, WM_LBUTTONDOWN, 0, MakePointParam(-2, 40000));
    Msg m;
    ASSERT_TRUE(PeekMessage(&m, false));
    EXPECT_EQ(m.message, WM_KEYDOWN);
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_KEYDOWN);
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_LBUTTONDOWN);
    EXPECT_EQ(PointX(m.lParam), -2);
    EXPECT_EQ(PointY(m.lParam), 40000 - 65536);
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(this->Take(m));
}

TYPED_TEST(Windows, CloseDestroysTheWindowThroughTheDefaultHandling) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    ASSERT_NE(w, 0u);
    PostMessage(w, WM_CLOSE, 0, 0);
    Msg m;
    ASSERT_TRUE(this->Take(m));
    DispatchMessage(m);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindowAlive(w));
    EXPECT_EQ(g_seen, (std::vector<std::uint32_t>{WM_CREATE, WM_CLOSE, WM_DESTROY}));
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PostMessage(w, WM_PAINT, 0, 0));  // the window is gone
}

TYPED_TEST(Windows, TimersFireOnAnEmptyQueueAndStopWithTheirWindow) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(SetTimer(w, 0, 30));
    Msg m;
    EXPECT_FALSE(this->Take(m));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    PostMessage(w, WM_CHAR, 'x', 0);
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_CHAR);  // posted messages go first
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_FALSE(this->Take(m));  // not due again yet

    // Setting it again restarts it; killing it stops it.
    ASSERT_TRUE(SetTimer(w, 0, 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_FALSE(this->Take(m));
    EXPECT_TRUE(KillTimer(w, 0));
    EXPECT_FALSE(KillTimer(w, 0));
    ASSERT_TRUE(SetTimer(w, 1, 5));
    DestroyWindow(w);
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_FALSE(this->Take(m));
}

TYPED_TEST(Windows, WaitMessageReturnsByTheNextTimer) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    ASSERT_NE(w, 0u);
    SetTimer(w, 1, 20);
    const auto start = std::chrono::steady_clock::now();
    WaitMessage(2000);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::milliseconds(500));
}

TYPED_TEST(Windows, AltF4AsksToCloseAndOtherSystemKeysDoNothing) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    ASSERT_NE(w, 0u);
    DefWindowProc(w, WM_SYSKEYDOWN, VK_MENU, 0);
    Msg m;
    EXPECT_FALSE(this->Take(m));
    DefWindowProc(w, WM_SYSKEYDOWN, 0x73, 0);
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_SYSCOMMAND);
    DispatchMessage(m);
    ASSERT_TRUE(this->Take(m));
    EXPECT_EQ(m.message, WM_CLOSE);
}

// Another program's window: its size where the desktop has it, nothing where the id
// names no window (one that went, a number no window id can be).
TYPED_TEST(Windows, ForeignWindowsAreSizedOnlyWhileTheyExist) {
    int width = -1, height = -1;
    EXPECT_FALSE(GetForeignWindowSize(std::uint64_t{1} << 40, &width, &height));
    if (!TypeParam::kReal) {
        EXPECT_FALSE(GetForeignWindowSize(99, &width, &height));
        EXPECT_EQ(width, -1);
        return;
    }
    const std::uint64_t other = this->desktop.MakeParent(200, 150);
    ASSERT_NE(other, 0u);
    EXPECT_TRUE(GetForeignWindowSize(other, &width, &height));
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 150);
    this->desktop.DestroyParent(other);
    width = height = -1;
    EXPECT_FALSE(GetForeignWindowSize(other, &width, &height));
    EXPECT_EQ(width, -1);
    EXPECT_NE(GetDesktopWindowId(), 0u);
    EXPECT_TRUE(GetForeignWindowSize(GetDesktopWindowId(), &width, &height));
    EXPECT_GT(width, 0);
}

// A child of another program's window goes when its parent goes: the window hears
// WM_DESTROY and is no longer alive.
TYPED_TEST(Windows, AChildGoesWithItsParent) {
    if (!TypeParam::kReal) GTEST_SKIP() << "a desktop of handles only has no parents to lose";
    this->parent = this->desktop.MakeParent(152, 112);
    ASSERT_NE(this->parent, 0u);
    const WindowHandle w =
        CreateWindow("Test", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112, this->parent);
    ASSERT_NE(w, 0u);
    EXPECT_TRUE(IsWindowAlive(w));
    this->desktop.DestroyParent(this->parent);
    this->parent = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    Msg m;
    bool quit = false;
    while (!quit && std::chrono::steady_clock::now() < until) {
        if (!PeekMessage(&m, true)) {
            WaitMessage(20);
            continue;
        }
        if (m.message == WM_QUIT) quit = true;
        else DispatchMessage(m);
    }
    EXPECT_TRUE(quit) << "no WM_DESTROY within 5 s";
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindowAlive(w));
    EXPECT_EQ(g_seen, (std::vector<std::uint32_t>{WM_CREATE, WM_DESTROY}));
}

namespace {

class Grabs : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWindowSystem();
        desktop = &testing_desktop::InstallFakeDesktop();
        ASSERT_TRUE(RegisterWindowClass("Test", RecordingProc));
        w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
        ASSERT_NE(w, 0u);
    }
    void TearDown() override { ResetWindowSystem(); }

    testing_desktop::FakeWindowBackend* desktop = nullptr;
    WindowHandle w = 0;
};

}  // namespace

TEST_F(Grabs, TakingTheInputIsTriedAgainWhileAnotherProgramHoldsIt) {
    desktop->refusals = 3;
    EXPECT_TRUE(GrabInput(w, true, 1000));
    EXPECT_EQ(desktop->grabAttempts, 4);
    EXPECT_EQ(desktop->holder, w);
    EXPECT_EQ(InputGrabWindow(), w);
    EXPECT_TRUE(GrabInput(w, false));
    EXPECT_EQ(desktop->holder, 0u);
    EXPECT_EQ(InputGrabWindow(), 0u);
}

TEST_F(Grabs, WithoutPatienceOneRefusalIsTheAnswerAndAnyPatienceEnds) {
    desktop->refusals = 1;
    EXPECT_FALSE(GrabInput(w, true));
    EXPECT_EQ(desktop->grabAttempts, 1);
    EXPECT_EQ(InputGrabWindow(), 0u);
    desktop->refuseAlways = true;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(GrabInput(w, true, 150));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::milliseconds(1000));
    EXPECT_EQ(InputGrabWindow(), 0u);
}

TEST_F(Grabs, AWindowThatIsGoneHoldsNothing) {
    ASSERT_TRUE(GrabInput(w, true));
    DestroyWindow(w);
    EXPECT_EQ(InputGrabWindow(), 0u);
    EXPECT_FALSE(GrabInput(w, true)) << "no such window";
    EXPECT_TRUE(GrabInput(w, false));
}

// A desktop that cannot be reached makes no window, so a run mode says it cannot make
// its window instead of running on a pretend desktop without one.
TEST(NoDesktop, ADesktopThatCannotBeReachedMakesNoWindow) {
    ResetWindowSystem();
    g_seen.clear();
    ASSERT_TRUE(RegisterWindowClass("Test", RecordingProc));
    SetWindowBackend(CreateNoDesktopWindowBackend());
    EXPECT_EQ(CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0), 0u);
    EXPECT_TRUE(g_seen.empty()) << "no WM_CREATE for a window that was not made";
    EXPECT_FALSE(WindowClassExists("Test"));
    ResetWindowSystem();
}
