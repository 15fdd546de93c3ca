// The data directory on Windows: the environment's first, then the "data" folder
// beside the program, then the folder the installer wrote down.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/data_dir/data_dir.h"
#include "platform/win32_api.h"

namespace fs = std::filesystem;

namespace {

fs::path ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(std::wstring(path, n)).parent_path();
}

std::string Utf8(const fs::path& p) {
    const std::u8string u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

void SetInstallDir(const std::wstring& folder) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\orbsaver", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

}  // namespace

TEST(DataDirectory, TheEnvironmentThenTheFolderBesideTheProgramThenTheInstalledOne) {
    _wputenv(L"ORBSAVER_DATA_DIR=C:\\saver\\m\u00e9dia");
    EXPECT_EQ(platform::DataDirectory(), "C:\\saver\\m\xC3\xA9" "dia\\");
    _wputenv(L"ORBSAVER_DATA_DIR=");

    const fs::path installed = fs::temp_directory_path() / "orbsaver-installed-data";
    fs::create_directories(installed);
    SetInstallDir(installed.wstring());
    const fs::path beside = ProgramFolder() / "data";
    std::error_code ignored;
    fs::remove_all(beside, ignored);
    EXPECT_EQ(platform::DataDirectory(), Utf8(installed) + "\\");

    fs::create_directories(beside);
    EXPECT_EQ(platform::DataDirectory(), Utf8(beside) + "\\") << "a portable copy wins";
    fs::remove_all(beside, ignored);

    fs::remove_all(installed, ignored);
    EXPECT_EQ(platform::DataDirectory(), Utf8(beside) + "\\")
        << "an installed folder deleted by hand is passed over";

    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\orbsaver");
    EXPECT_EQ(platform::DataDirectory(), Utf8(beside) + "\\")
        << "with neither, the folder beside the program is named";
}
