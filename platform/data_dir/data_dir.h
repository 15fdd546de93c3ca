// Where the program's installed data lives: the directory that holds the default
// model and texture and the help pages, standing for the Windows directory.
#pragma once

#include <string>

namespace platform {

// The data directory, with a trailing '/'. In order: $ORBSAVER_DATA_DIR; the
// share/orbsaver directory beside the installed binary; the build tree's data
// directory when the binary runs from the build tree; the configured install path.
std::string DataDirectory();

}  // namespace platform
