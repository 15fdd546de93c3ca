// Finding a file or folder by a name whose letters may be in another case, as names
// written on Windows (in model files, for textures) often are.
#pragma once

#include <string>

namespace platform {

// The path (dir + "/" + the entry's name) of the entry of dir whose name equals name
// ignoring ASCII case, an exact match first; a folder when folder is true, else a
// regular file. Empty when there is none. Paths are UTF-8. Each target looks its own
// way (find_entry_posix.cpp, find_entry_win32.cpp).
std::string FindEntryIgnoringCase(const std::string& dir, const std::string& name, bool folder);

// The folder a path names its file in: the path up to its last separator ("/", and on
// Windows "\\" too), or "." for a bare name.
std::string FolderOf(const std::string& path);

}  // namespace platform
