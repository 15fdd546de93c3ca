// What the benchmarks of the saver's own loop share: the full-screen saver's scene
// made in an 800 x 600 window, and the CPU time the process has used.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

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

namespace bench {

// User and system time of this process, every thread, in seconds.
inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

// The saver's window and render device with the first run's settings, the banner and
// the frame counter on. The device draws windowed into the 800 x 600 window, so that
// no display mode differs between the cases compared. The scene is left to the caller.
inline bool StartSaverView() {
    settings::SceneSettings& s = settings::Settings();
    settings::InitialiseSettings(s, platform::DataDirectory(), 1252);
    settings::ApplyFirstRunDefaults(s);
    settings::ViewState& view = settings::View();
    view.mode = settings::SaverMode::Saver;
    view.ViewWidth = 800;
    view.ViewHeight = 600;
    view.ViewScale = 1.0;
    view.ScrollStep = 8;
    if (!shell::CreateSaverWindow()) return false;
    engine::RenderDevice& d = engine::Device();
    engine::ResetRenderDevice();
    d.windowedRequest = 1;
    d.renderQuality = 137;
    if (!engine::CreateWindowedDevice(view.SaverWindow) || !engine::Create3DDevice()) return false;
    settings::CreateSharedFonts(s, view.fonts);
    d.ShowFrameRate = 1;
    if (!sprites::LoadSpriteScript("PATSCRIPT1", "PATSCRIPT", sprites::TheSurfaceSet())) return false;
    engine::PrepareOverlayTexts();
    engine::StartFrameRateClock(platform::TimeGetTime());
    return true;
}

namespace detail {
inline std::int64_t loopEnd = 0;
inline long frames = 0;
inline double frameSeconds = 0;

inline bool CountedFrame() {
    const std::int64_t start = platform::MonotonicMicroseconds();
    engine::ResetFrameVelocities();
    if (!engine::UpdateFrame()) return false;
    frameSeconds += (platform::MonotonicMicroseconds() - start) / 1e6;
    ++frames;
    return true;
}

// The saver's frame step, ending the loop once the time is up.
inline void TimedStep() {
    if (platform::MonotonicMicroseconds() >= loopEnd) {
        platform::PostQuitMessage(0);
        return;
    }
    shell::PacedFrameStep(shell::Pacer(), CountedFrame);
}
}  // namespace detail

// What a run of the saver's loop made: its frames, and the time they took to make.
struct LoopRun {
    long frames = 0;
    double frameSeconds = 0;
};

// Runs the saver's real message loop, with the frame pacer as it is set, for the given
// time.
inline LoopRun RunSaverLoop(double seconds) {
    detail::frames = 0;
    detail::frameSeconds = 0;
    detail::loopEnd = platform::MonotonicMicroseconds() + static_cast<std::int64_t>(seconds * 1e6);
    shell::RunMainLoop(detail::TimedStep);
    return {detail::frames, detail::frameSeconds};
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The command line's "--runs N" and "--seconds S", each where it is given.
inline void ReadRunsAndSeconds(int argc, char** argv, int* runs, double* seconds) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs")) *runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--seconds")) *seconds = std::max(0.5, std::atof(argv[++i]));
    }
}

}  // namespace bench
