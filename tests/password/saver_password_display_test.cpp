// The password in the real saver under an X display: with the password turned on and
// a PAM service of the test's own, a wrong password typed into the saver leaves it
// running, the right one ends it with exit code 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Xlib's macros (None, Bool, Status) would clash with GoogleTest's names: it comes last.
// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

extern char** environ;

namespace fs = std::filesystem;

namespace {

const std::string kBinary = std::string(ORBSAVER_BINARY_DIR) + "/orbsaver";
const std::string kXtool = std::string(ORBSAVER_BINARY_DIR) + "/orbsaver-xtool";

pid_t Spawn(std::vector<std::string> args, const std::vector<std::string>& env) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
}

// The exit code once the process has ended, or -1 while it still runs after the wait.
int ExitCodeAfter(pid_t pid, std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    do {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    return -1;
}

// Keys and pointer through the X test extension, as a person at the keyboard.
class Keyboard {
  public:
    Keyboard() : display_(XOpenDisplay(nullptr)) {}
    ~Keyboard() {
        if (display_) XCloseDisplay(display_);
    }
    bool ok() const { return display_ != nullptr; }
    bool HasTestExtension() {
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        return XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor);
    }
    void Tap(KeySym key) {
        const KeyCode code = XKeysymToKeycode(display_, key);
        XTestFakeKeyEvent(display_, code, True, 0);
        XTestFakeKeyEvent(display_, code, False, 0);
        XSync(display_, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Any characters: one the keyboard map lacks is put on a free key first, as
    // a second keyboard layout would be.
    void Type(std::u32string_view text) {
        for (char32_t c : text) {
            const KeySym key = c == U' ' ? XK_space : c < 0x100 ? c : 0x01000000 | c;
            if (XKeysymToKeycode(display_, key) == 0) MapOnFreeKey(key);
            Tap(key);
        }
    }
    void MoveTo(int x, int y) {
        XTestFakeMotionEvent(display_, -1, x, y, 0);
        XSync(display_, False);
    }

  private:
    void MapOnFreeKey(KeySym key) {
        int low = 0, high = 0, perCode = 0;
        XDisplayKeycodes(display_, &low, &high);
        KeySym* map = XGetKeyboardMapping(display_, low, high - low + 1, &perCode);
        for (int code = high; code >= low && map; --code) {
            bool free = true;
            for (int k = 0; k < perCode; ++k) free = free && map[(code - low) * perCode + k] == 0;
            if (!free) continue;
            KeySym both[2] = {key, key};
            XChangeKeyboardMapping(display_, code, 2, both, 1);
            XSync(display_, False);
            // Clients learn of the new map through MappingNotify; give them a moment.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            break;
        }
        if (map) XFree(map);
    }

    Display* display_;
};

}  // namespace

TEST(SaverPassword, TheSaverEndsOnlyAfterTheRightPassword) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (make test provides one)";
    Keyboard keyboard;
    ASSERT_TRUE(keyboard.ok());
    if (!keyboard.HasTestExtension()) GTEST_SKIP() << "the display has no XTEST extension";

    const fs::path home =
        fs::temp_directory_path() / ("orbsaver-password-display-" + std::to_string(::getpid()));
    fs::remove_all(home);
    fs::create_directories(home / "orbsaver");
    std::ofstream(home / "orbsaver" / "user.reg", std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
           "\"ScreenSaverIsSecure\"=dword:00000001\r\n\r\n";
    const fs::path pam = home / "pam";
    fs::create_directories(pam);
    const fs::path script = pam / "check-password";
    std::ofstream(script) << "#!/bin/bash\nIFS= read -r -d '' password\n"
                             "[[ $password == 'right h\xC3\xB6rse' ]]\n";
    fs::permissions(script, fs::perms::owner_all);
    std::ofstream(pam / "orbsaver")
        << "auth required pam_exec.so expose_authtok quiet " << script.string() << "\n";

    const pid_t saver = Spawn({kBinary, "/s"},
                              {"XDG_CONFIG_HOME=" + home.string(),
                               "ORBSAVER_PAM_CONFIG_DIR=" + pam.string(), "SDL_AUDIODRIVER=dummy"});
    ASSERT_GT(saver, 0);
    const std::string wait = kXtool + " wait 'D3DRM Example' 10 >/dev/null";
    ASSERT_EQ(std::system(wait.c_str()), 0) << "the saver window did not appear";
    std::this_thread::sleep_for(std::chrono::seconds(1));

    // A movement asks for the password; a wrong one keeps the saver running.
    keyboard.MoveTo(100, 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    keyboard.MoveTo(300, 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    keyboard.Type(U"wrong horse");
    keyboard.Tap(XK_Return);
    EXPECT_EQ(ExitCodeAfter(saver, std::chrono::seconds(3)), -1)
        << "a wrong password ended the saver";

    // After the refusal's delay, a key asks again; the right password, which has a
    // letter beyond ASCII and a slip taken back, ends the saver.
    keyboard.Tap(XK_space);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    keyboard.Type(U"right h\u00F6rse\u20AC");
    keyboard.Tap(XK_BackSpace);
    keyboard.Tap(XK_Return);
    const int code = ExitCodeAfter(saver, std::chrono::seconds(10));
    if (code == -1) {
        kill(saver, SIGKILL);
        waitpid(saver, nullptr, 0);
    }
    EXPECT_EQ(code, 0);
    fs::remove_all(home);
}
