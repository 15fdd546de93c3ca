// Code pages through Windows' own tables (MultiByteToWideChar, WideCharToMultiByte),
// and the keyboard code page from the keyboard layout's language.
//
// Windows' table of code page 1252 gives its five unused bytes (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) the C1 controls of the same number; the program treats them, as every
// other backend does, as bytes with no character, so a text reads the same on every
// system.
#include "platform/text/text.h"
#include "platform/win32_api.h"

namespace platform {

namespace {

bool IsC1Control(wchar_t c) { return c >= 0x80 && c <= 0x9F; }

// The bytes of one character of the code page starting at bytes[i]: two for a lead
// byte of 932 with a second byte after it, else one.
std::size_t CharacterLength(std::string_view bytes, std::size_t i, int codePage) {
    if (codePage == 932 && i + 1 < bytes.size() &&
        IsDBCSLeadByteEx(932, static_cast<BYTE>(bytes[i]))) {
        return 2;
    }
    return 1;
}

// One character of the code page as UTF-16, or nothing (0 units) when it has none.
int DecodeOne(std::string_view piece, int codePage, wchar_t* out) {
    if (codePage == 65001) codePage = CP_UTF8;
    const int n = MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS,
                                      piece.data(), static_cast<int>(piece.size()), out, 2);
    if (n <= 0) return 0;
    if (codePage == 1252 && IsC1Control(out[0])) return 0;
    return n;
}

void AppendUtf8(std::wstring_view wide, std::string* out) {
    if (wide.empty()) return;
    char buffer[16];
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      buffer, sizeof buffer, nullptr, nullptr);
    if (n > 0) out->append(buffer, static_cast<std::size_t>(n));
}

// Code-page bytes to UTF-8 a character at a time; false at the first byte with no
// character unless replace, which puts U+FFFD there and goes on after it.
bool ToUtf8(std::string_view bytes, int codePage, bool replace, std::string* out) {
    out->clear();
    out->reserve(bytes.size() * 2);
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = CharacterLength(bytes, i, codePage);
        wchar_t wide[2];
        const int n = DecodeOne(bytes.substr(i, length), codePage, wide);
        if (n > 0) {
            AppendUtf8(std::wstring_view(wide, static_cast<std::size_t>(n)), out);
            i += length;
            continue;
        }
        if (!replace) return false;
        out->append("\xEF\xBF\xBD");
        ++i;  // a lead byte whose pair does not convert: the next byte starts anew
    }
    return true;
}

// One character to the code page's bytes, without best-fit look-alikes; false when
// the code page has no form for it.
bool EncodeOne(char32_t c, int codePage, std::string* out) {
    wchar_t wide[2];
    int units = 1;
    if (c >= 0x10000) {
        wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        units = 2;
    } else {
        wide[0] = static_cast<wchar_t>(c);
    }
    if (codePage == 65001) {
        AppendUtf8(std::wstring_view(wide, static_cast<std::size_t>(units)), out);
        return true;
    }
    if (codePage == 1252 && IsC1Control(wide[0])) return false;
    char buffer[8];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, wide,
                                      units, buffer, sizeof buffer, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    out->append(buffer, static_cast<std::size_t>(n));
    return true;
}

}  // namespace

int KeyboardCodePage() {
    const LANGID language = LOWORD(reinterpret_cast<UINT_PTR>(GetKeyboardLayout(0)));
    return CodePageForKeyboardLanguage(PRIMARYLANGID(language));
}

std::string CodePageToUtf8(std::string_view bytes, int codePage) {
    std::string out;
    ToUtf8(bytes, codePage, true, &out);
    return out;
}

bool CodePageToUtf8Exact(std::string_view bytes, int codePage, std::string* out) {
    std::string result;
    if (!ToUtf8(bytes, codePage, false, &result)) return false;
    *out = std::move(result);
    return true;
}

std::string Utf8ToCodePage(std::string_view utf8, int codePage) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t at = i;
        const char32_t c = NextCodePoint(utf8, i);
        const bool malformed = c == 0xFFFD && utf8.substr(at, i - at) != "\xEF\xBF\xBD";
        if (malformed || !EncodeOne(c, codePage, &out)) out.push_back('?');
    }
    return out;
}

bool Utf8ToCodePageExact(std::string_view utf8, int codePage, std::string* out) {
    std::string result;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t at = i;
        const char32_t c = NextCodePoint(utf8, i);
        if (c == 0xFFFD && utf8.substr(at, i - at) != "\xEF\xBF\xBD") return false;
        if (!EncodeOne(c, codePage, &result)) return false;
    }
    *out = std::move(result);
    return true;
}

}  // namespace platform
