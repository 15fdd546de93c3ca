// Where the dialog's UTF-8 meets the settings' code-page bytes: texts and paths go
// through here, in one place, both ways. Nothing is ever stored as something else
// silently: a text the code page cannot hold is refused.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace config {

// The longest message text and path the dialog stores, in bytes, without the
// terminator.
inline constexpr std::size_t kMaxMessageBytes = 254;
inline constexpr std::size_t kMaxPathBytes = 254;

// A fixed buffer's text (up to its terminator) as UTF-8.
std::string BufferToUtf8(const char* buffer, std::size_t size, int codePage);

// UTF-8 as code-page bytes that fit in maxBytes: false when a character has no form
// in the code page or the bytes would not fit.
bool Utf8ToStored(std::string_view utf8, int codePage, std::size_t maxBytes, std::string* out);

// Whether one typed character has a form in the code page.
bool CodePageHolds(char32_t c, int codePage);

// Copies stored bytes into a fixed buffer with their terminator, as the Windows
// controls copy a text; what follows in the buffer stays.
void StoreInBuffer(char* buffer, std::size_t size, std::string_view bytes);

// A file name the desktop gave (UTF-8 on this system) as a stored path: false when
// the code page cannot hold it or it is longer than kMaxPathBytes.
bool PathToStored(const std::string& fileName, int codePage, std::string* out);
// A stored path as the desktop's file name.
std::string StoredToPath(const char* buffer, std::size_t size, int codePage);

}  // namespace config
