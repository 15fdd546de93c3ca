// The Windows saver (orbsaver.scr) under Wine beside the Linux saver, on one 800 x 600
// Xvfb of its own with GLX, in one run: rounds interleaved (Linux, then Wine), and for
// each run
//   - the time from exec to the first pixel that is not black in the middle of the
//     screen (under Wine this includes Wine's start of the program, with its server
//     and services already running, as they are on a desktop that runs Wine);
//   - the CPU share of one core of the paced default scene over a few seconds, read
//     from /proc: the saver's processes (on Linux the program and its children, under
//     Wine the process whose command line names orbsaver.scr), and, counted apart,
//     the wineserver and Wine's other processes of the prefix (explorer.exe,
//     services.exe, ...);
//   - the end: a key pressed through XTest, and the exit code, which must be 0.
// The medians of each figure close the report, with the ratios Wine / Linux.
//
// With --dialog the same for the configuration dialog (`/c`): the time from exec to
// the first frame of its preview (the dialog's window of 585 x 450 found on the
// screen, its preview's rectangle lit in many colours, the dialog's own picture being
// black there), the CPU share while it stands open, and its end by Escape, as Cancel.
// Exits with 77 when orbsaver.scr brings up no dialog; the Linux figures are printed
// all the same.
//
//   bench_wine [--dialog] [--rounds N] [--seconds S] [--scr PATH]
//
// The .scr is build-win/orbsaver.scr of the source tree unless --scr names another.
// The Wine prefix is $ORBSAVER_WINEPREFIX, or wine-bench beside the .scr; it is
// prepared once before the rounds and its server stopped at the end. Exits with 77
// (skipped) when Wine or the .scr is missing, 1 when a run gave no frame or did not
// end with 0.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/spawn_x_server.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 800, kHeight = 600;
// After the first frame, the start's own work (textures to the GPU, the first shader
// variants, Wine's window set-up) is let pass before the CPU is counted.
constexpr auto kSettle = std::chrono::milliseconds(1500);
constexpr long long kFirstFrameTimeout = 30'000'000;
// The configuration dialog instead of the saver, and its preview's place in it.
bool gDialog = false;
constexpr int kDialogWidth = 585, kDialogHeight = 450;
constexpr int kPreviewX = 30, kPreviewY = 50, kPreviewWidth = 152, kPreviewHeight = 112;

long long NowMicros() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// One process as /proc tells of it: its parent, its name, its CPU ticks (user and
// system, every thread).
struct Proc {
    pid_t parent = 0;
    std::string name;
    long long ticks = 0;
};

bool ReadProc(pid_t pid, Proc* p) {
    const std::string stat = ReadWhole("/proc/" + std::to_string(pid) + "/stat");
    const auto open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    p->name = stat.substr(open + 1, close - open - 1);
    // After the name: state, ppid, then utime and stime as the 12th and 13th fields.
    std::istringstream rest(stat.substr(close + 1));
    std::string field;
    std::vector<std::string> f;
    while (f.size() < 13 && rest >> field) f.push_back(field);
    if (f.size() < 13) return false;
    p->parent = std::atoi(f[1].c_str());
    p->ticks = std::atoll(f[11].c_str()) + std::atoll(f[12].c_str());
    return true;
}

std::vector<pid_t> AllPids() {
    std::vector<pid_t> pids;
    if (DIR* dir = opendir("/proc")) {
        while (dirent* e = readdir(dir)) {
            char* end = nullptr;
            const long pid = std::strtol(e->d_name, &end, 10);
            if (*end == '\0' && pid > 0) pids.push_back(static_cast<pid_t>(pid));
        }
        closedir(dir);
    }
    return pids;
}

// Whether a NUL-separated /proc list (cmdline, environ) holds an entry equal to `entry`
// or, with `part`, one that contains it.
bool ListHas(const std::string& list, const std::string& entry, bool part) {
    std::size_t at = 0;
    while (at < list.size()) {
        const std::size_t end = std::min(list.find('\0', at), list.size());
        const std::string item = list.substr(at, end - at);
        if (part ? item.find(entry) != std::string::npos : item == entry) return true;
        at = end + 1;
    }
    return false;
}

// The CPU ticks of the processes a run is made of, in three groups.
struct Ticks {
    std::map<pid_t, long long> saver, server, others;
};

// Linux: the program and every process below it. Wine: the processes of the prefix,
// by what they are.
Ticks Sample(pid_t program, const std::string& prefix) {
    Ticks t;
    std::map<pid_t, Proc> procs;
    for (pid_t pid : AllPids()) {
        Proc p;
        if (pid != getpid() && ReadProc(pid, &p)) procs[pid] = p;
    }
    if (prefix.empty()) {
        for (const auto& [pid, p] : procs) {
            for (pid_t up = pid; up > 1 && procs.count(up); up = procs[up].parent) {
                if (up == program) {
                    t.saver[pid] = p.ticks;
                    break;
                }
            }
        }
        return t;
    }
    const std::string mark = "WINEPREFIX=" + prefix;
    for (const auto& [pid, p] : procs) {
        const std::string dir = "/proc/" + std::to_string(pid);
        if (!ListHas(ReadWhole(dir + "/environ"), mark, false)) continue;
        if (ListHas(ReadWhole(dir + "/cmdline"), "orbsaver.scr", true)) t.saver[pid] = p.ticks;
        else if (p.name.rfind("wineserver", 0) == 0) t.server[pid] = p.ticks;
        else t.others[pid] = p.ticks;
    }
    return t;
}

// CPU seconds used between two samples; a process that came up between them counts
// from its start.
double Used(const std::map<pid_t, long long>& before, const std::map<pid_t, long long>& after) {
    long long ticks = 0;
    for (const auto& [pid, n] : after) {
        auto it = before.find(pid);
        ticks += n - (it == before.end() ? 0 : it->second);
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Whether any pixel of the rectangle of the root window is not black.
bool Lit(Display* d, int x, int y, int width, int height) {
    XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return false;
    bool lit = false;
    for (int j = 0; j < height && !lit; ++j)
        for (int i = 0; i < width && !lit; ++i) lit = (XGetPixel(image, i, j) & 0xffffff) != 0;
    XDestroyImage(image);
    return lit;
}

// The top-level window of the dialog's size: its top left on the screen.
bool FindDialog(Display* d, int* x, int* y) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return false;
    bool found = false;
    for (unsigned i = n; i-- > 0 && !found;) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
            a.width == kDialogWidth && a.height == kDialogHeight) {
            *x = a.x;
            *y = a.y;
            found = true;
        }
    }
    if (children) XFree(children);
    return found;
}

// Whether the dialog's preview shows a frame: lit, and in more than a few colours (a
// window not yet painted is one colour).
bool PreviewShowsAFrame(Display* d, int* dialogX, int* dialogY) {
    if (!FindDialog(d, dialogX, dialogY)) return false;
    XImage* image = XGetImage(d, DefaultRootWindow(d), *dialogX + kPreviewX, *dialogY + kPreviewY,
                              kPreviewWidth, kPreviewHeight, AllPlanes, ZPixmap);
    if (!image) return false;
    int lit = 0;
    std::vector<unsigned long> colours;
    for (int j = 0; j < kPreviewHeight; ++j) {
        for (int i = 0; i < kPreviewWidth; ++i) {
            const unsigned long p = XGetPixel(image, i, j) & 0xffffff;
            if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) > 60) ++lit;
            if (colours.size() < 16 && std::find(colours.begin(), colours.end(), p) == colours.end())
                colours.push_back(p);
        }
    }
    XDestroyImage(image);
    return lit > 200 && colours.size() >= 16;
}

// Starts the program with its stderr into `errPath` (or nowhere).
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& errPath = {}) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.push_back(*e);
    for (const auto& e : env) envStrings.push_back(e);
    std::vector<std::string> argStrings = args;
    std::vector<char*> argv, envp;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.empty() ? "/dev/null" : errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits up to `micros` for the process; its wait status, or -1 while it runs.
int WaitFor(pid_t pid, long long micros) {
    const long long end = NowMicros() + micros;
    int status = 0;
    do {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (NowMicros() < end);
    return -1;
}

struct Run {
    double firstFrameMs = -1;  // from exec to the first lit pixel
    double saverCpu = -1;      // percent of one core
    double serverCpu = -1, othersCpu = -1;
    bool endedWithZero = false;
    std::string end;  // how it ended, when not with 0
    // Each start step's own time, in ms, from ORBSAVER_START_TRACE. The program's clock
    // under Wine is not this one, so only differences between its steps are taken.
    std::map<std::string, double> stepMs;
    double beforeStepsMs = -1;  // the first frame less the steps: the program's load
};

const char* const kSteps[] = {"data-directory", "settings", "fonts",         "window",       "gl-context",
                              "shaders",        "sprite-script", "scene", "first-present"};

void ReadSteps(const std::string& errPath, Run* run) {
    std::ifstream in(errPath);
    std::string line;
    std::map<std::string, long long> at;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string tag, step;
        long long micros = 0;
        if (words >> tag >> step >> micros && tag == "orbsaver-start:") at[step] = micros;
    }
    long long previous = -1;
    for (const char* step : kSteps) {
        auto it = at.find(step);
        if (it == at.end()) continue;
        if (previous >= 0) run->stepMs[step] = (it->second - previous) / 1000.0;
        previous = it->second;
    }
    if (at.count("data-directory") && at.count("first-present") && run->firstFrameMs >= 0)
        run->beforeStepsMs = run->firstFrameMs - (at["first-present"] - at["data-directory"]) / 1000.0;
}

// Starts the program, waits for its first frame, counts its CPU while it runs paced,
// and ends it with a key. `prefix` is the Wine prefix for a Windows program, empty for
// a Linux one.
Run Measure(Display* d, const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& prefix, double seconds) {
    Run run;
    XClearWindow(d, DefaultRootWindow(d));
    // The keyboard follows the pointer, as on a server with no window manager: a window
    // the last program focused and then destroyed leaves the server with no focus.
    XSetInputFocus(d, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(d, False);
    const std::string errPath =
        (fs::temp_directory_path() / ("bench_wine_" + std::to_string(getpid()) + ".err")).string();
    const long long start = NowMicros();
    const pid_t pid = Spawn(args, env, errPath);
    if (pid <= 0) {
        run.end = "could not be started";
        return run;
    }
    int status = -1, raw = 0;
    const int cx = kWidth / 2 - 100, cy = kHeight / 2 - 100;
    int dialogX = 0, dialogY = 0;
    while (NowMicros() - start < kFirstFrameTimeout) {
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            status = raw;
            break;
        }
        // The dialog's first frame is its preview's, seen on the screen on both systems.
        const bool frame =
            !gDialog ? Lit(d, cx, cy, 200, 200) : PreviewShowsAFrame(d, &dialogX, &dialogY);
        if (frame) {
            run.firstFrameMs = (NowMicros() - start) / 1000.0;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (status == -1) {
        std::this_thread::sleep_for(kSettle);
        const Ticks before = Sample(pid, prefix);
        const long long t0 = NowMicros();
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(seconds * 1e6)));
        const Ticks after = Sample(pid, prefix);
        const double wall = (NowMicros() - t0) / 1e6;
        run.saverCpu = Used(before.saver, after.saver) / wall * 100;
        if (!prefix.empty()) {
            run.serverCpu = Used(before.server, after.server) / wall * 100;
            run.othersCpu = Used(before.others, after.others) / wall * 100;
        }
        // The key goes to the window that has the focus: the saver's, which covers the
        // screen. A few tries, in case the first comes before the saver takes input.
        // The dialog is ended by Escape with the pointer over it, which gives it the
        // keyboard on a server without a window manager.
        if (gDialog) {
            XTestFakeMotionEvent(d, -1, dialogX + kDialogWidth / 2, dialogY + kDialogHeight / 2, 0);
            XSync(d, False);
        }
        const KeyCode space = XKeysymToKeycode(d, gDialog ? XK_Escape : XK_space);
        for (int tries = 0; tries < 5 && status == -1; ++tries) {
            XTestFakeKeyEvent(d, space, True, 0);
            XSync(d, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            XTestFakeKeyEvent(d, space, False, 0);
            XSync(d, False);
            status = WaitFor(pid, 2'000'000);
        }
    } else {
        run.end = "ended before its first frame";
    }
    if (status == -1) {
        run.end = "did not end on a key";
        kill(pid, SIGTERM);
        if (WaitFor(pid, 2'000'000) == -1) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        run.endedWithZero = true;
    } else if (run.end.empty()) {
        run.end = WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                    : "killed by signal " + std::to_string(WTERMSIG(status));
    }
    ReadSteps(errPath, &run);
    std::error_code error;
    fs::remove(errPath, error);
    return run;
}

std::string Load() {
    std::istringstream in(ReadWhole("/proc/loadavg"));
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

bool HaveWine() {
    return std::system("command -v wine64 >/dev/null 2>&1 || command -v wine >/dev/null 2>&1 || "
                       "test -x /usr/lib/wine/wine64") == 0;
}

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

void Print(const char* what, double linux, double wine, const char* unit) {
    const auto cell = [](double v) {
        char text[32];
        if (v < 0) std::snprintf(text, sizeof text, "%10s", "-");
        else std::snprintf(text, sizeof text, "%10.1f", v);
        return std::string(text);
    };
    std::printf("  %-36s %s %s", what, cell(linux).c_str(), cell(wine).c_str());
    if (linux > 0 && wine >= 0) std::printf("   %6.2f", wine / linux);
    std::printf("  %s\n", unit);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    double seconds = 8;
    std::string scr = std::string(ORBSAVER_SOURCE_DIR) + "/build-win/orbsaver.scr";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--dialog")) gDialog = true;
        if (i + 1 >= argc) break;
        if (!std::strcmp(argv[i], "--rounds")) rounds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--seconds")) seconds = std::max(1.0, std::atof(argv[++i]));
        else if (!std::strcmp(argv[i], "--scr")) scr = argv[++i];
    }
    if (!HaveWine()) {
        std::printf("bench_wine: skipped: Wine is not installed\n");
        return 77;
    }
    std::error_code error;
    if (!fs::is_regular_file(scr, error)) {
        std::printf("bench_wine: skipped: no %s (make windows builds it, or give --scr)\n", scr.c_str());
        return 77;
    }
    scr = fs::absolute(scr).lexically_normal().string();
    const char* given = std::getenv("ORBSAVER_WINEPREFIX");
    const std::string prefix =
        given && *given ? fs::absolute(given).lexically_normal().string()
                        : (fs::path(scr).parent_path() / "wine-bench").string();
    const std::string wineRun = std::string(ORBSAVER_SOURCE_DIR) + "/tools/wine-run";

    pid_t server = -1;
    const std::string display = xsession::SpawnXServer(
        {"/usr/bin/Xvfb", "-screen", "0", std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24", "-br",
         "-nolisten", "tcp", "+extension", "GLX", "-noreset"},
        true, &server);
    if (display.empty()) {
        std::fprintf(stderr, "bench_wine: cannot start Xvfb\n");
        return 1;
    }
    setenv("DISPLAY", (":" + display).c_str(), 1);
    // The programs' windows come and go while the screen is searched: a window that
    // went between listing and asking is no error of ours (its answer is then "not
    // there"), so X's errors do not end the benchmark.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    Display* d = XOpenDisplay(nullptr);
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!d || !XTestQueryExtension(d, &event, &errorBase, &major, &minor)) {
        std::fprintf(stderr, "bench_wine: cannot open the display, or it has no XTest\n");
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        return 1;
    }

    // Wine's server and services once, before anything is measured, and kept running.
    std::printf("preparing the Wine prefix %s\n", prefix.c_str());
    std::fflush(stdout);
    const std::vector<std::string> wineEnv = {"ORBSAVER_WINEPREFIX=" + prefix, "ORBSAVER_START_TRACE=1",
                                              "ORBSAVER_NO_MESSAGE_BOXES=1"};
    if (const pid_t prep = Spawn({wineRun, "--prepare"}, wineEnv); prep > 0) waitpid(prep, nullptr, 0);

    const fs::path home = fs::temp_directory_path() / ("bench_wine_home_" + std::to_string(getpid()));
    fs::create_directories(home);
    const std::vector<std::string> linuxEnv = {"XDG_CONFIG_HOME=" + home.string(), "ORBSAVER_START_TRACE=1",
                                               "ORBSAVER_NO_MESSAGE_BOXES=1"};
    const char* mode = gDialog ? "/c" : "/s";
    const std::vector<std::string> linuxArgs = {ORBSAVER_BINARY, mode}, wineArgs = {wineRun, scr, mode};
    const std::string loadBefore = Load();

    // A first run of each, not counted: the stores are made (the settings file, the
    // registry key) and every file either reads is in the page cache.
    Measure(d, linuxArgs, linuxEnv, {}, 1);
    const Run wineFirst = Measure(d, wineArgs, wineEnv, prefix, 1);
    // A Windows build without its dialog says so and ends at once: only Linux is measured.
    const bool wineDialog = !gDialog || wineFirst.firstFrameMs >= 0;
    if (!wineDialog)
        std::printf("orbsaver.scr /c brought up no dialog (%s): only the Linux figures follow\n",
                    wineFirst.end.c_str());

    std::vector<Run> linuxRuns, wineRuns;
    bool allGood = true;
    const auto report = [&](const char* name, int round, const Run& r) {
        std::printf("round %d %-5s first frame %8.1f ms, CPU %6.1f %%", round, name, r.firstFrameMs, r.saverCpu);
        if (r.serverCpu >= 0) std::printf(" (+ wineserver %.1f %%, other Wine processes %.1f %%)", r.serverCpu,
                                          r.othersCpu);
        std::printf(", %s\n", r.endedWithZero ? "ended with 0" : r.end.c_str());
        std::fflush(stdout);
        allGood = allGood && r.endedWithZero && r.firstFrameMs >= 0;
    };
    for (int r = 1; r <= rounds; ++r) {
        linuxRuns.push_back(Measure(d, linuxArgs, linuxEnv, {}, seconds));
        report("Linux", r, linuxRuns.back());
        if (!wineDialog) continue;
        wineRuns.push_back(Measure(d, wineArgs, wineEnv, prefix, seconds));
        report("Wine", r, wineRuns.back());
    }

    const auto median = [](const std::vector<Run>& runs, double Run::*field) {
        std::vector<double> v;
        for (const Run& r : runs)
            if (r.*field >= 0) v.push_back(r.*field);
        return Median(v);
    };
    const auto zeros = [](const std::vector<Run>& runs) {
        return std::count_if(runs.begin(), runs.end(), [](const Run& r) { return r.endedWithZero; });
    };
    std::vector<double> wineTotal;
    for (const Run& r : wineRuns)
        if (r.saverCpu >= 0 && r.serverCpu >= 0) wineTotal.push_back(r.saverCpu + r.serverCpu);

    std::printf("\n%s on one %dx%d Xvfb with GLX, median of %d interleaved rounds, %.0f s %s in each\n", mode,
                kWidth, kHeight, rounds, seconds, gDialog ? "open" : "paced");
    std::printf("machine load (1, 5, 15 min): %s before, %s after\n", loadBefore.c_str(), Load().c_str());
    std::printf("  %-36s %10s %10s   %6s\n", "", "Linux", "Wine", "Wine/Linux");
    Print(gDialog ? "exec to first preview frame" : "exec to first frame", median(linuxRuns, &Run::firstFrameMs), median(wineRuns, &Run::firstFrameMs), "ms");
    Print("  before the first step (the load)", median(linuxRuns, &Run::beforeStepsMs),
          median(wineRuns, &Run::beforeStepsMs), "ms");
    for (const char* step : kSteps) {
        const auto stepMedian = [step](const std::vector<Run>& runs) {
            std::vector<double> v;
            for (const Run& r : runs)
                if (auto it = r.stepMs.find(step); it != r.stepMs.end()) v.push_back(it->second);
            return Median(v);
        };
        if (step == kSteps[0]) continue;
        Print(("  step " + std::string(step)).c_str(), stepMedian(linuxRuns), stepMedian(wineRuns), "ms");
    }
    const double linuxCpu = median(linuxRuns, &Run::saverCpu), wineCpu = median(wineRuns, &Run::saverCpu);
    Print("CPU share, the saver's process", linuxCpu, wineCpu, "% of one core");
    Print("CPU share, wineserver (apart)", -1, median(wineRuns, &Run::serverCpu), "% of one core");
    Print("CPU share, Wine's other processes", -1, median(wineRuns, &Run::othersCpu), "% of one core");
    Print("CPU share, saver + wineserver", linuxCpu, Median(wineTotal), "% of one core");
    std::printf("  %-36s %7ld/%-2d %7ld/%-2d\n", "ended by a key with exit code 0", static_cast<long>(zeros(linuxRuns)),
                rounds, static_cast<long>(zeros(wineRuns)), rounds);
    if (linuxCpu > 0 && wineCpu >= 0)
        std::printf("CPU share Wine / Linux %.2f: %s\n", wineCpu / linuxCpu,
                    wineCpu / linuxCpu <= 1.3 ? "within the 1.3 allowed" : "ABOVE the 1.3 allowed");

    XCloseDisplay(d);
    std::system(("WINEPREFIX=" + Quoted(prefix) + " wineserver -k >/dev/null 2>&1").c_str());
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    fs::remove_all(home, error);
    if (!wineDialog) return 77;
    return allGood ? 0 : 1;
}
