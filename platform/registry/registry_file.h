// The registry in a text file that the Windows registry editor can import and that a
// Windows export of the same keys (REGEDIT4 or 5.00) can replace: the Linux program's
// store of the user's settings.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace platform {

// Lines told on stderr, each once however often it comes up.
struct ToldLines {
    void Tell(const std::string& line);
    std::vector<std::string> lines;
};

// The registry in a REGEDIT4 or 5.00 file. Every open reads the file afresh; closing
// a key that was changed writes the whole file again, in the form it was read (a new
// file is REGEDIT4), atomically (temporary file, fsync, rename) with mode 0600,
// keeping every other key and value it held. A file that cannot be read or parsed
// counts as a key that cannot be opened. Texts of a 5.00 file are taken in codePage;
// a value the code page cannot hold reads as absent, told once on stderr when it is
// asked for (a value nobody asks for is kept as it is and not told).
class FileRegistry : public Registry {
public:
    explicit FileRegistry(std::string path, int codePage = KeyboardCodePage());
    std::unique_ptr<RegistryKey> CreateKey(std::string_view subKey,
                                           KeyDisposition* disposition) override;
    std::unique_ptr<RegistryKey> OpenKey(std::string_view subKey) override;
    std::string ReadProblem() override;
    bool SetAsideIfUnreadable(std::string* keptAs, std::string* problem) override;

    const std::string& path() const { return path_; }

private:
    std::unique_ptr<RegistryKey> Open(std::string_view subKey, bool create,
                                      KeyDisposition* disposition);
    std::string path_;
    int codePage_;
    std::shared_ptr<ToldLines> told_;  // shared with the keys, which may outlive it
};

// The user's store file: $XDG_CONFIG_HOME/orbsaver/user.reg, or
// ~/.config/orbsaver/user.reg.
std::string UserRegistryPath();

}  // namespace platform
