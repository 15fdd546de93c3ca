// The saver window's procedure on each window backend: the null one, and the target's
// own desktop (SDL on Linux, Win32 on Windows) where one can be reached. Here the
// messages travel through the backend's own queue and timers, as in the program's loop.
#include <gtest/gtest.h>

#include <chrono>

#include "settings/view_state.h"
#include "shell/entry.h"
#include "shell/saver_window.h"
#include "tests/platform/window_backends.h"

using namespace shell;
using namespace settings;
using namespace platform;

namespace {

int g_checks = 0;
bool g_password = true;
int g_abouts = 0;

bool CountedCheck(WindowHandle) {
    ++g_checks;
    if (!g_password) Input().passwordPause = true;  // the dialog was shown
    return g_password;
}
void CountedAbout(WindowHandle) { ++g_abouts; }

template <class D>
class SaverWindowOn : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWindowSystem();
        auto backend = desktop.Make();
        if (!backend) GTEST_SKIP() << "no desktop can be reached";
        SetWindowBackend(std::move(backend));
        Input().locked = false;
        Services() = {CountedCheck, CountedAbout, nullptr, nullptr};
        g_checks = g_abouts = 0;
        g_password = true;
        View().ViewWidth = 152;
        View().ViewHeight = 112;
        View().windowPixelScale = 1;
    }
    void TearDown() override {
        Services() = {};
        ResetWindowSystem();
        if (parent) desktop.DestroyParent(parent);
        SetWindowBackend(CreateNullWindowBackend());
        View().mode = SaverMode::Saver;
        View().parentWindow = 0;
    }
    // The saver of that mode; a preview inside a window of another program's.
    WindowHandle Make(SaverMode mode) {
        View().mode = mode;
        if (mode == SaverMode::Preview) {
            parent = desktop.MakeParent(152, 112);
            View().parentWindow = parent;
        }
        if (!CreateSaverWindow()) return 0;
        return View().SaverWindow;
    }
    // Runs the loop as the program does, for at most that long; whether WM_QUIT came,
    // and its exit code.
    bool RunUntilQuit(std::chrono::milliseconds limit, std::uint64_t* code = nullptr) {
        const auto until = std::chrono::steady_clock::now() + limit;
        Msg m;
        while (std::chrono::steady_clock::now() < until) {
            if (!PeekMessage(&m, true)) {
                WaitMessage(20);
                continue;
            }
            if (m.message == WM_QUIT) {
                if (code) *code = m.wParam;
                return true;
            }
            DispatchMessage(m);
        }
        return false;
    }

    D desktop;
    std::uint64_t parent = 0;
};

using Desktops = ::testing::Types<NullDesktop, TargetDesktop>;
TYPED_TEST_SUITE(SaverWindowOn, Desktops, DesktopNames);

}  // namespace

TYPED_TEST(SaverWindowOn, APostedKeyEndsTheSaverWithExitCodeZero) {
    const WindowHandle w = this->Make(SaverMode::Saver);
    ASSERT_NE(w, 0u);
    // F1 shows the About box when it is let go and ends nothing.
    PostMessage(w, WM_KEYDOWN, VK_F1, 0);
    PostMessage(w, WM_KEYUP, VK_F1, 0);
    EXPECT_FALSE(this->RunUntilQuit(std::chrono::milliseconds(200)));
    EXPECT_EQ(g_abouts, 1);
    EXPECT_EQ(g_checks, 0);
    EXPECT_TRUE(IsWindow(w));
    PostMessage(w, WM_KEYDOWN, 'A', 0);
    std::uint64_t code = 99;
    EXPECT_TRUE(this->RunUntilQuit(std::chrono::seconds(5), &code)) << "no WM_QUIT within 5 s";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(g_checks, 1);
    EXPECT_FALSE(IsWindow(w));
}

TYPED_TEST(SaverWindowOn, ARefusedPasswordPausesMovementUntilTheBackendsTimerFires) {
    const WindowHandle w = this->Make(SaverMode::Saver);
    ASSERT_NE(w, 0u);
    g_password = false;
    PostMessage(w, WM_KEYDOWN, 'Q', 0);
    EXPECT_FALSE(this->RunUntilQuit(std::chrono::milliseconds(50)));
    ASSERT_EQ(g_checks, 1);
    EXPECT_TRUE(Input().passwordPause);
    // The pause ends by the timer of 300 ms, delivered by the backend's loop.
    const auto start = std::chrono::steady_clock::now();
    while (Input().passwordPause && std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
        this->RunUntilQuit(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(Input().passwordPause) << "the pause timer never fired";
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_TRUE(IsWindow(w));
}

TYPED_TEST(SaverWindowOn, APreviewTakesNoInputAndEndsWithItsParent) {
    const WindowHandle w = this->Make(SaverMode::Preview);
    ASSERT_NE(w, 0u);
    int width = 0, height = 0;
    EXPECT_TRUE(GetClientSize(w, &width, &height));
    EXPECT_EQ(width, 152);
    EXPECT_EQ(height, 112);
    PostMessage(w, WM_KEYDOWN, 'A', 0);
    PostMessage(w, WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(3, 3));
    EXPECT_FALSE(this->RunUntilQuit(std::chrono::milliseconds(200)));
    EXPECT_EQ(g_checks, 0);
    EXPECT_TRUE(IsWindow(w));
    if (!TypeParam::kReal) return;  // a desktop of handles only has no parents to lose
    this->desktop.DestroyParent(this->parent);
    this->parent = 0;
    std::uint64_t code = 99;
    EXPECT_TRUE(this->RunUntilQuit(std::chrono::seconds(5), &code)) << "no WM_QUIT within 5 s";
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(IsWindow(w));
}
