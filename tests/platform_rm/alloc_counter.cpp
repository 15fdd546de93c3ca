// Replacement global operator new/delete that count allocations (not under the
// address sanitizer, which must see every allocation through its own).
#include "alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define ORBSAVER_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORBSAVER_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef ORBSAVER_COUNT_ALLOCATIONS
#define ORBSAVER_COUNT_ALLOCATIONS 1
#endif

namespace {
std::atomic<uint64_t> allocations{0};
}

bool AllocationCounting() { return ORBSAVER_COUNT_ALLOCATIONS != 0; }
uint64_t AllocationCount() { return allocations.load(std::memory_order_relaxed); }

#if ORBSAVER_COUNT_ALLOCATIONS
void* operator new(size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#endif
