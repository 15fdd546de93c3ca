// The start's steps on stderr.
#include "engine/start_trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace engine {

namespace {

bool Tracing() {
    static const bool on = std::getenv("ORBSAVER_START_TRACE") != nullptr;
    return on;
}

}  // namespace

void StartStepDone(const char* step) {
    if (!Tracing()) return;
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    std::fprintf(stderr, "orbsaver-start: %s %lld\n", step,
                 static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000);
}

void FirstPresentDone() {
    static bool done = false;
    if (done || !Tracing()) return;
    done = true;
    StartStepDone("first-present");
}

}  // namespace engine
