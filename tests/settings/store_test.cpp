// The settings in the registry: names, encodings, sizes, load order, defaults, the
// first run, the older step-table layout, and hostile values.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/registry/registry.h"
#include "settings/store.h"

using namespace settings;
using platform::MemoryRegistry;
using platform::RegKey;
using platform::RegValue;

namespace {

constexpr const char* kDir = "/usr/share/orbsaver/";
const std::string kKeyPath = std::string("HKEY_CURRENT_USER\\") + std::string(kSettingsKey);

SceneSettings Fresh(int codePage = 1252) {
    SceneSettings s;
    InitialiseSettings(s, kDir, codePage);
    return s;
}

std::vector<std::uint8_t> Text(const char* t, std::size_t size) {
    std::vector<std::uint8_t> v(size, 0);
    std::memcpy(v.data(), t, std::min(std::strlen(t), size));
    return v;
}

const RegValue* Stored(MemoryRegistry& r, const char* name) {
    RegKey* k = r.document.Find(kKeyPath);
    return k ? k->Find(name) : nullptr;
}

// A registry whose key exists and holds exactly the given values.
MemoryRegistry WithValues(std::vector<RegValue> values) {
    MemoryRegistry r;
    r.document.keys.push_back(RegKey{kKeyPath, std::move(values)});
    return r;
}

}  // namespace

TEST(FirstRun, WritesAll35ValuesInOrderWithTheirEncodings) {
    MemoryRegistry r;
    SceneSettings s = Fresh();
    LoadOrSaveSettings(s, r, 0);
    const RegKey* key = r.document.Find(kKeyPath);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), 35u);
    for (std::size_t i = 0; i < 35; ++i) EXPECT_EQ(key->values[i].name, SaveOrder()[i]);

    EXPECT_EQ(Stored(r, "CM_Y")->data, (std::vector<std::uint8_t>{' ', ' ', ' ', ' ', '3', '0', 0}));
    EXPECT_EQ(Stored(r, "CM_Z")->data, (std::vector<std::uint8_t>{' ', ' ', ' ', '-', '3', '0', 0}));
    EXPECT_EQ(Stored(r, "LT_DIR")->data, (std::vector<std::uint8_t>{' ', ' ', ' ', ' ', '9', '5', 0}));
    for (const StoredValue& v : StoredValues()) {
        const RegValue* stored = Stored(r, v.name);
        ASSERT_NE(stored, nullptr) << v.name;
        EXPECT_EQ(stored->data.size(), v.size) << v.name;
        EXPECT_EQ(stored->type, v.encoding == Encoding::kBinary ? platform::kRegBinary
                                                                : platform::kRegSz)
            << v.name;
    }
    EXPECT_EQ(Stored(r, "X_NM")->data, Text("/usr/share/orbsaver/multi.x", 255));
    EXPECT_EQ(Stored(r, "REN_Q")->data, (std::vector<std::uint8_t>{137, 0, 0, 0}));
    EXPECT_EQ(std::memcmp(Stored(r, "AN_VEC")->data.data(), &s.AN_VEC, 12000), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(Stored(r, "MSG")->data.data()), "(No Message)");
    EXPECT_EQ(s.ROT_Y, 50);
    EXPECT_EQ(s.CM_Y, 30);
}

TEST(FirstRun, HappensWhateverWasAsked) {
    MemoryRegistry r;
    SceneSettings s = Fresh();
    LoadOrSaveSettings(s, r, 1);
    EXPECT_EQ(s.SPD, 8);
    ASSERT_NE(Stored(r, "SPD"), nullptr);
}

TEST(Load, MissingValuesTakeTheirMissingDefaultsNotTheFirstRunOnes) {
    MemoryRegistry r = WithValues({});
    SceneSettings s = Fresh();
    std::strcpy(s.MIDI_NM, "keep.mid");
    LoadOrSaveSettings(s, r, 0);
    EXPECT_EQ(s.ROT_Y, 0);
    EXPECT_EQ(s.CM_Y, 0);
    EXPECT_EQ(s.CM_Z, 0);
    EXPECT_EQ(s.S_ON, 1);
    EXPECT_EQ(s.L_AT, 1);
    EXPECT_EQ(s.LT_DIR, 95);
    EXPECT_EQ(s.REN_Q, 137);
    EXPECT_EQ(s.SPD, 8);
    EXPECT_EQ(s.FPS, 1);
    EXPECT_STREQ(s.MIDI_NM, "keep.mid");  // left unchanged
    EXPECT_STREQ(s.X_NM, "/usr/share/orbsaver/multi.x");
    EXPECT_STREQ(s.TEX_NM, "/usr/share/orbsaver/win95.ppm");
    EXPECT_STREQ(s.MSG.entries[0].text, "(No Message)");
    EXPECT_EQ(s.AN_VEC.Row(0, 30).valid, 1);  // the table is not touched
    EXPECT_TRUE(r.document.Find(kKeyPath)->values.empty());  // nothing written
}

TEST(Load, IntegerTextIsConvertedLikeADecimal) {
    MemoryRegistry r = WithValues({
        {"ROT_X", platform::kRegSz, {' ', ' ', ' ', '-', '4', '2', 0}},
        {"ROT_Y", platform::kRegSz, {'a', 'b', 0}},                       // not a number: 0
        {"ROT_Z", platform::kRegSz, {'1', '2', '3', '4', '5', '6', '7', '8'}},  // 8, unterminated
        // 13 bytes: longer than the widest number with its terminator, unreadable
        {"CM_X", platform::kRegSz, {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '1', 0}},
        {"CM_Y", platform::kRegSz, {' ', ' ', ' ', ' ', ' ', ' ', ' ', '1', 0}},  // 9 bytes: read
        {"OJ_X", platform::kRegDword, {5, 0, 0, 0}},                      // type not checked
        {"OJ_Y", platform::kRegSz, {'+', '7', 'x', 0}},
    });
    SceneSettings s = Fresh();
    s.CM_X = 55;
    LoadOrSaveSettings(s, r, 0);
    EXPECT_EQ(s.ROT_X, -42);
    EXPECT_EQ(s.ROT_Y, 0);
    EXPECT_EQ(s.ROT_Z, 12345678);
    EXPECT_EQ(s.CM_X, 0);  // longer than 12 bytes: the missing default
    EXPECT_EQ(s.CM_Y, 1);
    EXPECT_EQ(s.OJ_X, 0);
    EXPECT_EQ(s.OJ_Y, 7);
}

TEST(Load, ShortModelAndTexturePathsFallBackToTheDefaults) {
    MemoryRegistry r = WithValues({
        {"X_NM", platform::kRegSz, {'a', 0}},
        {"TEX_NM", platform::kRegSz, {'a', 'b', 'c', 0}},
        {"IMAGE_NM", platform::kRegSz, {'i', 0}},
    });
    SceneSettings s = Fresh();
    LoadOrSaveSettings(s, r, 0);
    EXPECT_STREQ(s.X_NM, "/usr/share/orbsaver/multi.x");
    EXPECT_STREQ(s.TEX_NM, "abc");
    EXPECT_STREQ(s.IMAGE_NM, "i");
}

TEST(Load, PathsWithoutTerminatorOrTooLongStayInsideTheirBuffers) {
    MemoryRegistry r = WithValues({
        {"X_NM", platform::kRegSz, std::vector<std::uint8_t>(255, 'x')},
        {"MIDI_NM", platform::kRegSz, std::vector<std::uint8_t>(300, 'm')},
    });
    SceneSettings s = Fresh();
    std::strcpy(s.MIDI_NM, "old.mid");
    LoadOrSaveSettings(s, r, 0);
    EXPECT_EQ(std::strlen(s.X_NM), 254u);
    EXPECT_STREQ(s.MIDI_NM, "old.mid");
}

TEST(Load, MessagesShorterThanTheTableKeepZerosAndTextsEndInside) {
    std::vector<std::uint8_t> msg(1920, 'q');
    MemoryRegistry r = WithValues({{"MSG", platform::kRegBinary, msg}, {"MSN", platform::kRegSz, Text("     9", 7)}});
    SceneSettings s = Fresh();
    LoadOrSaveSettings(s, r, 0);
    for (const MessageEntry& e : s.MSG.entries) {
        EXPECT_EQ(TextLength(e.text, sizeof e.text), 255u);
        EXPECT_EQ(TextLength(e.font.faceName, 32), 31u);
    }
    EXPECT_EQ(s.MSN, 0);  // out of range: no message

    MemoryRegistry shortMsg = WithValues({{"MSG", platform::kRegBinary, Text("hello", 10)}});
    SceneSettings t = Fresh();
    LoadOrSaveSettings(t, shortMsg, 0);
    EXPECT_STREQ(t.MSG.entries[0].text, "hello");
    EXPECT_EQ(t.MSG.entries[5].textColor, 0u);

    MemoryRegistry tooLong = WithValues({{"MSG", platform::kRegBinary, std::vector<std::uint8_t>(2000, 1)}});
    SceneSettings j = Fresh(932);
    LoadOrSaveSettings(j, tooLong, 0);
    EXPECT_STREQ(j.MSG.entries[0].text, "(\x82\xc8\x82\xb5)");
}

TEST(Load, StepTableIndexOutOfRangeSelectsTableZero) {
    MemoryRegistry r = WithValues({{"AN_NUM", platform::kRegSz, Text("    77", 7)}});
    SceneSettings s = Fresh();
    LoadOrSaveSettings(s, r, 0);
    EXPECT_EQ(s.AN_NUM, 0);
}

TEST(Load, OlderStepTableLayoutIsConverted) {
    std::vector<std::uint8_t> old(10000, 0);
    std::uint8_t* rec = old.data() + 3 * 100 + 2 * 20;  // row 3 of table 2
    rec[0] = 1;
    rec[1] = 2;
    rec[2] = 0xFE;
    rec[3] = 4;
    rec[4] = 5;
    rec[5] = 6;
    rec[6] = 0x77;  // padding, dropped
    rec[8] = 0x10;
    rec[9] = 0x27;  // frames 10000
    rec[12] = 1;
    rec[16] = 1;
    MemoryRegistry r = WithValues({{"AN_VEC", platform::kRegBinary, old}});
    SceneSettings s = Fresh();
    LoadOrSaveSettings(s, r, 0);
    const std::uint8_t* row = reinterpret_cast<const std::uint8_t*>(&s.AN_VEC) + 4872;
    const std::vector<std::uint8_t> expected = {1, 2, 0xFE, 0, 0, 0, 0, 0, 0, 4, 5, 6,
                                                0x10, 0x27, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(row, row + 24), expected);
    // Every other row is converted too: table 0's flight is gone.
    EXPECT_EQ(s.AN_VEC.Row(0, 0).valid, 0);
}

TEST(Load, StepTableOfAnyOtherSizeLeavesTheTablesAlone) {
    for (std::size_t size : {0u, 24u, 9999u, 11999u, 12001u}) {
        MemoryRegistry r =
            WithValues({{"AN_VEC", platform::kRegBinary, std::vector<std::uint8_t>(size, 0x11)}});
        SceneSettings s = Fresh();
        LoadOrSaveSettings(s, r, 0);
        EXPECT_EQ(s.AN_VEC.Row(0, 30).valid, 1) << size;
        EXPECT_EQ(s.AN_VEC.Row(0, 0).cameraZ, -80) << size;
    }
}

TEST(Load, RefreshesHundredthsAndResetsTheEditedRow) {
    float coz[3] = {0.306f, 0.0f, -0.5f};
    std::vector<std::uint8_t> bytes(12);
    std::memcpy(bytes.data(), coz, 12);
    MemoryRegistry r = WithValues({{"COZ", platform::kRegBinary, bytes}});
    SceneSettings s = Fresh();
    s.currentStepRow = 42;
    s.upHundredths[0] = 9;
    LoadOrSaveSettings(s, r, 0);
    EXPECT_EQ(s.directionHundredths[0], 31);
    EXPECT_EQ(s.directionHundredths[2], -50);
    EXPECT_EQ(s.upHundredths[0], 0);
    EXPECT_EQ(s.currentStepRow, 0);
}

namespace {
int g_hookCalls = 0;
void CountHook() { ++g_hookCalls; }
}  // namespace

TEST(Load, TellsTheFrameUpdateOnEveryAccess) {
    SetStoreAccessHook(CountHook);
    MemoryRegistry r;
    SceneSettings s = Fresh();
    LoadOrSaveSettings(s, r, 0);
    LoadOrSaveSettings(s, r, 1);
    SetStoreAccessHook(nullptr);
    EXPECT_EQ(g_hookCalls, 2);
}

TEST(SaveAndLoad, GiveBackEveryByte) {
    std::mt19937 rng(7);
    SceneSettings s = Fresh();
    auto fill = [&](void* p, std::size_t n) {
        auto* b = static_cast<std::uint8_t*>(p);
        for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(rng());
    };
    fill(&s.AN_VEC, sizeof s.AN_VEC);
    fill(&s.MSG, sizeof s.MSG);
    for (MessageEntry& e : s.MSG.entries) {
        e.text[100] = 0;
        e.font.faceName[20] = 0;
    }
    std::strcpy(s.X_NM, "/home/u/models/ship.x");
    s.X_NM[200] = 'j';  // bytes after the terminator travel too
    std::strcpy(s.TEX_NM, "/home/u/t.bmp");
    std::strcpy(s.IMAGE_NM, "/home/u/sky.bmp");
    std::strcpy(s.MIDI_NM, "/home/u/song.mid");
    s.S_ON = 0; s.M_ON = 1; s.ORIG = 0; s.CM_X = -100; s.CM_Y = 100; s.CM_Z = 7;
    s.ROT_X = -99; s.ROT_Y = 3; s.ROT_Z = 100; s.OJ_X = 1; s.OJ_Y = -2; s.OJ_Z = 3;
    s.L_AT = 0; s.ANIME = 1; s.LT_DIR = 55; s.LT_AMB = 0; s.AN_NUM = 4; s.DITHER = 1;
    s.ALIAS = 1; s.FPS = 0; s.CPR = 0; s.TEX_Q = 1; s.REN_Q = 136; s.USE_I = 1;
    s.COLOR = 0x00804020; s.MSN = 5; s.SPD = 20;
    s.COZ[0] = 0.25f; s.COZ[1] = -0.5f; s.COZ[2] = 1.0f;
    s.COY[0] = -0.125f; s.COY[1] = 0.75f; s.COY[2] = 0.0f;

    MemoryRegistry r = WithValues({});
    LoadOrSaveSettings(s, r, 1);
    SceneSettings back = Fresh();
    LoadOrSaveSettings(back, r, 0);
    for (const StoredValue& v : StoredValues()) {
        const std::size_t size = v.encoding == Encoding::kIntegerText ? 4 : v.size;
        EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&s) + v.offset,
                              reinterpret_cast<const char*>(&back) + v.offset, size),
                  0)
            << v.name;
    }
    EXPECT_EQ(back.directionHundredths[1], -50);
    EXPECT_EQ(back.upHundredths[1], 75);
}

TEST(ParseDecimal, StaysInsideItsBytesAndSaturates) {
    EXPECT_EQ(ParseDecimal("  -12x", 6), -12);
    EXPECT_EQ(ParseDecimal("123", 2), 12);
    EXPECT_EQ(ParseDecimal("", 0), 0);
    EXPECT_EQ(ParseDecimal("-", 1), 0);
    EXPECT_EQ(ParseDecimal("99999999999999", 14), INT32_MAX);
    EXPECT_EQ(ParseDecimal("-99999999999999", 15), INT32_MIN);
    EXPECT_EQ(ParseDecimal("\t+5", 3), 5);
}

// Every integer-as-text setting over the whole 32-bit range: a number of eight or
// more characters ("12345678", "-1234567") is written with all its digits and must
// come back, not fall to the missing default.
TEST(SaveAndLoad, IntegerTextRoundTripsOverTheWholeRange) {
    std::mt19937 rng(11);
    std::vector<std::int32_t> samples = {0,        1,         -1,        99,
                                         -99,      100,       -100,      999999,
                                         -99999,   1000000,   -100000,   1234567,
                                         12345678, -1234567,  -12345678, 99999999,
                                         INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1};
    for (int i = 0; i < 200; ++i) samples.push_back(static_cast<std::int32_t>(rng()));
    std::vector<const StoredValue*> numbers;
    for (const StoredValue& v : StoredValues()) {
        if (v.encoding == Encoding::kIntegerText) numbers.push_back(&v);
    }
    ASSERT_FALSE(numbers.empty());
    for (std::size_t round = 0; round < samples.size(); ++round) {
        SceneSettings s = Fresh();
        // Each value gets another sample in each round, so every value meets every kind.
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            const std::int32_t n = samples[(round + k) % samples.size()];
            std::memcpy(reinterpret_cast<char*>(&s) + numbers[k]->offset, &n, sizeof n);
        }
        MemoryRegistry r = WithValues({});
        LoadOrSaveSettings(s, r, 1);
        SceneSettings back = Fresh();
        LoadOrSaveSettings(back, r, 0);
        for (const StoredValue* v : numbers) {
            std::int32_t wrote, read;
            std::memcpy(&wrote, reinterpret_cast<const char*>(&s) + v->offset, sizeof wrote);
            std::memcpy(&read, reinterpret_cast<const char*>(&back) + v->offset, sizeof read);
            // The two indices are kept in range on load, whatever was stored.
            if (std::string_view(v->name) == "AN_NUM" && (wrote < 0 || wrote >= kStepTables)) wrote = 0;
            if (std::string_view(v->name) == "MSN" && (wrote < 0 || wrote >= kMessageEntries)) wrote = 0;
            ASSERT_EQ(read, wrote) << v->name << " in round " << round;
        }
    }
}

TEST(Load, IntegerTextLongerThanAnyNumberTakesTheMissingDefault) {
    // Twelve bytes hold the widest number with its terminator; a longer text is no
    // number this store wrote.
    MemoryRegistry r = WithValues({{"LT_DIR", platform::kRegSz, Text("  1234567890123", 16)}});
    SceneSettings s = Fresh();
    LoadOrSaveSettings(s, r, 0);
    EXPECT_EQ(s.LT_DIR, 95);
    MemoryRegistry widest = WithValues({{"LT_DIR", platform::kRegSz, Text("-2147483648", 12)}});
    LoadOrSaveSettings(s, widest, 0);
    EXPECT_EQ(s.LT_DIR, INT32_MIN);
}
