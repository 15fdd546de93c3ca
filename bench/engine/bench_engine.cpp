// Frames per second of the saver's frame (placement, clear, move, render, update,
// overlays, present) for the default scene in an 800 x 600 window with swap interval
// 0 and every overlay on, against the same scene without overlays and an empty frame
// (clear, update, present) of the same device, in one run; and the heap allocations
// a steady frame makes. Needs an X display:
//   tools/with-display build/bench/engine/bench_engine
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "engine/device.h"
#include "engine/frame.h"
#include "engine/overlay.h"
#include "engine/scene.h"
#include "platform/data_dir/data_dir.h"
#include "settings/store.h"
#include "shell/entry.h"
#include "sprites/surface_set.h"

namespace {
std::atomic<std::uint64_t> g_allocations{0};
}

void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

std::vector<double> g_sceneFps, g_emptyFps, g_bareFps;
double g_sceneAllocations = -1;

bool g_ready = false;

bool SetUpSaver() {
    settings::SceneSettings& s = settings::Settings();
    settings::InitialiseSettings(s, platform::DataDirectory(), 1252);
    settings::ApplyFirstRunDefaults(s);
    settings::View().mode = settings::SaverMode::Preview;  // windowed, no display mode change
    settings::View().ViewWidth = 800;
    settings::View().ViewHeight = 600;
    settings::View().mode = settings::SaverMode::Saver;
    if (!shell::CreateSaverWindow()) return false;
    // Draw windowed into the 800 x 600 window whatever the display offers.
    engine::RenderDevice& d = engine::Device();
    engine::ResetRenderDevice();
    d.windowedRequest = 1;
    d.renderQuality = 137;
    if (!engine::CreateWindowedDevice(settings::View().SaverWindow) || !engine::Create3DDevice()) {
        return false;
    }
    engine::BuildScene();
    d.surface->SetSwapInterval(0);
    // Every overlay on: banner, counter, and a message in its own font.
    s.MSN = 1;
    std::strcpy(s.MSG.entries[1].text, "Every overlay on: banner, counter and this message");
    std::strcpy(s.MSG.entries[1].font.faceName, "Liberation Serif");
    s.MSG.entries[1].font.height = -36;
    s.MSG.entries[1].textColor = 0x00FFFF;
    settings::CreateMessageFont(s, settings::View().fonts);
    settings::CreateSharedFonts(s, settings::View().fonts);
    settings::View().ScrollStep = 8;
    settings::View().ViewScale = 1.0;
    d.ShowFrameRate = 1;
    if (!sprites::LoadSpriteScript("PATSCRIPT1", "PATSCRIPT", sprites::TheSurfaceSet())) return false;
    engine::PrepareOverlayTexts();
    const auto& layout = engine::Overlay().messageLayout;
    if (layout) settings::View().MessageExtent = {layout->width(), layout->height()};
    engine::StartFrameRateClock(platform::TimeGetTime());
    // Past the counter's first second, so that every picture has been drawn once
    // (each is copied to the GPU on its first draw) before anything is measured.
    const std::uint32_t start = platform::TimeGetTime();
    while (platform::TimeGetTime() - start < 1200) engine::UpdateFrame();
    return true;
}

void BM_DefaultSceneFrame(benchmark::State& state) {
    if (!g_ready) return state.SkipWithError("no window or no OpenGL 3.3");
    const std::uint64_t before = g_allocations.load();
    for (auto _ : state) {
        engine::ResetFrameVelocities();
        engine::UpdateFrame();
    }
    const double perFrame = double(g_allocations.load() - before) / double(state.iterations());
    g_sceneAllocations = std::max(g_sceneAllocations, perFrame);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["allocs_per_frame"] = perFrame;
}

// The same scene with every overlay off: no banner, counter or message.
void BM_SceneWithoutOverlays(benchmark::State& state) {
    if (!g_ready) return state.SkipWithError("no window or no OpenGL 3.3");
    settings::SceneSettings& s = settings::Settings();
    const std::int32_t msn = s.MSN, cpr = s.CPR;
    const std::int32_t fps = engine::Device().ShowFrameRate;
    s.MSN = 0;
    s.CPR = 0;
    engine::Device().ShowFrameRate = 0;
    for (auto _ : state) {
        engine::ResetFrameVelocities();
        engine::UpdateFrame();
    }
    s.MSN = msn;
    s.CPR = cpr;
    engine::Device().ShowFrameRate = fps;
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EmptyFrame(benchmark::State& state) {
    if (!g_ready) return state.SkipWithError("no window or no OpenGL 3.3");
    engine::RenderDevice& d = engine::Device();
    for (auto _ : state) {
        d.viewport->Clear();
        d.rmDevice->Update();
        engine::PresentFrame();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration) continue;
            const double fps = r.iterations / r.real_accumulated_time;
            const std::string name = r.benchmark_name();
            (name.find("DefaultScene") != std::string::npos  ? g_sceneFps
             : name.find("Without") != std::string::npos     ? g_bareFps
                                                              : g_emptyFps)
                .push_back(fps);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

BENCHMARK(BM_DefaultSceneFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_SceneWithoutOverlays)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    g_ready = SetUpSaver();
    Collector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double scene = Median(g_sceneFps), empty = Median(g_emptyFps), bare = Median(g_bareFps);
    std::printf("\nsaver frame, default scene, 800x600, swap interval 0: median %.1f fps\n", scene);
    std::printf("the same scene without overlays:                      median %.1f fps\n", bare);
    if (scene > 0) {
        std::printf("frame time with every overlay on: %.1f%% more than without\n",
                    (bare / scene - 1.0) * 100.0);
    }
    std::printf("empty frame (clear, update, present), same device:    median %.1f fps\n", empty);
    if (empty > 0) std::printf("default scene / empty frame: %.2f of the empty frame's rate\n", scene / empty);
    std::printf("heap allocations per steady frame: %.2f\n", g_sceneAllocations);
    engine::ReleaseRenderDevice();
    engine::ReleaseScene();
    return 0;
}
