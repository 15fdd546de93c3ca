// The two text forms of a registry file, REGEDIT4 and Windows Registry Editor 5.00:
// the document, the reader of both forms' lines, and the REGEDIT4 writer. The 5.00
// form's text conversions and writer are in reg_file_v5.cpp.
#include "platform/registry/reg_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "platform/registry/reg_file_parts.h"
#include "platform/text/text.h"

namespace platform {

using namespace reg_file_parts;

namespace reg_file_parts {

// The longest value name, as in the Windows registry (16383 characters); a name can
// be spread over continued lines, but is written on one.
constexpr std::size_t kMaxNameBytes = 16383 * 3;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a quoted text starting at s[pos] == '"', undoing the \\ and \" escapes.
// Leaves pos just after the closing quote.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& out) {
    if (pos >= s.size() || s[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"') return true;
        if (c == '\\' && pos < s.size() && (s[pos] == '\\' || s[pos] == '"')) c = s[pos++];
        if (out.size() >= kMaxRegValueBytes) return false;
        out.push_back(c);
    }
    return false;
}

bool ParseHexBytes(std::string_view s, std::vector<std::uint8_t>& out) {
    out.clear();
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < s.size() && IsBlank(s[i])) ++i;
    };
    skipBlanks();
    while (i < s.size()) {
        if (i + 1 >= s.size()) return false;
        const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        if (out.size() >= kMaxRegValueBytes) return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i += 2;
        skipBlanks();
        if (i < s.size()) {
            if (s[i] != ',') return false;
            ++i;
            skipBlanks();
        }
    }
    return true;
}

bool Fail(std::string* error, std::size_t line, const char* what) {
    if (error) *error = "line " + std::to_string(line) + ": " + what;
    return false;
}

// Parses the value part of a value line (after "=") into type and data. A deletion
// ("-") gives deleted = true.
bool ParseValueData(std::string_view v, RegValue& value, bool& deleted) {
    deleted = false;
    v = TrimBlanks(v);
    if (v == "-") {
        deleted = true;
        return true;
    }
    if (!v.empty() && v.front() == '"') {
        std::size_t pos = 0;
        std::string text;
        if (!ReadQuoted(v, pos, text) || !TrimBlanks(v.substr(pos)).empty()) return false;
        value.type = kRegSz;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    if (v.size() >= 6 && EqualsIgnoreCase(v.substr(0, 6), "dword:")) {
        std::string_view digits = TrimBlanks(v.substr(6));
        if (digits.empty() || digits.size() > 8) return false;
        std::uint32_t n = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            n = n * 16 + static_cast<std::uint32_t>(d);
        }
        value.type = kRegDword;
        value.data = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                      static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
        return true;
    }
    if (v.size() >= 4 && EqualsIgnoreCase(v.substr(0, 3), "hex")) {
        std::size_t pos = 3;
        std::uint32_t type = kRegBinary;
        if (v[pos] == '(') {
            ++pos;
            std::uint32_t n = 0;
            std::size_t digits = 0;
            while (pos < v.size() && HexDigit(v[pos]) >= 0 && digits < 8) {
                n = n * 16 + static_cast<std::uint32_t>(HexDigit(v[pos++]));
                ++digits;
            }
            if (digits == 0 || pos >= v.size() || v[pos] != ')') return false;
            ++pos;
            type = n;
        }
        if (pos >= v.size() || v[pos] != ':') return false;
        value.type = type;
        return ParseHexBytes(v.substr(pos + 1), value.data);
    }
    return false;
}

void AppendHex(std::string& out, std::size_t prefixLength, const std::vector<std::uint8_t>& data) {
    static const char kDigits[] = "0123456789abcdef";
    std::size_t column = prefixLength;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const bool last = i + 1 == data.size();
        if (column + 3 > 78) {
            out += "\\\r\n  ";
            column = 2;
        }
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 15]);
        column += 2;
        if (!last) {
            out.push_back(',');
            ++column;
        }
    }
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A string that an import gives back byte for byte when written quoted.
bool IsPlainText(const RegValue& v) {
    if (v.type != kRegSz || v.data.empty() || v.data.back() != 0) return false;
    if (v.data.size() > kMaxQuotedBytes) return false;
    for (std::size_t i = 0; i + 1 < v.data.size(); ++i) {
        if (v.data[i] < 0x20 || v.data[i] == 0x7f) return false;
    }
    return true;
}

// A string kept as hex(1): because of what follows its terminator gets a comment
// line with its text, for a person reading the file.
void WriteTextComment(std::string& out, const RegValue& v) {
    if ((v.type != kRegSz && v.type != kRegExpandSz) || IsPlainText(v)) return;
    std::size_t length = 0;
    while (length < v.data.size() && v.data[length] != 0) {
        if (v.data[length] < 0x20 || v.data[length] == 0x7f) return;
        ++length;
    }
    if (length == v.data.size() || length > kMaxQuotedBytes) return;
    out += "; " + (v.name.empty() ? std::string("@") : Quote(v.name)) + " holds " +
           Quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), length)) + "\r\n";
}

}  // namespace reg_file_parts

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

RegValue* RegKey::Find(std::string_view name) {
    for (RegValue& v : values) {
        if (v.nameReadable && EqualsIgnoreCase(v.name, name)) return &v;
    }
    return nullptr;
}

const RegValue* RegKey::Find(std::string_view name) const {
    return const_cast<RegKey*>(this)->Find(name);
}

RegKey* RegDocument::Find(std::string_view path) {
    for (RegKey& k : keys) {
        if (k.pathReadable && EqualsIgnoreCase(k.path, path)) return &k;
    }
    return nullptr;
}

const RegKey* RegDocument::Find(std::string_view path) const {
    return const_cast<RegDocument*>(this)->Find(path);
}

namespace reg_file_parts {

std::string LowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Lower(c);
    return out;
}

// The document as a parse builds it. Finding a key or a value goes through an index
// of lower-case names, and a deletion only marks its entry, so that reading is
// linear in the file's size however many values share a key; the marked entries are
// left out when the document is handed back.
class DocumentBuilder {
public:
    // The key, made when it is new.
    std::size_t Key(std::string_view path) {
        std::string lower = LowerCase(path);
        const auto found = keyIndex_.find(lower);
        if (found != keyIndex_.end()) return found->second;
        keys_.push_back(Key_{RegKey{std::string(path), {}}, {}, {}, true});
        keyIndex_.emplace(std::move(lower), keys_.size() - 1);
        return keys_.size() - 1;
    }

    // A deleted key takes its sub-keys with it.
    void DeleteKey(std::string_view path) {
        const std::string lower = LowerCase(path);
        auto it = keyIndex_.lower_bound(lower);
        while (it != keyIndex_.end() && it->first.compare(0, lower.size(), lower) == 0) {
            const bool self = it->first.size() == lower.size();
            if (!self && it->first[lower.size()] != '\\') {
                ++it;
                continue;
            }
            keys_[it->second].alive = false;
            it = keyIndex_.erase(it);
        }
    }

    // Sets a value: one set again keeps its place, a new one (or one deleted
    // before) comes last.
    void SetValue(std::size_t key, RegValue value) {
        Key_& k = keys_[key];
        std::string lower = LowerCase(value.name);
        const auto found = k.valueIndex.find(lower);
        if (found != k.valueIndex.end()) {
            k.key.values[found->second] = std::move(value);
            return;
        }
        k.key.values.push_back(std::move(value));
        k.valueAlive.push_back(true);
        k.valueIndex.emplace(std::move(lower), k.key.values.size() - 1);
    }

    void DeleteValue(std::size_t key, std::string_view name) {
        Key_& k = keys_[key];
        const auto found = k.valueIndex.find(LowerCase(name));
        if (found == k.valueIndex.end()) return;
        k.valueAlive[found->second] = false;
        k.valueIndex.erase(found);
    }

    RegDocument Take() {
        RegDocument doc;
        for (Key_& k : keys_) {
            if (!k.alive) continue;
            RegKey key{std::move(k.key.path), {}};
            key.values.reserve(k.valueIndex.size());
            for (std::size_t i = 0; i < k.key.values.size(); ++i) {
                if (k.valueAlive[i]) key.values.push_back(std::move(k.key.values[i]));
            }
            doc.keys.push_back(std::move(key));
        }
        return doc;
    }

private:
    struct Key_ {
        RegKey key;
        std::vector<bool> valueAlive;
        std::unordered_map<std::string, std::size_t> valueIndex;
        bool alive;
    };
    std::vector<Key_> keys_;
    // Ordered, so that a key's sub-keys follow it.
    std::map<std::string, std::size_t> keyIndex_;
};

}  // namespace reg_file_parts


namespace reg_file_parts {

constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

bool FailWhole(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

std::optional<RegFile> ParseLines(std::string_view text, bool unicode, std::string* error) {
    DocumentBuilder doc;
    RegFile file;
    constexpr std::size_t kNoKey = SIZE_MAX;
    std::size_t current = kNoKey;
    bool sawHeader = false;
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    std::string logical;
    while (pos < text.size()) {
        // Gather one logical line: a line ending in a backslash goes on in the next.
        logical.clear();
        const std::size_t firstLine = lineNumber + 1;
        for (;;) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) end = text.size();
            if (end - pos > kMaxRegLineBytes) {
                Fail(error, lineNumber + 1, "line longer than 262144 bytes");
                return std::nullopt;
            }
            std::string_view physical = text.substr(pos, end - pos);
            pos = end < text.size() ? end + 1 : end;
            ++lineNumber;
            physical = TrimBlanks(physical);
            if (!physical.empty() && physical.back() == '\\' && physical.front() != '[' &&
                pos < text.size()) {
                logical.append(physical.substr(0, physical.size() - 1));
                continue;
            }
            logical.append(physical);
            break;
        }
        std::string_view line = logical;
        if (line.empty() || line.front() == ';') continue;

        if (!sawHeader) {
            if (line == kRegedit4Header && !unicode) {
                file.form = RegFileForm::kRegedit4;
            } else if (line == kVersion5Header) {
                file.form = RegFileForm::kVersion5;
            } else if (line == kRegedit4Header) {
                Fail(error, firstLine, "a REGEDIT4 header in a UTF-16 file");
                return std::nullopt;
            } else {
                Fail(error, firstLine, "not a REGEDIT4 or 5.00 registry file");
                return std::nullopt;
            }
            sawHeader = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) {
                Fail(error, firstLine, "bad key line");
                return std::nullopt;
            }
            std::string_view path = line.substr(1, line.size() - 2);
            if (path.front() == '-') {
                doc.DeleteKey(path.substr(1));
                current = kNoKey;
                continue;
            }
            current = doc.Key(path);
            continue;
        }
        if (current == kNoKey) {
            Fail(error, firstLine, "value outside a key");
            return std::nullopt;
        }
        RegValue value;
        std::size_t p = 0;
        if (line.front() == '@') {
            p = 1;
        } else if (!ReadQuoted(line, p, value.name) || value.name.size() > kMaxNameBytes) {
            Fail(error, firstLine, "bad value name");
            return std::nullopt;
        }
        while (p < line.size() && IsBlank(line[p])) ++p;
        if (p >= line.size() || line[p] != '=') {
            Fail(error, firstLine, "missing '='");
            return std::nullopt;
        }
        bool deleted = false;
        if (!ParseValueData(line.substr(p + 1), value, deleted)) {
            Fail(error, firstLine, "bad value data");
            return std::nullopt;
        }
        if (file.form == RegFileForm::kVersion5) {
            if (line.find('\0') != std::string_view::npos) {
                Fail(error, firstLine, "a NUL character in a name or a quoted text");
                return std::nullopt;
            }
            // A quoted text of a 5.00 file is Unicode: it is held as UTF-16LE, as the
            // data of hex(1) is, until the whole document is made code-page text.
            if (!deleted && TrimBlanks(line.substr(p + 1)).front() == '"') {
                const std::string_view text(reinterpret_cast<const char*>(value.data.data()),
                                            value.data.size() - 1);
                value.data = Utf8ToUtf16Le(text);
                value.data.push_back(0);
                value.data.push_back(0);
            }
        }
        if (deleted) {
            doc.DeleteValue(current, value.name);
        } else {
            doc.SetValue(current, std::move(value));
        }
    }
    if (!sawHeader) {
        FailWhole(error, "no REGEDIT4 or 5.00 header");
        return std::nullopt;
    }
    file.document = doc.Take();
    return file;
}


void AppendValueData(std::string& out, std::size_t lineStart, const RegValue& v,
                     const std::vector<std::uint8_t>& data, RegFileForm form) {
    if (v.type == kRegDword && data.size() == 4) {
        char buf[16];
        const std::uint32_t n = data[0] | (data[1] << 8) | (data[2] << 16) |
                                (static_cast<std::uint32_t>(data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
        return;
    }
    if (v.type == kRegBinary) {
        out += "hex:";
    } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        out += buf;
    }
    if (form == RegFileForm::kVersion5) {
        AppendHexVersion5(out, out.size() - lineStart, data);
    } else {
        AppendHex(out, out.size() - lineStart, data);
    }
}

}  // namespace reg_file_parts

std::optional<RegFile> ParseRegFile(std::string_view bytes, int codePage, std::string* error) {
    if (bytes.size() > kMaxRegFileBytes) {
        Fail(error, 0, "file too large");
        return std::nullopt;
    }
    std::optional<RegFile> file;
    if (bytes.substr(0, 2) == kUtf16BeMark) {
        FailWhole(error, "UTF-16BE, which the registry editor never writes");
        return std::nullopt;
    }
    if (bytes.substr(0, 2) == kUtf16LeMark) {
        std::string utf8;
        std::size_t badUnit = 0;
        if (!Utf16LeToUtf8(bytes.substr(2), utf8, &badUnit)) {
            if (bytes.size() % 2 != 0) {
                FailWhole(error, "UTF-16LE with an odd number of bytes");
            } else {
                const std::size_t line =
                    1 + static_cast<std::size_t>(std::count(utf8.begin(), utf8.end(), '\n'));
                Fail(error, line, "a lone surrogate in UTF-16LE text");
            }
            return std::nullopt;
        }
        file = ParseLines(utf8, true, error);
    } else {
        if (bytes.substr(0, 3) == kUtf8Mark) bytes.remove_prefix(3);
        file = ParseLines(bytes, false, error);
        if (file && file->form == RegFileForm::kVersion5 && !IsWellFormedUtf8(bytes)) {
            FailWhole(error, "a 5.00 file that is neither UTF-16LE nor UTF-8");
            return std::nullopt;
        }
    }
    if (file && file->form == RegFileForm::kVersion5) ConvertToCodePage(*file, codePage);
    return file;
}

bool WriteRegFile(const RegDocument& doc, RegFileForm form, int codePage, std::string* out,
                  std::string* error) {
    if (form == RegFileForm::kVersion5) return WriteVersion5(doc, codePage, out, error);
    *out = WriteRegedit4(doc);
    return true;
}

std::optional<RegDocument> ParseRegedit4(std::string_view text, std::string* error) {
    if (text.size() > kMaxRegFileBytes) {
        Fail(error, 0, "file too large");
        return std::nullopt;
    }
    if (text.substr(0, 3) == kUtf8Mark) text.remove_prefix(3);
    auto file = ParseLines(text, false, error);
    if (!file) return std::nullopt;
    if (file->form != RegFileForm::kRegedit4) {
        FailWhole(error, "not a REGEDIT4 file");
        return std::nullopt;
    }
    return std::move(file->document);
}

std::string WriteRegedit4(const RegDocument& doc) {
    std::string out = "REGEDIT4\r\n";
    for (const RegKey& key : doc.keys) {
        out += "\r\n[" + key.path + "]\r\n";
        for (const RegValue& v : key.values) {
            WriteTextComment(out, v);
            const std::size_t lineStart = out.size();
            out += v.name.empty() ? std::string("@") : Quote(v.name);
            out += '=';
            if (IsPlainText(v)) {
                out += Quote(std::string_view(reinterpret_cast<const char*>(v.data.data()),
                                              v.data.size() - 1));
            } else {
                AppendValueData(out, lineStart, v, v.data, RegFileForm::kRegedit4);
            }
            out += "\r\n";
        }
    }
    out += "\r\n";
    return out;
}

}  // namespace platform
