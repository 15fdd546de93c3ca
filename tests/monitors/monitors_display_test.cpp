// Full screen on a real X server with several monitors: Xorg with the dummy video
// driver, a configuration of the test's own, and monitors added with xrandr. The
// scene shows on the primary and black on every other monitor, with no pixel of the
// desktop on any; input on another monitor is input; the primary shows 800 x 600
// while the saver runs and its own mode again after every way of ending; monitors
// plugged in and out while it runs, also while it is locked, are followed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "password/x_session.h"
#include "support/dummy_xserver.h"

// clang-format off
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/Xfixes.h>
// clang-format on

using namespace xsession;
using namespace std::chrono_literals;

namespace {

const std::string kSecureStore =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
    "\"ScreenSaverIsSecure\"=dword:00000001\r\n\r\n";

struct Rect {
    int x, y, width, height;
};

// Windows the test looks at may be gone by the time it asks.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

class MonitorsTest : public ::testing::Test {
  protected:
    virtual std::vector<std::string> ServerOptions() { return {}; }

    void SetUp() override {
        unsetenv("DISPLAY");
        server_ = std::make_unique<DummyXServer>(ServerOptions());
        if (server_->display().empty()) GTEST_SKIP() << server_->reason();
        setenv("DISPLAY", server_->display().c_str(), 1);
        keyboard_ = std::make_unique<Keyboard>();
        ASSERT_TRUE(keyboard_->ok());
        d_ = keyboard_->display();
        XSetErrorHandler(IgnoreXError);
        // The desktop has a colour the scene never fills an area with (green is the
    // background of a store without the saver's settings): any pixel of it that
    // shows is seen.
        XColor colour{}, exact{};
        ASSERT_TRUE(XAllocNamedColor(d_, DefaultColormap(d_, 0), "#c81e5a", &colour, &exact));
        desktop_ = colour.pixel;
        XSetWindowBackground(d_, DefaultRootWindow(d_), desktop_);
        XClearWindow(d_, DefaultRootWindow(d_));
        XSync(d_, False);
        home_ = std::make_unique<SaverHome>("orbsaver-monitors");
    }

    void TearDown() override {
        if (saver_ > 0) Kill(saver_);
    }

    std::vector<std::pair<Rect, bool>> Monitors() {
        std::vector<std::pair<Rect, bool>> out;
        int count = 0;
        XRRMonitorInfo* list = XRRGetMonitors(d_, DefaultRootWindow(d_), True, &count);
        for (int i = 0; list && i < count; ++i)
            out.push_back({{list[i].x, list[i].y, list[i].width, list[i].height}, list[i].primary != 0});
        if (list) XRRFreeMonitors(list);
        return out;
    }
    Rect Primary() {
        for (auto& [r, primary] : Monitors())
            if (primary) return r;
        return {0, 0, 0, 0};
    }
    bool PrimaryIs(int width, int height, std::chrono::milliseconds patience = 10s) {
        const auto end = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const Rect p = Primary();
            if (p.width == width && p.height == height) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(50ms);
        }
    }

    // Samples of a part of the screen, every fourth pixel each way.
    struct Look {
        long samples = 0, desktop = 0, black = 0;
    };
    Look LookAt(const Rect& r) {
        Look look;
        XImage* image = XGetImage(d_, DefaultRootWindow(d_), r.x, r.y, static_cast<unsigned>(r.width),
                                  static_cast<unsigned>(r.height), AllPlanes, ZPixmap);
        if (!image) return look;
        for (int y = 0; y < r.height; y += 4) {
            for (int x = 0; x < r.width; x += 4) {
                const unsigned long p = XGetPixel(image, x, y) & 0xFFFFFF;
                ++look.samples;
                if (p == (desktop_ & 0xFFFFFF)) ++look.desktop;
                if (p == 0) ++look.black;
            }
        }
        XDestroyImage(image);
        return look;
    }
    static std::string Describe(const Look& l) {
        return std::to_string(l.samples) + " samples, " + std::to_string(l.desktop) +
               " of the desktop, " + std::to_string(l.black) + " black; ";
    }
    // The scene: drawn (not all black) and no desktop pixel.
    bool ShowsScene(const Rect& r) {
        const Look l = LookAt(r);
        return l.samples > 0 && l.desktop == 0 && l.black < l.samples;
    }
    bool AllBlack(const Rect& r) {
        const Look l = LookAt(r);
        return l.samples > 0 && l.black == l.samples;
    }
    template <class F>
    bool Within(std::chrono::milliseconds patience, F done) {
        const auto end = std::chrono::steady_clock::now() + patience;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    // The black windows: mapped override-redirect windows of the saver's class.
    int BlackWindows() {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        int found = 0;
        if (!XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &children, &count)) return -1;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes a{};
            if (!XGetWindowAttributes(d_, children[i], &a) || a.map_state != IsViewable ||
                !a.override_redirect)
                continue;
            XClassHint hint{};
            if (XGetClassHint(d_, children[i], &hint)) {
                if (hint.res_class && std::string(hint.res_class) == "D3DRM Example") ++found;
                if (hint.res_name) XFree(hint.res_name);
                if (hint.res_class) XFree(hint.res_class);
            }
        }
        if (children) XFree(children);
        return found;
    }
    // The saver's own window (the one a window manager would manage).
    Window SaverWindow() {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (!XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &children, &count)) return 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes a{};
            if (!XGetWindowAttributes(d_, children[i], &a) || a.override_redirect) continue;
            XClassHint hint{};
            if (XGetClassHint(d_, children[i], &hint)) {
                if (hint.res_class && std::string(hint.res_class) == "D3DRM Example") found = children[i];
                if (hint.res_name) XFree(hint.res_name);
                if (hint.res_class) XFree(hint.res_class);
            }
        }
        if (children) XFree(children);
        return found;
    }

    void Start(const std::vector<std::string>& env = {}) {
        std::vector<std::string> all = home_->Environment();
        all.insert(all.end(), env.begin(), env.end());
        saver_ = Spawn({kBinary, "/s"}, all, home_->Path("stderr"));
        ASSERT_GT(saver_, 0);
    }
    // Running, in 800 x 600 on the primary, drawing there.
    void AwaitRunning() {
        ASSERT_TRUE(PrimaryIs(800, 600)) << Stderr();
        ASSERT_TRUE(Within(10s, [&] { return ShowsScene({0, 0, 800, 600}); }))
            << Describe(LookAt({0, 0, 800, 600})) << Stderr();
    }
    int AwaitEnd(std::chrono::milliseconds patience = 5s) {
        const int code = ExitCodeAfter(saver_, patience);
        if (code >= 0) saver_ = -1;
        return code;
    }
    bool PointerOn(const Rect& r) {
        Window root = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(d_, DefaultRootWindow(d_), &root, &child, &x, &y, &wx, &wy, &mask);
        return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
    }
    bool SomeoneHoldsInput() {
        const Window root = DefaultRootWindow(d_);
        const int k = XGrabKeyboard(d_, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (k == GrabSuccess) XUngrabKeyboard(d_, CurrentTime);
        const int p = XGrabPointer(d_, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                                   None, None, CurrentTime);
        if (p == GrabSuccess) XUngrabPointer(d_, CurrentTime);
        XSync(d_, False);
        return k != GrabSuccess && p != GrabSuccess;
    }
    std::string Stderr() {
        std::ifstream in(home_->Path("stderr"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void TypePassword() {
        keyboard_->Type(U"right h\u00f6rse");
        keyboard_->Tap(XK_Return);
    }

    std::unique_ptr<DummyXServer> server_;
    std::unique_ptr<Keyboard> keyboard_;
    std::unique_ptr<SaverHome> home_;
    Display* d_ = nullptr;
    unsigned long desktop_ = 0;
    pid_t saver_ = -1;
};

// Two monitors side by side, the primary on the left, both 1024 x 768.
class TwoMonitors : public MonitorsTest {
  protected:
    void SetUp() override {
        MonitorsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(PlugIn(1, "--right-of DUMMY0"));
        ASSERT_EQ(Monitors().size(), 2u);
    }
    const Rect second_{1024, 0, 1024, 768};
};

TEST_F(TwoMonitors, SceneOnThePrimaryBlackOnTheOtherAndAClickThereEnds) {
    keyboard_->MoveTo(1500, 400);
    Start();
    AwaitRunning();
    EXPECT_TRUE(ShowsScene({0, 0, 800, 600}));
    EXPECT_TRUE(AllBlack(second_));
    EXPECT_EQ(BlackWindows(), 1);
    // The other monitor keeps its mode.
    EXPECT_EQ(Monitors().size(), 2u);
    keyboard_->Click();
    EXPECT_EQ(AwaitEnd(), 0) << Stderr();
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
    for (auto& [r, primary] : Monitors()) EXPECT_EQ(r.width, 1024);
}

TEST_F(TwoMonitors, PointerMotionOnTheOtherMonitorEndsAfterTheFirstPosition) {
    keyboard_->MoveTo(1500, 400);
    Start();
    AwaitRunning();
    keyboard_->MoveTo(1600, 500);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(AwaitEnd(0ms), -1) << "the first position only counts as the reference";
    keyboard_->MoveTo(1601, 500);
    EXPECT_EQ(AwaitEnd(), 0) << Stderr();
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
}

class EveryEnd : public TwoMonitors, public ::testing::WithParamInterface<int> {};

// SIGTERM, SIGINT, SIGHUP; and 0 for the server dropping the saver (xkill), which
// breaks its connection while the server stays.
TEST_P(EveryEnd, GivesThePrimaryItsModeBack) {
    Start();
    AwaitRunning();
    if (GetParam() != 0) {
        kill(saver_, GetParam());
    } else {
        const Window w = SaverWindow();
        ASSERT_NE(w, 0u);
        XKillClient(d_, w);
        XSync(d_, False);
    }
    const int code = AwaitEnd();
    EXPECT_GE(code, 0) << "still running";
    EXPECT_LT(code, 128) << "ended by the signal itself, without its normal end";
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s)) << Stderr();
}

INSTANTIATE_TEST_SUITE_P(Signals, EveryEnd, ::testing::Values(SIGTERM, SIGINT, SIGHUP, 0),
                         [](const auto& info) {
                             switch (info.param) {
                                 case SIGTERM: return std::string("SIGTERM");
                                 case SIGINT: return std::string("SIGINT");
                                 case SIGHUP: return std::string("SIGHUP");
                                 default: return std::string("ConnectionDropped");
                             }
                         });

TEST_F(TwoMonitors, AStartThatFailsAfterTheSwitchGivesTheModeBack) {
    // The display's own changes of mode, as they happen.
    int eventBase = 0, errorBase = 0;
    ASSERT_TRUE(XRRQueryExtension(d_, &eventBase, &errorBase));
    XRRSelectInput(d_, DefaultRootWindow(d_), RRCrtcChangeNotifyMask);
    XSync(d_, False);
    // OpenGL 3.3 without its shading language: the context is made, the mode set, and
    // the 3D device's shaders do not build.
    Start({"MESA_GL_VERSION_OVERRIDE=3.3", "MESA_GLSL_VERSION_OVERRIDE=120"});
    const int code = AwaitEnd(15s);
    if (code == -1) GTEST_SKIP() << "the GL driver is not Mesa's: its shaders still build";
    EXPECT_EQ(code, 1);
    EXPECT_NE(Stderr().find("cannot make the 3D device"), std::string::npos) << Stderr();
    bool switched = false;
    while (XPending(d_)) {
        XEvent ev;
        XNextEvent(d_, &ev);
        if (ev.type == eventBase + RRNotify) {
            const auto* n = reinterpret_cast<XRRNotifyEvent*>(&ev);
            if (n->subtype == RRNotify_CrtcChange &&
                reinterpret_cast<XRRCrtcChangeNotifyEvent*>(&ev)->width == 800)
                switched = true;
        }
    }
    EXPECT_TRUE(switched) << "the mode was never switched: the test tried nothing";
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
}

TEST_F(TwoMonitors, WithAPasswordAClickOnTheOtherOpensThePromptOnThePrimary) {
    home_->WriteStore(kSecureStore);
    keyboard_->MoveTo(1500, 400);
    Start();
    AwaitRunning();
    ASSERT_TRUE(Within(2s, [&] { return SomeoneHoldsInput(); }));
    keyboard_->Click();
    // The prompt puts the pointer beside the middle of the primary.
    EXPECT_TRUE(Within(3s, [&] { return PointerOn({0, 0, 800, 600}); }));
    EXPECT_EQ(AwaitEnd(500ms), -1) << "a click alone ended a locked saver";
    EXPECT_TRUE(AllBlack(second_));
    // The pointer is held, not kept on the primary: it reaches the other monitor.
    keyboard_->MoveTo(1600, 400);
    EXPECT_TRUE(Within(1s, [&] { return PointerOn(second_); }));
    EXPECT_TRUE(SomeoneHoldsInput());
    home_->Accept();
    TypePassword();
    EXPECT_EQ(AwaitEnd(), 0) << Stderr();
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
}

TEST_F(TwoMonitors, APrimaryOnTheRightGetsTheSceneTheModeAndThePrompt) {
    // The right one is the primary, and offers 800 x 600 too.
    ASSERT_EQ(Shell("xrandr --addmode DUMMY1 800x600"), 0);
    ASSERT_EQ(Shell("xrandr --output DUMMY1 --primary"), 0);
    ASSERT_EQ(Primary().x, 1024);
    home_->WriteStore(kSecureStore);
    keyboard_->MoveTo(500, 400);
    Start();
    ASSERT_TRUE(PrimaryIs(800, 600)) << Stderr();
    const Rect scene{1024, 0, 800, 600}, left{0, 0, 1024, 768};
    EXPECT_TRUE(Within(10s, [&] { return ShowsScene(scene); })) << Describe(LookAt(scene));
    EXPECT_TRUE(AllBlack(left));
    for (auto& [r, primary] : Monitors()) {
        if (!primary) {
            EXPECT_EQ(r.width, 1024) << "the other monitor's mode changed";
        }
    }
    keyboard_->Click();
    EXPECT_TRUE(Within(3s, [&] { return PointerOn(scene); })) << "the prompt is not on the primary";
    home_->Accept();
    TypePassword();
    EXPECT_EQ(AwaitEnd(), 0) << Stderr();
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
}

TEST_F(TwoMonitors, AMonitorAddedIsBlackWithinASecondAndOneRemovedLosesItsWindow) {
    Start();
    AwaitRunning();
    ASSERT_TRUE(PlugIn(2, "--right-of DUMMY1"));
    const auto plugged = std::chrono::steady_clock::now();
    const Rect third{2048, 0, 1024, 768};
    const bool black = Within(1s, [&] { return AllBlack(third); });
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - plugged);
    EXPECT_TRUE(black) << "not black after " << took.count() << " ms";
    std::printf("the monitor plugged in was black after %lld ms\n",
                static_cast<long long>(took.count()));
    EXPECT_EQ(BlackWindows(), 2);
    ASSERT_TRUE(Unplug(1));
    EXPECT_TRUE(Within(1s, [&] { return BlackWindows() == 1; }));
    EXPECT_TRUE(AllBlack(third));
    EXPECT_EQ(AwaitEnd(0ms), -1);
    kill(saver_, SIGTERM);
    EXPECT_EQ(AwaitEnd(), 0);
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
}

TEST_F(TwoMonitors, ALockedSaverFollowsMonitorsPluggedInAndUnpluggedUnderThePrompt) {
    home_->WriteStore(kSecureStore);
    keyboard_->MoveTo(1500, 400);
    Start();
    AwaitRunning();
    // Plugged in while locked: covered, and its input is the saver's.
    ASSERT_TRUE(PlugIn(2, "--right-of DUMMY1"));
    const Rect third{2048, 0, 1024, 768};
    EXPECT_TRUE(Within(1s, [&] { return AllBlack(third); }));
    keyboard_->MoveTo(2500, 400);
    std::this_thread::sleep_for(200ms);
    keyboard_->Click();
    EXPECT_TRUE(Within(3s, [&] { return PointerOn({0, 0, 800, 600}); }));
    // Unplugged while the prompt is open.
    ASSERT_TRUE(Unplug(1));
    EXPECT_TRUE(Within(1s, [&] { return BlackWindows() == 1; }));
    EXPECT_EQ(AwaitEnd(300ms), -1) << Stderr();
    EXPECT_TRUE(SomeoneHoldsInput());
    home_->Accept();
    TypePassword();
    EXPECT_EQ(AwaitEnd(), 0) << Stderr();
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
}

TEST_F(TwoMonitors, MirrorsShareOneWindow) {
    // The second shows what the primary shows; once the primary is 800 x 600, the
    // mirror still shows 1024 x 768, and the part beyond the scene is black.
    ASSERT_EQ(Shell("xrandr --output DUMMY1 --same-as DUMMY0"), 0);
    ASSERT_EQ(Monitors().size(), 2u);
    Start();
    AwaitRunning();
    EXPECT_EQ(BlackWindows(), 1);
    const Look mirror = LookAt({0, 0, 1024, 768});
    EXPECT_EQ(mirror.desktop, 0);
    EXPECT_TRUE(AllBlack({800, 0, 224, 768}));
    EXPECT_TRUE(ShowsScene({0, 0, 800, 600})) << "the black window stands over the scene";
    kill(saver_, SIGTERM);
    EXPECT_EQ(AwaitEnd(), 0);
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
}

TEST_F(MonitorsTest, EightMonitorsGetTheSceneOnceAndSevenBlackWindows) {
    // Two rows of four; the primary is the first.
    for (int i = 1; i < 8; ++i) {
        ASSERT_TRUE(PlugIn(i, "--pos " + std::to_string((i % 4) * 1024) + "x" +
                                  std::to_string((i / 4) * 768)));
    }
    ASSERT_EQ(Monitors().size(), 8u);
    Start();
    AwaitRunning();
    EXPECT_EQ(BlackWindows(), 7);
    for (int i = 1; i < 8; ++i)
        EXPECT_TRUE(AllBlack({(i % 4) * 1024, (i / 4) * 768, 1024, 768})) << "monitor " << i;
    keyboard_->MoveTo(3500, 1200);
    std::this_thread::sleep_for(200ms);
    keyboard_->Click();
    EXPECT_EQ(AwaitEnd(), 0);
    EXPECT_TRUE(PrimaryIs(1024, 768, 2s));
}

// A server without RandR reports no monitors: the saver covers the screen, its mode
// unchanged, with the scene scaled onto it.
class NoMonitorList : public MonitorsTest {
  protected:
    std::vector<std::string> ServerOptions() override { return {"-extension", "RANDR"}; }
};

TEST_F(NoMonitorList, CoversTheWholeScreen) {
    Start();
    const Rect screen{0, 0, DisplayWidth(d_, 0), DisplayHeight(d_, 0)};
    EXPECT_TRUE(Within(10s, [&] { return ShowsScene(screen); })) << Stderr();
    EXPECT_EQ(BlackWindows(), 0);
    kill(saver_, SIGTERM);
    EXPECT_EQ(AwaitEnd(), 0);
}

}  // namespace
