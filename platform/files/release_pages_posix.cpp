// madvise: on Linux the pages go back at once and read as zeros afterwards.
#include "platform/files/release_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

void ReleasePages(const void* from, const void* to) {
    static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (std::uintptr_t(from) + page - 1) / page * page;
    const std::uintptr_t end = std::uintptr_t(to) / page * page;
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

}  // namespace platform
