// Frame pacing: one frame per display refresh when the present does not wait for
// the display, no wait at all when it does, and input answered while the loop waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/window/window.h"
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

constexpr platform::WPARAM kTestKey = 0x41;
constexpr int kPresses = 9;

// The loop's frames and the key's answers, shared with the thread that presses.
struct Shared {
    std::mutex mutex;
    std::condition_variable frameMade;
    int frames = 0;
    std::vector<std::int64_t> frameTimes;  // when each frame was made, microseconds
    int answered = 0;
    std::int64_t answeredAt[kPresses] = {};
};
Shared* g_shared = nullptr;

bool InstantFrame() {
    {
        std::lock_guard<std::mutex> lock(g_shared->mutex);
        ++g_shared->frames;
        if (g_shared->frameTimes.size() < g_shared->frameTimes.capacity())
            g_shared->frameTimes.push_back(platform::MonotonicMicroseconds());
    }
    g_shared->frameMade.notify_all();
    return true;
}

void PacedStep() { PacedFrameStep(Pacer(), InstantFrame); }

platform::LRESULT RecordingProc(platform::WindowHandle w, std::uint32_t m, platform::WPARAM wp,
                                platform::LPARAM lp) {
    if (m == platform::WM_KEYDOWN && wp == kTestKey) {
        std::lock_guard<std::mutex> lock(g_shared->mutex);
        if (g_shared->answered < kPresses) {
            g_shared->answeredAt[g_shared->answered++] = platform::MonotonicMicroseconds();
        }
        if (g_shared->answered == kPresses) platform::PostQuitMessage(0);
        return 0;
    }
    return platform::DefWindowProc(w, m, wp, lp);
}

// The loop with frames that cost nothing and present at once, on a desktop whose
// key presses arrive from another thread.
struct PacedLoop {
    explicit PacedLoop(bool paced) {
        g_shared = &shared;
        platform::ResetWindowSystem();
        auto desktop = platform::CreateTestDesktop();
        this->desktop = desktop.get();
        platform::SetWindowBackend(std::move(desktop));
        platform::RegisterWindowClass("Paced", RecordingProc);
        window = platform::CreateWindow("Paced", platform::WS_POPUP, 0, 0, 10, 10, 0);
        Pacer().SetRefreshRate(60);
        Pacer().SetEnabled(paced);
        shared.frameTimes.reserve(100000);
    }
    ~PacedLoop() {
        Pacer().SetEnabled(true);
        platform::ResetWindowSystem();
        g_shared = nullptr;
    }
    // Runs the loop; after the given time the key is pressed nine times, each just
    // after a frame has been made, when the next one is a whole period away. Gives
    // back how many presses were answered within the time.
    int RunAndCountAnsweredWithin(std::chrono::milliseconds after, std::int64_t withinMicros) {
        std::int64_t pressedAt[kPresses] = {};
        std::thread presser([&] {
            std::this_thread::sleep_for(after);
            for (int i = 0; i < kPresses; ++i) {
                std::unique_lock<std::mutex> lock(shared.mutex);
                const int seen = shared.frames;
                shared.frameMade.wait(lock, [&] { return shared.frames > seen; });
                lock.unlock();
                pressedAt[i] = platform::MonotonicMicroseconds();
                desktop->Deliver(platform::Msg{window, platform::WM_KEYDOWN, kTestKey, 0});
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
            }
        });
        RunMainLoop(PacedStep);
        presser.join();
        int quick = 0;
        for (int i = 0; i < kPresses; ++i) quick += shared.answeredAt[i] - pressedAt[i] < withinMicros;
        return quick;
    }
    Shared shared;
    platform::TestDesktop* desktop = nullptr;
    platform::WindowHandle window = 0;
};

}  // namespace

TEST(PacedLoop, MakesOneFrameARefreshAndAnswersInputAtOnce) {
    PacedLoop loop(true);
    const auto start = std::chrono::steady_clock::now();
    // A press just after a frame comes while the loop waits for the next one, a
    // period (16.5 ms) away: waiting for messages answers it at once, a sleep only
    // when the period is over. A loaded machine may be slow to run either thread, so
    // most of the presses, not all, must be answered within half a period.
    const int quick = loop.RunAndCountAnsweredWithin(std::chrono::milliseconds(1000), 8000);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double fps = loop.shared.frames / seconds;
    // Never faster than the display. The rate itself is not a fair measure: on a busy
    // machine the loop's thread may wait longer than a period for a core, and the
    // schedule then starts again rather than make up frames in a burst. So the
    // typical time from one frame to the next, the median, must be one period: waits
    // the scheduler stretched are the few long ones.
    EXPECT_LT(fps, 66) << loop.shared.frames << " frames in " << seconds << " s";
    std::vector<std::int64_t> gaps;
    const auto& times = loop.shared.frameTimes;
    for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
    ASSERT_GT(gaps.size(), 40u) << "frames made: " << loop.shared.frames;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    const double period = double(Pacer().PeriodMicroseconds());
    EXPECT_NEAR(gaps[gaps.size() / 2], period, period * 0.1) << "the median time between frames, in microseconds";
    EXPECT_GE(quick, 5) << "of " << kPresses << " presses answered within 8 ms";
}

TEST(PacedLoop, UnpacedTheSameFramesComeAsFastAsTheyCan) {
    PacedLoop loop(false);
    const auto start = std::chrono::steady_clock::now();
    loop.RunAndCountAnsweredWithin(std::chrono::milliseconds(300), 8000);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(loop.shared.frames / seconds, 1000)
        << "the comparison above means something only if unpaced frames are many";
}
