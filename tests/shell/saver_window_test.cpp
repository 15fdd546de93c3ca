// The saver window's procedure fed with messages: what ends the saver, the About
// box on F1 and its hand-over of the keyboard and pointer in a lock, the pause after
// a refused password, the pointer over the prompt, and the music's repeat.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "settings/scene_settings.h"
#include "shell/entry.h"
#include "shell/about_box.h"
#include "shell/saver_window.h"
#include "tests/fake_window_backend.h"

using namespace shell;
using namespace settings;
using namespace platform;

namespace {

int g_checks = 0;
bool g_password = true;
int g_abouts = 0;
bool g_ignoredDuringAbout = false;
std::vector<std::uint32_t> g_replays;

bool FakeCheck(WindowHandle) {
    ++g_checks;
    if (!g_password) Input().passwordPause = true;  // the dialog was shown
    return g_password;
}
void FakeAbout(WindowHandle) {
    ++g_abouts;
    g_ignoredDuringAbout = Input().ignoreInput;
}
std::uint32_t FakeMusic() { return 7; }
void FakeReplay(std::uint32_t device, WindowHandle) { g_replays.push_back(device); }

testing_desktop::FakeWindowBackend* g_desktop = nullptr;
WindowHandle g_grabDuringAbout = 0;
bool g_pointerShownDuringCheck = false;

// The About box of a lock, as the real one does it: it takes the keyboard and pointer
// over from the saver window, and lets go when it closes.
void AboutTakingTheInput(WindowHandle owner) {
    ++g_abouts;
    g_grabDuringAbout = InputGrabWindow();
    GrabInput(owner, false);
}

// A refused check during which the pointer moves over the prompt.
bool RefusedWithThePointerMoving(WindowHandle w) {
    ++g_checks;
    SaverWindowProc(w, WM_SETCURSOR, w, 1 | (static_cast<LPARAM>(WM_MOUSEMOVE) << 16));
    g_pointerShownDuringCheck = g_desktop->cursorShown;
    return false;
}

class SaverInput : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWindowSystem();
        g_desktop = &testing_desktop::InstallFakeDesktop();
        Input().locked = false;
        Services() = {FakeCheck, FakeAbout, FakeMusic, FakeReplay};
        g_checks = g_abouts = 0;
        g_password = true;
        g_replays.clear();
        View().mode = SaverMode::Saver;
        View().ViewWidth = 800;
        View().ViewHeight = 600;
        ASSERT_TRUE(CreateSaverWindow());
        w = View().SaverWindow;
    }
    void TearDown() override {
        Services() = {};
        ResetWindowSystem();
    }
    LRESULT Send(std::uint32_t m, WPARAM wp = 0, LPARAM lp = 0) {
        return SaverWindowProc(w, m, wp, lp);
    }
    // Handles whatever was posted, as the program's loop would; false once the window
    // is gone.
    bool Survives() {
        Msg m;
        while (PeekMessage(&m, true) && m.message != WM_QUIT) DispatchMessage(m);
        return IsWindow(w);
    }
    // Whether the window was asked to close.
    bool Closing() {
        Msg m;
        while (PeekMessage(&m, true)) {
            if (m.message == WM_CLOSE) return true;
        }
        return false;
    }
    WindowHandle w = 0;
};

}  // namespace

TEST_F(SaverInput, FirstMovementOnlyTakesTheReference) {
    Send(WM_MOUSEMOVE, 0, MakePointParam(400, 300));
    EXPECT_FALSE(Closing());
    Send(WM_MOUSEMOVE, 0, MakePointParam(400, 300));
    EXPECT_FALSE(Closing());
    EXPECT_EQ(g_checks, 0);
    Send(WM_MOUSEMOVE, 0, MakePointParam(401, 300));  // one pixel is enough
    EXPECT_EQ(g_checks, 1);
    EXPECT_TRUE(Closing());
}

TEST_F(SaverInput, PositionsAreSigned16BitHalves) {
    Send(WM_MOUSEMOVE, 0, MakePointParam(-1, -1));  // as a position it is (-1, -1)
    EXPECT_EQ(Input().lastMousePosX, -1);
    Send(WM_MOUSEMOVE, 0, MakePointParam(-1, -1));  // still no reference taken
    EXPECT_EQ(g_checks, 0);
    Send(WM_MOUSEMOVE, 0, MakePointParam(5, -2));
    EXPECT_EQ(Input().lastMousePosY, -2);
}

TEST_F(SaverInput, KeysAndButtonsEndButF1AndCharactersDoNot) {
    Send(WM_KEYDOWN, VK_F1);
    Send(WM_CHAR, 'a');
    Send(WM_KEYUP, 'A');
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON);
    EXPECT_EQ(g_checks, 0);
    for (std::uint32_t m : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP,
                            WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}) {
        g_checks = 0;
        Send(m, m == WM_SYSKEYDOWN ? VK_MENU : 0);
        EXPECT_EQ(g_checks, 1) << m;
        EXPECT_TRUE(Closing()) << m;
    }
    // The F1 test looks at the first parameter of buttons too.
    g_checks = 0;
    Send(WM_LBUTTONDOWN, VK_F1);
    EXPECT_EQ(g_checks, 0);
}

TEST_F(SaverInput, ReleasingF1ShowsTheAboutBoxAndTakesANewReference) {
    Send(WM_MOUSEMOVE, 0, MakePointParam(10, 10));
    EXPECT_EQ(Send(WM_KEYUP, VK_F1), 0);
    EXPECT_EQ(g_abouts, 1);
    EXPECT_TRUE(g_ignoredDuringAbout);
    EXPECT_FALSE(Input().ignoreInput);
    Send(WM_MOUSEMOVE, 0, MakePointParam(99, 99));  // only the reference again
    EXPECT_EQ(g_checks, 0);
    EXPECT_FALSE(Closing());
}

TEST_F(SaverInput, ARefusedPasswordPausesMovementButNotKeys) {
    g_password = false;
    Send(WM_MOUSEMOVE, 0, MakePointParam(10, 10));
    Send(WM_MOUSEMOVE, 0, MakePointParam(20, 10));
    EXPECT_EQ(g_checks, 1);
    EXPECT_FALSE(Closing());
    EXPECT_EQ(Input().lastMousePosX, -1);
    Send(WM_MOUSEMOVE, 0, MakePointParam(30, 10));
    Send(WM_MOUSEMOVE, 0, MakePointParam(40, 10));
    EXPECT_EQ(g_checks, 1);  // movement is ignored during the pause
    Send(WM_KEYDOWN, 'Q');
    EXPECT_EQ(g_checks, 2);  // keys are not
    Send(WM_TIMER, kPauseTimer);
    EXPECT_FALSE(Input().passwordPause);
    Send(WM_MOUSEMOVE, 0, MakePointParam(50, 10));  // the reference again
    EXPECT_EQ(g_checks, 2);
    g_password = true;
    Send(WM_MOUSEMOVE, 0, MakePointParam(51, 10));
    EXPECT_TRUE(Closing());
}

TEST_F(SaverInput, ThePauseTimerFiresAfter300Milliseconds) {
    using Clock = std::chrono::steady_clock;
    g_password = false;
    const auto start = Clock::now();
    Send(WM_KEYDOWN, 'Q');
    Msg m;
    // A look that ends before 300 ms have passed must find nothing; on a busy machine
    // the test may sleep longer than it asks, and a later look proves nothing.
    auto nothingYet = [&] {
        const bool found = PeekMessage(&m, true);
        if (Clock::now() - start < std::chrono::milliseconds(300)) {
            EXPECT_FALSE(found) << "the pause ended before 300 ms";
        }
        return found;
    };
    bool found = nothingYet();
    if (!found) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(200));
        found = nothingYet();
    }
    // Then it comes: 330 ms are enough on a quiet machine; a busy one gets a second.
    if (!found) std::this_thread::sleep_until(start + std::chrono::milliseconds(330));
    while (!found && Clock::now() - start < std::chrono::milliseconds(1300)) {
        found = PeekMessage(&m, true);
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.wParam, kPauseTimer);
    DispatchMessage(m);
    EXPECT_FALSE(Input().passwordPause);
    std::this_thread::sleep_for(std::chrono::milliseconds(330));
    EXPECT_FALSE(PeekMessage(&m, true));  // stopped by its own tick
}

TEST_F(SaverInput, KeyboardMenuNeverReachesTheDefault) {
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_KEYMENU), 0);
    EXPECT_FALSE(Closing());
}

TEST_F(SaverInput, OnlyASuccessfulEndOfTheOpenPieceRepeatsIt) {
    settings::Settings().M_ON = 1;
    Send(MM_MCINOTIFY, 2, 7);  // superseded
    Send(MM_MCINOTIFY, 4, 7);  // aborted
    Send(MM_MCINOTIFY, 1, 8);  // another device
    EXPECT_TRUE(g_replays.empty());
    Send(MM_MCINOTIFY, 1, 7);
    EXPECT_EQ(g_replays, std::vector<std::uint32_t>{7});
    settings::Settings().M_ON = 0;
    Send(MM_MCINOTIFY, 1, 7);
    EXPECT_EQ(g_replays.size(), 1u);
}

TEST_F(SaverInput, DestroyingTheWindowEndsTheLoop) {
    DestroyWindow(w);
    Msg m;
    ASSERT_TRUE(PeekMessage(&m, true));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 0u);
}

TEST(PreviewInput, ClicksInThePreviewOnlyGetTheDefault) {
    ResetWindowSystem();
    SetWindowBackend(CreateNullWindowBackend());
    Services() = {FakeCheck, FakeAbout, nullptr, nullptr};
    g_checks = 0;
    View().mode = SaverMode::Preview;
    View().parentWindow = 42;
    ASSERT_TRUE(CreateSaverWindow());
    SaverWindowProc(View().SaverWindow, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SaverWindowProc(View().SaverWindow, WM_MOUSEMOVE, 0, MakePointParam(3, 3));
    SaverWindowProc(View().SaverWindow, WM_MOUSEMOVE, 0, MakePointParam(9, 3));
    EXPECT_EQ(g_checks, 0);
    // After an About box the preview reacts to input too.
    SaverWindowProc(View().SaverWindow, WM_KEYUP, VK_F1, 0);
    SaverWindowProc(View().SaverWindow, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(g_checks, 1);
    Services() = {};
    ResetWindowSystem();
}

TEST_F(SaverInput, ARefusedAttemptsMessageNeverReachesWhatCouldCloseTheWindow) {
    g_password = false;
    for (std::uint32_t m : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP,
                            WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}) {
        for (WPARAM wp = 0; wp < 256; ++wp) {
            if (wp == VK_F1) continue;
            // Alt held, as Alt+F4 comes: the context bit of the key's second parameter.
            g_checks = 0;
            Send(m, wp, 1 | (1 << 29));
            ASSERT_EQ(g_checks, 1) << m << " " << wp;
            ASSERT_TRUE(Survives()) << "message " << m << " with " << wp << " closed the lock";
        }
    }
}

TEST_F(SaverInput, TheCloseCommandIsAnEndingAttemptLikeAKey) {
    g_password = false;
    Send(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_EQ(g_checks, 1);
    EXPECT_TRUE(Survives()) << "the window manager's close ended the lock";
    Send(WM_SYSCOMMAND, SC_CLOSE | 2);  // the low four bits are the system's own
    EXPECT_EQ(g_checks, 2);
    EXPECT_TRUE(Survives());
    g_password = true;
    Send(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_FALSE(Survives()) << "a passed check ends it";
}

TEST_F(SaverInput, WmCloseItselfStillClosesTheWindow) {
    // Only a passed check and a termination signal send it.
    SendMessage(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
    Msg m;
    ASSERT_TRUE(PeekMessage(&m, true));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(g_checks, 0);
}

TEST_F(SaverInput, APreviewsCloseCommandGetsTheDefault) {
    Input().ignoreInput = true;  // as in the previews and under a host
    Send(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_EQ(g_checks, 0);
    EXPECT_FALSE(Survives());
}

TEST_F(SaverInput, ThePointerShowsOverThePromptAndIsHiddenOnceItCloses) {
    Services().checkPassword = RefusedWithThePointerMoving;
    Send(WM_SETCURSOR, w, 1);
    EXPECT_FALSE(g_desktop->cursorShown);
    Send(WM_KEYDOWN, 'A');
    EXPECT_EQ(g_checks, 1);
    EXPECT_TRUE(g_pointerShownDuringCheck) << "moving the pointer over the prompt hid it";
    EXPECT_FALSE(g_desktop->cursorShown);
    Send(WM_SETCURSOR, w, 1);
    EXPECT_FALSE(g_desktop->cursorShown);
}

TEST_F(SaverInput, AHundredRefusedAttemptsInARowLeaveTheLockAsItWas) {
    ASSERT_TRUE(GrabInput(w, true));
    Input().locked = true;
    g_password = false;
    for (int i = 0; i < 100; ++i) {
        Send(i % 2 ? WM_KEYDOWN : WM_SYSKEYDOWN, 0x73, 1 << 29);
        ASSERT_TRUE(Survives()) << i;
    }
    EXPECT_EQ(g_checks, 100);
    EXPECT_EQ(InputGrabWindow(), w);
    EXPECT_EQ(g_desktop->holder, w);
    EXPECT_TRUE(Input().locked);
    EXPECT_FALSE(g_desktop->cursorShown);
}

TEST_F(SaverInput, ALocksAboutBoxTakesTheInputOverAndTheSaverTakesItBack) {
    ASSERT_TRUE(GrabInput(w, true));
    Input().locked = true;
    EXPECT_EQ(AboutBoxInputOwner(w), w);
    EXPECT_EQ(AboutBoxInputOwner(w + 1), 0u) << "only the lock's own window hands over";
    Services().showAboutBox = AboutTakingTheInput;
    Send(WM_KEYUP, VK_F1);
    EXPECT_EQ(g_abouts, 1);
    EXPECT_EQ(g_grabDuringAbout, w) << "the saver held the input until the box took it";
    EXPECT_EQ(InputGrabWindow(), w);
    EXPECT_EQ(g_desktop->holder, w) << "the saver holds the input again";
    EXPECT_EQ(g_desktop->focused, w);
    EXPECT_TRUE(Input().locked);
    EXPECT_FALSE(Input().ignoreInput);
    g_password = false;
    Send(WM_KEYDOWN, 'A');
    EXPECT_EQ(g_checks, 1) << "the next key is an ending attempt";
    EXPECT_TRUE(Survives());
}

TEST_F(SaverInput, ALockThatCannotTakeTheInputBackAfterTheBoxStaysALock) {
    ASSERT_TRUE(GrabInput(w, true));
    Input().locked = true;
    Services().showAboutBox = AboutTakingTheInput;
    g_desktop->refuseAlways = true;  // another program took the input meanwhile
    Send(WM_KEYUP, VK_F1);
    EXPECT_TRUE(Input().locked);
    EXPECT_GT(g_desktop->grabAttempts, 1) << "the saver tried more than once";
    g_password = false;
    Send(WM_KEYDOWN, 'A');
    EXPECT_EQ(g_checks, 1);
    EXPECT_TRUE(Survives());
}

TEST_F(SaverInput, AnOpenSaversAboutBoxTakesNothing) {
    EXPECT_EQ(AboutBoxInputOwner(w), 0u);
    Services().showAboutBox = AboutTakingTheInput;
    Send(WM_KEYUP, VK_F1);
    EXPECT_EQ(g_abouts, 1);
    EXPECT_EQ(InputGrabWindow(), 0u);
    EXPECT_EQ(g_desktop->grabAttempts, 0);
}
