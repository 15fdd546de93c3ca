// The configuration dialog's cases that rest on Linux's own places: the store file
// (under XDG_CONFIG_HOME), and the help page's language taken from the locale.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "config/page_motion.h"
#include "config_test_util.h"
#include "platform/data_dir/data_dir.h"
#include "platform/registry/registry_file.h"
#include "tests/support/temp_folder.h"

using namespace config;
using namespace config_test;
using namespace platform;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

TEST_F(DialogTest, CancelLeavesTheStoreByteForByte) {
    TempFolder dir;
    const std::string path = dir.File("user.reg");
    FileRegistry file(path);
    SetUserRegistry(&file);
    settings::LoadOrSaveSettings(0);  // writes the first run's store
    const std::string before = ReadFile(path);
    ASSERT_FALSE(before.empty());
    Open();
    ui->SetPosition(page1, kCameraX, 90);
    SendMessage(page1, WM_HSCROLL, MakeWParam(TB_THUMBTRACK, 90), kCameraX);
    ui->SetCheck(dialog, kAnimeCheck, 1);
    Click(dialog, kCancel);
    EXPECT_EQ(ui->Lines("EndModal " + H(dialog)).size(), 1u);
    DestroyWindow(dialog);
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(DialogTest, OkMovesAStoreThatCannotBeReadAsideAndWritesTheDialogsSettings) {
    char dir[] = "/tmp/orbsaver-config-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    setenv("XDG_CONFIG_HOME", dir, 1);
    const std::string path = UserRegistryPath();
    ASSERT_EQ(path, std::string(dir) + "/orbsaver/user.reg");
    mkdir((std::string(dir) + "/orbsaver").c_str(), 0700);
    const std::string junk = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"A\"=dword:1 ; a note\n";
    std::ofstream(path, std::ios::binary) << junk;
    FileRegistry file(path);
    SetUserRegistry(&file);
    // The store cannot be read: the settings are those of a key that does not open.
    settings::InitialiseSettings(settings::Settings(), "/data/", 1252);
    settings::LoadOrSaveSettings(0);
    EXPECT_EQ(settings::Settings().CM_Y, 0);
    Open();
    ui->SetPosition(page1, kCameraY, 12);
    Click(dialog, kOk);
    EXPECT_EQ(ReadFile(path + ".bad"), junk);
    EXPECT_EQ(FileRegistry(path).ReadProblem(), "");
    const std::string stored = ReadFile(path);
    EXPECT_NE(stored.find("\"CM_Y\"=\"    12\""), std::string::npos);
    // Not the first run's defaults: what the dialog showed.
    EXPECT_NE(stored.find("\"ROT_Y\"=\"     0\""), std::string::npos);
    ASSERT_EQ(ui->messages.size(), 1u);
    EXPECT_NE(ui->messages[0].find("user.reg.bad"), std::string::npos);
    unsetenv("XDG_CONFIG_HOME");
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}

TEST_F(DialogTest, HelpOpensThePageOfTheCodePage) {
    setenv("LANG", "en_GB.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    Open();
    Click(dialog, kHelp);
    ASSERT_EQ(ui->documents.size(), 1u);
    EXPECT_EQ(ui->documents[0], DataDirectory() + "KP4VN_1E.html");
    EXPECT_TRUE(ui->messages.empty());
    setenv("LANG", "ja_JP.UTF-8", 1);
    ui->documentsOpen = false;
    Click(dialog, kHelp);
    EXPECT_EQ(ui->documents[1], DataDirectory() + "KP4VN_1J.html");
    ASSERT_EQ(ui->messages.size(), 1u);
    EXPECT_NE(ui->messages[0].find("KP4VN_1J.html"), std::string::npos);
    setenv("LANG", "C.UTF-8", 1);
}
