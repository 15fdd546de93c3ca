// MEM_RESET marks the pages' contents as of no interest, so the system drops them
// instead of writing them to the paging file; VirtualUnlock on pages that are not
// locked then takes them out of the working set. (DiscardVirtualMemory does both in
// one call, but only from Windows 8.1, and Wine does not have it.) The pages stay
// committed: a later write to them is always allowed.
#include "platform/files/release_pages.h"

#include <cstdint>

#include "platform/win32_api.h"

namespace platform {

void ReleasePages(const void* from, const void* to) {
    static const std::uintptr_t page = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return std::uintptr_t(info.dwPageSize);
    }();
    const std::uintptr_t begin = (std::uintptr_t(from) + page - 1) / page * page;
    const std::uintptr_t end = std::uintptr_t(to) / page * page;
    if (end <= begin) return;
    void* const start = reinterpret_cast<void*>(begin);
    const SIZE_T size = SIZE_T(end - begin);
    // A range that is not all committed memory of one allocation is refused whole,
    // and nothing happens.
    if (VirtualAlloc(start, size, MEM_RESET, PAGE_READWRITE)) VirtualUnlock(start, size);
}

}  // namespace platform
