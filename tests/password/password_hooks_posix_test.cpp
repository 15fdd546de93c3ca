// The password request read from the store file, Linux's store: a file that is there
// but cannot be parsed or read asks for the password, one that says nothing asks for
// none.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/registry/registry_file.h"
#include "shell/password.h"
#include "tests/support/temp_folder.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

// A store file of the test's own, in a folder that is removed afterwards.
class StoreFile : public ::testing::Test {
  protected:
    void Write(const std::string& text) { std::ofstream(folder.path() / "user.reg", std::ios::binary) << text; }
    std::uint32_t Request() {
        FileRegistry store(path);
        return shell::ReadPasswordRequest(store);
    }

    TempFolder folder;
    std::string path = folder.File("user.reg");
};

const std::string kDesktopLine = "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n";

}  // namespace

// ASCII text as UTF-16LE.
std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

TEST_F(StoreFile, AStoreThatIsThereButCannotBeParsedAsksForThePassword) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"a comment after a value",
         "REGEDIT4\r\n\r\n" + kDesktopLine + "\"ScreenSaverIsSecure\"=dword:00000000 ; off\r\n"},
        {"one bad line anywhere",
         "REGEDIT4\r\n\r\n" + kDesktopLine + "\"ScreenSaverIsSecure\"=dword:00000000\r\n" +
             "[HKEY_CURRENT_USER\\Other]\r\n\"A\"=dword:nothex\r\n"},
        {"no header", kDesktopLine + "\"ScreenSaverIsSecure\"=dword:00000000\r\n"},
        {"an empty file", ""},
        {"text of another kind", "Windows Registry Editor Version 4.00\r\n"},
        // A 5.00 export is read; one that is broken is as unreadable as any file.
        {"a 5.00 file with a lone surrogate",
         std::string("\xFF\xFE", 2) + Utf16(std::string("Windows Registry Editor Version 5.00\r\n") +
                                           kDesktopLine) +
             std::string("\x00\xD8", 2)},
        {"a 5.00 file with an odd number of bytes",
         std::string("\xFF\xFE", 2) + Utf16("Windows Registry Editor Version 5.00\r\n" + kDesktopLine) + "x"},
        {"a key that never closes", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop\r\n"},
    };
    for (const auto& [what, text] : cases) {
        Write(text);
        EXPECT_EQ(Request(), shell::kUnreadableStoreRequest) << what;
        FileRegistry store(path);
        EXPECT_NE(store.ReadProblem().find("cannot be parsed ("), std::string::npos) << what;
    }
}

TEST_F(StoreFile, AStoreThatCannotBeReadAsksForThePassword) {
    // A folder where the file should be.
    std::filesystem::create_directories(path);
    EXPECT_EQ(Request(), shell::kUnreadableStoreRequest);
    std::filesystem::remove(path);
    // Larger than any store the program reads.
    {
        std::ofstream out(path, std::ios::binary);
        out << "REGEDIT4\r\n";
        out << std::string(kMaxRegFileBytes, ';');
    }
    EXPECT_EQ(Request(), shell::kUnreadableStoreRequest);
}

TEST_F(StoreFile, AStoreThatDoesNotExistOrSaysNothingAsksForNone) {
    EXPECT_EQ(Request(), 0u) << "no file";
    Write("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n"
          "\"ROT_X\"=dword:00000005\r\n");
    EXPECT_EQ(Request(), 0u) << "no desktop key";
    Write("REGEDIT4\r\n\r\n" + kDesktopLine + "\"ScreenSaverIsSecure\"=dword:00000000\r\n");
    EXPECT_EQ(Request(), 0u) << "turned off";
    Write("REGEDIT4\r\n\r\n" + kDesktopLine + "\"ScreenSaverIsSecure\"=dword:00000001\r\n");
    EXPECT_EQ(Request(), 1u) << "turned on";
}


// A pipe: reading it would wait for a writer forever.
TEST_F(StoreFile, AStoreThatIsAPipeAsksForThePasswordAtOnce) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Request(), shell::kUnreadableStoreRequest);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "the pipe held the reading up";
}
