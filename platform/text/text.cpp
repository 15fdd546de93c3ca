// What every code-page backend shares: which code page a locale or a keyboard
// language speaks, and the UTF-8 reader.
#include "platform/text/text.h"

namespace platform {

int CodePageForLocale(std::string_view name) {
    return name.substr(0, 2) == "ja" ? 932 : 1252;
}

int CodePageForKeyboardLanguage(unsigned primaryLanguage) {
    constexpr unsigned kJapanese = 0x11;  // LANG_JAPANESE
    return primaryLanguage == kJapanese ? 932 : 1252;
}

char32_t NextCodePoint(std::string_view utf8, std::size_t& at) {
    constexpr char32_t kReplacement = 0xFFFD;
    const std::size_t start = at;
    if (start >= utf8.size()) return kReplacement;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    const unsigned lead = byte(start);
    at = start + 1;
    if (lead < 0x80) return lead;
    std::size_t length = 0;
    char32_t c = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return kReplacement;
    }
    if (utf8.size() - start < length) return kReplacement;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(start + i) & 0xC0) != 0x80) return kReplacement;
        c = (c << 6) | (byte(start + i) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    at = start + length;
    return c;
}

}  // namespace platform
