// The saver's real message loop (RunMainLoop with the frame step and its pacer) in an
// 800 x 600 window for a fixed time, with pacing on and off, for a scene of one cube
// and for the default scene: frames per second and the CPU share of one core that
// the process used (every thread, the software renderer's included; the X server's
// own work is not counted). The four are run in turn, round after round, so that a
// change of load on the machine falls on all of them; the medians close the report.
// Needs an X display:
//   tools/with-display build/bench/pacing/bench_pacing [--runs N] [--seconds S]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../saver_bench.h"
#include "engine/device.h"
#include "engine/frame.h"
#include "engine/overlay.h"
#include "engine/scene.h"
#include "platform/data_dir/data_dir.h"
#include "platform/gl_surface/gl_surface.h"
#include "settings/store.h"
#include "shell/entry.h"
#include "shell/frame_pacer.h"
#include "sprites/surface_set.h"

namespace {

// One cube of side 2, eight corners and six faces, as a text X file.
const char kCube[] =
    "xof 0303txt 0032\n"
    "Mesh Cube {\n 8;\n"
    " -1;-1;-1;, 1;-1;-1;, 1;-1;1;, -1;-1;1;, -1;1;-1;, 1;1;-1;, 1;1;1;, -1;1;1;;\n"
    " 6;\n 4;0,1,2,3;, 4;7,6,5,4;, 4;0,4,5,1;, 4;1,5,6,2;, 4;2,6,7,3;, 4;3,7,4,0;;\n"
    " MeshMaterialList { 1; 6; 0,0,0,0,0,0;; Material { 0.8;0.5;0.2;1.0;; 8.0; 0.3;0.3;0.3;;"
    " 0.0;0.0;0.0;; } }\n"
    "}\n";

struct Result {
    double fps = 0, cpu = 0;
};

Result Measure(double seconds, bool paced) {
    shell::Pacer().SetEnabled(paced);
    // A second of frames first, so that every picture is on the GPU and the
    // renderer's shader variants are made.
    bench::RunSaverLoop(1);
    const double cpu0 = bench::CpuSeconds();
    const std::int64_t start = platform::MonotonicMicroseconds();
    const bench::LoopRun run = bench::RunSaverLoop(seconds);
    const double wall = (platform::MonotonicMicroseconds() - start) / 1e6;
    return {run.frames / wall, (bench::CpuSeconds() - cpu0) / wall * 100.0};
}

bool SetUp(const std::string& cube) {
    if (!bench::StartSaverView()) return false;
    std::ofstream(cube) << kCube;
    return true;
}

void UseModel(const std::string& path) {
    settings::SceneSettings& s = settings::Settings();
    engine::ReleaseScene();
    settings::CopyText(s.X_NM, sizeof s.X_NM, path);
    engine::TheAppliedPlacement() = engine::AppliedPlacement{};
    engine::BuildScene();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    double seconds = 10;
    bench::ReadRunsAndSeconds(argc, argv, &runs, &seconds);
    const std::string cube = "/tmp/bench_pacing_cube_" + std::to_string(getpid()) + ".x";
    if (!SetUp(cube)) {
        std::fprintf(stderr, "bench_pacing: no window or no OpenGL 3.3\n");
        return 1;
    }
    const int hertz = platform::DisplayRefreshRate(settings::View().SaverWindow);
    shell::Pacer().SetRefreshRate(hertz);
    const std::string model = settings::Settings().X_NM;
    std::printf("display rate %d Hz (%s), pacing period %.3f ms, %d runs of %.0f s each\n", hertz,
                hertz > 0 ? "from the display mode" : "unknown: 60 Hz taken",
                shell::Pacer().PeriodMicroseconds() / 1000.0, runs, seconds);
    struct Case {
        const char* name;
        const std::string* model;
        bool paced;
        std::vector<double> fps, cpu;
    };
    std::vector<Case> cases = {{"cube, paced", &cube, true, {}, {}},
                               {"cube, unpaced", &cube, false, {}, {}},
                               {"default scene, paced", &model, true, {}, {}},
                               {"default scene, unpaced", &model, false, {}, {}}};
    for (int r = 0; r < runs; ++r) {
        std::printf("run %d:", r + 1);
        for (Case& c : cases) {
            UseModel(*c.model);
            const Result res = Measure(seconds, c.paced);
            c.fps.push_back(res.fps);
            c.cpu.push_back(res.cpu);
            std::printf("  %s %.1f fps %.1f %%;", c.name, res.fps, res.cpu);
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    std::printf("\nmedians of %d runs            frames/s   CPU share of one core\n", runs);
    for (const Case& c : cases) {
        std::printf("  %-24s %9.1f   %6.1f %%\n", c.name, bench::Median(c.fps), bench::Median(c.cpu));
    }
    std::printf("paced against unpaced: cube %.2f of the CPU, default scene %.2f\n",
                bench::Median(cases[0].cpu) / std::max(1e-9, bench::Median(cases[1].cpu)),
                bench::Median(cases[2].cpu) / std::max(1e-9, bench::Median(cases[3].cpu)));
    std::remove(cube.c_str());
    engine::ReleaseRenderDevice();
    engine::ReleaseScene();
    return 0;
}
