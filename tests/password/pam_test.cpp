// The password service on PAM, run against service files of the test's own: which
// service is chosen, and a real PAM conversation that hands the typed password to a
// module which accepts only the right one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/password/password.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

// A folder of this test process's own, removed when the process ends.
fs::path TempDir(const std::string& name) {
    struct Root {
        fs::path path =
            fs::temp_directory_path() / ("orbsaver-password-tests-" + std::to_string(::getpid()));
        ~Root() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    };
    static Root root;
    const fs::path dir = root.path / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

std::string PamModule(const char* name) {
    for (const char* dir : {"/lib/x86_64-linux-gnu/security", "/usr/lib/x86_64-linux-gnu/security",
                            "/lib/security", "/usr/lib/security", "/lib64/security"}) {
        const fs::path p = fs::path(dir) / name;
        if (fs::exists(p)) return p.string();
    }
    return {};
}

// The service's answer for a typed text.
PasswordAnswer Verify(PasswordService& service, const char* text) {
    SecretText typed;
    for (const char* p = text; *p; ++p) typed.Append(*p);
    return service.Verify(typed);
}

}  // namespace

TEST(PamService, OursIsChosenWhenInstalledThenLoginThenOther) {
    const fs::path a = TempDir("a"), b = TempDir("b");
    EXPECT_EQ(ChoosePamService({a.string(), b.string()}), "other");
    Write(b / "login", "auth required pam_deny.so\n");
    EXPECT_EQ(ChoosePamService({a.string(), b.string()}), "login");
    Write(a / "orbsaver", "auth required pam_deny.so\n");
    EXPECT_EQ(ChoosePamService({a.string(), b.string()}), "orbsaver");
    fs::remove(a / "orbsaver");
    fs::create_directory(a / "orbsaver");  // a folder is no service file
    EXPECT_EQ(ChoosePamService({a.string(), b.string()}), "login");
}

TEST(PamService, OurServiceFileIsShippedAndAsksForTheLoginPassword) {
    std::ifstream in(fs::path(ORBSAVER_SOURCE_DIR) / "resources" / "pam" / "orbsaver");
    ASSERT_TRUE(in) << "resources/pam/orbsaver is missing";
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("common-auth"), std::string::npos);
}

TEST(PamService, AcceptsOnlyThePasswordTheModuleAccepts) {
    const std::string exec = PamModule("pam_exec.so");
    if (exec.empty()) GTEST_SKIP() << "PAM's pam_exec module is not installed";
    const fs::path dir = TempDir("conf");
    // The module hands the password, ended by a zero byte, to this script.
    const fs::path script = dir / "check-password";
    Write(script, "#!/bin/bash\nIFS= read -r -d '' password\n[[ $password == 'right horse' ]]\n");
    fs::permissions(script, fs::perms::owner_all);
    Write(dir / "orbsaver", "auth required " + exec + " expose_authtok quiet " + script.string() +
                                "\naccount required pam_permit.so\n");

    auto service = CreatePamPasswordService(PamOptions{"", dir.string(), ""});
    EXPECT_EQ(Verify(*service, "right horse"), PasswordAnswer::kAccepted);
    EXPECT_EQ(Verify(*service, "wrong horse"), PasswordAnswer::kRefused);
    EXPECT_EQ(Verify(*service, ""), PasswordAnswer::kRefused);
    EXPECT_EQ(Verify(*service, "right horse\n"), PasswordAnswer::kRefused);
}

TEST(PamService, TheEnvironmentCanNameTheServiceFolder) {
    const fs::path dir = TempDir("environment");
    Write(dir / "orbsaver", "auth required pam_permit.so\n");
    setenv(kPamConfigDirVariable, dir.string().c_str(), 1);
    auto service = CreatePamPasswordService();
    unsetenv(kPamConfigDirVariable);
    EXPECT_EQ(Verify(*service, "anything"), PasswordAnswer::kAccepted);
}

TEST(PamService, TheServiceFileDecides) {
    const fs::path dir = TempDir("decides");
    Write(dir / "permit", "auth required pam_permit.so\n");
    Write(dir / "deny", "auth required pam_deny.so\n");
    EXPECT_EQ(Verify(*CreatePamPasswordService(PamOptions{"permit", dir.string(), ""}), "x"),
              PasswordAnswer::kAccepted);
    EXPECT_EQ(Verify(*CreatePamPasswordService(PamOptions{"deny", dir.string(), ""}), "x"),
              PasswordAnswer::kRefused);
    // A service without a file (and no "other" beside it) never accepts.
    EXPECT_NE(Verify(*CreatePamPasswordService(PamOptions{"absent", dir.string(), ""}), "x"),
              PasswordAnswer::kAccepted);
}
