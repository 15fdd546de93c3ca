// A process that takes no typed text opens Xlib's input method without the locale's
// compose table, and keys still give their characters through it.
#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool) clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/backends.h"

namespace {

// The typed character of a key press on `window`, through the input context;
// "(held)" when the input method keeps the key as the start of a sequence.
std::string Typed(Display* d, XIC ic, Window window, KeyCode code, unsigned state) {
    XKeyEvent key{};
    key.type = KeyPress;
    key.display = d;
    key.window = window;
    key.root = DefaultRootWindow(d);
    key.keycode = code;
    key.state = state;
    key.same_screen = True;
    XEvent e;
    e.xkey = key;
    if (XFilterEvent(&e, window)) return "(held)";
    char text[16] = {};
    KeySym got = 0;
    Status status = 0;
    const int n = Xutf8LookupString(ic, &e.xkey, text, sizeof text - 1, &got, &status);
    return std::string(text, n > 0 ? n : 0);
}

// An input method and context on a window of its own, opened with the environment
// as it stands.
struct InputMethod {
    explicit InputMethod(Display* display) : d(display) {
        XSetLocaleModifiers("");
        im = XOpenIM(d, nullptr, nullptr, nullptr);
        window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
        if (im)
            ic = XCreateIC(im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                           window, XNFocusWindow, window, nullptr);
    }
    ~InputMethod() {
        if (ic) XDestroyIC(ic);
        if (im) XCloseIM(im);
        XDestroyWindow(d, window);
    }
    std::string Type(KeyCode code, unsigned state = 0) { return Typed(d, ic, window, code, state); }
    Display* d;
    XIM im = nullptr;
    XIC ic = nullptr;
    Window window = 0;
};

// A key code the keyboard leaves unused, given one key symbol for the test's time.
class SpareKey {
  public:
    SpareKey(Display* d, KeySym sym) : d_(d) {
        int low = 0, high = 0, per = 0;
        XDisplayKeycodes(d, &low, &high);
        for (int k = high; k >= low && !code_; --k) {
            KeySym* syms = XGetKeyboardMapping(d, KeyCode(k), 1, &per);
            bool unused = true;
            for (int i = 0; i < per; ++i) unused = unused && syms[i] == NoSymbol;
            XFree(syms);
            if (unused) code_ = KeyCode(k);
        }
        if (code_) {
            XChangeKeyboardMapping(d, code_, 1, &sym, 1);
            XSync(d, False);
        }
    }
    ~SpareKey() {
        if (!code_) return;
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(d_, code_, 1, &none, 1);
        XSync(d_, False);
    }
    KeyCode code() const { return code_; }

  private:
    Display* d_;
    KeyCode code_ = 0;
};

}  // namespace

TEST(ComposeTable, AForgoneTableHoldsNoDeadKeyAndStillGivesEachKeysCharacter) {
    const char* shown = std::getenv("DISPLAY");
    if (!shown || !*shown) GTEST_SKIP() << "no X display";
    Display* d = XOpenDisplay(nullptr);
    if (!d) GTEST_SKIP() << "cannot open the display";
    std::optional<std::string> before;
    if (const char* old = std::getenv("XCOMPOSEFILE")) before = old;
    const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C.UTF-8");
    {
        SpareKey acute(d, XK_dead_acute);
        ASSERT_NE(0, acute.code()) << "no spare key code";
        const KeyCode a = XKeysymToKeycode(d, XK_a);
        {
            // The locale's own table makes the dead key the start of a sequence.
            unsetenv("XCOMPOSEFILE");
            InputMethod full(d);
            ASSERT_NE(nullptr, full.ic);
            EXPECT_EQ("(held)", full.Type(acute.code()));
        }
        platform::ForgoComposeTable();
        InputMethod plain(d);
        ASSERT_NE(nullptr, plain.ic) << "the input method opens with no table";
        EXPECT_EQ("", plain.Type(acute.code())) << "the dead key is a key of no character";
        EXPECT_EQ("a", plain.Type(a));
        EXPECT_EQ("A", plain.Type(a, ShiftMask));
        EXPECT_EQ("7", plain.Type(XKeysymToKeycode(d, XK_7)));
    }
    XCloseDisplay(d);
    std::setlocale(LC_ALL, oldLocale.c_str());
    if (before)
        setenv("XCOMPOSEFILE", before->c_str(), 1);
    else
        unsetenv("XCOMPOSEFILE");
}
