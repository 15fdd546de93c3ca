// A message box: a title, a text and an icon, with one OK button; the caller waits
// until it is closed. Without a desktop the text goes to stderr instead.
#pragma once

#include <string>

namespace platform {

enum class MessageBoxKind { kInformation, kWarning, kError };

void ShowMessageBox(const std::string& titleUtf8, const std::string& textUtf8,
                    MessageBoxKind kind);

}  // namespace platform
