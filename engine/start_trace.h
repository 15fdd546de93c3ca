// The start's steps on stderr, for measuring how long each takes: with
// ORBSAVER_START_TRACE set, each step that ends writes "orbsaver-start: STEP MICROS",
// MICROS being the monotonic clock (CLOCK_MONOTONIC, microseconds) at its end, so
// that a caller that noted the clock before it started the program can place every
// step. Nothing is written otherwise.
#pragma once

namespace engine {

void StartStepDone(const char* step);
// The first present only: later ones write nothing.
void FirstPresentDone();

}  // namespace engine
