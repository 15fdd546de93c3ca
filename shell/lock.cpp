// The lock of two processes: the lock's window, grabs, display mode and prompt here,
// the scene in a child process inside the lock's window.
#include "shell/lock.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/device.h"
#include "engine/password_prompt.h"
#include "platform/process/child_process.h"
#include "platform/registry/registry.h"
#include "platform/report/report.h"
#include "platform/window/window.h"
#include "settings/scene_settings.h"
#include "shell/entry.h"
#include "shell/password.h"
#include "shell/saver_window.h"
#include "shell/shell_state.h"
#include "sound/sound.h"

namespace shell {

void SceneRestarts::Started(std::uint32_t) {
    running_ = true;
    everStarted_ = true;
}

void SceneRestarts::Died(std::uint32_t now) {
    if (!running_) return;
    running_ = false;
    deaths_.push_back(now);
    while (!deaths_.empty() && now - deaths_.front() >= kDeathWindowMilliseconds) deaths_.pop_front();
    if (static_cast<int>(deaths_.size()) > mostDeaths_) givenUp_ = true;
    nextStart_ = now + kRestartDelayMilliseconds;
}

bool SceneRestarts::StartDue(std::uint32_t now) const { return MillisecondsToStart(now) == 0; }

int SceneRestarts::MillisecondsToStart(std::uint32_t now) const {
    if (running_ || givenUp_) return -1;
    if (!everStarted_) return 0;
    // Differences of the 32-bit clock stay right across its wrap.
    const auto left = static_cast<std::int32_t>(nextStart_ - now);
    return left > 0 ? left : 0;
}

namespace {

// How often the lock looks at its scene when nothing else wakes it.
constexpr int kSceneCheckMilliseconds = 50;

struct LockState {
    platform::WindowHandle window = 0;
    platform::ChildProcess scene;
    SceneRestarts restarts;
    std::string program;
    bool saidGivenUp = false;
};

LockState& Lock() {
    static LockState state;
    return state;
}

int DeathsAllowed() {
    const char* text = std::getenv(kSceneDeathsVariable);
    if (!text || !*text) return SceneRestarts::kMostDeaths;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return (*end == '\0' && n >= 0 && n <= 100000) ? static_cast<int>(n) : SceneRestarts::kMostDeaths;
}

void StartScene(LockState& lock, std::uint32_t now) {
    const std::uint64_t id = platform::NativeWindowId(lock.window);
    // The first scene's words on stderr are kept; a scene started again after a
    // death would only say the same again.
    const bool first = lock.restarts.RecentDeaths() == 0;
    if (id && !lock.program.empty() &&
        lock.scene.Start({lock.program, "-window-id", std::to_string(id)}, !first)) {
        lock.restarts.Started(now);
        return;
    }
    // Not even started: counts as a scene that died at once.
    lock.restarts.Started(now);
    lock.restarts.Died(now);
}

// Notices a scene that ended and starts the next one when it is due.
void KeepScene() {
    LockState& lock = Lock();
    const std::uint32_t now = platform::TimeGetTime();
    if (lock.restarts.Running() && !lock.scene.Running()) lock.restarts.Died(now);
    if (lock.restarts.GivenUp()) {
        if (!lock.saidGivenUp) {
            platform::Report("orbsaver: the scene ended " +
                             std::to_string(lock.restarts.RecentDeaths()) +
                             " times within a minute (the last: " + lock.scene.Ended() +
                             "); the screen stays black and locked");
            lock.saidGivenUp = true;
        }
        return;
    }
    if (lock.restarts.StartDue(now)) StartScene(lock, now);
}

void StopScene() { Lock().scene.Stop(); }

// The lock's loop step: the scene, then a wait for messages.
void LockStep() {
    KeepScene();
    const int toStart = Lock().restarts.MillisecondsToStart(platform::TimeGetTime());
    platform::WaitMessage(toStart < 0 || toStart > kSceneCheckMilliseconds ? kSceneCheckMilliseconds
                                                                           : toStart);
}

// The prompt drawn by the desktop itself, above the scene.
class BoxPromptPainter : public platform::PromptPainter {
public:
    void Paint(platform::WindowHandle window, std::size_t masked, bool full) override {
        std::string mask(std::min(masked, engine::kMaskShown), engine::kMaskCharacter);
        if (full) mask += " (full)";
        platform::ShowPromptBox(window, engine::kPromptTitle, mask);
    }
};

bool CheckAndHide(platform::WindowHandle window) {
    const bool passes = CheckSaverPassword(window);
    platform::HidePromptBox(window);
    return passes;
}

// The refusal delay keeps the scene going, and takes no input meanwhile.
void SleepKeepingScene(std::chrono::milliseconds delay) {
    const auto end = std::chrono::steady_clock::now() + delay;
    for (;;) {
        KeepScene();
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::milliseconds(0)) return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            left, std::chrono::milliseconds(kSceneCheckMilliseconds)));
    }
}

platform::LRESULT LockWindowProc(platform::WindowHandle window, std::uint32_t message,
                                 platform::WPARAM wParam, platform::LPARAM lParam) {
    // The scene goes before the window it draws in, and before the mode comes back.
    if (message == platform::WM_DESTROY) StopScene();
    return SaverWindowProc(window, message, wParam, lParam);
}

}  // namespace

int RunScreenLock() {
    settings::ViewState& shell = settings::View();
    settings::SceneSettings& s = settings::Settings();
    LockState& lock = Lock();
    shell.mode = settings::SaverMode::Saver;
    shell.hosted = false;
    if (platform::WindowClassExists(kOtherSaverClass)) return kExitOk;
    shell.ViewWidth = 800;
    shell.ViewHeight = 600;
    shell.parentWindow = 0;
    shell.ViewScale = settings::ComputeViewScale(shell.ViewWidth);
    shell.ScrollStep = settings::ComputeScrollStep(s.SPD, shell.ViewScale);
    if (s.S_ON == 1) sound::PlayWaveResource("OPEN", sound::SND_ASYNC);

    lock.restarts = SceneRestarts(DeathsAllowed());
    lock.program = platform::ThisProgramPath();
    if (!CreateSaverWindow(LockWindowProc, platform::kStyleBlackNoGl)) {
        platform::Report("orbsaver: cannot create the saver window");
        return kExitFailure;
    }
    lock.window = shell.SaverWindow;
    platform::FocusWindow(lock.window);
    if (!TakeScreenLock(lock.window, platform::UserRegistry())) {
        platform::DestroyWindow(lock.window);
        return kExitFailure;
    }
    engine::ResetRenderDevice();
    engine::CoverMonitorInDisplayMode(lock.window);

    static BoxPromptPainter painter;
    SetSaverPasswordPainter(&painter);
    SetSaverPromptIdle(KeepScene);
    if (SaverPasswordHooks().check) SaverPasswordHooks().check->SetSleeper(SleepKeepingScene);
    Services().checkPassword = CheckAndHide;
    Services().musicDevice = nullptr;
    Services().replayMusic = nullptr;

    const int exitCode = RunMainLoop(LockStep);

    StopScene();
    SetSaverPromptIdle(nullptr);
    engine::ReleaseRenderDevice();
    return exitCode;
}

}  // namespace shell
