// Counts the test program's heap allocations (operator new is replaced in
// alloc_counter.cpp), so a test can see that a steady frame makes none.
#pragma once

#include <cstdint>

uint64_t AllocationCount();
