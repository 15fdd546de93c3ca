// tools/saver-password, the plain way to turn the password on and off: what it writes
// is read back by the program's own store and gives the answer the check uses, and
// everything else in the store is kept.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/registry.h"
#include "shell/password.h"

namespace fs = std::filesystem;

namespace {

class SaverPasswordTool : public ::testing::Test {
  protected:
    void SetUp() override {
        home = fs::temp_directory_path() / ("orbsaver-password-tool-" + std::to_string(::getpid()));
        fs::remove_all(home);
        fs::create_directories(home / "orbsaver");
        store = (home / "orbsaver" / "user.reg").string();
    }
    void TearDown() override { fs::remove_all(home); }

    // Runs the tool with the store in the test's folder; its output.
    std::string Run(const std::string& command) {
        const std::string tool = std::string(ORBSAVER_SOURCE_DIR) + "/tools/saver-password";
        const std::string out = (home / "out.txt").string();
        const std::string line =
            "XDG_CONFIG_HOME='" + home.string() + "' " + tool + " " + command + " >" + out;
        status = std::system(line.c_str());
        std::ifstream in(out);
        std::string word;
        in >> word;
        return word;
    }

    std::uint32_t Request() {
        platform::FileRegistry registry(store);
        return shell::ReadPasswordRequest(registry);
    }

    void WriteStore(const std::string& text) { std::ofstream(store, std::ios::binary) << text; }

    fs::path home;
    std::string store;
    int status = 0;
};

}  // namespace

TEST_F(SaverPasswordTool, TurnsThePasswordOnAndOffInANewStore) {
    fs::remove_all(home / "orbsaver");
    EXPECT_EQ(Run("status"), "off");
    EXPECT_EQ(Run("on"), "on");
    EXPECT_EQ(status, 0);
    EXPECT_NE(Request(), 0u);
    EXPECT_EQ(Run("status"), "on");
    EXPECT_EQ(fs::status(store).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Run("off"), "off");
    EXPECT_EQ(Request(), 0u);
    EXPECT_EQ(Run("status"), "off");
}

TEST_F(SaverPasswordTool, ReplacesBothValuesAndKeepsEveryOtherOne) {
    WriteStore(
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n\"ROT_X\"=dword:00000005\r\n\r\n"
        "[HKEY_CURRENT_USER\\Control Panel\\desktop]\r\n"
        "\"ScreenSaveUsePassword\"=hex:01,00,\\\r\n  00,00\r\n"
        "\"Wallpaper\"=\"C:\\\\WINDOWS\\\\clouds.bmp\"\r\n"
        "\"screensaverissecure\"=\"1\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Other]\r\n\"A\"=dword:00000001\r\n\r\n");
    EXPECT_NE(Request(), 0u);
    EXPECT_EQ(Run("status"), "on");
    EXPECT_EQ(Run("off"), "off");
    EXPECT_EQ(Request(), 0u);
    EXPECT_EQ(Run("status"), "off");

    platform::FileRegistry registry(store);
    auto info = registry.OpenKey("Software\\MERO\\SV_ORB_1\\INFO");
    ASSERT_TRUE(info);
    std::uint32_t rot = 0, size = 4;
    EXPECT_EQ(info->QueryValue("ROT_X", &rot, &size), platform::RegStatus::kOk);
    EXPECT_EQ(rot, 5u);
    auto desktop = registry.OpenKey("Control Panel\\Desktop");
    ASSERT_TRUE(desktop);
    char wallpaper[64] = {};
    size = sizeof wallpaper;
    EXPECT_EQ(desktop->QueryValue("Wallpaper", wallpaper, &size), platform::RegStatus::kOk);
    EXPECT_STREQ(wallpaper, "C:\\WINDOWS\\clouds.bmp");
    auto other = registry.OpenKey("Other");
    ASSERT_TRUE(other);
    size = 4;
    EXPECT_EQ(other->QueryValue("A", &rot, &size), platform::RegStatus::kOk);
}

TEST_F(SaverPasswordTool, ReadsTheValuesAsTheSaverDoes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\"ScreenSaverIsSecure\"=dword:00000000\r\n", "off"},
        {"\"ScreenSaverIsSecure\"=dword:00000100\r\n", "on"},
        {"\"ScreenSaverIsSecure\"=\"0\"\r\n", "off"},
        {"\"ScreenSaveUsePassword\"=hex:00,00,00,01\r\n", "on"},
        {"\"ScreenSaveUsePassword\"=hex:01,00,00,00,00\r\n", "off"},  // too large to read
    };
    for (const auto& [line, expected] : cases) {
        WriteStore("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n" + line +
                   "\r\n");
        EXPECT_EQ(Run("status"), expected) << line;
        EXPECT_EQ(Request() != 0, expected == "on") << line;
    }
}

TEST_F(SaverPasswordTool, RefusesAnythingElse) {
    EXPECT_EQ(Run("maybe"), "");
    EXPECT_NE(status, 0);
    EXPECT_FALSE(fs::exists(store));
}
