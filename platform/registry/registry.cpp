// The two registry backends: one in memory, one in the user's store file.
#include "platform/registry/registry.h"
#include "platform/report/report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

namespace platform {

namespace {

constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER\\";

// A key open on a document: the memory registry's own, or a file's copy.
class DocumentKey : public RegistryKey {
public:
    DocumentKey(RegDocument& doc, std::size_t index) : doc_(doc), index_(index) {}

    RegStatus QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                         std::uint32_t* type) override {
        const RegValue* v = doc_.keys[index_].Find(name);
        if (v && !v->readable && !v->problem.empty()) Unreadable(v->problem);
        if (!v || !v->readable) return RegStatus::kNotFound;
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
        v->asRead.reset();  // the value is the caller's now, no longer the file's
        v->readable = true;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        v->data.assign(bytes, bytes + size);
        changed_ = true;
    }

    bool Close() override { return true; }

protected:
    // A value the caller asked for reads as absent, for this reason.
    virtual void Unreadable(const std::string& /*problem*/) {}

    RegDocument& doc_;
    std::size_t index_;
    bool changed_ = false;
};

std::size_t FindOrAdd(RegDocument& doc, const std::string& path, bool create, bool* created) {
    *created = false;
    for (std::size_t i = 0; i < doc.keys.size(); ++i) {
        if (doc.keys[i].pathReadable && EqualsIgnoreCase(doc.keys[i].path, path)) return i;
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
    FileKey(std::string file, RegFile parsed, int codePage, std::size_t index, bool created,
            std::shared_ptr<ToldLines> told)
        : DocumentHolder{std::move(parsed.document)},
          DocumentKey(doc_storage_, index),
          file_(std::move(file)),
          form_(parsed.form),
          codePage_(codePage),
          told_(std::move(told)) {
        changed_ = created;
    }
    ~FileKey() override { Close(); }

    bool Close() override {
        if (closed_) return ok_;
        closed_ = true;
        if (!changed_) return ok_;
        std::string bytes, error;
        if (!WriteRegFile(doc_storage_, form_, codePage_, &bytes, &error)) {
            // The old file stays: it holds everything, the new one could not.
            Report("orbsaver: " + file_ + " is left as it was: " + error);
            ok_ = false;
            return ok_;
        }
        ok_ = WriteFileAtomically(file_, bytes, 0600, true);
        return ok_;
    }

private:
    void Unreadable(const std::string& problem) override { told_->Tell(file_ + ": " + problem); }

    std::string file_;
    RegFileForm form_;
    int codePage_;
    std::shared_ptr<ToldLines> told_;
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

FileRegistry::FileRegistry(std::string path, int codePage)
    : path_(std::move(path)), codePage_(codePage), told_(std::make_shared<ToldLines>()) {}

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
    if (!ParseRegFile(text, codePage_, &error)) return path_ + " cannot be parsed (" + error + ")";
    return {};
}

// Each problem of the file is told once, however often the file is opened.
void ToldLines::Tell(const std::string& line) {
    if (std::find(lines.begin(), lines.end(), line) != lines.end()) return;
    lines.push_back(line);
    Report("orbsaver: " + line);
}

std::unique_ptr<RegistryKey> FileRegistry::Open(std::string_view subKey, bool create,
                                                KeyDisposition* disposition) {
    RegFile file;  // a store that does not exist yet is an empty REGEDIT4 file
    std::string text;
    switch (ReadWholeFile(path_, kMaxRegFileBytes, text)) {
        case ReadResult::kMissing:
            break;
        case ReadResult::kFailed:
            return nullptr;
        case ReadResult::kOk: {
            std::string error;
            auto parsed = ParseRegFile(text, codePage_, &error);
            if (!parsed) {
                told_->Tell(path_ + " cannot be parsed (" + error + "); it is neither read nor written");
                return nullptr;
            }
            file = std::move(*parsed);
            break;
        }
    }
    // A value the code page cannot hold is told only when it is asked for: the file
    // may hold other programs' keys, which are kept as they are and are no concern here.
    bool created = false;
    const std::size_t i = FindOrAdd(file.document, std::string(kCurrentUser) + std::string(subKey),
                                    create, &created);
    if (i == SIZE_MAX) return nullptr;
    if (disposition) {
        *disposition = created ? KeyDisposition::kCreatedNew : KeyDisposition::kOpenedExisting;
    }
    return std::make_unique<FileKey>(path_, std::move(file), codePage_, i, created, told_);
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
