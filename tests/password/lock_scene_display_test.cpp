// The lock of two processes on an X server of the test's own: the scene, a child
// process drawing inside the lock's window, is killed again and again; the screen
// stays covered (no pixel of the desktop behind shows) and held (another client
// cannot take the keyboard), and a new scene comes within 1.5 s. Scenes that keep
// dying, or cannot draw at all, leave a black locked screen; the right password still
// ends the lock, and no scene outlives it, however the lock ends.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "x_session.h"

// clang-format off
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
// clang-format on

using namespace xsession;
using namespace std::chrono_literals;

namespace {

constexpr int kScreenWidth = 640, kScreenHeight = 480;

const std::string kSecureStore =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
    "\"ScreenSaverIsSecure\"=dword:00000001\r\n\r\n";

class OwnXServer : public ::testing::Environment {
  public:
    void SetUp() override {
        unsetenv("DISPLAY");
        if (access("/usr/bin/Xvfb", X_OK) != 0) return;
        server_ = std::make_unique<PrivateXServer>(kScreenWidth, kScreenHeight);
        if (!server_->display().empty()) setenv("DISPLAY", server_->display().c_str(), 1);
    }
    void TearDown() override { server_.reset(); }

  private:
    std::unique_ptr<PrivateXServer> server_;
};

[[maybe_unused]] ::testing::Environment* const g_server =
    ::testing::AddGlobalTestEnvironment(new OwnXServer);

// The processes whose parent is the given one.
std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    DIR* proc = opendir("/proc");
    if (!proc) return children;
    while (dirent* e = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (*end != '\0' || pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
        std::string line;
        std::getline(stat, line);
        // pid (name) state ppid ...: the name may hold blanks, so read after its ')'.
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        long ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state != 'Z') children.push_back(static_cast<pid_t>(pid));
    }
    closedir(proc);
    return children;
}

// Whether a process is gone (or only a zombie waiting to be reaped).
bool Gone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

bool AwaitGone(pid_t pid, std::chrono::milliseconds patience) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (!Gone(pid)) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class LockScene : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs Xvfb, which runs the saver here";
        ASSERT_TRUE(keyboard.ok());
        if (!keyboard.HasTestExtension()) GTEST_SKIP() << "the X server has no XTEST extension";
        d = keyboard.display();
        // The scene's windows come and go while the test looks at them: a window gone
        // between the listing and the look is no failure of the test's connection.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        int error = 0;
        ASSERT_TRUE(XFixesQueryExtension(d, &fixesEvent, &error));
        // The desktop behind the saver, in a colour the saver never shows.
        XColor colour{}, exact{};
        ASSERT_TRUE(XAllocNamedColor(d, DefaultColormap(d, 0), "#c81e5a", &colour, &exact));
        desktop = colour.pixel & 0xFFFFFF;
        XSetWindowBackground(d, DefaultRootWindow(d), colour.pixel);
        XClearWindow(d, DefaultRootWindow(d));
        XSync(d, False);
        home.WriteStore(kSecureStore);
    }
    void TearDown() override {
        Kill(saver);
        if (HasFailure())
            std::fprintf(stderr, "the saver said:\n%s", ReadText(home.Path("stderr.txt")).c_str());
    }

    bool StartSaver(std::vector<std::string> env = {}) {
        for (const auto& e : home.Environment()) env.push_back(e);
        env.push_back("ORBSAVER_TEST_REFUSAL_DELAY_MS=10");
        env.push_back("ORBSAVER_TEST_PROMPT_TIMEOUT_MS=3000");
        saver = Spawn({kBinary, "/s"}, env, home.Path("stderr.txt"));
        return saver > 0 && AwaitInputHeld(5000ms);
    }

    // Another client cannot take the keyboard and pointer.
    bool SomeoneHoldsInput() {
        const Window root = DefaultRootWindow(d);
        const int keyboardGrab = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (keyboardGrab == GrabSuccess) XUngrabKeyboard(d, CurrentTime);
        const int pointer = XGrabPointer(d, root, False, ButtonPressMask, GrabModeAsync,
                                         GrabModeAsync, 0, 0, CurrentTime);
        if (pointer == GrabSuccess) XUngrabPointer(d, CurrentTime);
        XSync(d, False);
        return keyboardGrab == AlreadyGrabbed && pointer == AlreadyGrabbed;
    }
    bool AwaitInputHeld(std::chrono::milliseconds patience) {
        const auto end = std::chrono::steady_clock::now() + patience;
        while (!SomeoneHoldsInput()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    // The screen's pixels: how many show the desktop, and how many are not black.
    struct Look {
        long desktop = 0, lit = 0;
    };
    Look LookAtTheScreen() {
        Look look;
        XImage* image = XGetImage(d, DefaultRootWindow(d), 0, 0, kScreenWidth, kScreenHeight,
                                  AllPlanes, ZPixmap);
        if (!image) {
            look.desktop = -1;
            return look;
        }
        for (int y = 0; y < kScreenHeight; ++y) {
            for (int x = 0; x < kScreenWidth; ++x) {
                const unsigned long p = XGetPixel(image, x, y) & 0xFFFFFF;
                look.desktop += p == desktop;
                look.lit += p != 0;
            }
        }
        XDestroyImage(image);
        return look;
    }

    // The scene: the saver's one child process, once its window shows inside the
    // saver's.
    pid_t SceneShowing() {
        const std::vector<pid_t> children = ChildrenOf(saver);
        if (children.size() != 1) return 0;
        return SceneWindowShows() ? children[0] : 0;
    }
    bool SceneWindowShows() {
        Window root = 0, parent = 0, *tops = nullptr;
        unsigned count = 0;
        bool shows = false;
        if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &tops, &count)) return false;
        for (unsigned i = 0; i < count && !shows; ++i) {
            Window r = 0, p = 0, *inside = nullptr;
            unsigned n = 0;
            if (!XQueryTree(d, tops[i], &r, &p, &inside, &n)) continue;
            for (unsigned j = 0; j < n && !shows; ++j) {
                XClassHint hint{};
                XWindowAttributes a{};
                if (XGetClassHint(d, inside[j], &hint)) {
                    shows = hint.res_class && std::string(hint.res_class) == "D3DRM Example" &&
                            XGetWindowAttributes(d, inside[j], &a) && a.map_state == IsViewable;
                    if (hint.res_name) XFree(hint.res_name);
                    if (hint.res_class) XFree(hint.res_class);
                }
            }
            if (inside) XFree(inside);
        }
        if (tops) XFree(tops);
        return shows;
    }
    pid_t AwaitScene(std::chrono::milliseconds patience, pid_t other = 0) {
        const auto end = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const pid_t scene = SceneShowing();
            if (scene && scene != other) return scene;
            if (std::chrono::steady_clock::now() >= end) return 0;
            std::this_thread::sleep_for(10ms);
        }
    }

    bool CursorShows() {
        XFixesCursorImage* image = XFixesGetCursorImage(d);
        if (!image) return false;
        bool seen = false;
        const std::size_t pixels = static_cast<std::size_t>(image->width) * image->height;
        for (std::size_t i = 0; i < pixels && !seen; ++i) seen = (image->pixels[i] >> 24) != 0;
        XFree(image);
        return seen;
    }
    bool AwaitCursor(bool shows, std::chrono::milliseconds patience = 5000ms) {
        const auto end = std::chrono::steady_clock::now() + patience;
        while (CursorShows() != shows) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    // A key opens the prompt; the right password ends the saver. Its exit code.
    int EndWithTheRightPassword() {
        home.Accept();
        keyboard.Tap(XK_Shift_R);
        if (!AwaitCursor(true)) return -2;
        std::this_thread::sleep_for(300ms);  // the prompt takes keys once it is drawn
        keyboard.Type(U"right h\u00F6rse");
        keyboard.Tap(XK_Return);
        return ExitCodeAfter(saver, 15s);
    }

    Keyboard keyboard;
    Display* d = nullptr;
    int fixesEvent = 0;
    unsigned long desktop = 0;
    SaverHome home{"orbsaver-lock-scene"};
    pid_t saver = -1;
};

}  // namespace

TEST_F(LockScene, ASceneKilledTwentyTimesNeverUncoversOrUnlocksAndComesBack) {
    ASSERT_TRUE(StartSaver({"ORBSAVER_TEST_SCENE_DEATHS_PER_MINUTE=1000"}))
        << "the saver did not start holding the input";
    pid_t scene = AwaitScene(15s);
    ASSERT_GT(scene, 0) << "no scene";
    long worstStart = 0, worstShown = 0;
    for (const int signal : {SIGSEGV, SIGKILL}) {
        for (int round = 0; round < 20; ++round) {
            const std::string which = "after kill " + std::to_string(round + 1) + " with signal " +
                                      std::to_string(signal);
            ASSERT_EQ(kill(scene, signal), 0) << which;
            const auto killed = std::chrono::steady_clock::now();
            const auto since = [&] {
                return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - killed)
                                             .count());
            };
            pid_t next = 0;
            long started = -1, shown = -1;
            int shots = 0;
            // Screenshots every 50 ms for 2 s, then until the new scene shows.
            while (since() < 2000 || (shown < 0 && since() < 6000)) {
                const Look look = LookAtTheScreen();
                ++shots;
                ASSERT_EQ(look.desktop, 0) << "the desktop showed " << which;
                ASSERT_TRUE(SomeoneHoldsInput()) << "another client took the input " << which;
                if (started < 0) {
                    const std::vector<pid_t> children = ChildrenOf(saver);
                    if (children.size() == 1 && children[0] != scene) {
                        next = children[0];
                        started = since();
                    }
                }
                if (started >= 0 && shown < 0 && SceneShowing() == next) shown = since();
                std::this_thread::sleep_until(killed + shots * 50ms);
            }
            EXPECT_TRUE(Gone(scene)) << which;
            // The lock's part: a new scene process a second after the death (and after
            // the lock has seen it go, which a busy machine or a sanitizer build
            // delays by a few hundred milliseconds). Its window then shows as soon as
            // the new process has started up, which such a machine makes slower too.
            ASSERT_GE(started, 0) << "no new scene " << which;
            EXPECT_GE(started, 900) << "a new scene came sooner than a second " << which;
            EXPECT_LE(started, 3000) << which;
            ASSERT_GE(shown, 0) << "the new scene did not show " << which;
            EXPECT_LE(shown - started, 2500) << which;
            worstStart = std::max(worstStart, started);
            worstShown = std::max(worstShown, shown);
            scene = next;
        }
    }
    std::fprintf(stderr,
                 "40 kills: a new scene started at the latest %ld ms after the kill, and showed "
                 "at the latest after %ld ms\n",
                 worstStart, worstShown);
    EXPECT_EQ(EndWithTheRightPassword(), 0);
    EXPECT_TRUE(AwaitGone(scene, 2000ms)) << "the scene outlived the lock";
}

TEST_F(LockScene, ThePromptStandsAboveTheSceneAndAboveANewOne) {
    ASSERT_TRUE(StartSaver({"ORBSAVER_TEST_PROMPT_TIMEOUT_MS=15000"}));
    pid_t scene = AwaitScene(15s);
    ASSERT_GT(scene, 0) << "no scene";
    // The box stands in the middle of the 640 x 480 window: 364 x 100, with an edge of
    // two pixels of (180, 190, 220) around (24, 28, 48).
    const auto boxShows = [&] {
        XImage* image = XGetImage(d, DefaultRootWindow(d), 138, 190, 364, 100, AllPlanes, ZPixmap);
        if (!image) return false;
        const bool shows = (XGetPixel(image, 1, 1) & 0xFFFFFF) == 0xB4BEDC &&
                           (XGetPixel(image, 362, 98) & 0xFFFFFF) == 0xB4BEDC &&
                           (XGetPixel(image, 5, 5) & 0xFFFFFF) == 0x181C30 &&
                           (XGetPixel(image, 358, 94) & 0xFFFFFF) == 0x181C30;
        XDestroyImage(image);
        return shows;
    };
    const auto awaitBox = [&](bool shows) {
        const auto end = std::chrono::steady_clock::now() + 3s;
        while (boxShows() != shows) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    };
    EXPECT_FALSE(boxShows());
    keyboard.Tap(XK_Shift_R);
    ASSERT_TRUE(AwaitCursor(true)) << "no prompt";
    EXPECT_TRUE(awaitBox(true)) << "the prompt is not drawn above the scene";
    // A new scene's window comes up above the old one's place: the box stays on top.
    ASSERT_EQ(kill(scene, SIGKILL), 0);
    scene = AwaitScene(5s, scene);
    ASSERT_GT(scene, 0) << "no new scene under the prompt";
    std::this_thread::sleep_for(500ms);  // the new scene draws
    EXPECT_TRUE(boxShows()) << "the new scene covers the prompt";
    EXPECT_TRUE(CursorShows());
    keyboard.Tap(XK_Escape);
    EXPECT_TRUE(AwaitCursor(false));
    EXPECT_TRUE(awaitBox(false)) << "the prompt stays after it closed";
    EXPECT_TRUE(SomeoneHoldsInput());
}

TEST_F(LockScene, ScenesThatKeepDyingLeaveABlackLockedScreenThatThePasswordEnds) {
    ASSERT_TRUE(StartSaver()) << "the saver did not start holding the input";
    pid_t scene = AwaitScene(15s);
    ASSERT_GT(scene, 0) << "no scene";
    // Five deaths within a minute are each followed by a new scene; the sixth is not.
    for (int death = 1; death <= 6; ++death) {
        ASSERT_EQ(kill(scene, SIGKILL), 0);
        ASSERT_TRUE(AwaitGone(scene, 2000ms));
        if (death < 6) {
            scene = AwaitScene(3s, scene);
            ASSERT_GT(scene, 0) << "no new scene after death " << death;
        }
    }
    const auto end = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < end) {
        EXPECT_TRUE(ChildrenOf(saver).empty()) << "a seventh scene started";
        const Look look = LookAtTheScreen();
        ASSERT_EQ(look.desktop, 0);
        ASSERT_EQ(look.lit, 0) << "the screen is not black";
        ASSERT_TRUE(SomeoneHoldsInput());
        std::this_thread::sleep_for(100ms);
    }
    // The prompt works on the black screen: it shows, and a wrong password leaves it.
    keyboard.Tap(XK_a);
    ASSERT_TRUE(AwaitCursor(true)) << "no prompt";
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(LookAtTheScreen().lit, 0) << "the prompt is not drawn";
    keyboard.Type(U"wrong");
    keyboard.Tap(XK_Return);
    EXPECT_TRUE(AwaitCursor(false));
    EXPECT_EQ(ExitCodeAfter(saver, 500ms), -1) << "a wrong password ended the lock";
    EXPECT_EQ(EndWithTheRightPassword(), 0);
    EXPECT_NE(ReadText(home.Path("stderr.txt")).find("the screen stays black and locked"),
              std::string::npos);
}

TEST_F(LockScene, ASceneThatCannotDrawLeavesABlackLockedScreen) {
    ASSERT_TRUE(StartSaver({"ORBSAVER_TEST_NO_GL=1"})) << "the saver did not start holding the input";
    // Each scene ends at once; after the sixth the lock starts none.
    const auto end = std::chrono::steady_clock::now() + 30s;
    const auto givenUp = [&] {
        return ReadText(home.Path("stderr.txt")).find("stays black") != std::string::npos;
    };
    while (!givenUp() && std::chrono::steady_clock::now() < end) {
        const Look look = LookAtTheScreen();
        ASSERT_EQ(look.desktop, 0);
        ASSERT_TRUE(SomeoneHoldsInput());
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(givenUp()) << "scenes are still started";
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(ChildrenOf(saver).empty());
    EXPECT_TRUE(SomeoneHoldsInput());
    EXPECT_EQ(LookAtTheScreen().lit, 0) << "the screen is not black";
    EXPECT_EQ(EndWithTheRightPassword(), 0);
    const std::string said = ReadText(home.Path("stderr.txt"));
    EXPECT_EQ(Count(said, "cannot draw with OpenGL 3.3"), 1u) << said;
    EXPECT_EQ(Count(said, "the screen stays black and locked"), 1u) << said;
}

TEST_F(LockScene, EveryEndOfTheLockEndsItsScene) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_TRUE(StartSaver()) << "signal " << signal;
        const pid_t scene = AwaitScene(15s);
        ASSERT_GT(scene, 0) << "signal " << signal;
        kill(saver, signal);
        EXPECT_GE(ExitCodeAfter(saver, 10s), 0) << "signal " << signal;
        EXPECT_TRUE(AwaitGone(scene, 2000ms)) << "the scene outlived the lock, signal " << signal;
    }
    // The X server drops the lock (xkill): its connection breaks, and it ends with its
    // scene.
    {
        ASSERT_TRUE(StartSaver());
        const pid_t scene = AwaitScene(15s);
        ASSERT_GT(scene, 0);
        Window root = 0, parent = 0, *tops = nullptr;
        unsigned count = 0;
        Window lock = 0;
        ASSERT_TRUE(XQueryTree(d, DefaultRootWindow(d), &root, &parent, &tops, &count));
        for (unsigned i = 0; i < count && !lock; ++i) {
            XClassHint hint{};
            if (XGetClassHint(d, tops[i], &hint)) {
                if (hint.res_class && std::string(hint.res_class) == "D3DRM Example") lock = tops[i];
                if (hint.res_name) XFree(hint.res_name);
                if (hint.res_class) XFree(hint.res_class);
            }
        }
        if (tops) XFree(tops);
        ASSERT_NE(lock, 0u);
        XKillClient(d, lock);
        XSync(d, False);
        EXPECT_EQ(ExitCodeAfter(saver, 10s), 1);
        EXPECT_TRUE(AwaitGone(scene, 2000ms)) << "the scene outlived a lock the server dropped";
    }
    // A lock that is killed outright takes its scene with it.
    ASSERT_TRUE(StartSaver());
    const pid_t scene = AwaitScene(15s);
    ASSERT_GT(scene, 0);
    kill(saver, SIGKILL);
    EXPECT_GE(ExitCodeAfter(saver, 10s), 0);
    EXPECT_TRUE(AwaitGone(scene, 2000ms)) << "the scene outlived a killed lock";
}
