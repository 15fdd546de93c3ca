// What the display tests of the password share: starting the real saver with an
// environment of the test's own, waiting for it to end, and a person at the keyboard
// and mouse played through the X test extension.
#pragma once

#include <fcntl.h>
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

// Xlib's macros (None, Bool, Status) would clash with GoogleTest's names: include this
// header after GoogleTest's.
// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include "../support/spawn_x_server.h"

extern char** environ;

namespace xsession {

inline const std::string kBinary = std::string(ORBSAVER_BINARY_DIR) + "/orbsaver";
inline const std::string kXtool = std::string(ORBSAVER_BINARY_DIR) + "/orbsaver-xtool";

// Starts a program with the test's environment and some entries more; its stderr goes
// to the file given (when one is).
inline pid_t Spawn(std::vector<std::string> args, const std::vector<std::string>& env,
                   const std::string& stderrFile = {}) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stderrFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit code once the process has ended, or -1 while it still runs after the wait.
inline int ExitCodeAfter(pid_t pid, std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    do {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    return -1;
}

// Ends a process that is still running.
inline void Kill(pid_t pid) {
    if (pid <= 0 || waitpid(pid, nullptr, WNOHANG) != 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// An X server of the test's own (Xvfb), which the test and every program it starts
// use: keys that a real server acts on itself (switching consoles, say) then harm
// nothing, and a small screen keeps the saver's frames cheap.
class PrivateXServer {
  public:
    PrivateXServer(int width, int height) {
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        const std::string number = SpawnXServer({"/usr/bin/Xvfb", "-screen", "0", screen,
                                                 "-nolisten", "tcp", "+extension", "GLX",
                                                 "+render", "-noreset"},
                                                false, &pid_);
        if (!number.empty()) display_ = ":" + number;
    }
    ~PrivateXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // The display's name (":5"), empty when the server did not start.
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// A folder of the test's own: the saver's store and a PAM service whose check is a
// script, accepting one password only while the test lets it.
class SaverHome {
  public:
    explicit SaverHome(const std::string& name)
        : root_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
        namespace fs = std::filesystem;
        fs::remove_all(root_);
        fs::create_directories(root_ / "orbsaver");
        fs::create_directories(root_ / "pam");
        const fs::path script = root_ / "pam" / "check-password";
        std::ofstream(script) << "#!/bin/bash\nIFS= read -r -d '' password\n"
                                 "[[ -e '"
                              << (root_ / "accept").string()
                              << "' && $password == 'right h\xC3\xB6rse' ]]\n";
        fs::permissions(script, fs::perms::owner_all);
        std::ofstream(root_ / "pam" / "orbsaver")
            << "auth required pam_exec.so expose_authtok quiet " << script.string() << "\n";
    }
    ~SaverHome() { std::filesystem::remove_all(root_); }

    std::string Store() const { return (root_ / "orbsaver" / "user.reg").string(); }
    void WriteStore(const std::string& text) const {
        const std::string temp = Store() + ".new";
        std::ofstream(temp, std::ios::binary) << text;
        std::filesystem::rename(temp, Store());
    }
    // From now on the right password is accepted.
    void Accept() const { std::ofstream(root_ / "accept") << "yes\n"; }
    std::string Path(const std::string& name) const { return (root_ / name).string(); }

    std::vector<std::string> Environment() const {
        return {"XDG_CONFIG_HOME=" + root_.string(),
                "ORBSAVER_PAM_CONFIG_DIR=" + (root_ / "pam").string(), "SDL_AUDIODRIVER=dummy"};
    }

  private:
    std::filesystem::path root_;
};

// Keys and pointer through the X test extension, as a person at the keyboard.
class Keyboard {
  public:
    Keyboard() : display_(XOpenDisplay(nullptr)) {}
    ~Keyboard() {
        if (display_) XCloseDisplay(display_);
    }
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    bool ok() const { return display_ != nullptr; }
    Display* display() const { return display_; }
    bool HasTestExtension() {
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        return XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor);
    }
    void Press(KeyCode code, bool down) { XTestFakeKeyEvent(display_, code, down, 0); }
    void Sync() { XSync(display_, False); }
    KeyCode Code(KeySym key) { return XKeysymToKeycode(display_, key); }
    void Tap(KeySym key, int pauseMilliseconds = 20) {
        const KeyCode code = Code(key);
        Press(code, true);
        Press(code, false);
        Sync();
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMilliseconds));
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
        Sync();
    }
    void Click(unsigned button = 1) {
        XTestFakeButtonEvent(display_, button, True, 0);
        XTestFakeButtonEvent(display_, button, False, 0);
        Sync();
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

}  // namespace xsession
