// The step table editor on the null backend: which controls are enabled in each
// state, and what SET, BACK, FORWARD, INSERT, DELETE, ^, v and the flight switch do
// to the tables, the settings and the numbers on the dialog.
#include <cstring>

#include "config/page_motion.h"
#include "config/step_editor.h"
#include "config_test_util.h"
#include "flight_enabling.h"
#include "engine/frame.h"

using namespace config;
using namespace config_test;
using namespace platform;
using settings::StepRow;

namespace {

class StepEditor : public DialogTest {
protected:
    settings::SceneSettings& S() { return settings::Settings(); }
    StepRow& Row(int table, int row) { return S().AN_VEC.Row(table, row); }
    void Press(int id) { Click(dialog, id); }
    // Fills rows 0 .. count-1 of a table with distinct valid rows.
    void Fill(int table, int count) {
        for (int r = 0; r < count; ++r) {
            StepRow& row = Row(table, r);
            row = StepRow{};
            row.cameraX = static_cast<std::int8_t>(r + 1);
            row.objectZ = static_cast<std::int8_t>(-r - 1);
            row.frames = 10 * (r + 1);
            row.lookAt = static_cast<std::uint8_t>(r % 2);
            row.valid = 1;
        }
    }
    // The enabling of the flight's controls, as one text to compare.
    std::string Enabling() {
        return FlightEnabling([this](int id) { return Enabled(dialog, id); });
    }
};

}  // namespace

TEST_F(StepEditor, EnablingFollowsTheFlightAndTheTable) {
    Open();
    // Columns: SET INSERT DELETE frames ^ v SAVE LOAD BACK FORWARD.
    EXPECT_EQ(Enabling(), "0000101101");  // table 0 shown, nothing playing
    Press(kNextTable);
    EXPECT_EQ(Enabling(), "1111111100");  // table 1 is empty: no next row yet
    Press(kAnimeCheck);
    EXPECT_EQ(Enabling(), "0000000000");  // playing: all but FORWARD's rule off
    for (int id : kPositionSliders) EXPECT_FALSE(Enabled(page1, id));
    EXPECT_FALSE(Enabled(page1, kLookAtCheck));
    Press(kAnimeCheck);
    EXPECT_EQ(Enabling(), "1111111100");
    for (int id : kPositionSliders) EXPECT_TRUE(Enabled(page1, id));
    Press(kPreviousTable);
    EXPECT_EQ(Enabling(), "0000101101");
}

TEST_F(StepEditor, UpFourTimesReachesTableFourAndStops) {
    Open();
    const std::string d = H(dialog);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Enabled(dialog, kNextTable)) << i;
        Press(kNextTable);
    }
    EXPECT_EQ(S().AN_NUM, 4);
    EXPECT_EQ(S().currentStepRow, 0);
    EXPECT_FALSE(Enabled(dialog, kNextTable));
    EXPECT_EQ(ui->Lines("Text " + d + " 70,265").back(), "Text " + d + " 70,265 '4' TimesNewRoman 000000");
    EXPECT_EQ(ui->Lines("Text " + d + " 125,266").back(),
              "Text " + d + " 125,266 ' 0' TimesNewRoman 000000");
    // Pressed once more (as a quick second click could), it stays at 4.
    Press(kNextTable);
    EXPECT_EQ(S().AN_NUM, 4);
    // Down to 0 and past it.
    for (int i = 0; i < 6; ++i) Press(kPreviousTable);
    EXPECT_EQ(S().AN_NUM, 0);
    EXPECT_FALSE(Enabled(dialog, kPreviousTable));
}

TEST_F(StepEditor, AnEmptyTableStartsFromTheViewButStaysOutOfTheFlight) {
    S().CM_X = 7, S().CM_Y = 8, S().CM_Z = -9, S().OJ_X = 3;
    Open();
    ui->SetText(dialog, kFramesEdit, "25");
    ui->SetCheck(page1, kLookAtCheck, 1);
    Press(kNextTable);
    const StepRow& first = Row(1, 0);
    EXPECT_EQ(first.cameraX, 7);
    EXPECT_EQ(first.cameraY, 8);
    EXPECT_EQ(first.cameraZ, -9);
    EXPECT_EQ(first.objectX, 3);
    EXPECT_EQ(first.frames, 25);
    EXPECT_EQ(first.lookAt, 1);
    EXPECT_EQ(first.valid, 0);
    EXPECT_FALSE(Enabled(dialog, kForward));
}

TEST_F(StepEditor, SetOnRowsZeroOneAndTwoMakesAThreeRowFlight) {
    Open();
    Press(kNextTable);
    for (int r = 0; r < 3; ++r) {
        ui->SetPosition(page1, kCameraX, 10 * r);
        SendMessage(page1, WM_HSCROLL, MakeWParam(TB_THUMBTRACK, 10 * r), kCameraX);
        ui->SetText(dialog, kFramesEdit, std::to_string(20 + r));
        Press(kSet);
    }
    EXPECT_EQ(S().currentStepRow, 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(Row(1, r).valid, 1) << r;
        EXPECT_EQ(Row(1, r).cameraX, 10 * r) << r;
        EXPECT_EQ(Row(1, r).frames, 20 + r) << r;
    }
    EXPECT_EQ(Row(1, 3).valid, 0);
    EXPECT_TRUE(Enabled(dialog, kBack));
    // A frames box that holds no number stores 0 frames.
    ui->SetText(dialog, kFramesEdit, "12 frames");
    Press(kSet);
    EXPECT_EQ(Row(1, 3).frames, 0);
}

TEST_F(StepEditor, SetOnTheLastRowStoresItAndStaysThere) {
    Open();
    Press(kNextTable);
    S().currentStepRow = 99;
    for (int i = 0; i < 3; ++i) Press(kSet);
    EXPECT_EQ(S().currentStepRow, 99);
    EXPECT_EQ(Row(1, 99).valid, 1);
    EXPECT_FALSE(Enabled(dialog, kForward));
}

TEST_F(StepEditor, DeleteMovesTheRowsUpAndLeavesEachLookAtInItsPlace) {
    Fill(2, 5);
    S().AN_NUM = 2;
    Open();
    S().currentStepRow = 1;
    const StepRow old[5] = {Row(2, 0), Row(2, 1), Row(2, 2), Row(2, 3), Row(2, 4)};
    Press(kDelete);
    EXPECT_EQ(S().currentStepRow, 1);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(Row(2, r).valid, 1) << r;
    EXPECT_EQ(Row(2, 4).valid, 0);
    EXPECT_EQ(Row(2, 0).cameraX, old[0].cameraX);
    for (int r = 1; r < 4; ++r) {
        EXPECT_EQ(Row(2, r).cameraX, old[r + 1].cameraX) << r;
        EXPECT_EQ(Row(2, r).frames, old[r + 1].frames) << r;
        EXPECT_EQ(Row(2, r).lookAt, old[r].lookAt) << r;  // each place keeps its own
    }
}

TEST_F(StepEditor, InsertOnRowZeroOfAFullTableLosesTheLastRow) {
    Fill(3, 100);
    S().AN_NUM = 3;
    Open();
    const StepRow old98 = Row(3, 98), old0 = Row(3, 0);
    ui->SetPosition(page1, kCameraX, -40);
    ui->SetPosition(page1, kObjectY, 55);
    ui->SetText(dialog, kFramesEdit, "77");
    ui->SetCheck(page1, kLookAtCheck, 0);
    S().currentStepRow = 0;
    Press(kInsert);
    EXPECT_EQ(S().currentStepRow, 0);
    EXPECT_EQ(Row(3, 0).cameraX, -40);
    EXPECT_EQ(Row(3, 0).objectY, 55);
    EXPECT_EQ(Row(3, 0).frames, 77);
    EXPECT_EQ(Row(3, 0).valid, 1);
    EXPECT_EQ(Row(3, 1).cameraX, old0.cameraX);
    EXPECT_EQ(Row(3, 99).cameraX, old98.cameraX);
    EXPECT_EQ(Row(3, 99).frames, old98.frames);
}

TEST_F(StepEditor, ForwardOntoARowWithoutOrientationTakesLookAtFromTheRowBefore) {
    Fill(1, 3);
    Row(1, 0).lookAt = 1;
    Row(1, 1).lookAt = 0;  // its direction and up are all 0
    Row(1, 2).directionZ = 50;
    Row(1, 2).lookAt = 0;
    S().AN_NUM = 1;
    Open();
    Press(kForward);
    EXPECT_EQ(S().currentStepRow, 1);
    EXPECT_EQ(S().L_AT, 1);                        // from row 0
    EXPECT_EQ(ui->GetCheck(page1, kLookAtCheck), 0);  // the row's own
    EXPECT_EQ(S().CM_X, Row(1, 1).cameraX);
    EXPECT_EQ(ui->GetPosition(page1, kCameraX), Row(1, 1).cameraX);
    EXPECT_EQ(ui->GetText(dialog, kFramesEdit), "20");
    Press(kForward);
    EXPECT_EQ(S().L_AT, 0);  // row 2 has an orientation: its own look-at
    EXPECT_EQ(S().directionHundredths[2], 50);
    EXPECT_EQ(ui->GetPosition(page1, kDirectionZ), 150);
    EXPECT_FALSE(Enabled(dialog, kForward));  // row 3 is not part of the flight
    Press(kBack);
    Press(kBack);
    EXPECT_EQ(S().currentStepRow, 0);
    EXPECT_FALSE(Enabled(dialog, kBack));
}

TEST_F(StepEditor, QuickClicksAtTheFirstAndLastRowsStayInTheTable) {
    Fill(4, 100);
    S().AN_NUM = 4;
    Open();
    for (int i = 0; i < 5; ++i) Press(kBack);
    EXPECT_EQ(S().currentStepRow, 0);
    for (int i = 0; i < 120; ++i) Press(kForward);
    EXPECT_EQ(S().currentStepRow, 99);
    for (int i = 0; i < 5; ++i) {
        Press(kInsert);
        Press(kDelete);
        Press(kSet);
    }
    EXPECT_EQ(S().currentStepRow, 99);
    EXPECT_EQ(Row(4, 99).valid, 1);  // SET took the last row again
}

TEST_F(StepEditor, TheBuiltInFlightCannotBeChanged) {
    Open();
    const settings::StepTable before = S().AN_VEC;
    // Even when pressed while they should be disabled.
    Press(kSet);
    Press(kInsert);
    Press(kDelete);
    EXPECT_EQ(std::memcmp(&before, &S().AN_VEC, sizeof before), 0);
    // An empty table 0 (a file loaded without it) is not filled on switching to it.
    for (int r = 0; r < 100; ++r) Row(0, r) = StepRow{};
    const settings::StepTable empty = S().AN_VEC;
    Press(kNextTable);
    Press(kPreviousTable);
    EXPECT_EQ(std::memcmp(&empty.rows[0], &S().AN_VEC.rows[0], sizeof(StepRow) * 100), 0);
}

TEST_F(StepEditor, TheFlightSwitchStartsPlaybackFromRowZero) {
    Fill(1, 3);
    S().AN_NUM = 1;
    Open();
    engine::ThePathPlayer().rowIndex = 2;
    engine::ThePathPlayer().framesLeft = 9;
    S().currentStepRow = 2;
    Press(kAnimeCheck);
    EXPECT_EQ(S().ANIME, 1);
    EXPECT_EQ(ui->GetCheck(dialog, kAnimeCheck), 1);
    EXPECT_EQ(engine::ThePathPlayer().rowIndex, 0);
    EXPECT_EQ(engine::ThePathPlayer().framesLeft, 0);
    EXPECT_EQ(S().currentStepRow, 0);
    EXPECT_EQ(S().L_AT, Row(1, 0).lookAt);
    // Off again: the manual camera takes row 0's place and the frames box row 0's frames.
    Press(kAnimeCheck);
    EXPECT_EQ(S().ANIME, 0);
    EXPECT_EQ(S().CM_X, Row(1, 0).cameraX);
    EXPECT_EQ(ui->GetText(dialog, kFramesEdit), "10");
}

TEST(FramesBox, ReadsUnsignedNumbersOnly) {
    EXPECT_EQ(ReadUnsigned("25"), 25u);
    EXPECT_EQ(ReadUnsigned("  7 "), 7u);
    EXPECT_EQ(ReadUnsigned("4294967295"), 4294967295u);
    EXPECT_EQ(ReadUnsigned("4294967296"), 0u);
    EXPECT_EQ(ReadUnsigned("-3"), 0u);
    EXPECT_EQ(ReadUnsigned("12x"), 0u);
    EXPECT_EQ(ReadUnsigned(""), 0u);
}
