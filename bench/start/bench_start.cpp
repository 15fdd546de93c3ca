// The start of the saver, from exec to its first frame on the screen, beside
// XScreenSaver's gears (`gears -root`) on one 800 x 600 Xvfb of its own: five rounds,
// interleaved, and the median of each figure. The saver says when each of its start
// steps ends (ORBSAVER_START_TRACE); the first frame is seen from outside, as the
// first pixel that is not black in the middle of the screen (of the window, for the
// preview). After it, each program runs on for a while and its resident memory is
// read. The configuration dialog's first preview frame is the saver's own account.
//
//   bench_start [ROUNDS [EARLIER-ORBSAVER]]
//
// With an earlier build's program, its full-screen start runs in the same rounds and
// its steps stand beside this build's. `gl_floor` runs in the same rounds too: SDL's
// window, a GL context and one quad, with a GL 3.3 core program as the saver draws
// and with the fixed-function pipeline as gears draws; what no program on the saver's
// stack can go below.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
// How long a program runs after its first frame before its memory is read.
constexpr auto kSettle = std::chrono::milliseconds(1500);

const char* const kSteps[] = {"data-directory", "settings", "fonts",        "window", "gl-context",
                              "shaders",        "sprite-script", "scene", "first-present"};

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

long ResidentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Whether any pixel of the rectangle is not black.
bool Lit(Display* d, Window w, int x, int y, int width, int height) {
    XImage* image = XGetImage(d, w, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return false;
    bool lit = false;
    for (int j = 0; j < height && !lit; ++j)
        for (int i = 0; i < width && !lit; ++i) lit = (XGetPixel(image, i, j) & 0xffffff) != 0;
    XDestroyImage(image);
    return lit;
}

struct Run {
    double firstFrameMs = -1;  // from exec to the first lit pixel
    long residentKb = -1;
    std::map<std::string, double> steps;  // from exec to each step's end
};

// Runs the program, watches the rectangle of the window for its first frame, reads its
// memory after a while, and ends it with SIGTERM. `watch` 0: the program tells of its
// first frame itself (the dialog, whose preview is somewhere in its window).
Run Measure(Display* d, const std::vector<std::string>& args, const std::vector<std::string>& env, Window watch,
            int x, int y, int width, int height) {
    Run run;
    // What the last program left on the screen (gears draws on the root window itself).
    XClearWindow(d, DefaultRootWindow(d));
    if (watch) XClearWindow(d, watch);
    XSync(d, False);
    const std::string errPath = (fs::temp_directory_path() / ("bench_start_" + std::to_string(getpid()))).string();
    std::vector<std::string> envStrings;
    // The run's own variables take the place of the bench's.
    auto overridden = [&env](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(env.begin(), env.end(), [&name](const std::string& e) { return e.rfind(name, 0) == 0; });
    };
    for (char** e = environ; *e; ++e)
        if (!overridden(*e)) envStrings.push_back(*e);
    for (const auto& e : env) envStrings.push_back(e);
    std::vector<char*> argv, envp;
    for (auto& a : const_cast<std::vector<std::string>&>(args)) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const long long start = NowMicros();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pid <= 0) return run;
    const long long deadline = start + 20'000'000;
    if (watch) {
        while (NowMicros() < deadline && waitpid(pid, nullptr, WNOHANG) == 0) {
            if (Lit(d, watch, x, y, width, height)) {
                run.firstFrameMs = (NowMicros() - start) / 1000.0;
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    std::this_thread::sleep_for(kSettle);
    run.residentKb = ResidentKb(pid);
    kill(pid, SIGTERM);
    for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    std::ifstream in(errPath);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string tag, step;
        long long micros = 0;
        if (words >> tag >> step >> micros && tag == "orbsaver-start:") run.steps[step] = (micros - start) / 1000.0;
    }
    fs::remove(errPath);
    if (!watch && run.steps.count("first-present")) run.firstFrameMs = run.steps["first-present"];
    return run;
}

std::string FindGears() {
    for (const char* p : {"/usr/libexec/xscreensaver/gears", "/usr/lib/xscreensaver/gears"})
        if (access(p, X_OK) == 0) return p;
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    pid_t server = -1;
    const std::string display = xsession::SpawnXServer(
        {"/usr/bin/Xvfb", "-screen", "0", std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24", "-br",
         "-nolisten", "tcp", "+extension", "GLX", "-noreset"},
        true, &server);
    if (display.empty()) {
        std::fprintf(stderr, "bench_start: cannot start Xvfb\n");
        return 1;
    }
    setenv("DISPLAY", (":" + display).c_str(), 1);
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "bench_start: cannot open the display\n");
        kill(server, SIGTERM);
        return 1;
    }
    const Window root = DefaultRootWindow(d);
    // A window for the preview, as a host's settings dialog gives one.
    const Window host = XCreateSimpleWindow(d, root, 600, 440, 152, 112, 0, 0, 0);
    XMapWindow(d, host);
    XSync(d, False);

    const fs::path home = fs::temp_directory_path() / ("bench_start_home_" + std::to_string(getpid()));
    fs::create_directories(home);
    const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + home.string(), "ORBSAVER_START_TRACE=1"};
    const std::string saver = ORBSAVER_BINARY;
    const std::string gears = FindGears();
    const int cx = kWidth / 2 - 100, cy = kHeight / 2 - 100;

    // A first run of each: the store is made, and every file the programs read is in
    // the page cache, as it is when a screen saver starts on a desktop.
    Measure(d, {saver, "/s"}, env, root, cx, cy, 200, 200);
    if (!gears.empty()) Measure(d, {gears, "-root"}, {}, root, cx, cy, 200, 200);

    const std::string earlier = argc > 2 ? argv[2] : "";
    if (!earlier.empty()) Measure(d, {earlier, "/s"}, env, root, cx, cy, 200, 200);
    const std::string floor = GL_FLOOR_BINARY;
    // As the saver starts SDL: no session bus launched, no compose table read.
    const std::vector<std::string> floorEnv = {"DBUS_SESSION_BUS_ADDRESS=disabled:", "XCOMPOSEFILE=/dev/null"};
    Measure(d, {floor, "core"}, floorEnv, root, cx, cy, 200, 200);
    std::vector<Run> saverRuns, gearsRuns, previewRuns, dialogRuns, earlierRuns, coreRuns, legacyRuns;
    for (int r = 0; r < rounds; ++r) {
        coreRuns.push_back(Measure(d, {floor, "core"}, floorEnv, root, cx, cy, 200, 200));
        legacyRuns.push_back(Measure(d, {floor, "legacy"}, floorEnv, root, cx, cy, 200, 200));
        if (!earlier.empty()) earlierRuns.push_back(Measure(d, {earlier, "/s"}, env, root, cx, cy, 200, 200));
        if (!gears.empty()) gearsRuns.push_back(Measure(d, {gears, "-root"}, {}, root, cx, cy, 200, 200));
        saverRuns.push_back(Measure(d, {saver, "/s"}, env, root, cx, cy, 200, 200));
        previewRuns.push_back(
            Measure(d, {saver, "/p", std::to_string(host)}, env, host, 0, 0, 152, 112));
        dialogRuns.push_back(Measure(d, {saver, "/c"}, env, 0, 0, 0, 0, 0));
    }

    auto column = [](const std::vector<Run>& runs, const std::string& step) {
        std::vector<double> v;
        for (const Run& r : runs)
            if (auto it = r.steps.find(step); it != r.steps.end()) v.push_back(it->second);
        return Median(v);
    };
    auto first = [](const std::vector<Run>& runs) {
        std::vector<double> v;
        for (const Run& r : runs)
            if (r.firstFrameMs >= 0) v.push_back(r.firstFrameMs);
        return Median(v);
    };
    auto resident = [](const std::vector<Run>& runs) {
        std::vector<double> v;
        for (const Run& r : runs)
            if (r.residentKb >= 0) v.push_back(r.residentKb / 1024.0);
        return Median(v);
    };

    std::printf("start on one %dx%d Xvfb, median of %d interleaved runs (ms from exec)\n", kWidth, kHeight, rounds);
    std::printf("  %-16s %10s %10s %10s   %s\n", "step ends", "/s", "/p", earlier.empty() ? "" : "earlier /s",
                "(each step's own time: /s, /p, earlier /s)");
    double before = 0, beforeP = 0, beforeE = 0;
    for (const char* step : kSteps) {
        const double s = column(saverRuns, step), p = column(previewRuns, step), e = column(earlierRuns, step);
        std::printf("  %-16s %10.1f %10.1f %10.1f   (%.1f, %.1f, %.1f)\n", step, s, p, e, s >= 0 ? s - before : -1,
                    p >= 0 ? p - beforeP : -1, e >= 0 ? e - beforeE : -1);
        if (s >= 0) before = s;
        if (p >= 0) beforeP = p;
        if (e >= 0) beforeE = e;
    }
    if (!earlier.empty())
        std::printf("earlier /s: first frame on the screen %.1f ms, resident memory %.1f MB\n", first(earlierRuns),
                    resident(earlierRuns));
    const double saverFirst = first(saverRuns), gearsFirst = gears.empty() ? -1 : first(gearsRuns);
    std::printf("first frame on the screen: /s %.1f ms, /p %.1f ms, the dialog's preview %.1f ms (its own account)\n",
                saverFirst, first(previewRuns), first(dialogRuns));
    if (gears.empty()) {
        std::printf("gears -root: not installed (xscreensaver-gl)\n");
    } else {
        std::printf("gears -root first frame %.1f ms; orbsaver /s / gears %.2f\n", gearsFirst, saverFirst / gearsFirst);
    }
    const double saverMb = resident(saverRuns), gearsMb = gears.empty() ? -1 : resident(gearsRuns);
    std::printf("resident memory after %lld ms running: /s %.1f MB, /p %.1f MB, dialog %.1f MB", 
                static_cast<long long>(kSettle.count()), saverMb, resident(previewRuns), resident(dialogRuns));
    if (gearsMb > 0) std::printf(", gears -root %.1f MB; /s / gears %.2f", gearsMb, saverMb / gearsMb);
    std::printf("\n");
    const double coreFirst = first(coreRuns), coreMb = resident(coreRuns);
    std::printf("the stack's floor (SDL, GL, one quad): GL 3.3 core %.1f ms, %.1f MB; fixed-function %.1f ms, %.1f MB\n",
                coreFirst, coreMb, first(legacyRuns), resident(legacyRuns));
    std::printf("  /s / GL 3.3 core floor: first frame %.2f, resident memory %.2f", saverFirst / coreFirst,
                saverMb / coreMb);
    if (gearsFirst > 0 && gearsMb > 0)
        std::printf("; GL 3.3 core floor / gears: %.2f, %.2f", coreFirst / gearsFirst, coreMb / gearsMb);
    std::printf("\n");

    XCloseDisplay(d);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    fs::remove_all(home);
    return 0;
}
