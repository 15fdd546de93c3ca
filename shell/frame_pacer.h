// Frame pacing for the message loop: one frame per display refresh, also where the
// present does not wait for the display (no vertical sync: Xvfb, software GL, some
// drivers and compositors), so that a frame the display cannot show is never made.
// The loop asks how long to wait before the next frame and waits for messages that
// long, so input is answered at once while it waits.
#pragma once

#include <cstdint>

namespace shell {

class FramePacer {
public:
    FramePacer() { SetRefreshRate(0); }

    // The display's rate in hertz; 0 or less (unknown) counts as 60.
    void SetRefreshRate(int hertz);
    // Off: every frame may be made at once (benchmarks compare with it).
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    // The time from one frame's start to the next one's.
    std::int64_t PeriodMicroseconds() const { return period_; }

    // Microseconds to wait from now until the next frame is due; 0 when it may be
    // made now.
    std::int64_t WaitBefore(std::int64_t now) const;
    // A frame started at start (microseconds of the same clock) has been made.
    void FrameMade(std::int64_t start);
    // No frame could be made: the next one that can is due at once.
    void Restart() { due_ = kNone; }

private:
    static constexpr std::int64_t kNone = INT64_MIN;
    std::int64_t period_ = 0;
    std::int64_t due_ = kNone;
    bool enabled_ = true;
};

// The pacer of the saver's message loop.
FramePacer& Pacer();

}  // namespace shell
