// What a save that replaces a user's file (the step table) does with the file that is
// there: its permissions are kept, a new file gets the user's default ones, and a file
// the user made read-only is not replaced.
#pragma once

#include <string>

namespace platform {

// The permissions to give the new file, in *mode (POSIX mode bits; the Windows
// backend keeps the file's attributes itself). False, with the reason in *error, when
// the file there is read-only.
bool ModeForReplacing(const std::string& path, unsigned* mode, std::string* error);

}  // namespace platform
