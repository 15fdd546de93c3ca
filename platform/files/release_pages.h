// Giving back the memory of bytes a reader has passed: a large file read whole into
// memory need not stay resident behind the read position.
#pragma once

namespace platform {

// Tells the system that the memory pages lying wholly inside [from, to) are no longer
// needed, so it may take them back without writing them anywhere first. The pages
// stay the caller's: they may be written again (and then hold what was written), but
// what reading them gives before that is undefined. Bytes in the partly covered
// pages at either end are left as they are. Each target does it its own way
// (release_pages_posix.cpp, release_pages_win32.cpp); where the system cannot, it
// does nothing.
void ReleasePages(const void* from, const void* to);

}  // namespace platform
