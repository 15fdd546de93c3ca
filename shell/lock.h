// The screen lock of the full-screen saver when a password is required: two
// processes. The lock (this process) covers the monitors, holds the keyboard and
// pointer, switches and restores the primary's display mode, handles input and asks
// for the password; it makes no GL context and loads no model, texture, font or
// music. The scene is a child copy of the program, started as a screen-saver host's
// display mode inside the lock's window; when it dies the screen stays covered and
// locked, and a new one comes a second later.
#pragma once

#include <cstdint>
#include <deque>

namespace shell {

// When the lock starts its next scene. A scene that died is followed by a new one
// kRestartDelayMilliseconds later; once more than mostDeaths scenes died within
// kDeathWindowMilliseconds, no scene is started again and the screen stays black.
class SceneRestarts {
public:
    static constexpr std::uint32_t kRestartDelayMilliseconds = 1000;
    static constexpr std::uint32_t kDeathWindowMilliseconds = 60000;
    static constexpr int kMostDeaths = 5;

    explicit SceneRestarts(int mostDeaths = kMostDeaths) : mostDeaths_(mostDeaths) {}

    // A scene was started at that time (milliseconds of a monotonic clock).
    void Started(std::uint32_t now);
    // The running scene was seen to have ended at that time.
    void Died(std::uint32_t now);
    bool Running() const { return running_; }
    bool GivenUp() const { return givenUp_; }
    // Whether a scene is to be started now.
    bool StartDue(std::uint32_t now) const;
    // Milliseconds until a start is due: 0 when one is, -1 when none ever will be
    // (a scene runs, or the lock gave up).
    int MillisecondsToStart(std::uint32_t now) const;
    // Deaths within the last minute as of the last one.
    std::size_t RecentDeaths() const { return deaths_.size(); }

private:
    int mostDeaths_;
    std::deque<std::uint32_t> deaths_;
    bool running_ = false;
    bool givenUp_ = false;
    bool everStarted_ = false;
    std::uint32_t nextStart_ = 0;
};

// The environment variable with which tests allow more deaths a minute.
inline constexpr const char* kSceneDeathsVariable = "ORBSAVER_TEST_SCENE_DEATHS_PER_MINUTE";

// Runs the full-screen saver as a lock of two processes, from the opening sound to
// its end; returns the exit code. Called once the settings are read, in place of the
// one-process full-screen saver, when the store asks for a password.
int RunScreenLock();

}  // namespace shell
