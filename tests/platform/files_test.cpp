// Files the user names, as every target opens them: only a regular file is read,
// whole and within the size the caller allows, by a path in UTF-8 whatever its
// characters; and a save refuses to replace a file the user made read-only.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files/find_entry.h"
#include "platform/files/read_file.h"
#include "platform/files/release_pages.h"
#include "platform/files/replace_mode.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("orbsaver-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& e : fs::recursive_directory_iterator(dir_, ignored))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }
    // A file of the bytes, named by a UTF-8 name; its UTF-8 path.
    std::string Make(const std::string& utf8Name, const std::string& bytes) {
        const fs::path path = dir_ / fs::path(std::u8string(utf8Name.begin(), utf8Name.end()));
        std::ofstream(path, std::ios::binary) << bytes;
        const std::u8string u8 = path.u8string();
        return std::string(u8.begin(), u8.end());
    }
    std::string Utf8(const fs::path& p) {
        const std::u8string u8 = p.u8string();
        return std::string(u8.begin(), u8.end());
    }
    fs::path dir_;
};

}  // namespace

TEST_F(Files, AFileIsReadWholeByAPathInAnyScript) {
    const std::string bytes("xof 0303txt 0032\0\xFF", 18);
    for (const char* name : {"plain.x", "\xE3\x83\xA2\xE3\x83\x87\xE3\x83\xAB.x", "caf\xC3\xA9.x"}) {
        const std::string path = Make(name, bytes);
        std::vector<char> read;
        std::string why;
        ASSERT_TRUE(ReadRegularFile(path, 1024, read, &why)) << name << ": " << why;
        EXPECT_EQ(std::string(read.begin(), read.end()), bytes) << name;
    }
    std::vector<unsigned char> empty;
    ASSERT_TRUE(ReadRegularFile(Make("empty.x", ""), 1024, empty));
    EXPECT_TRUE(empty.empty());
}

TEST_F(Files, WhatIsNoFileWithinTheLimitIsRefusedWithItsReason) {
    std::vector<char> read{'o', 'l', 'd'};
    std::string why;
    EXPECT_FALSE(ReadRegularFile(Make("big.x", std::string(2048, 'a')), 2047, read, &why));
    EXPECT_NE(why.find("is too large"), std::string::npos) << why;
    EXPECT_TRUE(read.empty()) << "nothing of a refused file is kept";
    EXPECT_TRUE(ReadRegularFile(Make("big.x", std::string(2048, 'a')), 2048, read));

    EXPECT_FALSE(ReadRegularFile(Utf8(dir_), 1 << 20, read, &why));
    EXPECT_NE(why.find("is a folder"), std::string::npos) << why;
    EXPECT_FALSE(ReadRegularFile(Utf8(dir_ / "absent.x"), 1 << 20, read, &why));
    EXPECT_NE(why.find("cannot open"), std::string::npos) << why;
}

TEST_F(Files, ASaveKeepsOffAFileMadeReadOnly) {
    unsigned mode = 0;
    std::string error;
    EXPECT_TRUE(ModeForReplacing(Utf8(dir_ / "new.csv"), &mode, &error)) << error;
    const std::string path = Make("KP4VN_01.CSV", "old");
    EXPECT_TRUE(ModeForReplacing(path, &mode, &error)) << error;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(ModeForReplacing(path, &mode, &error));
    EXPECT_NE(error.find("is read-only"), std::string::npos) << error;
}

// Names written on another system find their entries whatever the case of their
// letters, a folder only as a folder and a file only as a file, by UTF-8 paths.
TEST_F(Files, AnEntryIsFoundWhateverTheCaseOfItsName) {
    const std::string name = "Текстуры";
    const fs::path folder = dir_ / fs::path(std::u8string(name.begin(), name.end()));
    fs::create_directories(folder);
    const std::string file = Make(name + "/Tex.BMP", "x");
    const std::string dir = Utf8(dir_);
    auto is = [](const std::string& expected, const std::string& found) {
        std::error_code ignored;
        return !found.empty() && fs::equivalent(fs::path(std::u8string(expected.begin(), expected.end())),
                                                fs::path(std::u8string(found.begin(), found.end())), ignored);
    };
    const std::string sub = FindEntryIgnoringCase(dir, name, true);
    EXPECT_TRUE(is(Utf8(folder), sub)) << sub;
    EXPECT_EQ("", FindEntryIgnoringCase(dir, name, false)) << "a folder is no file";
    EXPECT_TRUE(is(file, FindEntryIgnoringCase(sub, "tex.bmp", false)));
    EXPECT_TRUE(is(file, FindEntryIgnoringCase(sub, "TEX.BMP", false)));
    EXPECT_EQ("", FindEntryIgnoringCase(sub, "Tex.BMP", true)) << "a file is no folder";
    EXPECT_EQ("", FindEntryIgnoringCase(sub, "missing.bmp", false));
    EXPECT_EQ("", FindEntryIgnoringCase(dir + "/missing", "Tex.BMP", false));
    EXPECT_EQ("models/x", FolderOf("models/x/tiger.x"));
    EXPECT_EQ(".", FolderOf("tiger.x"));
}

// Releasing the pages a reader has passed: only whole pages inside the range go, the
// partly covered ends keep their bytes, and the released pages can be written and
// read again.
TEST(ReleasePages, OnlyWholePagesInsideTheRangeGoAndStayUsable) {
    constexpr size_t kSize = size_t(4) << 20;
    std::vector<unsigned char> buffer(kSize);
    for (size_t i = 0; i < kSize; ++i) buffer[i] = static_cast<unsigned char>(i * 7 + 1);
    auto intact = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            if (buffer[i] != static_cast<unsigned char>(i * 7 + 1)) return false;
        return true;
    };
    unsigned char* const data = buffer.data();
    // Ranges within one page, empty or backwards, release nothing.
    ReleasePages(data + 10, data + 20);
    ReleasePages(data + 5000, data + 5000);
    ReleasePages(data + kSize, data);
    EXPECT_TRUE(intact(0, kSize));

    ReleasePages(data + 100, data + kSize - 100);
    EXPECT_TRUE(intact(0, 100)) << "the start shares a page with the first byte kept";
    EXPECT_TRUE(intact(kSize - 100, kSize)) << "the end shares a page with the last byte kept";
    for (size_t i = 0; i < kSize; ++i) buffer[i] = static_cast<unsigned char>(i * 7 + 1);
    EXPECT_TRUE(intact(0, kSize)) << "released pages take new bytes";
}
