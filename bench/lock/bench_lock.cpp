// The full-screen saver with a password (a lock and its scene, two processes) against
// the same saver without one (one process), each in turn on an 800 x 600 Xvfb of the
// benchmark's own, with no input:
//   - the lock process's CPU share of one core (the goal: under 1 %),
//   - the scene's frames per second and CPU time a frame, in its child process and in
//     the one process (the goal: the same within 5 %).
// Frames are counted by the X server: every frame presented damages the window the
// scene draws in (the child's window inside the lock's, or the saver's own window).
//
//   build/bench/lock/bench_lock [--runs N] [--seconds S]
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include "support/spawn_x_server.h"

namespace {

using namespace std::chrono_literals;

const std::string kSaver = std::string(ORBSAVER_BINARY_DIR) + "/orbsaver";

// User and system time of a process so far, in seconds; negative once it is gone.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return -1;
    const auto close = line.rfind(')');
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int f = 3; f <= 15 && rest >> field; ++f) {
        if (f == 14) utime = std::stoull(field);
        if (f == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

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

pid_t Spawn(const std::vector<std::string>& env) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (const auto& e : env) putenv(strdup(e.c_str()));
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 2);
    execl(kSaver.c_str(), kSaver.c_str(), "/s", static_cast<char*>(nullptr));
    _exit(127);
}

void End(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 300 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) std::this_thread::sleep_for(10ms);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// The window of the class whose own parent is the given one (the root for the saver's
// window, the saver's window for the scene's); 0 when there is none yet.
Window WindowOfClassUnder(Display* d, Window parent, const char* name) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(d, parent, &root, &up, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XClassHint hint{};
        if (XGetClassHint(d, children[i], &hint)) {
            if (hint.res_class && std::strcmp(hint.res_class, name) == 0) found = children[i];
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
    }
    if (children) XFree(children);
    return found;
}

struct Result {
    bool ok = false;
    double lockCpu = 0;   // % of one core
    double sceneCpu = 0;  // % of one core
    double fps = 0;
    double msPerFrame = 0;  // CPU time a frame
};

// One case: the saver started with the environment given, measured once its scene has
// drawn for two seconds.
Result Measure(Display* d, const std::vector<std::string>& env, bool split, double seconds) {
    Result r;
    const pid_t saver = Spawn(env);
    if (saver <= 0) return r;
    const char* kClass = "D3DRM Example";
    Window drawn = 0;
    pid_t scene = split ? 0 : saver;
    for (int i = 0; i < 1500 && !drawn; ++i) {
        std::this_thread::sleep_for(10ms);
        const Window top = WindowOfClassUnder(d, DefaultRootWindow(d), kClass);
        if (!top) continue;
        if (!split) {
            drawn = top;
            continue;
        }
        const std::vector<pid_t> children = ChildrenOf(saver);
        if (children.size() == 1) scene = children[0];
        drawn = scene ? WindowOfClassUnder(d, top, kClass) : 0;
    }
    if (!drawn) {
        End(saver);
        return r;
    }
    int damageEvent = 0, damageError = 0;
    XDamageQueryExtension(d, &damageEvent, &damageError);
    const Damage damage = XDamageCreate(d, drawn, XDamageReportRawRectangles);
    XSync(d, False);
    std::this_thread::sleep_for(2s);  // past the start's first frames
    auto drain = [&] {
        long frames = 0;
        while (XPending(d)) {
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.type == damageEvent + XDamageNotify &&
                !reinterpret_cast<XDamageNotifyEvent&>(ev).more)
                ++frames;
        }
        return frames;
    };
    XSync(d, False);
    drain();
    const double lock0 = CpuSeconds(saver), scene0 = CpuSeconds(scene);
    const auto start = std::chrono::steady_clock::now();
    long frames = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
        std::this_thread::sleep_for(20ms);
        frames += drain();
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double lock1 = CpuSeconds(saver), scene1 = CpuSeconds(scene);
    XSync(d, False);
    frames += drain();
    XDamageDestroy(d, damage);
    XSync(d, False);
    End(saver);
    if (lock1 < 0 || scene1 < 0 || frames == 0) return r;
    r.ok = true;
    r.lockCpu = split ? (lock1 - lock0) / wall * 100.0 : 0;
    r.sceneCpu = (scene1 - scene0) / wall * 100.0;
    r.fps = frames / wall;
    r.msPerFrame = (scene1 - scene0) * 1000.0 / static_cast<double>(frames);
    return r;
}

// Windows come and go while the saver starts and ends: a request about one that has
// gone fails, and is no reason to end the benchmark.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 1;
    double seconds = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--seconds")) seconds = std::max(1.0, std::atof(argv[++i]));
    }
    if (access("/usr/bin/Xvfb", X_OK) != 0) {
        std::fprintf(stderr, "bench_lock: needs Xvfb\n");
        return 77;
    }
    pid_t server = -1;
    const std::string number =
        xsession::SpawnXServer({"/usr/bin/Xvfb", "-screen", "0", "800x600x24", "-nolisten", "tcp",
                                "+extension", "GLX", "+render", "-noreset"},
                               true, &server);
    if (number.empty()) {
        std::fprintf(stderr, "bench_lock: Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    Display* d = XOpenDisplay(nullptr);
    XSetErrorHandler(IgnoreXError);
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("orbsaver-bench-lock-" + std::to_string(getpid()));
    std::filesystem::create_directories(home / "locked" / "orbsaver");
    std::filesystem::create_directories(home / "open" / "orbsaver");
    std::ofstream(home / "locked" / "orbsaver" / "user.reg")
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
           "\"ScreenSaverIsSecure\"=dword:00000001\r\n\r\n";
    const std::vector<std::string> common = {"SDL_AUDIODRIVER=dummy"};
    std::vector<std::string> locked = common, open = common;
    locked.push_back("XDG_CONFIG_HOME=" + (home / "locked").string());
    open.push_back("XDG_CONFIG_HOME=" + (home / "open").string());

    std::vector<double> lockCpu, splitFps, splitMs, splitCpu, oneFps, oneMs, oneCpu;
    int failed = 0;
    for (int run = 0; d && run < runs; ++run) {
        const Result split = Measure(d, locked, true, seconds);
        const Result one = Measure(d, open, false, seconds);
        if (!split.ok || !one.ok) {
            ++failed;
            continue;
        }
        lockCpu.push_back(split.lockCpu);
        splitFps.push_back(split.fps);
        splitMs.push_back(split.msPerFrame);
        splitCpu.push_back(split.sceneCpu);
        oneFps.push_back(one.fps);
        oneMs.push_back(one.msPerFrame);
        oneCpu.push_back(one.sceneCpu);
        std::printf("run %d: lock %.2f %%; scene in a child %.1f fps %.2f ms a frame; one process "
                    "%.1f fps %.2f ms a frame\n",
                    run + 1, split.lockCpu, split.fps, split.msPerFrame, one.fps, one.msPerFrame);
    }
    if (d) XCloseDisplay(d);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    std::filesystem::remove_all(home);
    if (lockCpu.empty()) {
        std::fprintf(stderr, "bench_lock: no run could be measured\n");
        return 1;
    }
    std::printf("\nmedians of %zu runs of %.0f s      frames/s   CPU ms a frame   CPU, one core\n",
                lockCpu.size(), seconds);
    std::printf("  the lock, no input               -              -        %6.2f %%\n", Median(lockCpu));
    std::printf("  the scene in the lock's child %9.1f   %12.2f        %6.1f %%\n", Median(splitFps),
                Median(splitMs), Median(splitCpu));
    std::printf("  the scene in one process      %9.1f   %12.2f        %6.1f %%\n", Median(oneFps),
                Median(oneMs), Median(oneCpu));
    std::printf("frame cost in the child against one process: %+.1f %%\n",
                (Median(splitMs) / std::max(1e-9, Median(oneMs)) - 1.0) * 100.0);
    if (failed) std::printf("(%d runs could not be measured)\n", failed);
    return 0;
}
