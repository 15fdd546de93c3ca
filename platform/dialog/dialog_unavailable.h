// A dialog backend for a system whose dialogs are not there yet: it shows none, and
// says so with its reason, which is no failure of the run unless failure is set (the
// dialogs should be there, but cannot be used).
#pragma once

#include <memory>
#include <string>

#include "platform/dialog/dialog.h"

namespace platform {

std::unique_ptr<DialogBackend> CreateUnavailableDialogBackend(std::string reason,
                                                              bool failure = false);

}  // namespace platform
