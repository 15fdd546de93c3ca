// The REGEDIT4 store: reading what Windows exports, writing what Windows imports,
// and a file that is never replaced by less than it held.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/files/write_file.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_file.h"

using namespace platform;

namespace {

// As the Windows registry editor exports a key in its REGEDIT4 form.
const char kWindowsExport[] =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO]\r\n"
    "\"S_ON\"=\"     1\"\r\n"
    "\"X_NM\"=\"C:\\\\WINDOWS\\\\multi.x\"\r\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    "\"COLOR\"=hex:ff,80,00,00\r\n"
    "\"AN_VEC\"=hex:00,32,b0,00,00,00,00,00,00,00,00,00,32,00,00,00,01,00,00,00,01,\\\r\n"
    "  00,00,00\r\n"
    "\"MIDI_NM\"=hex(1):61,62,00,7a\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "@=\"default\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
    "; a comment\r\n"
    "\"ScreenSaveUsePassword\"=dword:00000001\r\n"
    "\r\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/orbsaver-reg-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

}  // namespace

TEST(Regedit4Read, TakesAWindowsExport) {
    std::string error;
    auto doc = ParseRegedit4(kWindowsExport, &error);
    ASSERT_TRUE(doc) << error;
    ASSERT_EQ(doc->keys.size(), 2u);
    const RegKey* info = doc->Find("hkey_current_user\\software\\mero\\sv_orb_1\\info");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Find("s_on")->data, (std::vector<std::uint8_t>{' ', ' ', ' ', ' ', ' ', '1', 0}));
    EXPECT_EQ(info->Find("S_ON")->type, kRegSz);
    const std::string path = "C:\\WINDOWS\\multi.x";
    EXPECT_EQ(std::string(info->Find("X_NM")->data.begin(), info->Find("X_NM")->data.end() - 1), path);
    EXPECT_EQ(std::string(info->Find("Quote")->data.begin(), info->Find("Quote")->data.end() - 1),
              "say \"hi\"");
    EXPECT_EQ(info->Find("COLOR")->type, kRegBinary);
    EXPECT_EQ(info->Find("COLOR")->data, (std::vector<std::uint8_t>{0xff, 0x80, 0, 0}));
    EXPECT_EQ(info->Find("AN_VEC")->data.size(), 24u);
    EXPECT_EQ(info->Find("MIDI_NM")->type, kRegSz);
    EXPECT_EQ(info->Find("MIDI_NM")->data, (std::vector<std::uint8_t>{'a', 'b', 0, 'z'}));
    EXPECT_EQ(info->Find("Count")->data, (std::vector<std::uint8_t>{42, 0, 0, 0}));
    EXPECT_EQ(info->Find("")->type, kRegSz);
    EXPECT_EQ(doc->Find("HKEY_CURRENT_USER\\Control Panel\\desktop")->Find("ScreenSaveUsePassword")
                  ->type,
              kRegDword);
}

TEST(Regedit4Read, RefusesWhatIsNotSuchAFile) {
    const char* bad[] = {
        "",
        "Windows Registry Editor Version 5.00\r\n",
        "REGEDIT4\r\n\"a\"=\"b\"\r\n",                  // value outside a key
        "REGEDIT4\r\n[K]\r\n\"a\"=hex:0g\r\n",            // bad hex
        "REGEDIT4\r\n[K]\r\n\"a\"=hex:1\r\n",             // half a byte
        "REGEDIT4\r\n[K]\r\n\"a\"=\"open\r\n",            // unterminated string
        "REGEDIT4\r\n[K]\r\n\"a\"=dword:123456789\r\n",   // nine digits
        "REGEDIT4\r\n[K]\r\n\"a\"=word:1\r\n",
        "REGEDIT4\r\n[K\r\n",
        "REGEDIT4\r\n[K]\r\n\"a\" \"b\"\r\n",
    };
    for (const char* text : bad) EXPECT_FALSE(ParseRegedit4(text)) << text;
}

TEST(Regedit4Read, DeletionsAndRepeatsActAsAnImportWould) {
    auto doc = ParseRegedit4(
        "REGEDIT4\n[K\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n[K\\A\\Sub]\n\"z\"=\"3\"\n"
        "[K\\A]\n\"x\"=\"9\"\n\"y\"=-\n[-K\\A\\Sub]\n");
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->keys.size(), 1u);
    ASSERT_EQ(doc->keys[0].values.size(), 1u);
    EXPECT_EQ(doc->keys[0].values[0].data, (std::vector<std::uint8_t>{'9', 0}));
}

TEST(Regedit4Write, WritesWhatReadsBackIdentically) {
    RegDocument doc;
    doc.keys.push_back(RegKey{"HKEY_CURRENT_USER\\Software\\MERO\\SV_ORB_1\\INFO", {}});
    auto& v = doc.keys[0].values;
    v.push_back({"S_ON", kRegSz, {' ', ' ', ' ', ' ', ' ', '1', 0}});
    std::vector<std::uint8_t> path(255, 0);
    std::memcpy(path.data(), "/home/u/\"q\"\\x.x", 15);
    v.push_back({"X_NM", kRegSz, path});
    v.push_back({"Tab", kRegSz, {'a', '\t', 'b', 0}});
    v.push_back({"NoTerm", kRegSz, {'a', 'b'}});
    v.push_back({"Empty", kRegBinary, {}});
    std::vector<std::uint8_t> big(12000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    v.push_back({"AN_VEC", kRegBinary, big});
    v.push_back({"D", kRegDword, {1, 2, 3, 4}});
    v.push_back({"Odd", 7, {1, 0, 0}});
    v.push_back({"", kRegSz, {'d', 0}});
    const std::string text = WriteRegedit4(doc);
    EXPECT_EQ(text.substr(0, 10), "REGEDIT4\r\n");
    EXPECT_NE(text.find("\"S_ON\"=\"     1\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("; \"X_NM\" holds \"/home/u/\\\"q\\\"\\\\x.x\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"D\"=dword:04030201\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Odd\"=hex(7):01,00,00\r\n"), std::string::npos);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 81u);  // 80 columns and the CR
        EXPECT_EQ(line.back(), '\r');
    }
    auto back = ParseRegedit4(text);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->keys.size(), 1u);
    ASSERT_EQ(back->keys[0].values.size(), v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        EXPECT_EQ(back->keys[0].values[i].name, v[i].name);
        EXPECT_EQ(back->keys[0].values[i].type, v[i].type) << v[i].name;
        EXPECT_EQ(back->keys[0].values[i].data, v[i].data) << v[i].name;
    }
    EXPECT_EQ(WriteRegedit4(*back), text);
}

TEST(FileRegistry, CreatesTheFileWithMode0600AndKeepsOtherKeys) {
    TempDir dir;
    const std::string file = dir.path + "/orbsaver/user.reg";
    FileRegistry r(file);
    {
        KeyDisposition d;
        auto key = r.CreateKey("Control Panel\\Desktop", &d);
        ASSERT_TRUE(key);
        EXPECT_EQ(d, KeyDisposition::kCreatedNew);
        key->SetValue("ScreenSaverIsSecure", kRegSz, "1", 2);
        EXPECT_TRUE(key->Close());
    }
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    {
        KeyDisposition d;
        auto key = r.CreateKey("Software\\MERO\\SV_ORB_1\\INFO", &d);
        EXPECT_EQ(d, KeyDisposition::kCreatedNew);
        key->SetValue("S_ON", kRegSz, "     1", 7);
    }
    auto doc = ParseRegedit4(ReadFile(file));
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->keys.size(), 2u);
    auto desktop = r.OpenKey("Control Panel\\Desktop");
    ASSERT_TRUE(desktop);
    char b[4];
    std::uint32_t size = sizeof b;
    EXPECT_EQ(desktop->QueryValue("ScreenSaverIsSecure", b, &size), RegStatus::kOk);
    // Nothing of the directory is left behind but the file itself.
    EXPECT_EQ(std::system(("test $(ls -A '" + dir.path + "/orbsaver' | wc -l) -eq 1").c_str()), 0);
}

TEST(FileRegistry, AFileThatDoesNotParseIsNeverOpenedNorReplaced) {
    TempDir dir;
    const std::string file = dir.path + "/user.reg";
    const std::string junk = "REGEDIT4\r\n[K]\r\n\"a\"=hex:zz\r\n";
    WriteFile(file, junk);
    FileRegistry r(file);
    KeyDisposition d;
    EXPECT_EQ(r.CreateKey("Software\\MERO\\SV_ORB_1\\INFO", &d), nullptr);
    EXPECT_EQ(ReadFile(file), junk);
    WriteFile(file, "");
    EXPECT_EQ(r.CreateKey("X", &d), nullptr);  // an empty file is no REGEDIT4 file either
}

TEST(FileRegistry, TellsAFileThatCannotBeReadOrParsedFromOneThatIsNotThere) {
    TempDir dir;
    const std::string file = dir.path + "/user.reg";
    FileRegistry r(file);
    EXPECT_EQ(r.ReadProblem(), "") << "no file is an empty store";
    WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=dword:1 ; one\r\n");
    EXPECT_EQ(r.ReadProblem(), file + " cannot be parsed (line 4: bad value data)");
    WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=dword:1\r\n");
    EXPECT_EQ(r.ReadProblem(), "");
    std::system(("rm '" + file + "' && mkdir '" + file + "'").c_str());
    EXPECT_EQ(r.ReadProblem(), file + " cannot be read");
    std::system(("rmdir '" + file + "' && mkfifo '" + file + "'").c_str());
    EXPECT_EQ(r.ReadProblem(), file + " cannot be read") << "a pipe is not read, nor waited for";
    EXPECT_EQ(r.OpenKey("K"), nullptr);
    MemoryRegistry memory;
    EXPECT_EQ(memory.ReadProblem(), "");
}

TEST(FileRegistry, AWriteThatFailsLeavesTheOldFile) {
    TempDir dir;
    const std::string file = dir.path + "/user.reg";
    const std::string old = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"1\"\r\n";
    WriteFile(file, old);
    FileRegistry r(file);
    KeyDisposition d;
    auto key = r.CreateKey("K", &d);
    ASSERT_TRUE(key);
    const std::vector<std::uint8_t> big(12000, 0xAB);
    key->SetValue("b", kRegBinary, big.data(), static_cast<std::uint32_t>(big.size()));
    // A full disk, as the file-size limit makes it for this process.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool closed = key->Close();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(closed);
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(std::system(("test $(ls -A '" + dir.path + "' | wc -l) -eq 1").c_str()), 0);
}

TEST(FileRegistry, UnwritableFolderFailsQuietly) {
    FileRegistry r("/proc/orbsaver-cannot-be-here/user.reg");
    KeyDisposition d;
    auto key = r.CreateKey("K", &d);
    ASSERT_TRUE(key);  // the file is absent: an empty store
    key->SetValue("a", kRegSz, "1", 2);
    EXPECT_FALSE(key->Close());
}

TEST(UserRegistryPath, FollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(UserRegistryPath(), "/tmp/cfg/orbsaver/user.reg");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the rules say
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(UserRegistryPath(), "/home/u/.config/orbsaver/user.reg");
    if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", home.c_str(), 1);
}

// A user.reg that is a symbolic link (to a file kept with the user's other settings)
// stays a link: the write goes to the file it names.
TEST(FileRegistry, WritesThroughASymbolicLink) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir.path + "/kept").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir.path + "/orbsaver").c_str(), 0700), 0);
    const std::string target = dir.path + "/kept/orbsaver.reg";
    const std::string link = dir.path + "/orbsaver/user.reg";
    WriteFile(target, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"1\"\r\n");
    ASSERT_EQ(symlink("../kept/orbsaver.reg", link.c_str()), 0);
    FileRegistry r(link);
    KeyDisposition d;
    {
        auto key = r.CreateKey("K", &d);
        ASSERT_TRUE(key);
        key->SetValue("b", kRegSz, "2", 2);
        EXPECT_TRUE(key->Close());
    }
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    const auto doc = ParseRegedit4(ReadFile(target));
    ASSERT_TRUE(doc);
    ASSERT_TRUE(doc->Find("HKEY_CURRENT_USER\\K"));
    EXPECT_TRUE(doc->Find("HKEY_CURRENT_USER\\K")->Find("a"));
    EXPECT_TRUE(doc->Find("HKEY_CURRENT_USER\\K")->Find("b"));
    // Nothing is left beside the link or the file.
    EXPECT_EQ(std::system(("test $(ls -A '" + dir.path + "/orbsaver' | wc -l) -eq 1").c_str()), 0);
    EXPECT_EQ(std::system(("test $(ls -A '" + dir.path + "/kept' | wc -l) -eq 1").c_str()), 0);

    // A link whose file does not exist yet: the file is made where it points.
    const std::string fresh = dir.path + "/kept/new.reg";
    ASSERT_EQ(unlink(link.c_str()), 0);
    ASSERT_EQ(symlink(fresh.c_str(), link.c_str()), 0);
    {
        auto key = r.CreateKey("K", &d);
        ASSERT_TRUE(key);
        EXPECT_EQ(d, KeyDisposition::kCreatedNew);
        EXPECT_TRUE(key->Close());
    }
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A link that leads round in a circle is no file to write.
TEST(FileRegistry, ALinkThatLoopsFailsQuietly) {
    TempDir dir;
    const std::string a = dir.path + "/a.reg", b = dir.path + "/b.reg";
    ASSERT_EQ(symlink(b.c_str(), a.c_str()), 0);
    ASSERT_EQ(symlink(a.c_str(), b.c_str()), 0);
    EXPECT_FALSE(WriteFileAtomically(a, "REGEDIT4\r\n", 0600));
    struct stat st {};
    ASSERT_EQ(lstat(a.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// Reading is linear in the file's size: a store at the size limit with a very
// large number of values in one key (or many keys) is read in well under a second
// per megabyte, not in the square of the count.
TEST(Regedit4Read, ManyValuesInOneKeyAndManyKeysReadInLinearTime) {
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    const int values = 400000;
    for (int i = 0; i < values; ++i) text += "\"v" + std::to_string(i) + "\"=dword:00000001\r\n";
    // Repeats and deletions of values far back in the key.
    for (int i = 0; i < 20000; ++i) text += "\"v" + std::to_string(i * 7) + "\"=-\r\n";
    text += "\"v7\"=\"again\"\r\n";
    for (int i = 0; i < 50000; ++i) text += "[HKEY_CURRENT_USER\\Many\\" + std::to_string(i) + "]\r\n";
    text += "[-HKEY_CURRENT_USER\\Many]\r\n";
    ASSERT_LT(text.size(), kMaxRegFileBytes);
    const auto start = std::chrono::steady_clock::now();
    const auto doc = ParseRegedit4(text);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(doc);
    EXPECT_LT(seconds, 20.0);
    ASSERT_EQ(doc->keys.size(), 1u);
    const RegKey& key = doc->keys[0];
    EXPECT_EQ(key.values.size(), static_cast<std::size_t>(values - 20000 + 1));
    EXPECT_EQ(key.values.front().name, "v1");
    // A value deleted and set again comes last, as a fresh value does.
    EXPECT_EQ(key.values.back().name, "v7");
    EXPECT_EQ(key.values.back().type, kRegSz);
    EXPECT_EQ(key.Find("v14"), nullptr);
    ASSERT_NE(key.Find("V399999"), nullptr);
    std::printf("parsed %.1f MB in %.2f s\n", text.size() / 1e6, seconds);
}

// Whatever the writer writes, the reader gives back: every type, empty and odd
// sizes, every byte value, names with quotes and backslashes.
TEST(Regedit4Write, RandomValuesRoundTrip) {
    std::mt19937 rng(21);
    RegDocument doc;
    for (int k = 0; k < 20; ++k) {
        RegKey key{"HKEY_CURRENT_USER\\Software\\K" + std::to_string(k), {}};
        for (int v = 0; v < 40; ++v) {
            RegValue value;
            value.name = "n" + std::to_string(v) + (v % 5 == 0 ? "\\\"q" : "");
            if (v == 0) value.name.clear();
            const std::uint32_t types[] = {kRegNone, kRegSz, kRegExpandSz, kRegBinary, kRegDword, 7,
                                           11};
            value.type = types[rng() % std::size(types)];
            const std::size_t size = rng() % 3 == 0 ? rng() % 8 : rng() % 600;
            for (std::size_t i = 0; i < size; ++i) {
                // Texts of printable bytes now and then, so the quoted form is tried too.
                value.data.push_back(v % 3 == 0 ? static_cast<std::uint8_t>(0x20 + rng() % 95)
                                                : static_cast<std::uint8_t>(rng()));
            }
            if (v % 3 == 0) value.data.push_back(0);
            key.values.push_back(std::move(value));
        }
        doc.keys.push_back(std::move(key));
    }
    const auto back = ParseRegedit4(WriteRegedit4(doc));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->keys.size(), doc.keys.size());
    for (std::size_t k = 0; k < doc.keys.size(); ++k) {
        ASSERT_EQ(back->keys[k].path, doc.keys[k].path);
        ASSERT_EQ(back->keys[k].values.size(), doc.keys[k].values.size());
        for (std::size_t v = 0; v < doc.keys[k].values.size(); ++v) {
            const RegValue& a = doc.keys[k].values[v];
            const RegValue& b = back->keys[k].values[v];
            EXPECT_EQ(a.name, b.name);
            EXPECT_EQ(a.type, b.type) << a.name;
            EXPECT_EQ(a.data, b.data) << a.name;
        }
    }
}
