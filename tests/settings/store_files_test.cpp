// The settings in store files as Windows and Wine export them: a 5.00 export and the
// REGEDIT4 file it came from give the same record, a save keeps the file's form and
// everything else in it, and a broken file is neither read nor written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../support/utf16_files.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_file.h"
#include "settings/store.h"

using namespace settings;
using namespace platform;
using regtest::Utf16BigEndianFile;
using regtest::Utf16File;
using regtest::Utf16FileWithNul;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDir = "/usr/share/orbsaver/";
const fs::path kRegData = fs::path(ORBSAVER_TESTDATA_DIR) / "reg";
const std::string kInfo = "HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every byte of the record, padding included, starts the same in each copy.
struct Record {
    explicit Record(int codePage = 1252) {
        std::memset(static_cast<void*>(&s), 0, sizeof s);
        InitialiseSettings(s, kDir, codePage);
    }
    SceneSettings s;
};

class StoreFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("orbsaver-store-files-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        store = dir / "user.reg";
    }
    void TearDown() override { fs::remove_all(dir); }
    void RequireTestData() {
        if (!fs::exists(kRegData / "wine-export-v5.reg") ||
            !fs::exists(kRegData / "source-regedit4.reg")) {
            GTEST_SKIP() << "no shared test data in " << kRegData;
        }
    }
    fs::path dir, store;
};

}  // namespace

TEST_F(StoreFiles, AWineExportAndItsRegedit4SourceLoadToTheSameRecord) {
    RequireTestData();
    if (IsSkipped()) return;
    Record fromV5, fromV4;
    fs::copy_file(kRegData / "wine-export-v5.reg", store);
    FileRegistry v5(store.string(), 1252);
    ASSERT_EQ(v5.ReadProblem(), "");
    LoadOrSaveSettings(fromV5.s, v5, 0);
    fs::remove(store);
    fs::copy_file(kRegData / "source-regedit4.reg", store);
    FileRegistry v4(store.string(), 1252);
    LoadOrSaveSettings(fromV4.s, v4, 0);
    EXPECT_EQ(std::memcmp(&fromV5.s, &fromV4.s, sizeof(SceneSettings)), 0);
    // What the manifest says the files hold, so that equal records mean something.
    EXPECT_EQ(fromV5.s.ROT_Y, 25);
    EXPECT_EQ(fromV5.s.COLOR, 0x00FF0000u);
    EXPECT_EQ(fromV5.s.MSN, 1);
    EXPECT_STREQ(fromV5.s.MSG.entries[1].text, "A sample from Windows");
    EXPECT_EQ(ReadFile(store), ReadFile(kRegData / "source-regedit4.reg")) << "a load writes nothing";
}

TEST_F(StoreFiles, AnUnchangedWineExportWritesBackByteForByte) {
    RequireTestData();
    if (IsSkipped()) return;
    const std::string wine = ReadFile(kRegData / "wine-export-v5.reg");
    const auto file = ParseRegFile(wine, 1252);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->form, RegFileForm::kVersion5);
    std::string out;
    ASSERT_TRUE(WriteRegFile(file->document, file->form, 1252, &out));
    EXPECT_EQ(out, wine);
}

TEST_F(StoreFiles, ASaveKeepsThe5FormAndEveryOtherKeyAndValue) {
    RequireTestData();
    if (IsSkipped()) return;
    // The export with a key of the desktop beside it, one value the code page lacks.
    auto original = ParseRegFile(ReadFile(kRegData / "wine-export-v5.reg"), 1252);
    ASSERT_TRUE(original);
    const std::u16string desktop =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
        u"\"Wallpaper\"=\"C:\\\\\u58c1\u7d19.bmp\"\r\n"
        u"\"ScreenSaveTimeOut\"=\"600\"\r\n";
    auto other = ParseRegFile(Utf16File(desktop), 1252);
    ASSERT_TRUE(other);
    original->document.keys.push_back(other->document.keys[0]);
    std::string bytes;
    ASSERT_TRUE(WriteRegFile(original->document, RegFileForm::kVersion5, 1252, &bytes));
    WriteFile(store, bytes);

    Record r;
    FileRegistry registry(store.string(), 1252);
    testing::internal::CaptureStderr();
    LoadOrSaveSettings(r.s, registry, 0);
    r.s.ROT_X = -42;
    LoadOrSaveSettings(r.s, registry, 1);
    // The program never reads the wallpaper, so nothing is said about it.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    const std::string written = ReadFile(store);
    ASSERT_EQ(written.substr(0, 2), "\xFF\xFE");
    const auto back = ParseRegFile(written, 1252);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->form, RegFileForm::kVersion5);
    const RegKey* desk = back->document.Find("HKEY_CURRENT_USER\\Control Panel\\Desktop");
    ASSERT_NE(desk, nullptr);
    ASSERT_EQ(desk->values.size(), 2u);
    EXPECT_EQ(desk->values[0].asRead->data, other->document.keys[0].values[0].asRead->data);
    EXPECT_EQ(desk->values[1].data, (std::vector<std::uint8_t>{'6', '0', '0', 0}));
    // The settings key holds what a save writes, and reads back as saved.
    MemoryRegistry memory;
    memory.document.keys.push_back(RegKey{kInfo, {}});  // there already: a save, not a first run
    LoadOrSaveSettings(r.s, memory, 1);
    const RegKey* info = back->document.Find(kInfo);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->values.size(), 35u);
    for (const RegValue& v : memory.document.Find(kInfo)->values) {
        ASSERT_NE(info->Find(v.name), nullptr) << v.name;
        EXPECT_EQ(info->Find(v.name)->data, v.data) << v.name;
        EXPECT_EQ(info->Find(v.name)->type, v.type) << v.name;
    }
    Record again;
    LoadOrSaveSettings(again.s, registry, 0);
    EXPECT_EQ(again.s.ROT_X, -42);
    EXPECT_EQ(again.s.ROT_Y, 25);
}

// A Windows export holds other programs' keys too. One whose text the code page lacks
// is no concern of the settings: nothing is said of it, a value the settings do read
// is still told once, and the other key is written back byte for byte.
TEST_F(StoreFiles, AnotherKeyTheCodePageCannotHoldIsKeptAndNotTold) {
    RequireTestData();
    if (IsSkipped()) return;
    const std::string other = Utf16File(
        u"[HKEY_CURRENT_USER\\Software\\MERO\\OTHER]\r\n"
        u"\"TITLE\"=\"\u58c1\u7d19 \U0001F600\"\r\n"
        u"\"X_NM\"=\"/home/\u65e5/m.x\"\r\n\r\n").substr(2);
    WriteFile(store, ReadFile(kRegData / "wine-export-v5.reg") + other);
    for (int codePage : {1252, 932}) {
        Record r(codePage);
        FileRegistry registry(store.string(), codePage);
        testing::internal::CaptureStderr();
        LoadOrSaveSettings(r.s, registry, 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << codePage;
        EXPECT_EQ(r.s.ROT_Y, 25) << codePage;  // the settings themselves read
    }
    // A save of the settings rewrites the file; the other key's bytes stay.
    {
        Record r;
        FileRegistry registry(store.string(), 1252);
        LoadOrSaveSettings(r.s, registry, 0);
        r.s.ROT_X = 7;
        testing::internal::CaptureStderr();
        LoadOrSaveSettings(r.s, registry, 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    const std::string written = ReadFile(store);
    EXPECT_NE(written.find(other), std::string::npos) << "the other key is not kept as it was";
    EXPECT_EQ(written.find(other), written.size() - other.size());

    // The same text in a value the settings read is told, once however often it is read.
    WriteFile(store, Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                               u"[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n"
                               u"\"TEX_NM\"=\"/home/\u58c1/t.ppm\"\r\n\r\n") + other);
    Record r;
    FileRegistry registry(store.string(), 1252);
    testing::internal::CaptureStderr();
    LoadOrSaveSettings(r.s, registry, 0);
    LoadOrSaveSettings(r.s, registry, 0);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, "orbsaver: " + store.string() +
                        ": value \"TEX_NM\" of [HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]"
                        " holds U+58C1, which code page 1252 lacks; it reads as absent\n");
}

// Each broken file: one line on stderr, the key does not open, the record keeps its
// values and the file is never written over.
TEST_F(StoreFiles, ABroken5FileIsNeitherReadNorWritten) {
    const std::u16string head = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n";
    std::string lone = Utf16File(head + u"\"ROT_Y\"=\"    25\"\r\n");
    lone.insert(lone.size() - 6, "\x01\xD8", 2);
    const std::string nul = Utf16FileWithNul(head + u"\"ROT_Y\"=\"  ", u"25\"\r\n");
    const std::string bigEndian = Utf16BigEndianFile(head);
    const std::string longLine =
        Utf16File(head + u"\"X_NM\"=\"" + std::u16string(600000, u'a') + u"\"\r\n");
    const std::pair<const char*, std::string> cases[] = {
        {"an odd number of bytes", Utf16File(head + u"\"ROT_Y\"=\"    25\"\r\n") + "\n"},
        {"a lone surrogate", lone},
        {"a UTF-16BE mark", bigEndian},
        {"a REGEDIT4 header behind a UTF-16 mark", Utf16File(u"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n")},
        {"a NUL inside a quoted text", nul},
        {"a line of a megabyte", longLine},
    };
    for (const auto& [what, bytes] : cases) {
        WriteFile(store, bytes);
        FileRegistry registry(store.string(), 1252);
        Record r;
        r.s.ROT_Y = 77;
        testing::internal::CaptureStderr();
        LoadOrSaveSettings(r.s, registry, 0);
        LoadOrSaveSettings(r.s, registry, 1);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << what << ": " << told;
        EXPECT_NE(told.find(store.string() + " cannot be parsed ("), std::string::npos) << what;
        EXPECT_EQ(r.s.ROT_Y, 77) << what << ": nothing is read";
        EXPECT_EQ(ReadFile(store), bytes) << what << ": the file was written";
        EXPECT_NE(registry.ReadProblem(), "") << what;
    }
}

// A text the code page lacks, or one too wide for its buffer once in the code page,
// takes the setting's missing default, said on stderr; the other values read.
TEST_F(StoreFiles, A5TextThatDoesNotFitTakesItsDefault) {
    const std::u16string wide(200, u'\u65e5');  // 200 characters, 400 bytes in code page 932
    WriteFile(store, Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                               u"[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n"
                               u"\"ROT_Y\"=\"    25\"\r\n"
                               u"\"X_NM\"=\"" + wide + u"\"\r\n"
                               u"\"TEX_NM\"=\"/home/\u65e5/t.ppm\"\r\n"));
    for (int codePage : {932, 1252}) {
        FileRegistry registry(store.string(), codePage);
        Record r(codePage);
        testing::internal::CaptureStderr();
        LoadOrSaveSettings(r.s, registry, 0);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_EQ(r.s.ROT_Y, 25);
        EXPECT_EQ(std::string(r.s.X_NM), std::string(kDir) + "multi.x") << codePage;
        if (codePage == 932) {
            EXPECT_EQ(std::string(r.s.TEX_NM), "/home/\x93\xFA/t.ppm");
            EXPECT_NE(told.find("the stored X_NM is 401 bytes, wider than its buffer"), std::string::npos)
                << told;
        } else {
            EXPECT_EQ(std::string(r.s.TEX_NM), std::string(kDir) + "win95.ppm");
            EXPECT_NE(told.find("\"TEX_NM\" of [HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO] holds "
                                "U+65E5, which code page 1252 lacks"),
                      std::string::npos)
                << told;
        }
    }
}
