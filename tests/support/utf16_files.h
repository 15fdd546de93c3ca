// Registry files in the byte forms a 5.00 export can take, for the store's tests.
#pragma once

#include <string>
#include <string_view>

namespace regtest {

// A 5.00 file as the registry editor exports it: UTF-16LE after its mark.
inline std::string Utf16File(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// The same text in UTF-16BE behind its mark, which the registry editor never writes.
inline std::string Utf16BigEndianFile(std::u16string_view text) {
    std::string out = "\xFE\xFF";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c >> 8));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    return out;
}

// `before`, a NUL character, then `after`: a quoted text with a NUL inside when
// `before` opens the quotes and `after` closes them.
inline std::string Utf16FileWithNul(std::u16string_view before, std::u16string_view after) {
    return Utf16File(before) + std::string("\0\0", 2) + Utf16File(after).substr(2);
}

}  // namespace regtest
