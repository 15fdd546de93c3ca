// Frame pacing: one frame per display refresh when the present does not wait for
// the display, no wait at all when it does, and input answered while the loop waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/window.h"
#include "settings/view_state.h"
#include "shell/entry.h"
#include "shell/frame_pacer.h"
#include "shell/saver_window.h"

using namespace shell;

namespace {

// The loop's idle branch on a clock of its own: a wait of w microseconds lasts
// whole milliseconds, and a little longer, as a real wait does; a frame takes
// renderMicros and its present presentMicros more.
struct Simulation {
    FramePacer pacer;
    std::int64_t now = 1'000'000;
    int frames = 0;
    std::int64_t waited = 0;

    void Run(std::int64_t seconds, std::int64_t renderMicros, std::int64_t presentMicros) {
        const std::int64_t end = now + seconds * 1'000'000;
        while (now < end) {
            const std::int64_t wait = pacer.WaitBefore(now);
            if (wait > 0) {
                const std::int64_t slept = (wait + 999) / 1000 * 1000 + 80;
                now += slept;
                waited += slept;
                continue;
            }
            const std::int64_t start = now;
            now += renderMicros + presentMicros;
            pacer.FrameMade(start);
            ++frames;
        }
    }
};

// A present that waits for the next refresh of a display at the given rate.
std::int64_t UntilNextRefresh(std::int64_t now, double hertz) {
    const double period = 1e6 / hertz;
    const auto refreshes = static_cast<std::int64_t>(now / period) + 1;
    return static_cast<std::int64_t>(refreshes * period) - now;
}

}  // namespace

TEST(FramePacer, WithoutVerticalSyncFramesComeAtTheDisplaysRate) {
    for (int hertz : {60, 75, 144}) {
        Simulation sim;
        sim.pacer.SetRefreshRate(hertz);
        sim.Run(10, 2000, 300);
        const double fps = sim.frames / 10.0;
        EXPECT_NEAR(fps, hertz, hertz * 0.02) << hertz << " Hz";
        EXPECT_GE(fps, hertz) << "never slower than the display";
    }
}

TEST(FramePacer, AnUnknownRateIsSixtyHertz) {
    FramePacer a, b;
    a.SetRefreshRate(0);
    b.SetRefreshRate(60);
    EXPECT_EQ(a.PeriodMicroseconds(), b.PeriodMicroseconds());
    a.SetRefreshRate(-5);
    EXPECT_EQ(a.PeriodMicroseconds(), b.PeriodMicroseconds());
    EXPECT_NEAR(b.PeriodMicroseconds(), 16667, 200);
}

// Where the present waits for the display the pacer costs no frame: every refresh
// shows a new one, also on a display a little faster than the whole hertz it
// reports and with frames that take most of a refresh to draw. (Until the frames
// meet the display's beat the pacer may still wait, never past a refresh.)
TEST(FramePacer, WithVerticalSyncEveryRefreshGetsAFrame) {
    for (std::int64_t render : {3000, 14000}) {
        for (double actual : {60.0, 59.94, 60.4, 75.02, 144.3}) {
            if (render > 1e6 / actual) continue;
            Simulation sim;
            sim.pacer.SetRefreshRate(static_cast<int>(actual + 0.5));
            const std::int64_t begin = sim.now;
            const std::int64_t end = begin + 10'000'000;
            while (sim.now < end) {
                const std::int64_t wait = sim.pacer.WaitBefore(sim.now);
                if (wait > 0) {
                    sim.now += (wait + 999) / 1000 * 1000 + 80;
                    continue;
                }
                const std::int64_t start = sim.now;
                sim.now += render;
                sim.now += UntilNextRefresh(sim.now, actual);
                sim.pacer.FrameMade(start);
                ++sim.frames;
            }
            const double refreshes = (sim.now - begin) * actual / 1e6;
            EXPECT_NEAR(sim.frames, refreshes, 2) << actual << " Hz, " << render << " us a frame";
        }
    }
}

// A frame far behind its time (a dialog over the saver, a slow frame) does not make
// the following frames come in a burst to make up for it.
TEST(FramePacer, ALateFrameStartsTheScheduleAgainWithoutABurst) {
    Simulation sim;
    sim.pacer.SetRefreshRate(60);
    sim.Run(1, 2000, 0);
    sim.now += 500'000;  // half a second without frames
    const int before = sim.frames;
    sim.Run(1, 2000, 0);
    EXPECT_NEAR(sim.frames - before, 60, 2);
    // The first frame after the gap is made at once, the next one a period later.
    FramePacer p;
    p.SetRefreshRate(50);
    p.FrameMade(0);
    EXPECT_EQ(p.WaitBefore(1'000'000), 0);
    p.FrameMade(1'000'000);
    EXPECT_EQ(p.WaitBefore(1'000'000), p.PeriodMicroseconds());
}

TEST(FramePacer, OffOrRestartedItNeverWaits) {
    FramePacer p;
    p.FrameMade(0);
    EXPECT_GT(p.WaitBefore(0), 0);
    p.Restart();
    EXPECT_EQ(p.WaitBefore(0), 0);
    p.FrameMade(0);
    p.SetEnabled(false);
    EXPECT_EQ(p.WaitBefore(0), 0);
    p.FrameMade(0);
    EXPECT_EQ(p.WaitBefore(0), 0);
    p.SetEnabled(true);
    EXPECT_EQ(p.WaitBefore(0), 0);  // nothing made since
    // Less than half a millisecond to go is made now: waits are whole milliseconds.
    p.FrameMade(0);
    EXPECT_EQ(p.WaitBefore(p.PeriodMicroseconds() - 400), 0);
    EXPECT_EQ(p.WaitBefore(p.PeriodMicroseconds() - 600), 600);
}

namespace {

std::atomic<int> g_frames{0};
constexpr platform::WPARAM kTestKey = 0x41;
constexpr int kPresses = 5;
std::int64_t g_answeredAt[kPresses];
int g_answered = 0;

bool InstantFrame() {
    ++g_frames;
    return true;
}

void PacedStep() { PacedFrameStep(Pacer(), InstantFrame); }

platform::LRESULT RecordingProc(platform::WindowHandle w, std::uint32_t m, platform::WPARAM wp,
                                platform::LPARAM lp) {
    if (m == platform::WM_KEYDOWN && wp == kTestKey) {
        if (g_answered < kPresses) g_answeredAt[g_answered++] = platform::MonotonicMicroseconds();
        if (g_answered == kPresses) platform::PostQuitMessage(0);
        return 0;
    }
    return platform::DefWindowProc(w, m, wp, lp);
}

// The loop with frames that cost nothing and present at once, on a desktop whose
// key press arrives from another thread after a while.
struct PacedLoop {
    explicit PacedLoop(bool paced) {
        platform::ResetWindowSystem();
        auto desktop = platform::CreateTestDesktop();
        this->desktop = desktop.get();
        platform::SetWindowBackend(std::move(desktop));
        platform::RegisterWindowClass("Paced", RecordingProc);
        window = platform::CreateWindow("Paced", platform::WS_POPUP, 0, 0, 10, 10, 0);
        Pacer().SetRefreshRate(60);
        Pacer().SetEnabled(paced);
        g_frames = 0;
        g_answered = 0;
    }
    ~PacedLoop() {
        Pacer().SetEnabled(true);
        platform::ResetWindowSystem();
    }
    // Runs the loop until a key, pressed five times from the given time on at
    // uneven gaps (so at every point between two frames), has been answered each
    // time. Gives back the middle one of the delays from press to answer.
    std::int64_t RunAndPressAfter(std::chrono::milliseconds after) {
        std::int64_t pressedAt[kPresses] = {};
        std::thread presser([&] {
            std::this_thread::sleep_for(after);
            for (int i = 0; i < kPresses; ++i) {
                if (i > 0) std::this_thread::sleep_for(std::chrono::microseconds(23'300 + 4'100 * i));
                pressedAt[i] = platform::MonotonicMicroseconds();
                desktop->Deliver(platform::Msg{window, platform::WM_KEYDOWN, kTestKey, 0});
            }
        });
        RunMainLoop(PacedStep);
        presser.join();
        std::int64_t delays[kPresses];
        for (int i = 0; i < kPresses; ++i) delays[i] = g_answeredAt[i] - pressedAt[i];
        std::sort(delays, delays + kPresses);
        return delays[kPresses / 2];
    }
    platform::TestDesktop* desktop = nullptr;
    platform::WindowHandle window = 0;
};

}  // namespace

TEST(PacedLoop, MakesOneFrameARefreshAndAnswersInputAtOnce) {
    PacedLoop loop(true);
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t delay = loop.RunAndPressAfter(std::chrono::milliseconds(1010));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double fps = g_frames / seconds;
    EXPECT_GT(fps, 50);
    EXPECT_LT(fps, 66) << g_frames << " frames in " << seconds << " s";
    // The keys came while the loop waited for the next frame: they are answered at
    // once, not when that frame is due (half a period later, on the middle one).
    EXPECT_LT(delay, 4000) << "microseconds from a press to its answer";
}

TEST(PacedLoop, UnpacedTheSameFramesComeAsFastAsTheyCan) {
    PacedLoop loop(false);
    loop.RunAndPressAfter(std::chrono::milliseconds(300));
    EXPECT_GT(g_frames, 1000) << "the comparison above means something only if unpaced frames are many";
}
