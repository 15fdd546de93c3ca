// The step-table text file: its exact lines, both row layouts, the line windows and
// what the reader does with files that do not follow the format.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "settings/step_file.h"
#include "tests/support/temp_folder.h"

using namespace settings;

namespace {

StepTable BuiltIn() {
    StepTable t{};
    PutBuiltInFlight(t);
    return t;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            out.push_back(text.substr(pos));
            break;
        }
        out.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

// A file of the current layout with every row of every table as given.
std::string FileOf(const StepTable& t) { return FormatStepTableFile(t); }

// Every byte the file carries is the same in both tables: all but the reserved ones.
void ExpectSameButReserved(const StepTable& t, const StepTable& back) {
    for (int i = 0; i < kStepTables * kStepRowsPerTable; ++i) {
        StepRow a = t.rows[i], c = back.rows[i];
        std::memset(a.reserved, 0, 3);
        std::memset(c.reserved, 0, 3);
        ASSERT_EQ(std::memcmp(&a, &c, sizeof a), 0) << "row " << i;
    }
}

// The twelve one-byte fields of a row: camera, direction, up, object.
std::array<std::int8_t*, 12> ByteFields(StepRow& r) {
    return {&r.cameraX, &r.cameraY, &r.cameraZ, &r.directionX, &r.directionY, &r.directionZ,
            &r.upX,     &r.upY,     &r.upZ,     &r.objectX,    &r.objectY,    &r.objectZ};
}

}  // namespace

TEST(StepFileWrite, FiveSectionsOf101LinesWithCrLf) {
    const std::string text = FormatStepTableFile(BuiltIn());
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 505u);
    EXPECT_EQ(lines[0], "V14No. 0");
    EXPECT_EQ(lines[404], "V14No. 4");
    EXPECT_EQ(lines[1],
              "1,   0,  50, -80,   0,   0,   0,   0,   0,   0,   0,   0,   0,  50, 1");
    EXPECT_EQ(lines[1].size(), 69u);
    EXPECT_EQ(lines[100], "0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0, 0");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
}

TEST(StepFileRoundTrip, GivesBackEveryByteButTheReserved) {
    std::mt19937 rng(3);
    // Values as the dialog makes them, so that every row fits its 78 characters.
    StepTable t;
    auto small = [&] { return static_cast<std::int8_t>(static_cast<int>(rng() % 199) - 99); };
    for (StepRow& row : t.rows) {
        row.cameraX = small(); row.cameraY = small(); row.cameraZ = small();
        row.directionX = small(); row.directionY = small(); row.directionZ = small();
        row.upX = small(); row.upY = small(); row.upZ = small();
        row.objectX = small(); row.objectY = small(); row.objectZ = small();
        row.frames = static_cast<std::int32_t>(rng() % 1000);
        row.lookAt = static_cast<std::uint8_t>(rng() % 2);
        row.valid = static_cast<std::int32_t>(rng() % 2);
        for (auto& r : row.reserved) r = static_cast<std::uint8_t>(rng());
    }
    StepTable back{};
    ParseStepTableFile(FormatStepTableFile(t), back);
    ExpectSameButReserved(t, back);
}

TEST(StepFileRead, OlderSectionsHaveNineValuesAndKeepDirectionAndUp) {
    StepTable t{};
    t.Row(1, 0).directionX = 11;
    t.Row(1, 0).upZ = -12;
    std::string text = "V14No. 0\r\n";
    for (int r = 0; r < 100; ++r) text += "1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 1\r\n";
    text += "No. 1\r\n";
    for (int r = 0; r < 100; ++r) text += "1, 21, 22, 23, 24, 25, 26, 27, 0\r\n";
    ParseStepTableFile(text, t);
    EXPECT_EQ(t.Row(0, 5).directionX, 4);
    EXPECT_EQ(t.Row(0, 5).objectZ, 12);
    EXPECT_EQ(t.Row(0, 5).frames, 13);
    const StepRow& old = t.Row(1, 0);
    EXPECT_EQ(old.cameraZ, 23);
    EXPECT_EQ(old.objectX, 24);
    EXPECT_EQ(old.objectZ, 26);
    EXPECT_EQ(old.frames, 27);
    EXPECT_EQ(old.lookAt, 0);
    EXPECT_EQ(old.directionX, 11);
    EXPECT_EQ(old.upZ, -12);
}

TEST(StepFileRead, OneByteFieldsKeepTheLow8BitsAndFramesAreWhole) {
    StepTable t{};
    std::string text = "V14No. 0\r\n200, 200, -129, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100000, 257\r\n";
    ParseStepTableFile(text, t);
    EXPECT_EQ(t.Row(0, 0).valid, 200);
    EXPECT_EQ(t.Row(0, 0).cameraX, -56);
    EXPECT_EQ(t.Row(0, 0).cameraY, 127);
    EXPECT_EQ(t.Row(0, 0).frames, 100000);
    EXPECT_EQ(t.Row(0, 0).lookAt, 1);
}

TEST(StepFileRead, FieldsSplitAtRunsOfSeparatorsAndNonNumbersReadZero) {
    StepTable t{};
    ParseStepTableFile("V14No. 0\r\n1,,,\t 5 , x7, 9\r\n", t);
    EXPECT_EQ(t.Row(0, 0).valid, 1);
    EXPECT_EQ(t.Row(0, 0).cameraX, 5);
    EXPECT_EQ(t.Row(0, 0).cameraY, 0);
    EXPECT_EQ(t.Row(0, 0).cameraZ, 9);
    // Fields the line lacks read as 0.
    EXPECT_EQ(t.Row(0, 0).frames, 0);
}

TEST(StepFileRead, BareLineFeedsAndBlankLinesAreAccepted) {
    StepTable expected = BuiltIn();
    std::string text = FileOf(expected);
    std::string lf;
    for (char c : text) {
        if (c != '\r') lf.push_back(c);
    }
    StepTable t{};
    ParseStepTableFile(lf, t);
    EXPECT_EQ(std::memcmp(&t, &expected, sizeof t), 0);

    // A blank line before a row is skipped as long as the row fits the window.
    StepTable u{};
    ParseStepTableFile("V14No. 0\r\n\r\n1, 1, 2\r\n", u);
    EXPECT_EQ(u.Row(0, 0).cameraY, 2);
}

TEST(StepFileRead, LinesLongerThanTheirWindowAreCutAndTheRestSkipped) {
    StepTable t{};
    std::string text = "V14No. 0 and a header far longer than its window\r\n";
    text += "1, 1, 2, 3" + std::string(200, ' ') + ", 99\r\n";  // row 0: cut inside
    text += "1, 4, 5, 6\r\n";                                      // row 1 follows as usual
    ParseStepTableFile(text, t);
    EXPECT_EQ(t.Row(0, 0).cameraZ, 3);
    EXPECT_EQ(t.Row(0, 0).directionX, 0);
    EXPECT_EQ(t.Row(0, 1).cameraX, 4);
    EXPECT_EQ(t.Row(0, 1).cameraZ, 6);
}

TEST(StepFileRead, AShortFileLeavesTheRowsItDoesNotReach) {
    StepTable t = BuiltIn();
    ParseStepTableFile("V14No. 0\r\n0, 9, 9, 9\r\n1, 8", t);
    EXPECT_EQ(t.Row(0, 0).valid, 0);
    EXPECT_EQ(t.Row(0, 1).cameraX, 8);  // a last line without its line break
    EXPECT_EQ(t.Row(0, 2).cameraY, 50);
    EXPECT_EQ(t.Row(0, 30).valid, 1);
}

TEST(StepFileRead, EmptyFileChangesNothing) {
    StepTable t = BuiltIn();
    const StepTable before = t;
    ParseStepTableFile("", t);
    EXPECT_EQ(std::memcmp(&t, &before, sizeof t), 0);
}

TEST(StepFileDisk, SaveThenLoadAndMissingFile) {
    const TempFolder dir;
    const std::string path = dir.File(kStepTableFileName);
    StepTable t = BuiltIn();
    t.Row(3, 7).frames = 12345;
    ASSERT_TRUE(SaveStepTableFile(t, path));
    StepTable back{};
    ASSERT_TRUE(LoadStepTableFile(back, path));
    EXPECT_EQ(back.Row(3, 7).frames, 12345);
    EXPECT_EQ(back.Row(0, 30).valid, 1);

    StepTable untouched = BuiltIn();
    EXPECT_FALSE(LoadStepTableFile(untouched, dir.File("absent.csv")));
    EXPECT_EQ(untouched.Row(0, 0).cameraZ, -80);
    EXPECT_FALSE(SaveStepTableFile(t, dir.File("no/such/dir/x.csv")));
}

// Every value a row can hold, not only what the dialog makes: the widest row the
// writer makes (101 characters) reads back whole.
TEST(StepFileRoundTrip, GivesBackEveryValueOverTheFullRanges) {
    std::mt19937 rng(5);
    StepTable t;
    auto any8 = [&] { return static_cast<std::int8_t>(static_cast<std::uint8_t>(rng())); };
    const std::int32_t extremes[] = {INT32_MIN, INT32_MAX, -1, 0, 100, -100000000};
    for (int i = 0; i < kStepTables * kStepRowsPerTable; ++i) {
        StepRow& row = t.rows[i];
        for (std::int8_t* b : ByteFields(row)) *b = any8();
        row.frames = i < 6 ? extremes[i] : static_cast<std::int32_t>(rng());
        row.valid = i < 6 ? extremes[5 - i] : static_cast<std::int32_t>(rng());
        row.lookAt = static_cast<std::uint8_t>(rng());
    }
    // The widest row of all.
    StepRow& widest = t.Row(4, 99);
    for (std::int8_t* b : ByteFields(widest)) *b = -128;
    widest.frames = INT32_MIN;
    widest.valid = INT32_MIN;
    widest.lookAt = 255;
    const std::string text = FormatStepTableFile(t);
    std::size_t longest = 0;
    for (const std::string& line : Lines(text)) longest = std::max(longest, line.size());
    EXPECT_EQ(longest, 101u);
    StepTable back{};
    ParseStepTableFile(text, back);
    ExpectSameButReserved(t, back);
}

// Twelve -100s and 100 frames make a row of 81 characters.
TEST(StepFileRead, ARowOfEightyOneCharactersKeepsItsLookAt) {
    StepTable t{};
    StepRow& row = t.Row(0, 0);
    for (std::int8_t* b : ByteFields(row)) *b = -100;
    row.frames = 100;
    row.lookAt = 1;
    row.valid = 1;
    const std::string text = FormatStepTableFile(t);
    EXPECT_EQ(Lines(text)[1].size(), 81u);
    StepTable back{};
    ParseStepTableFile(text, back);
    EXPECT_EQ(back.Row(0, 0).lookAt, 1);
    EXPECT_EQ(back.Row(0, 0).frames, 100);
    EXPECT_EQ(back.Row(0, 0).objectZ, -100);
}

// The user made the file read-only: a save must not replace it.
TEST(StepFileDisk, AReadOnlyFileIsNotReplaced) {
    const TempFolder dir;
    const std::string path = dir.File(kStepTableFileName);
    {
        std::ofstream out(path, std::ios::binary);
        out << "kept";
    }
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::string error;
    EXPECT_FALSE(SaveStepTableFile(BuiltIn(), path, &error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    {
        // Closed before the next save: Windows replaces no file that is open.
        std::ifstream in(path, std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content, "kept");
    }
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none);
    // Made writable again, it is replaced as usual.
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(SaveStepTableFile(BuiltIn(), path, &error)) << error;
    StepTable back{};
    ASSERT_TRUE(LoadStepTableFile(back, path));
    EXPECT_EQ(back.Row(0, 30).valid, 1);
}
