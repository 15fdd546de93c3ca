// The settings record: stored layouts byte for byte, the built-in flight, defaults
// and the hundredths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/scene_settings.h"
#include "settings/store.h"

using namespace settings;

namespace {

std::vector<std::uint8_t> BytesOf(const void* p, std::size_t n) {
    auto* b = static_cast<const std::uint8_t*>(p);
    return {b, b + n};
}

}  // namespace

TEST(StepRowLayout, FieldsSitAtTheirStoredOffsets) {
    StepRow row{};
    row.cameraX = 1;
    row.cameraY = 2;
    row.cameraZ = -3;
    row.directionX = 4;
    row.directionY = 5;
    row.directionZ = 6;
    row.upX = 7;
    row.upY = 8;
    row.upZ = 9;
    row.objectX = 10;
    row.objectY = 11;
    row.objectZ = 12;
    row.frames = 0x01020304;
    row.lookAt = 1;
    row.reserved[0] = 0xAA;
    row.reserved[1] = 0xBB;
    row.reserved[2] = 0xCC;
    row.valid = 1;
    const std::vector<std::uint8_t> expected = {1, 2, 0xFD, 4, 5, 6, 7, 8, 9, 10, 11, 12,
                                                4, 3, 2, 1, 1, 0xAA, 0xBB, 0xCC, 1, 0, 0, 0};
    EXPECT_EQ(BytesOf(&row, sizeof row), expected);
}

TEST(StepTableLayout, TableMajorRowsOf24Bytes) {
    StepTable table{};
    EXPECT_EQ(sizeof table, 12000u);
    table.Row(2, 3).valid = 7;
    std::int32_t valid;
    std::memcpy(&valid, reinterpret_cast<std::uint8_t*>(&table) + 2 * 2400 + 3 * 24 + 20, 4);
    EXPECT_EQ(valid, 7);
}

TEST(MessageTableLayout, EntriesOf320BytesWithLogFontAndColour) {
    MessageTable t{};
    EXPECT_EQ(sizeof t, 1920u);
    EXPECT_EQ(sizeof(LogFontA), 60u);
    MessageEntry& e = t.entries[1];
    e.font.height = -24;
    e.font.weight = 700;
    e.font.italic = 1;
    std::strcpy(e.font.faceName, "Arial");
    e.textColor = 0x00112233;
    const auto* base = reinterpret_cast<const std::uint8_t*>(&t) + 320;
    std::int32_t height, weight;
    std::memcpy(&height, base + 256, 4);
    std::memcpy(&weight, base + 256 + 16, 4);
    EXPECT_EQ(height, -24);
    EXPECT_EQ(weight, 700);
    EXPECT_EQ(base[256 + 20], 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + 256 + 28), "Arial");
    EXPECT_EQ(base[316], 0x33);  // red in the low byte
    EXPECT_EQ(base[317], 0x22);
    EXPECT_EQ(base[318], 0x11);
}

TEST(Initialise, TableZeroHoldsTheBuiltInFlightAndNothingElse) {
    SceneSettings s;
    std::memset(&s, 0x5A, sizeof s);
    InitialiseSettings(s, "/usr/share/orbsaver/", 1252);
    int valid = 0;
    while (valid < 100 && s.AN_VEC.Row(0, valid).valid == 1) ++valid;
    EXPECT_EQ(valid, 31);
    EXPECT_EQ(s.AN_VEC.Row(0, 31).valid, 0);
    for (int t = 1; t < kStepTables; ++t) {
        for (int r = 0; r < kStepRowsPerTable; ++r) EXPECT_EQ(s.AN_VEC.Row(t, r).valid, 0);
    }
    const StepRow& first = s.AN_VEC.Row(0, 0);
    EXPECT_EQ(first.cameraY, 50);
    EXPECT_EQ(first.cameraZ, -80);
    EXPECT_EQ(first.frames, 50);
    EXPECT_EQ(first.lookAt, 1);
    const StepRow& switchToFree = s.AN_VEC.Row(0, 18);
    EXPECT_EQ(switchToFree.lookAt, 0);
    EXPECT_EQ(switchToFree.cameraY, 56);
    const StepRow& last = s.AN_VEC.Row(0, 30);
    EXPECT_EQ(last.cameraX, 20);
    EXPECT_EQ(last.cameraY, 66);
    EXPECT_EQ(last.cameraZ, -60);
    EXPECT_EQ(last.frames, 20);
    EXPECT_EQ(s.keyboardCodePage, 1252);
    EXPECT_EQ(s.ROT_Y, 0);  // only the store gives values
    EXPECT_STREQ(s.windowsDirectory, "/usr/share/orbsaver/");
}

TEST(FirstRunDefaults, PathsJoinTheDataDirectoryOnceAndMessageZeroIsNamed) {
    SceneSettings s;
    InitialiseSettings(s, "/usr/share/orbsaver/", 1252);
    ApplyFirstRunDefaults(s);
    EXPECT_STREQ(s.X_NM, "/usr/share/orbsaver/multi.x");
    EXPECT_STREQ(s.TEX_NM, "/usr/share/orbsaver/win95.ppm");
    EXPECT_STREQ(s.MSG.entries[0].text, "(No Message)");
    EXPECT_EQ(s.MSN, 0);
    EXPECT_EQ(s.SPD, 8);
    EXPECT_EQ(s.CM_Y, 30);
    EXPECT_EQ(s.CM_Z, -30);
    EXPECT_EQ(s.ROT_Y, 50);
    EXPECT_EQ(s.REN_Q, 137);
    EXPECT_EQ(s.LT_DIR, 95);
    EXPECT_EQ(s.LT_AMB, 20);

    SceneSettings j;
    InitialiseSettings(j, "/d/", 932);
    ApplyFirstRunDefaults(j);
    EXPECT_STREQ(j.MSG.entries[0].text, "(\x82\xc8\x82\xb5)");
}

TEST(FirstRunDefaults, TheLongestDataDirectoryStillGivesWholePaths) {
    SceneSettings s;
    const std::string dir(kDirectoryBufferSize - 1, 'd');
    InitialiseSettings(s, dir, 1252);
    ApplyFirstRunDefaults(s);
    EXPECT_EQ(std::strlen(s.X_NM), dir.size() + 7);
    EXPECT_EQ(std::strlen(s.TEX_NM), dir.size() + 9);
}

TEST(Hundredths, RoundHalfAwayFromZero) {
    EXPECT_EQ(ToHundredths(0.304f), 30);
    EXPECT_EQ(ToHundredths(0.306f), 31);
    EXPECT_EQ(ToHundredths(-0.306f), -31);
    EXPECT_EQ(ToHundredths(-0.304f), -30);
    EXPECT_EQ(ToHundredths(0.0f), 0);
    EXPECT_EQ(ToHundredths(1.0f), 100);
    EXPECT_EQ(ToHundredths(-1.0f), -100);
    EXPECT_EQ(ToHundredths(1e30f), INT32_MAX);
}

TEST(Hundredths, RefreshLeavesFloatsAloneAndRepeatsExactly) {
    SceneSettings s{};
    s.COZ[0] = 0.306f;
    s.COZ[2] = -0.995f;
    s.COY[1] = 1.0f;
    RefreshHundredths(s);
    EXPECT_EQ(s.directionHundredths[0], 31);
    EXPECT_EQ(s.directionHundredths[1], 0);
    EXPECT_EQ(s.directionHundredths[2], -100);
    EXPECT_EQ(s.upHundredths[1], 100);
    const SceneSettings before = s;
    RefreshHundredths(s);
    EXPECT_EQ(std::memcmp(&before, &s, sizeof s), 0);
    EXPECT_EQ(s.COZ[0], 0.306f);
}

TEST(Texts, TerminateOnlyWhatRunsOffItsBuffer) {
    SceneSettings s{};
    std::memset(s.X_NM, 'x', sizeof s.X_NM);
    std::strcpy(s.TEX_NM, "tex");
    s.TEX_NM[10] = 'z';  // bytes after the terminator stay
    std::memset(s.MSG.entries[3].font.faceName, 'f', 32);
    TerminateTexts(s);
    EXPECT_EQ(TextLength(s.X_NM, sizeof s.X_NM), sizeof s.X_NM - 1);
    EXPECT_EQ(s.TEX_NM[10], 'z');
    EXPECT_EQ(TextLength(s.MSG.entries[3].font.faceName, 32), 31u);
}

TEST(StoredPaths, TheConvertedNameComesFirstAndTheBytesSecond) {
    std::vector<std::string> tried;
    auto refuse = [&](const std::string& name) {
        tried.push_back(name);
        return false;
    };
    std::string shown;
    EXPECT_FALSE(OpenStoredPath("/m/mod\xE8le.x", 1252, refuse, &shown));
    ASSERT_EQ(tried.size(), 2u);
    EXPECT_EQ(tried[0], "/m/mod\xC3\xA8le.x");
    EXPECT_EQ(tried[1], "/m/mod\xE8le.x");
    EXPECT_EQ(shown, "/m/mod\xC3\xA8le.x");
    // ASCII converts to itself: one try.
    tried.clear();
    EXPECT_FALSE(OpenStoredPath("/m/multi.x", 932, refuse));
    EXPECT_EQ(tried.size(), 1u);
    // The first name that opens is the last one tried.
    tried.clear();
    EXPECT_TRUE(OpenStoredPath("/m/\x96\xCD\x8C\x5E.x", 932, [&](const std::string& name) {
        tried.push_back(name);
        return true;
    }));
    ASSERT_EQ(tried.size(), 1u);
    EXPECT_EQ(tried[0], "/m/\xE6\xA8\xA1\xE5\x9E\x8B.x");
}

TEST(StoredPaths, AUtf8PathIsStoredInTheCodePageWhenItFits) {
    EXPECT_EQ(ToStoredPath("/usr/share/orbsaver/", 1252), "/usr/share/orbsaver/");
    EXPECT_EQ(ToStoredPath("/d/caf\xC3\xA9/", 1252), "/d/caf\xE9/");
    EXPECT_EQ(ToStoredPath("/d/\xD0\x9C/", 1252), "/d/\xD0\x9C/");  // Cyrillic: kept as UTF-8
    EXPECT_EQ(ToStoredPath("/d/\xE6\xA8\xA1/", 932), "/d/\x96\xCD/");
}
