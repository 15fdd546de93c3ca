// The full-screen saver's real message loop (RunMainLoop with the paced frame step) in
// its 800 x 600 window on the primary monitor, with the default scene, on an Xorg of
// its own with the dummy driver: once with one monitor and once with a second one
// beside it, which gets its black window. For each: frames per second, the time a
// frame takes to make, the CPU share of one core that this process used, and the
// share the X server used, so that work the black window might cost on either side
// shows. The two are run in turn, round after round; the medians close the report.
// Needs Xorg with the dummy video driver, as root:
//   build/bench/monitors/bench_monitors [--runs N] [--seconds S]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../saver_bench.h"
#include "engine/device.h"
#include "engine/frame.h"
#include "engine/overlay.h"
#include "engine/scene.h"
#include "platform/data_dir/data_dir.h"
#include "platform/window/window.h"
#include "settings/store.h"
#include "shell/entry.h"
#include "shell/frame_pacer.h"
#include "sprites/surface_set.h"
#include "support/dummy_xserver.h"

namespace {


// User and system time of another process, from /proc.
double ProcessCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double user = 0, system = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::atof(field.c_str());
        if (i == 15) system = std::atof(field.c_str());
    }
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Result {
    double fps = 0, frameMs = 0, cpu = 0, server = 0;
};

Result Measure(double seconds, pid_t server) {
    bench::RunSaverLoop(1);  // settle after the change
    const double cpu0 = bench::CpuSeconds(), server0 = ProcessCpuSeconds(server);
    const std::int64_t start = platform::MonotonicMicroseconds();
    const bench::LoopRun run = bench::RunSaverLoop(seconds);
    const double wall = (platform::MonotonicMicroseconds() - start) / 1e6;
    Result r;
    r.fps = run.frames / wall;
    r.frameMs = run.frames ? run.frameSeconds / run.frames * 1000.0 : 0;
    r.cpu = (bench::CpuSeconds() - cpu0) / wall * 100.0;
    r.server = (ProcessCpuSeconds(server) - server0) / wall * 100.0;
    return r;
}

bool SetUp() {
    // The full-screen saver's window: on the primary, the other monitors covered.
    return bench::StartSaverView() && engine::BuildScene();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    double seconds = 5;
    bench::ReadRunsAndSeconds(argc, argv, &runs, &seconds);
    unsetenv("DISPLAY");
    xsession::DummyXServer server({});
    if (server.display().empty()) {
        std::fprintf(stderr, "bench_monitors: %s\n", server.reason().c_str());
        return 1;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    if (!SetUp()) {
        std::fprintf(stderr, "bench_monitors: no window or no OpenGL 3.3\n");
        return 1;
    }
    shell::Pacer().SetRefreshRate(platform::DisplayRefreshRate(settings::View().SaverWindow));
    std::printf("pacing period %.3f ms, %d runs of %.0f s each\n",
                shell::Pacer().PeriodMicroseconds() / 1000.0, runs, seconds);
    struct Case {
        const char* name;
        bool second;
        std::vector<double> fps, frameMs, cpu, server;
        std::size_t covers = 0;
    };
    std::vector<Case> cases = {{"one monitor", false, {}, {}, {}, {}},
                               {"two monitors", true, {}, {}, {}, {}}};
    for (int r = 0; r < runs; ++r) {
        std::printf("run %d:", r + 1);
        for (Case& c : cases) {
            const bool changed = c.second ? xsession::PlugIn(1, "--right-of DUMMY0")
                                          : (r == 0 || xsession::Unplug(1));
            if (!changed) {
                std::fprintf(stderr, "\nbench_monitors: xrandr cannot change the monitors\n");
                return 1;
            }
            const Result res = Measure(seconds, server.pid());
            c.covers = platform::MonitorCoverCount();
            c.fps.push_back(res.fps);
            c.frameMs.push_back(res.frameMs);
            c.cpu.push_back(res.cpu);
            c.server.push_back(res.server);
            std::printf("  %s (%zu black) %.1f fps %.2f ms %.1f %% server %.1f %%;", c.name,
                        c.covers, res.fps, res.frameMs, res.cpu, res.server);
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    std::printf("\nmedians of %d runs   black windows  frames/s  ms a frame  CPU (saver)  CPU (X server)\n",
                runs);
    for (const Case& c : cases) {
        std::printf("  %-16s %8zu %12.1f %10.2f %10.1f %% %12.1f %%\n", c.name, c.covers,
                    bench::Median(c.fps), bench::Median(c.frameMs), bench::Median(c.cpu), bench::Median(c.server));
    }
    engine::ReleaseRenderDevice();
    engine::ReleaseScene();
    // Our connections close before the server goes.
    platform::DestroyWindow(settings::View().SaverWindow);
    platform::SetWindowBackend(nullptr);
    return 0;
}
