// Replacing a user's file whole, so that whatever happens (a full disk, a crash, the
// power) the file is the old one or the new one, never a part of either.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes bytes to a file atomically: a temporary file beside it, flushed to the disk,
// then put in the file's place. The file's folder is made first (private to the user)
// when asked. A path that is a symbolic link stays one: the file it leads to is the
// one replaced. mode is the new file's POSIX permissions. On failure errno says why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         bool makeFolder = false);

}  // namespace platform
