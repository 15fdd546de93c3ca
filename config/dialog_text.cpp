// Code-page crossings of the configuration dialog.
#include "config/dialog_text.h"

#include <cstring>

#include "platform/text/text.h"
#include "settings/scene_settings.h"

namespace config {

std::string BufferToUtf8(const char* buffer, std::size_t size, int codePage) {
    return platform::CodePageToUtf8(std::string_view(buffer, settings::TextLength(buffer, size)),
                                    codePage);
}

bool Utf8ToStored(std::string_view utf8, int codePage, std::size_t maxBytes, std::string* out) {
    std::string bytes;
    if (!platform::Utf8ToCodePageExact(utf8, codePage, &bytes)) return false;
    // A zero byte would end the stored text early: the rest would be lost unseen.
    if (bytes.size() > maxBytes || bytes.find('\0') != std::string::npos) return false;
    *out = std::move(bytes);
    return true;
}

bool CodePageHolds(char32_t c, int codePage) {
    if (c == 0) return false;
    char utf8[5] = {};
    if (c < 0x80) {
        utf8[0] = static_cast<char>(c);
    } else if (c < 0x800) {
        utf8[0] = static_cast<char>(0xC0 | (c >> 6));
        utf8[1] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        utf8[0] = static_cast<char>(0xE0 | (c >> 12));
        utf8[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        utf8[0] = static_cast<char>(0xF0 | (c >> 18));
        utf8[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8[3] = static_cast<char>(0x80 | (c & 0x3F));
    }
    std::string bytes;
    return platform::Utf8ToCodePageExact(utf8, codePage, &bytes);
}

void StoreInBuffer(char* buffer, std::size_t size, std::string_view bytes) {
    if (size == 0) return;
    const std::size_t n = std::min(bytes.size(), size - 1);
    std::memcpy(buffer, bytes.data(), n);
    buffer[n] = '\0';
}

bool PathToStored(const std::string& fileName, int codePage, std::string* out) {
    return Utf8ToStored(fileName, codePage, kMaxPathBytes, out);
}

std::string StoredToPath(const char* buffer, std::size_t size, int codePage) {
    return BufferToUtf8(buffer, size, codePage);
}

}  // namespace config
