// Counts the test program's heap allocations (operator new is replaced in
// alloc_counter.cpp), so a test can see that a steady frame makes none. Under the
// address sanitizer the sanitizer's own operator new stays in place and nothing is
// counted: AllocationCounting() then says so.
#pragma once

#include <cstdint>

bool AllocationCounting();
uint64_t AllocationCount();
