// The registry in the user's store file: a REGEDIT4 or 5.00 text, read afresh at
// every open and written back whole, atomically, when a changed key is closed.
#include "platform/registry/registry_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/files/write_file.h"
#include "platform/registry/document_key.h"
#include "platform/report/report.h"

namespace platform {

using registry_detail::DocumentKey;
using registry_detail::FindOrAdd;
using registry_detail::kCurrentUser;

namespace {

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

}  // namespace

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

bool FileRegistry::SetAsideIfUnreadable(std::string* keptAs, std::string* problem) {
    *problem = ReadProblem();
    if (problem->empty()) return true;
    std::string aside = path_ + ".bad";
    for (int n = 1; n < 100 && access(aside.c_str(), F_OK) == 0; ++n) {
        aside = path_ + ".bad." + std::to_string(n);
    }
    if (rename(path_.c_str(), aside.c_str()) != 0) return false;
    *keptAs = aside;
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

}  // namespace platform
