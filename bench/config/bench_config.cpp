// The configuration dialog from the outside: the time from starting `orbsaver /c`
// to the first lit frame of its preview (median of 5 starts), and the share of one
// processor core the open dialog takes over 10 seconds (median of 3). Needs an X
// display:
//   tools/with-display build/bench/config/bench_config
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const std::string kBinary = std::string(ORBSAVER_BINARY_DIR) + "/orbsaver";

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

Window FindClass(Display* d, Window w, const char* name, int depth = 0) {
    XClassHint hint{};
    if (XGetClassHint(d, w, &hint)) {
        const bool match = hint.res_class && std::string(hint.res_class) == name;
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
        if (match) return w;
    }
    if (depth > 32) return 0;
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i) found = FindClass(d, children[i], name, depth + 1);
    if (children) XFree(children);
    return found;
}

// Pixels of the window that are not near black; -1 when it cannot be read.
long Lit(Display* d, Window w) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) return -1;
    XImage* image = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image) return -1;
    long lit = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) > 60) ++lit;
        }
    }
    XDestroyImage(image);
    return lit;
}

pid_t Start(const std::string& home) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back("XDG_CONFIG_HOME=" + home);
    env.push_back("ORBSAVER_NO_MESSAGE_BOXES=1");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string binary = kBinary, mode = "/c";
    char* argv[] = {binary.data(), mode.data(), nullptr};
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], nullptr, nullptr, argv, envp.data());
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);  // the dialog takes it as Cancel
    int status = 0;
    for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, WNOHANG);
}

// Milliseconds until the preview shows a lit frame; -1 when it does not in 30 s.
double UntilFirstFrame(Display* d, pid_t, Clock::time_point start) {
    while (Clock::now() - start < std::chrono::seconds(30)) {
        const Window preview = FindClass(d, DefaultRootWindow(d), "D3DRM Example");
        if (preview && Lit(d, preview) > 200) {
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return -1;
}

double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    unsigned long utime = 0, stime = 0;
    // After the name: state, then fields 4..13, then utime (14) and stime (15).
    std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                &utime, &stime);
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double LoadAverage() {
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

}  // namespace

int main() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "bench_config: needs an X display\n");
        return 1;
    }
    XSetErrorHandler(IgnoreErrors);
    char pattern[] = "/tmp/orbsaver-bench-XXXXXX";
    const std::string home = mkdtemp(pattern);
    std::printf("load average before: %.2f\n", LoadAverage());

    // A first run writes the store; the measured runs read it, as every later run does.
    pid_t pid = Start(home);
    UntilFirstFrame(d, pid, Clock::now());
    Stop(pid);

    std::vector<double> starts;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        pid = Start(home);
        starts.push_back(UntilFirstFrame(d, pid, start));
        Stop(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    std::printf("start to first preview frame: median %.0f ms (runs:", Median(starts));
    for (double s : starts) std::printf(" %.0f", s);
    std::printf(")\n");

    std::vector<double> shares;
    for (int run = 0; run < 3; ++run) {
        pid = Start(home);
        UntilFirstFrame(d, pid, Clock::now());
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const double before = CpuSeconds(pid);
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double after = CpuSeconds(pid);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        shares.push_back(100.0 * (after - before) / wall);
        Stop(pid);
    }
    std::printf("open dialog, share of one core over 10 s: median %.1f %% (runs:", Median(shares));
    for (double s : shares) std::printf(" %.1f", s);
    std::printf(")\n");
    std::printf("load average after: %.2f\n", LoadAverage());
    std::system(("rm -rf '" + home + "'").c_str());
    XCloseDisplay(d);
    return 0;
}
