// Identity numbers for retained-mode objects.
#include "platform/rm/object.h"

#include <atomic>

namespace platform::rm {

namespace {
std::atomic<uint64_t> next_id{1};
}

Object::Object() : id_(next_id.fetch_add(1, std::memory_order_relaxed)) {}

}  // namespace platform::rm
