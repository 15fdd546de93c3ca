// orbsaver-store: the store's own code at the command line, for tools/saver-password,
// so that the script and the saver read and write the file the same way, in either
// of its forms.
//
//   orbsaver-store password status   "on" or "off"; a store that is there but cannot
//                                     be read says so and exits with 1
//   orbsaver-store password on|off    sets both desktop values that ask for the
//                                     password; an unreadable store is left alone
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/registry/registry.h"
#include "platform/registry/registry_file.h"
#include "shell/password.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Usage() {
    std::fputs("usage: orbsaver-store password on|off|status\n", stderr);
    return kExitUsage;
}

std::string UnreadableMessage(const std::string& problem) {
    return "unreadable: the store " + problem +
           ", so the saver asks for the password until it is mended";
}

int Status(platform::FileRegistry& store) {
    if (const std::string problem = store.ReadProblem(); !problem.empty()) {
        std::printf("%s\n", UnreadableMessage(problem).c_str());
        return kExitFailure;
    }
    std::printf("%s\n", shell::ReadPasswordRequest(store) != 0 ? "on" : "off");
    return kExitOk;
}

int Set(platform::FileRegistry& store, bool on) {
    const char* word = on ? "on" : "off";
    if (const std::string problem = store.ReadProblem(); !problem.empty()) {
        std::fprintf(stderr, "%s\nsaver-password: the store is left as it is\n",
                     UnreadableMessage(problem).c_str());
        return kExitFailure;
    }
    platform::KeyDisposition disposition;
    auto key = store.CreateKey(shell::kDesktopKey, &disposition);
    bool written = false;
    if (key) {
        // Both values, so that neither one keeps asking for the password.
        const std::uint32_t value = on ? 1 : 0;
        key->SetValue(shell::kIsSecureValue, platform::kRegDword, &value, sizeof value);
        key->SetValue(shell::kUsePasswordValue, platform::kRegDword, &value, sizeof value);
        written = key->Close();
    }
    if (!written || !store.ReadProblem().empty() ||
        (shell::ReadPasswordRequest(store) != 0) != on) {
        std::fprintf(stderr, "saver-password: the store %s could not be changed to \"%s\"%s\n",
                     store.path().c_str(), word,
                     written ? "" : "; it is left as it is");
        return kExitFailure;
    }
    std::printf("%s\n", word);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "password") != 0) return Usage();
    const std::string command = argv[2];
    platform::FileRegistry store(platform::UserRegistryPath());
    if (command == "status") return Status(store);
    if (command == "on" || command == "off") return Set(store, command == "on");
    return Usage();
}
