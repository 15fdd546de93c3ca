// Windows' own registry as the program's: keys below HKEY_CURRENT_USER.
#pragma once

#include <memory>
#include <string_view>

#include "platform/registry/registry.h"

namespace platform {

std::unique_ptr<Registry> CreateWin32Registry();
// Deletes a key below HKEY_CURRENT_USER with everything under it (tests).
bool DeleteWin32KeyTree(std::string_view subKey);

}  // namespace platform
