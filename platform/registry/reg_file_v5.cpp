// The registry editor's 5.00 form: its text in UTF-16LE (or UTF-8), its texts taken
// into the code page when read and back out of it when written, and its writer.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/reg_file.h"
#include "platform/registry/reg_file_parts.h"
#include "platform/text/text.h"

namespace platform::reg_file_parts {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16Le(std::vector<std::uint8_t>& out, char32_t c) {
    auto unit = [&](std::uint32_t u) {
        out.push_back(static_cast<std::uint8_t>(u));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    if (c < 0x10000) {
        unit(c);
    } else {
        unit(0xD800 + ((c - 0x10000) >> 10));
        unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
}

// UTF-16LE to UTF-8. False on an odd number of bytes or a surrogate without its
// partner; *badUnit is then the index of the unit at fault.
bool Utf16LeToUtf8(std::string_view bytes, std::string& out, std::size_t* badUnit) {
    if (bytes.size() % 2 != 0) {
        if (badUnit) *badUnit = bytes.size() / 2;
        return false;
    }
    out.clear();
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto at = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = at(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && at(i + 1) >= 0xDC00 &&
            at(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (at(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            if (badUnit) *badUnit = i;
            return false;
        }
        AppendUtf8(out, c);
    }
    return true;
}

// UTF-8 known to be well formed, to UTF-16LE.
std::vector<std::uint8_t> Utf8ToUtf16Le(std::string_view utf8) {
    std::vector<std::uint8_t> out;
    out.reserve(utf8.size() * 2);
    for (std::size_t i = 0; i < utf8.size();) AppendUtf16Le(out, NextCodePoint(utf8, i));
    return out;
}

bool IsWellFormedUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        if (NextCodePoint(text, i) == 0xFFFD && text.substr(at, 3) != "\xEF\xBF\xBD") return false;
    }
    return true;
}

// The line parser, over code-page bytes (REGEDIT4) or UTF-8 (5.00): names and quoted
// texts are taken as they stand in the file, and the header says which form it is.
// A 5.00 text may hold no NUL, which no registry editor writes inside quotes.

std::string CodePointName(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

// The first character of the UTF-8 text that the code page lacks.
std::string FirstMissingCharacter(std::string_view utf8, int codePage) {
    std::string ignored;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t at = i;
        const char32_t c = NextCodePoint(utf8, i);
        if (!Utf8ToCodePageExact(utf8.substr(at, i - at), codePage, &ignored)) {
            return CodePointName(c);
        }
    }
    return "a character";
}

bool IsTextType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::string ValueLabel(const RegKey& key, std::string_view name) {
    return "value " + (name.empty() ? std::string("@") : "\"" + std::string(name) + "\"") +
           " of [" + key.pathAsRead + "]";
}

// Turns a document parsed from a 5.00 file (names in UTF-8, texts in UTF-16LE) into
// the store's code page, keeping each key's and value's form as read.
void ConvertToCodePage(RegFile& file, int codePage) {
    for (RegKey& key : file.document.keys) {
        key.pathAsRead = key.path;
        std::string path;
        if (Utf8ToCodePageExact(key.pathAsRead, codePage, &path)) {
            key.path = std::move(path);
        } else {
            key.pathReadable = false;
            key.path = Utf8ToCodePage(key.pathAsRead, codePage);
            file.warnings.push_back("key [" + key.pathAsRead + "] holds " +
                                    FirstMissingCharacter(key.pathAsRead, codePage) +
                                    ", which code page " + std::to_string(codePage) +
                                    " lacks; its values read as absent");
        }
        for (RegValue& v : key.values) {
            v.asRead = RegValueAsRead{v.name, v.data};
            const std::string label = ValueLabel(key, v.asRead->name);
            const std::string lacks = ", which code page " + std::to_string(codePage) +
                                      " lacks; it reads as absent";
            std::string name;
            if (!key.pathReadable) {
                v.readable = v.nameReadable = false;
            } else if (Utf8ToCodePageExact(v.asRead->name, codePage, &name)) {
                v.name = std::move(name);
            } else {
                v.readable = v.nameReadable = false;
                v.name = Utf8ToCodePage(v.asRead->name, codePage);
                v.problem = label + ": its name holds " +
                            FirstMissingCharacter(v.asRead->name, codePage) + lacks;
                file.warnings.push_back(v.problem);
                continue;
            }
            if (!v.readable || !IsTextType(v.type)) continue;
            std::string utf8, bytes;
            std::size_t badUnit = 0;
            const std::string_view wide(reinterpret_cast<const char*>(v.asRead->data.data()),
                                        v.asRead->data.size());
            if (!Utf16LeToUtf8(wide, utf8, &badUnit)) {
                v.readable = false;
                v.problem = label + (wide.size() % 2 ? " has an odd number of bytes"
                                                     : " holds a lone surrogate") +
                            ", which no UTF-16LE text has; it reads as absent";
                file.warnings.push_back(v.problem);
            } else if (!Utf8ToCodePageExact(utf8, codePage, &bytes)) {
                v.readable = false;
                v.problem = label + " holds " + FirstMissingCharacter(utf8, codePage) + lacks;
                file.warnings.push_back(v.problem);
            } else {
                v.data.assign(bytes.begin(), bytes.end());
            }
        }
    }
}

// A text value that reads back the same written quoted: one terminated text of
// printable characters, given as UTF-8.
bool IsPlainWideText(const RegValue& v, const std::vector<std::uint8_t>& wide, std::string* utf8) {
    const std::size_t n = wide.size();
    if (v.type != kRegSz || n < 2 || n % 2 != 0 || n > 2 * kMaxQuotedBytes) return false;
    if (wide[n - 2] != 0 || wide[n - 1] != 0) return false;
    for (std::size_t i = 0; i + 2 < n; i += 2) {
        const unsigned unit = wide[i] | (wide[i + 1] << 8);
        if (unit < 0x20 || unit == 0x7f) return false;
    }
    return Utf16LeToUtf8(std::string_view(reinterpret_cast<const char*>(wide.data()), n - 2), *utf8);
}

// Hex bytes as the 5.00 exports of the registry editor wrap them: a line breaks after
// the comma that reaches column 77.
void AppendHexVersion5(std::string& out, std::size_t column, const std::vector<std::uint8_t>& data) {
    static const char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 15]);
        if (i + 1 == data.size()) break;
        out.push_back(',');
        column += 3;
        if (column >= 77) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
}

bool WriteVersion5(const RegDocument& doc, int codePage, std::string* out, std::string* error) {
    auto toUtf8 = [&](std::string_view bytes, const std::string& what, std::string* utf8) {
        if (CodePageToUtf8Exact(bytes, codePage, utf8)) return true;
        return FailWhole(error, what + " holds bytes that are no text of code page " +
                                    std::to_string(codePage));
    };
    std::string text = std::string(kVersion5Header) + "\r\n";
    for (const RegKey& key : doc.keys) {
        std::string path = key.pathAsRead;
        if (path.empty() && !toUtf8(key.path, "the key's path", &path)) return false;
        text += "\r\n[" + path + "]\r\n";
        for (const RegValue& v : key.values) {
            std::string name;
            std::vector<std::uint8_t> data;
            if (v.asRead) {
                name = v.asRead->name;
                data = v.asRead->data;
            } else {
                if (!toUtf8(v.name, "a value's name", &name)) return false;
                data = v.data;
                std::string utf8;
                if (IsTextType(v.type)) {
                    std::string bytes(v.data.begin(), v.data.end());
                    if (!CodePageToUtf8Exact(bytes, codePage, &utf8)) {
                        // What follows a text's terminator is whatever its buffer held
                        // before (a longer path, cut anywhere): it may be no text. It
                        // has no meaning, so it becomes question marks, of the same
                        // size, rather than keep the whole file from being written.
                        const std::size_t end = v.type == kRegMultiSz ? bytes.size() : bytes.find('\0');
                        for (std::size_t i = end == std::string::npos ? bytes.size() : end;
                             i < bytes.size(); ++i) {
                            if (static_cast<unsigned char>(bytes[i]) >= 0x80) bytes[i] = '?';
                        }
                    }
                    if (!toUtf8(bytes, "value \"" + name + "\"", &utf8)) return false;
                    data = Utf8ToUtf16Le(utf8);
                }
            }
            const std::size_t lineStart = text.size();
            text += name.empty() ? std::string("@") : Quote(name);
            text += '=';
            std::string quoted;
            if (IsPlainWideText(v, data, &quoted)) {
                text += Quote(quoted);
            } else {
                AppendValueData(text, lineStart, v, data, RegFileForm::kVersion5);
            }
            text += "\r\n";
        }
    }
    text += "\r\n";
    const std::vector<std::uint8_t> wide = Utf8ToUtf16Le(text);
    out->assign(kUtf16LeMark);
    out->append(reinterpret_cast<const char*>(wide.data()), wide.size());
    return true;
}

}  // namespace platform::reg_file_parts
