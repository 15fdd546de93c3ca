// Code pages: the keyboard code page of the user's locale, and conversion of the
// settings' code-page texts to and from UTF-8 wherever they meet the desktop.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// 932 when the user's language is Japanese, otherwise 1252: on Linux the locale's
// (LC_ALL, LC_MESSAGES and LANG, in that order, as the C library looks), on Windows
// the keyboard layout's.
int KeyboardCodePage();
int CodePageForLocale(std::string_view localeName);
// The same for a Windows keyboard layout's primary language id (0x11 is Japanese).
int CodePageForKeyboardLanguage(unsigned primaryLanguage);

// Code page 1252 has no characters at 0x81, 0x8D, 0x8F, 0x90 and 0x9D: those bytes
// convert to nothing, and U+0080 to U+009F to no byte, with every backend.

// Converts code-page bytes to UTF-8; bytes that do not convert become U+FFFD.
std::string CodePageToUtf8(std::string_view bytes, int codePage);
// Converts UTF-8 to code-page bytes; characters the code page lacks become '?'.
std::string Utf8ToCodePage(std::string_view utf8, int codePage);

// Converts UTF-8 to code-page bytes exactly: false, and out untouched, when a
// character has no form in the code page or the text is no well-formed UTF-8.
bool Utf8ToCodePageExact(std::string_view utf8, int codePage, std::string* out);

// Converts code-page bytes to UTF-8 exactly: false, and out untouched, when a byte
// (or a pair of them) has no character in the code page.
bool CodePageToUtf8Exact(std::string_view bytes, int codePage, std::string* out);

// Decodes the UTF-8 character at text[i] and moves i past it. A byte that starts no
// well-formed character (a stray continuation, an overlong form, a surrogate, a
// value past U+10FFFF, a sequence cut short) gives U+FFFD and is passed over alone.
char32_t NextCodePoint(std::string_view text, std::size_t& i);

}  // namespace platform
