// The start's steps, said as the program's other lines are (on stderr on Linux).
#include "engine/start_trace.h"

#include <cstdlib>
#include <string>

#include "platform/report/report.h"
#include "platform/window/window.h"

namespace engine {

namespace {

bool Tracing() {
    static const bool on = std::getenv("ORBSAVER_START_TRACE") != nullptr;
    return on;
}

}  // namespace

void StartStepDone(const char* step) {
    if (!Tracing()) return;
    // The monotonic clock's microseconds, which the start benchmark reads as well.
    platform::Report(std::string("orbsaver-start: ") + step + " " +
                     std::to_string(platform::MonotonicMicroseconds()));
}

void FirstPresentDone() {
    static bool done = false;
    if (done || !Tracing()) return;
    done = true;
    StartStepDone("first-present");
}

}  // namespace engine
