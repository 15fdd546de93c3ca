// REGEDIT4 reading and writing, and the two registry backends (memory and file).
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

namespace platform {

namespace {

constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER\\";

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
    if (length == v.data.size()) return;
    out += "; " + (v.name.empty() ? std::string("@") : Quote(v.name)) + " holds " +
           Quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), length)) + "\r\n";
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

RegValue* RegKey::Find(std::string_view name) {
    for (RegValue& v : values) {
        if (EqualsIgnoreCase(v.name, name)) return &v;
    }
    return nullptr;
}

const RegValue* RegKey::Find(std::string_view name) const {
    return const_cast<RegKey*>(this)->Find(name);
}

RegKey* RegDocument::Find(std::string_view path) {
    for (RegKey& k : keys) {
        if (EqualsIgnoreCase(k.path, path)) return &k;
    }
    return nullptr;
}

const RegKey* RegDocument::Find(std::string_view path) const {
    return const_cast<RegDocument*>(this)->Find(path);
}

namespace {

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

}  // namespace

std::optional<RegDocument> ParseRegedit4(std::string_view text, std::string* error) {
    if (text.size() > kMaxRegFileBytes) {
        Fail(error, 0, "file too large");
        return std::nullopt;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    DocumentBuilder doc;
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
            if (line != "REGEDIT4") {
                Fail(error, firstLine, "not a REGEDIT4 file");
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
        } else if (!ReadQuoted(line, p, value.name)) {
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
        if (deleted) {
            doc.DeleteValue(current, value.name);
        } else {
            doc.SetValue(current, std::move(value));
        }
    }
    if (!sawHeader) {
        Fail(error, 0, "not a REGEDIT4 file");
        return std::nullopt;
    }
    return doc.Take();
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
            } else if (v.type == kRegDword && v.data.size() == 4) {
                char buf[16];
                const std::uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                                        (static_cast<std::uint32_t>(v.data[3]) << 24);
                std::snprintf(buf, sizeof buf, "dword:%08x", n);
                out += buf;
            } else {
                if (v.type == kRegBinary) {
                    out += "hex:";
                } else {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
                    out += buf;
                }
                AppendHex(out, out.size() - lineStart, v.data);
            }
            out += "\r\n";
        }
    }
    out += "\r\n";
    return out;
}

namespace {

// A key open on a document: the memory registry's own, or a file's copy.
class DocumentKey : public RegistryKey {
public:
    DocumentKey(RegDocument& doc, std::size_t index) : doc_(doc), index_(index) {}

    RegStatus QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                         std::uint32_t* type) override {
        const RegValue* v = doc_.keys[index_].Find(name);
        if (!v) return RegStatus::kNotFound;
        if (type) *type = v->type;
        if (v->data.size() > *size) {
            *size = static_cast<std::uint32_t>(v->data.size());
            return RegStatus::kMoreData;
        }
        if (!v->data.empty()) std::memcpy(buffer, v->data.data(), v->data.size());
        *size = static_cast<std::uint32_t>(v->data.size());
        return RegStatus::kOk;
    }

    void SetValue(std::string_view name, std::uint32_t type, const void* data,
                  std::uint32_t size) override {
        RegKey& key = doc_.keys[index_];
        RegValue* v = key.Find(name);
        if (!v) {
            key.values.push_back(RegValue{std::string(name), type, {}});
            v = &key.values.back();
        }
        v->type = type;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        v->data.assign(bytes, bytes + size);
        changed_ = true;
    }

    bool Close() override { return true; }

protected:
    RegDocument& doc_;
    std::size_t index_;
    bool changed_ = false;
};

std::size_t FindOrAdd(RegDocument& doc, const std::string& path, bool create, bool* created) {
    *created = false;
    for (std::size_t i = 0; i < doc.keys.size(); ++i) {
        if (EqualsIgnoreCase(doc.keys[i].path, path)) return i;
    }
    if (!create) return SIZE_MAX;
    doc.keys.push_back(RegKey{path, {}});
    *created = true;
    return doc.keys.size() - 1;
}

struct DocumentHolder {
    RegDocument doc_storage_;
};

// Holds its own copy of the file's document (constructed before the key that uses it).
class FileKey : private DocumentHolder, public DocumentKey {
public:
    FileKey(std::string file, RegDocument doc, std::size_t index, bool created)
        : DocumentHolder{std::move(doc)}, DocumentKey(doc_storage_, index), file_(std::move(file)) {
        changed_ = created;
    }
    ~FileKey() override { Close(); }

    bool Close() override {
        if (closed_) return ok_;
        closed_ = true;
        if (changed_) ok_ = WriteFileAtomically(file_, WriteRegedit4(doc_storage_), 0600, true);
        return ok_;
    }

private:
    std::string file_;
    bool closed_ = false;
    bool ok_ = true;
};

enum class ReadResult { kOk, kMissing, kFailed };

ReadResult ReadWholeFile(const std::string& path, std::size_t limit, std::string& out) {
    // Not blocking: a FIFO in the file's place must not hold the program up.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > limit) {
        close(fd);
        return ReadResult::kFailed;
    }
    out.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || out.size() + static_cast<std::size_t>(n) > limit) {
            close(fd);
            return ReadResult::kFailed;
        }
        if (n == 0) break;
        out.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return ReadResult::kOk;
}

bool MakeDirectories(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash))) {
        return false;
    }
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::unique_ptr<RegistryKey> MemoryRegistry::CreateKey(std::string_view subKey,
                                                       KeyDisposition* disposition) {
    bool created = false;
    const std::size_t i =
        FindOrAdd(document, std::string(kCurrentUser) + std::string(subKey), true, &created);
    if (disposition) {
        *disposition = created ? KeyDisposition::kCreatedNew : KeyDisposition::kOpenedExisting;
    }
    return std::make_unique<DocumentKey>(document, i);
}

std::unique_ptr<RegistryKey> MemoryRegistry::OpenKey(std::string_view subKey) {
    bool created = false;
    const std::size_t i =
        FindOrAdd(document, std::string(kCurrentUser) + std::string(subKey), false, &created);
    if (i == SIZE_MAX) return nullptr;
    return std::make_unique<DocumentKey>(document, i);
}

FileRegistry::FileRegistry(std::string path) : path_(std::move(path)) {}

std::unique_ptr<RegistryKey> FileRegistry::CreateKey(std::string_view subKey,
                                                     KeyDisposition* disposition) {
    return Open(subKey, true, disposition);
}

std::unique_ptr<RegistryKey> FileRegistry::OpenKey(std::string_view subKey) {
    return Open(subKey, false, nullptr);
}

std::string FileRegistry::ReadProblem() {
    std::string text;
    switch (ReadWholeFile(path_, kMaxRegFileBytes, text)) {
        case ReadResult::kMissing:
            return {};
        case ReadResult::kFailed:
            return path_ + " cannot be read";
        case ReadResult::kOk:
            break;
    }
    std::string error;
    if (!ParseRegedit4(text, &error)) return path_ + " cannot be parsed (" + error + ")";
    return {};
}

std::unique_ptr<RegistryKey> FileRegistry::Open(std::string_view subKey, bool create,
                                                KeyDisposition* disposition) {
    RegDocument doc;
    std::string text;
    switch (ReadWholeFile(path_, kMaxRegFileBytes, text)) {
        case ReadResult::kMissing:
            break;
        case ReadResult::kFailed:
            return nullptr;
        case ReadResult::kOk: {
            auto parsed = ParseRegedit4(text);
            if (!parsed) return nullptr;
            doc = std::move(*parsed);
            break;
        }
    }
    bool created = false;
    const std::size_t i = FindOrAdd(doc, std::string(kCurrentUser) + std::string(subKey), create,
                                    &created);
    if (i == SIZE_MAX) return nullptr;
    if (disposition) {
        *disposition = created ? KeyDisposition::kCreatedNew : KeyDisposition::kOpenedExisting;
    }
    return std::make_unique<FileKey>(path_, std::move(doc), i, created);
}

namespace {

// The file a path names once symbolic links are followed: the link itself is kept
// and its file replaced. False for a chain of links that never ends.
bool FollowLinks(const std::string& path, std::string* target) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *target = at;
            return true;
        }
        char buffer[4096];
        const ssize_t n = readlink(at.c_str(), buffer, sizeof buffer - 1);
        if (n <= 0) return false;
        const std::string link(buffer, static_cast<std::size_t>(n));
        const std::size_t slash = at.find_last_of('/');
        // A relative link is relative to the folder it lies in.
        at = (link[0] == '/' || slash == std::string::npos) ? link : at.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         bool makeFolder) {
    const std::size_t linkSlash = path.find_last_of('/');
    if (makeFolder && linkSlash != std::string::npos &&
        !MakeDirectories(path.substr(0, linkSlash))) {
        return false;
    }
    std::string file;
    if (!FollowLinks(path, &file)) return false;
    const std::size_t slash = file.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : file.substr(0, slash);
    std::string temp = file + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    int failure = 0;  // the first errno, which the caller may report
    auto check = [&](bool ok) {
        if (!ok && failure == 0) failure = errno ? errno : EIO;
        return ok;
    };
    bool ok = check(fchmod(fd, mode) == 0);
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (!check(n > 0)) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ok = ok && check(fsync(fd) == 0);
    ok = check(close(fd) == 0) && ok;
    ok = ok && check(rename(temp.c_str(), file.c_str()) == 0);
    if (!ok) {
        unlink(temp.c_str());
        errno = failure;
        return false;
    }
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

std::string UserRegistryPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : ".") + "/.config";
    }
    return base + "/orbsaver/user.reg";
}

namespace {
Registry* g_override = nullptr;
}

Registry& UserRegistry() {
    if (g_override) return *g_override;
    static FileRegistry registry(UserRegistryPath());
    return registry;
}

void SetUserRegistry(Registry* registry) { g_override = registry; }

}  // namespace platform
