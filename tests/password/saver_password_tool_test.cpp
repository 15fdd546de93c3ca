// tools/saver-password, the plain way to turn the password on and off: what it writes
// is read back by the program's own store and gives the answer the check uses,
// everything else in the store is kept, and what it reads it reads as the program
// does, a store that cannot be parsed included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../support/utf16_files.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_file.h"
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
    std::string Run(const std::string& command, bool withStderr = false) {
        const std::string tool = std::string(ORBSAVER_SOURCE_DIR) + "/tools/saver-password";
        const std::string out = (home / "out.txt").string();
        // The store tool of this build, whichever build runs the test.
        const std::string line = "ORBSAVER_STORE='" + std::string(ORBSAVER_BINARY_DIR) +
                                 "/orbsaver-store' XDG_CONFIG_HOME='" + home.string() + "' " +
                                 tool + " " + command + " >" + out + (withStderr ? " 2>&1" : "");
        status = std::system(line.c_str());
        std::ifstream in(out);
        std::string word;
        in >> word;
        return word;
    }

    // Everything the tool prints, stdout and stderr together, as a script reading
    // `status 2>&1` sees it.
    std::string RunAll(const std::string& command) {
        Run(command, true);
        std::ifstream in(home / "out.txt", std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::uint32_t Request() {
        platform::FileRegistry registry(store);
        return shell::ReadPasswordRequest(registry);
    }

    void WriteStore(const std::string& text) { std::ofstream(store, std::ios::binary) << text; }
    std::string ReadStore() {
        std::ifstream in(store, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // What the program makes of the store: "on", "off", or "unreadable:" (the first
    // word the tool prints for each).
    std::string ProgramsWord() {
        platform::FileRegistry registry(store);
        if (!registry.ReadProblem().empty()) return "unreadable:";
        return shell::ReadPasswordRequest(registry) != 0 ? "on" : "off";
    }

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

TEST_F(SaverPasswordTool, SaysWhenTheStoreCannotBeReadAndLeavesItAlone) {
    const std::string desktop = "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"a comment after a value",
         "REGEDIT4\r\n\r\n" + desktop + "\"ScreenSaverIsSecure\"=dword:00000000 ; off\r\n"},
        {"a bad line in another key", "REGEDIT4\r\n\r\n" + desktop +
                                          "\"ScreenSaverIsSecure\"=dword:00000000\r\n\r\n"
                                          "[HKEY_CURRENT_USER\\Other]\r\n\"A\"=hex:1\r\n"},
        {"no header", desktop},
        {"an empty file", ""},
    };
    for (const auto& [what, text] : cases) {
        WriteStore(text);
        EXPECT_EQ(Run("status"), "unreadable:") << what;
        EXPECT_EQ(status >> 8, 1) << what;
        EXPECT_NE(Request(), 0u) << what << ": the saver asks";
        for (const char* command : {"on", "off"}) {
            Run(command);
            EXPECT_EQ(status >> 8, 1) << what << " " << command;
            EXPECT_EQ(ReadStore(), text) << what << ": " << command << " changed the store";
        }
    }
    fs::remove(store);
    fs::create_directories(store);  // a folder where the file should be
    EXPECT_EQ(Run("status"), "unreadable:");
    EXPECT_NE(Request(), 0u);
}

// The tool's reader against the program's: tricky stores, then many damaged copies
// of them, each read the same by both.
TEST_F(SaverPasswordTool, ReadsEveryStoreAsTheProgramDoes) {
    const std::string desktop = "[HKEY_CURRENT_USER\\Control Panel\\Desktop]";
    std::vector<std::string> stores = {
        "REGEDIT4\r\n\r\n" + desktop + "\r\n\"ScreenSaverIsSecure\"=dword:00000001\r\n",
        "\xEF\xBB\xBFREGEDIT4\n" + desktop + "\n  \"ScreenSaverIsSecure\"  =  dword: 1  \n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaveUsePassword\"=hex(1):20,2d,30,00\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaveUsePassword\"=\"  +7 rings\"\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaveUsePassword\"=\"4294967296\"\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaveUsePassword\"=\"-1\"\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=hex:00,00,\\\n  00,02\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=hex:00,00,00,00,01\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=dword:1\n\"ScreenSaverIsSecure\"=-\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=dword:1\n[-HKEY_CURRENT_USER\\Control Panel]\n",
        "REGEDIT4\n[hkey_current_user\\control panel\\DESKTOP]\n\"screensaverissecure\"=hex(4):01\n",
        "REGEDIT4\n" + desktop + "\n@=\"1\"\n\"Other\"=dword:1\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=\"" + std::string(70, '1') + "\"\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=hex(abc):01\n",
        "REGEDIT4\\\n" + desktop + "\n\"ScreenSaverIsSecure\"=dword:1\n",
        "REGE\\\nDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=dword:1\\",
        "; a comment first\nREGEDIT4\n" + desktop + "\n\"Screen\\\"SaverIsSecure\"=dword:1\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=dword:000000001\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=hex(2):31,00,32\n",
        "REGEDIT4\n" + desktop + "\n\"ScreenSaverIsSecure\"=hex:01,\n",
        std::string("REGEDIT4\n") + desktop + "\n\"ScreenSaverIsSecure\"=\"1" + '\0' + "\"\n",
    };
    std::uint32_t seed = 2024;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    const std::string damage = "\\\"=,:;[]-@ \t\r\n0123456789abcdefxhHD(";
    const std::size_t originals = stores.size();
    for (std::size_t i = 0; i < 120; ++i) {
        std::string text = stores[i % originals];
        for (std::uint32_t edits = 1 + next(3); edits > 0 && !text.empty(); --edits) {
            const std::size_t at = next(static_cast<std::uint32_t>(text.size()));
            switch (next(3)) {
                case 0: text[at] = damage[next(static_cast<std::uint32_t>(damage.size()))]; break;
                case 1: text.erase(at, 1); break;
                default: text.insert(at, 1, damage[next(static_cast<std::uint32_t>(damage.size()))]);
            }
        }
        stores.push_back(text);
    }
    int unreadable = 0, on = 0;
    for (const std::string& text : stores) {
        WriteStore(text);
        const std::string program = ProgramsWord();
        EXPECT_EQ(Run("status"), program) << text;
        unreadable += program == "unreadable:";
        on += program == "on";
    }
    // The damaged copies are of every kind.
    EXPECT_GT(unreadable, 10);
    EXPECT_GT(on, 10);
}

// A store that is a Windows 5.00 export stays one: UTF-16LE, every other key and value
// as it was, the Unicode text the code page lacks included.
TEST_F(SaverPasswordTool, KeepsA5StoreInItsFormWithEverythingElse) {
    auto utf16 = [](std::u16string_view text) {
        std::string out = "\xFF\xFE";
        for (char16_t c : text) {
            out.push_back(static_cast<char>(c & 0xFF));
            out.push_back(static_cast<char>(c >> 8));
        }
        return out;
    };
    const std::u16string other =
        u"[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n"
        u"\"X_NM\"=\"/home/\u58c1/m.x\"\r\n"
        u"\"ROT_Y\"=\"    25\"\r\n"
        u"\r\n";
    WriteStore(utf16(u"Windows Registry Editor Version 5.00\r\n\r\n" + other +
                     u"[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                     u"\"ScreenSaveUsePassword\"=\"1\"\r\n"));
    EXPECT_EQ(Run("status"), "on");
    EXPECT_EQ(Run("off"), "off");
    EXPECT_EQ(Run("status"), "off");
    EXPECT_EQ(Request(), 0u);
    const std::string written = ReadStore();
    EXPECT_EQ(written, utf16(u"Windows Registry Editor Version 5.00\r\n\r\n" + other +
                             u"[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                             u"\"ScreenSaveUsePassword\"=dword:00000000\r\n"
                             u"\"ScreenSaverIsSecure\"=dword:00000000\r\n\r\n"));
    EXPECT_EQ(Run("on"), "on");
    EXPECT_NE(Request(), 0u);
}

// A Windows export with another program's key whose text the code page lacks: the
// tool prints only its word, and the other key is written back byte for byte.
TEST_F(SaverPasswordTool, PrintsOnlyItsWordBesideAKeyTheCodePageLacks) {
    const fs::path exported = fs::path(ORBSAVER_TESTDATA_DIR) / "reg" / "wine-export-v5.reg";
    if (!fs::exists(exported)) GTEST_SKIP() << "no shared test data in " << exported;
    std::ifstream in(exported, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string other = regtest::Utf16File(
        u"[HKEY_CURRENT_USER\\Software\\MERO\\OTHER]\r\n"
        u"\"TITLE\"=\"\u58c1\u7d19 \U0001F600\"\r\n\r\n").substr(2);
    WriteStore(ss.str() + other);
    EXPECT_EQ(RunAll("status"), "off\n");
    EXPECT_EQ(RunAll("on"), "on\n");
    EXPECT_EQ(RunAll("status"), "on\n");
    EXPECT_EQ(status, 0);
    EXPECT_NE(Request(), 0u);
    const std::string written = ReadStore();
    EXPECT_NE(written.find(other), std::string::npos) << "the other key is not kept as it was";
    // Only the desktop's key was added to what the export held.
    EXPECT_EQ(written.substr(0, ss.str().size()), ss.str());
}
