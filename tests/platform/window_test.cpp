// Windows and messages without a desktop: the queue's order, WM_QUIT, timers,
// window destruction and the default handling.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/window/window.h"
#include "tests/fake_window_backend.h"

using namespace platform;

namespace {

std::vector<std::uint32_t> g_seen;

LRESULT RecordingProc(WindowHandle w, std::uint32_t m, WPARAM wp, LPARAM lp) {
    g_seen.push_back(m);
    if (m == WM_DESTROY) PostQuitMessage(7);
    return DefWindowProc(w, m, wp, lp);
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWindowSystem();
        SetWindowBackend(CreateNullWindowBackend());
        g_seen.clear();
        ASSERT_TRUE(RegisterWindowClass("Test", RecordingProc));
    }
    void TearDown() override { ResetWindowSystem(); }

    bool Take(Msg& m) { return PeekMessage(&m, true); }
};

}  // namespace

TEST_F(Windows, ClassesRegisterOnceAndChildrenNeedAParent) {
    EXPECT_FALSE(RegisterWindowClass("Test", RecordingProc));
    EXPECT_EQ(CreateWindow("Nope", WS_POPUP, 0, 0, 10, 10, 0), 0u);
    EXPECT_EQ(CreateWindow("Test", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112, 0), 0u);
    const WindowHandle w = CreateWindow("Test", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112, 99);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(g_seen, std::vector<std::uint32_t>{WM_CREATE});
    int width = 0, height = 0;
    EXPECT_TRUE(GetClientSize(w, &width, &height));
    EXPECT_EQ(width, 152);
    EXPECT_EQ(height, 112);
}

TEST_F(Windows, PostedMessagesComeInOrderAndQuitComesLast) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    PostMessage(w, WM_KEYDOWN, 'A', 0);
    PostQuitMessage(3);
    PostMessage(w, WM_MOUSEMOVE, 0, MakePointParam(-2, 40000));
    Msg m;
    ASSERT_TRUE(PeekMessage(&m, false));
    EXPECT_EQ(m.message, WM_KEYDOWN);
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_KEYDOWN);
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_MOUSEMOVE);
    EXPECT_EQ(PointX(m.lParam), -2);
    EXPECT_EQ(PointY(m.lParam), 40000 - 65536);
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(Take(m));
}

TEST_F(Windows, CloseDestroysTheWindowThroughTheDefaultHandling) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    PostMessage(w, WM_CLOSE, 0, 0);
    Msg m;
    ASSERT_TRUE(Take(m));
    DispatchMessage(m);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(g_seen, (std::vector<std::uint32_t>{WM_CREATE, WM_CLOSE, WM_DESTROY}));
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PostMessage(w, WM_PAINT, 0, 0));  // the window is gone
}

TEST_F(Windows, TimersFireOnAnEmptyQueueAndStopWithTheirWindow) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    ASSERT_TRUE(SetTimer(w, 0, 30));
    Msg m;
    EXPECT_FALSE(Take(m));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    PostMessage(w, WM_PAINT, 0, 0);
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_PAINT);  // posted messages go first
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_FALSE(Take(m));  // not due again yet

    // Setting it again restarts it; killing it stops it.
    ASSERT_TRUE(SetTimer(w, 0, 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_FALSE(Take(m));
    EXPECT_TRUE(KillTimer(w, 0));
    EXPECT_FALSE(KillTimer(w, 0));
    ASSERT_TRUE(SetTimer(w, 1, 5));
    DestroyWindow(w);
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_FALSE(Take(m));
}

TEST_F(Windows, WaitMessageReturnsByTheNextTimer) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    SetTimer(w, 1, 20);
    const auto start = std::chrono::steady_clock::now();
    WaitMessage(2000);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::milliseconds(500));
}

TEST_F(Windows, AltF4AsksToCloseAndOtherSystemKeysDoNothing) {
    const WindowHandle w = CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0);
    DefWindowProc(w, WM_SYSKEYDOWN, VK_MENU, 0);
    Msg m;
    EXPECT_FALSE(Take(m));
    DefWindowProc(w, WM_SYSKEYDOWN, 0x73, 0);
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_SYSCOMMAND);
    DispatchMessage(m);
    ASSERT_TRUE(Take(m));
    EXPECT_EQ(m.message, WM_CLOSE);
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
TEST_F(Windows, ADesktopThatCannotBeReachedMakesNoWindow) {
    SetWindowBackend(CreateNoDesktopWindowBackend());
    EXPECT_EQ(CreateWindow("Test", WS_POPUP, 0, 0, 800, 600, 0), 0u);
    EXPECT_TRUE(g_seen.empty()) << "no WM_CREATE for a window that was not made";
    EXPECT_FALSE(WindowClassExists("Test"));
}
