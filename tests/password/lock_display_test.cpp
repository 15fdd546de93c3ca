// The lock in the real saver, on an X server of the test's own, with a PAM service that
// refuses every password: every key of the keyboard, alone and with each combination
// of Shift, Control, Alt and Super, with the prompt closed and with it open; Alt+F4
// after a prompt that gave up; the About box; a store that cannot be parsed; the
// window manager's close. The saver is still running and still holds the keyboard and
// pointer after each. Then PAM accepts, and the right password ends it with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <sstream>

#include "x_session.h"

// clang-format off
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
// clang-format on

using namespace xsession;
using namespace std::chrono_literals;

namespace {

constexpr int kScreenWidth = 640, kScreenHeight = 480;

const std::string kSecureStore =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
    "\"ScreenSaverIsSecure\"=dword:00000001\r\n\r\n";
// A comment after a value is not part of the file's form: the store cannot be parsed.
const std::string kBrokenStore =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
    "\"ScreenSaverIsSecure\"=dword:00000000 ; off for now\r\n\r\n";

// Every test here runs on an X server of its own, small, so that the saver's frames
// are cheap, and so that the keys a real server acts on itself (switching consoles)
// never reach the display the tests were started on.
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

// A window of that class anywhere below the given one.
Window FindWindowOfClass(Display* d, Window w, const char* name) {
    XClassHint hint{};
    if (XGetClassHint(d, w, &hint)) {
        const bool match = hint.res_class && std::string(hint.res_class) == name;
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
        if (match) return w;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) found = FindWindowOfClass(d, children[i], name);
        if (children) XFree(children);
    }
    return found;
}

// What the person at the keyboard sees and feels of the saver: whether the pointer
// shows (it does over the prompt and the About box, and nowhere else), whether the
// saver has drawn since, and whether anyone holds the keyboard and pointer. The X
// server tells of cursor changes and drawing in the order they happened.
class Observer {
  public:
    // The watch on the saver's window ends with the window, or with the connection.
    explicit Observer(Keyboard& keyboard) : k_(keyboard), d_(keyboard.display()) {}

    // Starts watching the saver's window.
    bool Watch(Window saver) {
        int error = 0;
        if (!XFixesQueryExtension(d_, &fixesEvent_, &error) ||
            !XDamageQueryExtension(d_, &damageEvent_, &error))
            return false;
        XFixesSelectCursorInput(d_, DefaultRootWindow(d_), XFixesDisplayCursorNotifyMask);
        damage_ = XDamageCreate(d_, saver, XDamageReportRawRectangles);
        XSync(d_, False);
        shows_ = CursorVisible();
        return true;
    }

    // Waits until the pointer shows (or is hidden); false when it did not in time.
    bool Await(bool shows, std::chrono::milliseconds patience = 3000ms) {
        return Until([&] { return shows_ == shows; }, patience);
    }
    bool Shows() {
        Drain();
        return shows_;
    }
    // Waits until the saver has drawn since the pointer came up: the prompt is on the
    // screen and takes keys. Before that, a key would count as part of the one that
    // opened it.
    bool AwaitPromptDrawn(std::chrono::milliseconds patience = 1000ms) {
        return Until([&] { return paints_ > paintsWhenShown_; }, patience);
    }

    // Another client holds both the keyboard and the pointer: this one cannot have them.
    bool SomeoneHoldsInput() {
        const Window root = DefaultRootWindow(d_);
        const int keyboard = XGrabKeyboard(d_, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (keyboard == GrabSuccess) XUngrabKeyboard(d_, CurrentTime);
        const int pointer = XGrabPointer(d_, root, False, ButtonPressMask, GrabModeAsync,
                                         GrabModeAsync, 0, 0, CurrentTime);
        if (pointer == GrabSuccess) XUngrabPointer(d_, CurrentTime);
        XSync(d_, False);
        return keyboard == AlreadyGrabbed && pointer == AlreadyGrabbed;
    }

    // Waits until someone holds both (the saver takes them just after its window
    // shows).
    bool AwaitInputHeld(std::chrono::milliseconds patience = 3000ms) {
        const auto end = std::chrono::steady_clock::now() + patience;
        while (!SomeoneHoldsInput()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(20ms);  // leaving the saver room to take them
        }
        return true;
    }

    // Closes the prompt by pressing Escape (or Enter: confirmed, then refused). The key
    // stays down afterwards: under Alt its release would be a key of its own, opening
    // the prompt again. The next closing releases it while the prompt is open, where
    // the release is only typing, and presses its own key.
    bool CloseThePrompt(KeySym with = XK_Escape) {
        const KeyCode code = k_.Code(with);
        for (int tries = 0; tries < 10; ++tries) {
            if (!Shows()) return true;
            AwaitPromptDrawn();
            if (held_) k_.Press(held_, false);
            k_.Press(code, true);
            k_.Sync();
            held_ = code;
            if (Await(false, 2000ms)) return true;
        }
        return false;
    }
    KeyCode HeldKey() const { return held_; }
    // Lets go of the closing key, which may open the prompt (under Alt).
    void ReleaseHeld() {
        if (!held_) return;
        k_.Press(held_, false);
        k_.Sync();
        held_ = 0;
    }
    // Makes sure the prompt is open and drawn (a Shift press opens it when it is not).
    bool OpenThePrompt() {
        ReleaseHeld();
        for (int tries = 0; tries < 10; ++tries) {
            if (Shows() || (k_.Tap(XK_Shift_R, 0), Await(true, 1000ms))) return AwaitPromptDrawn();
        }
        return false;
    }
    // Waits until the About box has the pointer (it puts it on its OK button once it
    // holds the keyboard and pointer).
    bool AwaitAboutBox() {
        return Await(true) && Until([&] { return PointerAt(kScreenWidth / 2 + 130, kScreenHeight / 2 + 25); },
                                    3000ms);
    }
    // Closes the About box with Enter, its OK.
    bool CloseTheAboutBox() {
        if (!AwaitAboutBox()) return false;
        k_.Tap(XK_Return, 0);
        return Await(false);
    }

  private:
    bool CursorVisible() {
        XFixesCursorImage* image = XFixesGetCursorImage(d_);
        if (!image) return false;
        bool seen = false;
        const std::size_t pixels = static_cast<std::size_t>(image->width) * image->height;
        for (std::size_t i = 0; i < pixels && !seen; ++i) seen = (image->pixels[i] >> 24) != 0;
        XFree(image);
        return seen;
    }
    bool PointerAt(int x, int y) {
        Window root = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(d_, DefaultRootWindow(d_), &root, &child, &rx, &ry, &wx, &wy, &mask);
        return rx == x && ry == y;
    }
    // Takes in what the server told, in its order.
    void Drain() {
        while (XPending(d_)) {
            XEvent ev;
            XNextEvent(d_, &ev);
            if (ev.type == fixesEvent_ + XFixesCursorNotify) {
                const bool shows = CursorVisible();
                if (shows && !shows_) paintsWhenShown_ = paints_;
                shows_ = shows;
            } else if (ev.type == damageEvent_ + XDamageNotify) {
                ++paints_;
            }
        }
    }
    template <typename Condition>
    bool Until(Condition done, std::chrono::milliseconds patience) {
        const auto end = std::chrono::steady_clock::now() + patience;
        for (;;) {
            Drain();
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(500us);
        }
    }

    Keyboard& k_;
    Display* d_;
    int fixesEvent_ = 0, damageEvent_ = 0;
    Damage damage_ = 0;
    bool shows_ = false;
    std::uint64_t paints_ = 0, paintsWhenShown_ = 0;
    KeyCode held_ = 0;  // the key that closed the prompt last, still down
};

// The keyboard's keys: every key code that has a symbol.
std::vector<KeyCode> EveryKey(Display* d) {
    int low = 0, high = 0, perCode = 0;
    XDisplayKeycodes(d, &low, &high);
    KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(low), high - low + 1, &perCode);
    std::vector<KeyCode> keys;
    for (int code = low; code <= high && map; ++code) {
        bool any = false;
        for (int k = 0; k < perCode; ++k) any = any || map[(code - low) * perCode + k] != 0;
        if (any) keys.push_back(static_cast<KeyCode>(code));
    }
    if (map) XFree(map);
    return keys;
}

// Keys the X server acts on itself under Control+Alt (switching consoles and video
// modes, ending itself, breaking grabs): no program hears of them, and the lock does
// not promise anything about them.
std::vector<bool> ServerKeys(Display* d) {
    static const std::array<const char*, 7> kPrefixes = {
        "XF86Switch_VT_", "XF86Next_VMode", "XF86Prev_VMode", "Terminate_Server",
        "XF86Ungrab",     "XF86ClearGrab",  "XF86LogGrabInfo"};
    std::vector<bool> server(256, false);
    int low = 0, high = 0, perCode = 0;
    XDisplayKeycodes(d, &low, &high);
    KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(low), high - low + 1, &perCode);
    for (int code = low; code <= high && map; ++code) {
        for (int k = 0; k < perCode; ++k) {
            const char* name = XKeysymToString(map[(code - low) * perCode + k]);
            for (const char* prefix : kPrefixes)
                if (name && std::string_view(name).starts_with(prefix)) server[code] = true;
        }
    }
    if (map) XFree(map);
    return server;
}

// Caps Lock, Num Lock and group switches a sweep may have left on, and the keyboard
// controls given.
void ResetKeyboard(Display* d, unsigned controls) {
    XkbStateRec state{};
    XkbGetState(d, XkbUseCoreKbd, &state);
    if (state.locked_mods) XkbLockModifiers(d, XkbUseCoreKbd, state.locked_mods, 0);
    XkbLockGroup(d, XkbUseCoreKbd, 0);
    XkbChangeEnabledControls(d, XkbUseCoreKbd, XkbAllBooleanCtrlsMask & ~controls, 0);
    XkbChangeEnabledControls(d, XkbUseCoreKbd, controls, controls);
    XSync(d, False);
}

unsigned EnabledControls(Display* d) {
    XkbDescPtr desc = XkbGetMap(d, 0, XkbUseCoreKbd);
    unsigned enabled = 0;
    if (desc && XkbGetControls(d, XkbAllControlsMask, desc) == Success && desc->ctrls)
        enabled = desc->ctrls->enabled_ctrls;
    if (desc) XkbFreeKeyboard(desc, XkbAllComponentsMask, True);
    return enabled;
}

// Keyboard controls a long run of presses could turn on by accident (Shift pressed
// five times starts sticky keys), and key repeat: a key the test holds down must not
// type again.
constexpr unsigned kQuietControls = XkbAccessXKeysMask | XkbStickyKeysMask | XkbMouseKeysMask |
                                    XkbSlowKeysMask | XkbBounceKeysMask | XkbRepeatKeysMask;

bool Running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

// How long a key may take to show its effect on a busy machine, typed behind a burst
// of others or not. Only a saver that never answers makes the test wait this long.
constexpr auto kBusyPatience = 15000ms;

long long Elapsed(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A combination in words, for messages.
std::string Describe(const std::vector<KeyCode>& held) {
    if (held.empty()) return "no modifier";
    std::string words;
    for (KeyCode k : held) words += (words.empty() ? "key " : "+key ") + std::to_string(k);
    return words;
}

class Lock : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs Xvfb, which runs the saver here";
        ASSERT_TRUE(keyboard.ok());
        if (!keyboard.HasTestExtension()) GTEST_SKIP() << "the X server has no XTEST extension";
        controls = EnabledControls(keyboard.display());
        Quiet();
    }
    void TearDown() override {
        Kill(saver);
        if (HasFailure()) {
            std::fprintf(stderr, "the saver said:\n%s", ReadText(home.Path("stderr.txt")).c_str());
        }
        if (keyboard.ok()) ResetKeyboard(keyboard.display(), controls);
    }
    void Quiet() { ResetKeyboard(keyboard.display(), controls & ~kQuietControls); }

    // Starts the saver; true once its window is up and watched.
    bool StartSaver(std::vector<std::string> env = {}) {
        for (const auto& e : home.Environment()) env.push_back(e);
        env.push_back("ORBSAVER_TEST_REFUSAL_DELAY_MS=10");
        env.push_back("ORBSAVER_TEST_PROMPT_TIMEOUT_MS=1500");
        saver = Spawn({kBinary, "/s"}, env, home.Path("stderr.txt"));
        if (saver <= 0) return false;
        if (std::system((kXtool + " wait 'D3DRM Example' 10 >/dev/null").c_str()) != 0) return false;
        Display* d = keyboard.display();
        const Window window = FindWindowOfClass(d, DefaultRootWindow(d), "D3DRM Example");
        return window && see.Watch(window);
    }

    // Still running, still holding the keyboard and pointer, prompt closed.
    void ExpectLocked(const std::string& after) {
        EXPECT_TRUE(see.CloseThePrompt()) << after;
        EXPECT_TRUE(Running(saver)) << "the saver ended " << after;
        EXPECT_TRUE(see.SomeoneHoldsInput()) << "the saver let go of the input " << after;
    }

    // Ends the saver with the right password; its exit code.
    int EndWithTheRightPassword() {
        home.Accept();
        Quiet();
        if (!see.OpenThePrompt()) return -2;
        keyboard.Type(U"right h\u00F6rse");
        keyboard.Tap(XK_Return);
        return ExitCodeAfter(saver, 10s);
    }

    Keyboard keyboard;
    Observer see{keyboard};
    SaverHome home{"orbsaver-lock-display"};
    pid_t saver = -1;
    unsigned controls = 0;
};

// The combinations of the four modifiers, as the keys that hold them.
std::vector<std::vector<KeyCode>> Combinations(Keyboard& k) {
    const std::array<KeyCode, 4> modifiers = {k.Code(XK_Shift_L), k.Code(XK_Control_L),
                                              k.Code(XK_Alt_L), k.Code(XK_Super_L)};
    std::vector<std::vector<KeyCode>> out;
    for (unsigned bits = 0; bits < 16; ++bits) {
        std::vector<KeyCode> held;
        for (unsigned i = 0; i < 4; ++i)
            if (bits & (1u << i)) held.push_back(modifiers[i]);
        out.push_back(held);
    }
    return out;
}

bool Holds(const std::vector<KeyCode>& held, KeyCode key) {
    return std::find(held.begin(), held.end(), key) != held.end();
}

}  // namespace

TEST_F(Lock, NoKeyNoCombinationAndNoCloseEndsItOnlyTheRightPassword) {
    home.WriteStore(kSecureStore);
    ASSERT_TRUE(StartSaver());
    ASSERT_TRUE(see.AwaitInputHeld()) << "the saver did not start holding the input";
    Display* d = keyboard.display();
    const std::vector<KeyCode> keys = EveryKey(d);
    ASSERT_GT(keys.size(), 100u);
    const std::vector<bool> serverKeys = ServerKeys(d);
    const auto combinations = Combinations(keyboard);
    const KeyCode f1 = keyboard.Code(XK_F1), alt = keyboard.Code(XK_Alt_L),
                  control = keyboard.Code(XK_Control_L);
    const auto started = std::chrono::steady_clock::now();

    // With the prompt closed: each key opens it, alone and under each combination held
    // down while the prompt was closed. Released F1 opens the About box instead (not
    // under Alt, which makes it a system key, which does nothing). Keys the saver is
    // never told of (no symbol the desktop library knows) open nothing; they are found
    // alone, once. So are the X server's own keys under Control+Alt.
    std::vector<bool> silent(256, false);
    int prompts = 0, aboutBoxes = 0, unheard = 0;
    for (const auto& held : combinations) {
        const bool underAlt = Holds(held, alt), serverCombination = underAlt && Holds(held, control);
        Quiet();
        for (KeyCode m : held) keyboard.Press(m, true);
        keyboard.Sync();
        if (!held.empty()) see.Await(true, 500ms);
        ASSERT_TRUE(see.CloseThePrompt());
        for (KeyCode key : keys) {
            if (Holds(held, key)) continue;
            if (key == see.HeldKey()) {
                // The key that closes the prompt is down: let go of it first (under Alt
                // that is a key of its own) and close with the other one meanwhile.
                const KeySym other = key == keyboard.Code(XK_Escape) ? XK_Return : XK_Escape;
                see.ReleaseHeld();
                if (see.Await(true, 300ms)) {
                    ASSERT_TRUE(see.CloseThePrompt(other));
                }
            }
            keyboard.Press(key, true);
            keyboard.Press(key, false);
            keyboard.Sync();
            const bool quiet = silent[key] || (key == f1 && underAlt) ||
                               (serverCombination && serverKeys[key]);
            if (held.empty()) {
                silent[key] = !see.Await(true, 150ms);
                unheard += silent[key];
            } else if (!quiet && !see.Await(true, kBusyPatience)) {
                ADD_FAILURE() << "key code " << int(key) << " under " << Describe(held)
                              << " opened nothing";
            }
            if (key == f1 && !underAlt) {
                ++aboutBoxes;
                EXPECT_TRUE(see.CloseTheAboutBox()) << Describe(held);
            } else {
                prompts += see.Shows();
                ASSERT_TRUE(see.CloseThePrompt())
                    << "key code " << int(key) << " under " << Describe(held);
            }
            ASSERT_TRUE(Running(saver)) << "key code " << int(key) << " under " << Describe(held)
                                        << " ended the saver";
        }
        see.ReleaseHeld();
        for (KeyCode m : held) keyboard.Press(m, false);
        keyboard.Sync();
        if (underAlt) see.Await(true, 300ms);  // releases under Alt are keys of their own
        ExpectLocked("after " + Describe(held) + " with the prompt closed");
    }
    std::fprintf(stderr,
                 "prompt closed: %zu keys under 16 combinations, %d prompts, %d About boxes, "
                 "%d keys unheard, %lld ms\n",
                 keys.size(), prompts, aboutBoxes, unheard, Elapsed(started));

    // With the prompt open: every key and combination typed into it, as fast as the
    // keyboard goes. Escape and Enter close it (Enter once PAM has refused); it is
    // opened again before the next key.
    const KeyCode escape = keyboard.Code(XK_Escape), enter = keyboard.Code(XK_Return),
                  padEnter = keyboard.Code(XK_KP_Enter);
    for (const auto& held : combinations) {
        Quiet();
        ASSERT_TRUE(see.OpenThePrompt());
        for (KeyCode m : held) keyboard.Press(m, true);
        for (KeyCode key : keys) {
            if (Holds(held, key)) continue;
            keyboard.Press(key, true);
            if (key == escape || key == enter || key == padEnter) {
                keyboard.Sync();
                // The keys before it were typed as fast as the keyboard goes: on a busy
                // machine the saver may still be working through them (each one draws
                // the prompt again) when this one comes, seconds later than the press.
                EXPECT_TRUE(see.Await(false, kBusyPatience))
                    << "key code " << int(key) << " under " << Describe(held) << " closed nothing";
                keyboard.Press(key, false);
                for (KeyCode m : held) keyboard.Press(m, false);
                keyboard.Sync();
                ASSERT_TRUE(see.OpenThePrompt());
                for (KeyCode m : held) keyboard.Press(m, true);
            } else {
                keyboard.Press(key, false);
            }
        }
        for (KeyCode m : held) keyboard.Press(m, false);
        keyboard.Sync();
        ExpectLocked("after " + Describe(held) + " with the prompt open");
    }
    std::fprintf(stderr, "prompt open: done at %lld ms\n", Elapsed(started));

    // Alt held until the prompt gives up, then F4: the refused attempt's Alt+F4 does
    // not close the window.
    Quiet();
    ASSERT_TRUE(see.CloseThePrompt());
    see.ReleaseHeld();
    keyboard.Press(alt, true);
    keyboard.Sync();
    EXPECT_TRUE(see.Await(true));
    EXPECT_TRUE(see.Await(false, 4000ms)) << "the prompt did not give up";
    keyboard.Tap(XK_F4);
    EXPECT_TRUE(see.Await(true));
    EXPECT_TRUE(see.AwaitPromptDrawn());
    keyboard.Press(alt, false);
    keyboard.Sync();
    keyboard.Tap(XK_Escape);
    EXPECT_TRUE(see.Await(false));
    ExpectLocked("after Alt+F4");

    // The window manager's close opens the prompt like a key; it ends nothing.
    std::system((kXtool + " close 'D3DRM Example'").c_str());
    EXPECT_TRUE(see.Await(true));
    ExpectLocked("after WM_DELETE_WINDOW");

    // The About box: released F1 opens it, holding the keyboard and pointer; Escape
    // does nothing to it; its OK, clicked or by Enter, closes it, and the saver holds
    // the keyboard and pointer again: the next key opens the prompt.
    see.ReleaseHeld();
    for (const bool click : {true, false}) {
        keyboard.Tap(XK_F1);
        ASSERT_TRUE(see.AwaitAboutBox()) << "no About box";
        EXPECT_TRUE(see.SomeoneHoldsInput()) << "the About box holds no input";
        keyboard.Tap(XK_Escape);
        EXPECT_TRUE(see.Shows()) << "Escape closed the About box";
        if (click) {
            keyboard.Click();  // the box put the pointer on its OK button
        } else {
            keyboard.Tap(XK_Return);
        }
        EXPECT_TRUE(see.Await(false)) << "the About box did not close";
        EXPECT_TRUE(Running(saver));
        keyboard.Tap(XK_space);
        EXPECT_TRUE(see.Await(true)) << "the saver does not take keys after the About box";
        ExpectLocked("after a key after the About box");
        see.ReleaseHeld();
    }

    // A store that stopped parsing meanwhile still asks.
    home.WriteStore(kBrokenStore);
    keyboard.Tap(XK_a);
    EXPECT_TRUE(see.Await(true));
    ExpectLocked("after the store broke");
    home.WriteStore(kSecureStore);

    EXPECT_EQ(EndWithTheRightPassword(), 0);
    std::fprintf(stderr, "whole run: %lld ms\n", Elapsed(started));
}

TEST_F(Lock, AStoreThatCannotBeParsedLocksFromTheStart) {
    home.WriteStore(kBrokenStore);
    ASSERT_TRUE(StartSaver());
    ASSERT_TRUE(see.AwaitInputHeld()) << "the saver did not start holding the input";
    EXPECT_TRUE(see.Await(false)) << "the pointer shows over the lock";
    keyboard.Tap(XK_a);
    EXPECT_TRUE(see.Await(true)) << "no prompt";
    ExpectLocked("after a key");
    EXPECT_EQ(EndWithTheRightPassword(), 0);
    const std::string said = ReadText(home.Path("stderr.txt"));
    EXPECT_NE(said.find("cannot be parsed (line 4: bad value data); the password is asked for"),
              std::string::npos)
        << said;
}

TEST_F(Lock, ASaverThatCannotHaveTheInputDoesNotPretend) {
    home.WriteStore(kSecureStore);
    Display* d = keyboard.display();
    // Another program holds the keyboard for longer than the saver waits.
    ASSERT_EQ(XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync,
                            CurrentTime),
              GrabSuccess);
    XSync(d, False);
    saver = Spawn({kBinary, "/s"}, home.Environment(), home.Path("stderr.txt"));
    ASSERT_GT(saver, 0);
    const int code = ExitCodeAfter(saver, 15s);
    XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
    EXPECT_EQ(code, 1);
    EXPECT_NE(ReadText(home.Path("stderr.txt")).find("the screen cannot be locked"),
              std::string::npos);
}

TEST_F(Lock, WithoutAPasswordAnyKeyEndsItAndNothingIsHeld) {
    // No store at all: no password, so no lock; the pointer is hidden all the same.
    ASSERT_TRUE(StartSaver());
    EXPECT_TRUE(see.Await(false)) << "the pointer shows over the saver";
    EXPECT_FALSE(see.SomeoneHoldsInput()) << "a saver without a password holds the input";
    keyboard.Tap(XK_a);
    EXPECT_EQ(ExitCodeAfter(saver, 10s), 0);
}
