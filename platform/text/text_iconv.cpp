// Code-page conversion through iconv.
#include "platform/text/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

const char* IconvName(int codePage) {
    switch (codePage) {
        case 932:
            return "CP932";
        case 65001:
            return "UTF-8";
        default:
            return "CP1252";
    }
}

// Converts with iconv, replacing what does not convert and going on after it.
std::string Convert(std::string_view in, const char* from, const char* to,
                    std::string_view replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[256];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: one character that does not convert. From UTF-8 that
            // is the whole sequence, from a code page one byte.
            std::size_t skip = 1;
            if (std::string_view(from) == "UTF-8") {
                while (skip < srcLeft && skip < 4 &&
                       (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80) {
                    ++skip;
                }
            }
            out.append(replacement);
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

int KeyboardCodePage() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && value[0]) return CodePageForLocale(value);
    }
    return 1252;
}

std::string CodePageToUtf8(std::string_view bytes, int codePage) {
    return Convert(bytes, IconvName(codePage), "UTF-8", "\xEF\xBF\xBD");
}

std::string Utf8ToCodePage(std::string_view utf8, int codePage) {
    return Convert(utf8, "UTF-8", IconvName(codePage), "?");
}

namespace {

// Converts with iconv, all or nothing.
bool ConvertExact(std::string_view in, const char* from, const char* to, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string result;
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[256];
    bool ok = true;
    while (ok && srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        result.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) ok = false;
    }
    iconv_close(cd);
    if (ok) *out = std::move(result);
    return ok;
}

}  // namespace

bool Utf8ToCodePageExact(std::string_view utf8, int codePage, std::string* out) {
    // Well-formed first: iconv would stop on a broken sequence without saying where.
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t at = i;
        const char32_t c = NextCodePoint(utf8, i);
        if (c == 0xFFFD && !(i - at == 3 && utf8.substr(at, 3) == "\xEF\xBF\xBD")) return false;
    }
    return ConvertExact(utf8, "UTF-8", IconvName(codePage), out);
}

bool CodePageToUtf8Exact(std::string_view bytes, int codePage, std::string* out) {
    return ConvertExact(bytes, IconvName(codePage), "UTF-8", out);
}

}  // namespace platform
