// The frame pacer's schedule.
#include "shell/frame_pacer.h"

namespace shell {

namespace {

// Frames are due one period apart, the period a hundredth shorter than the display's
// refresh interval. Where the present waits for the display, frames then always
// come later than they are due and the pacer never waits, even on a display a
// little faster than the whole hertz it reports; where it does not wait, frames come
// at the refresh rate and a hundredth.
constexpr double kPeriodShare = 0.99;
// A frame due in less than this is made at once: waits are counted in milliseconds.
constexpr std::int64_t kSlackMicroseconds = 500;

}  // namespace

void FramePacer::SetRefreshRate(int hertz) {
    if (hertz <= 0) hertz = 60;
    period_ = static_cast<std::int64_t>(1e6 * kPeriodShare / hertz);
}

void FramePacer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    due_ = kNone;
}

std::int64_t FramePacer::WaitBefore(std::int64_t now) const {
    if (!enabled_ || due_ == kNone) return 0;
    const std::int64_t left = due_ - now;
    return left >= kSlackMicroseconds ? left : 0;
}

void FramePacer::FrameMade(std::int64_t start) {
    // The next frame is due one period after this one was: a schedule of its own, so
    // that waking a little late does not slow the rate. A frame more than a period
    // behind its time (a slow frame, a dialog, the display's own wait) starts the
    // schedule again from itself rather than making up for lost frames in a burst.
    if (due_ == kNone || start - due_ > period_) {
        due_ = start + period_;
    } else {
        due_ += period_;
    }
}

FramePacer& Pacer() {
    static FramePacer pacer;
    return pacer;
}

}  // namespace shell
