// The camera, object and message page on the null backend: its controls at their
// places, what each one changes, the message entries with their fonts, the model
// chooser, and stored values outside the controls' ranges.
#include <cstddef>
#include <cstring>

#include "config/page_motion.h"
#include "config_test_util.h"
#include "engine/frame.h"

using namespace config;
using namespace config_test;
using namespace platform;

namespace {

class MotionPage : public DialogTest {
protected:
    settings::SceneSettings& S() { return settings::Settings(); }
    void Spin(int id, int position) {
        ui->SetPosition(page1, id, position);
        SendMessage(page1, WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, position), id);
    }
    void Slide(int id, int position) {
        ui->SetPosition(page1, id, position);
        SendMessage(page1, WM_HSCROLL, MakeWParam(TB_THUMBTRACK, position), id);
    }
    settings::LogFontA Font(const char* face, int height, int weight, bool italic) {
        settings::LogFontA f{};
        std::strcpy(f.faceName, face);
        f.height = height;
        f.weight = weight;
        f.italic = italic ? 1 : 0;
        return f;
    }
};

}  // namespace

TEST_F(MotionPage, ControlsStandAtTheirPlaces) {
    Open();
    const std::string p = H(page1);
    for (const char* line :
         {" 1005 trackbar 33,50,100,30", " 1034 trackbar 208,229,100,30", " 1035 updown 38,195,16,24",
          " 1042 updown 128,235,16,24", " 1055 updown 20,301,16,24", " 1057 updown 240,301,16,24",
          " 1041 check 40,150,16,16", " 1040 button 266,237,62,32", " 1052 button 275,293,65,32",
          " 1053 edit 35,301,200,24"}) {
        EXPECT_EQ(ui->Lines("Control " + p + line).size(), 1u) << line;
    }
    const auto* slider = ui->Find(page1, kCameraX);
    EXPECT_EQ(slider->minimum, -100);
    EXPECT_EQ(slider->maximum, 100);
    EXPECT_EQ(slider->tickFrequency, 10);
    EXPECT_EQ(slider->extraTick, 50);
    EXPECT_FALSE(ui->IsControlVisible(page1, kRotationZ));
    EXPECT_EQ(ui->Find(page1, kDirectionX)->maximum, 200);
    EXPECT_EQ(ui->Find(page1, kMessageSpin)->maximum, 5);
    EXPECT_EQ(ui->Find(page1, kSpeedSpin)->minimum, 1);
    EXPECT_EQ(ui->Find(page1, kSpeedSpin)->maximum, 20);
    EXPECT_EQ(ui->Find(page1, kMessageEdit)->textLimit, 254);
}

TEST_F(MotionPage, WithoutAMessageTheTextAndFontAreDisabled) {
    Open();
    EXPECT_FALSE(Enabled(page1, kMessageEdit));
    EXPECT_FALSE(Enabled(page1, kFontButton));
    EXPECT_EQ(ui->GetText(page1, kMessageEdit), "(No Message)");
    settings::CopyText(S().MSG.entries[3].text, sizeof S().MSG.entries[3].text, "third");
    Spin(kMessageSpin, 3);
    EXPECT_EQ(S().MSN, 3);
    EXPECT_TRUE(Enabled(page1, kMessageEdit));
    EXPECT_TRUE(Enabled(page1, kFontButton));
    EXPECT_EQ(ui->GetText(page1, kMessageEdit), "third");
    // Switching on keeps what was typed in the entry left.
    ui->SetText(page1, kMessageEdit, "edited");
    Spin(kMessageSpin, 0);
    EXPECT_STREQ(S().MSG.entries[3].text, "edited");
    EXPECT_FALSE(Enabled(page1, kMessageEdit));
}

TEST_F(MotionPage, TheNoMessageEntryIsInTheCodePagesLanguage) {
    settings::InitialiseSettings(S(), "/data/", 932);
    settings::LoadOrSaveSettings(0);
    Open();
    EXPECT_EQ(ui->GetText(page1, kMessageEdit), "(\xE3\x81\xAA\xE3\x81\x97)");  // (なし)
}

TEST_F(MotionPage, TheSpeedGivesThePreviewsScrollStep) {
    Open();
    Spin(kSpeedSpin, 8);
    EXPECT_EQ(settings::View().ScrollStep, 1);
    Spin(kSpeedSpin, 20);
    EXPECT_EQ(S().SPD, 20);
    EXPECT_EQ(settings::View().ScrollStep, 3);
    EXPECT_EQ(ui->Lines("Text " + H(page1) + " 258,304").back(),
              "Text " + H(page1) + " 258,304 '20' TimesNewRoman 000000");
}

TEST_F(MotionPage, ASliderSetsItsSettingAndRedrawsItsNumber) {
    Open();
    ui->ClearLog();
    Slide(kObjectY, -35);
    EXPECT_EQ(S().OJ_Y, -35);
    const std::string p = H(page1);
    EXPECT_EQ(ui->Lines("Fill " + p + " 308,92,36,22 c0c0c0").size(), 1u);
    EXPECT_EQ(ui->Lines("Text " + p + " 308,92 '-35' default").size(), 1u);
    // The orientation numbers are shown again as the camera has them.
    EXPECT_EQ(ui->Lines("Text " + p + " 56,199").size(), 1u);
}

TEST_F(MotionPage, TheCollectLeavesTheHiddenSpinAndOutOfRangeValuesAlone) {
    S().ROT_Z = 40;
    S().CM_X = 500;   // beyond what a slider shows
    S().OJ_Z = -120;
    S().MSN = 9;      // beyond the entries
    S().SPD = 0;
    Open();
    EXPECT_EQ(ui->GetPosition(page1, kCameraX), 100);
    EXPECT_EQ(ui->GetPosition(page1, kObjectZ), -100);
    EXPECT_EQ(ui->GetPosition(page1, kMessageSpin), 5);
    EXPECT_EQ(ui->GetPosition(page1, kSpeedSpin), 1);
    SendCommand(page1, IDOK);
    EXPECT_EQ(S().ROT_Z, 40);
    EXPECT_EQ(S().CM_X, 500);
    EXPECT_EQ(S().OJ_Z, -120);
    EXPECT_EQ(S().MSN, 9);
    EXPECT_EQ(S().SPD, 0);
    // Moved by the user, the value is the slider's.
    ui->SetPosition(page1, kCameraX, 60);
    SendCommand(page1, IDOK);
    EXPECT_EQ(S().CM_X, 60);
}

TEST_F(MotionPage, HundredthsOutsideTheirRangeShowTheNearestSpin) {
    S().L_AT = 0;
    S().directionHundredths[0] = 150;
    S().upHundredths[1] = -300;
    Open();
    EXPECT_EQ(ui->GetPosition(page1, kDirectionX), 200);
    EXPECT_EQ(ui->GetPosition(page1, kUpY), 0);
    EXPECT_EQ(S().directionHundredths[0], 150);
    Spin(kDirectionX, 180);
    EXPECT_EQ(S().directionHundredths[0], 80);
}

TEST_F(MotionPage, LookAtTurnsTheOrientationSpinsOnAndOff) {
    Open();
    EXPECT_EQ(S().L_AT, 1);
    for (int id : kOrientationSpins) EXPECT_FALSE(Enabled(page1, id));
    Click(page1, kLookAtCheck);
    EXPECT_EQ(S().L_AT, 0);
    EXPECT_EQ(ui->GetCheck(page1, kLookAtCheck), 0);
    for (int id : kOrientationSpins) EXPECT_TRUE(Enabled(page1, id));
    Spin(kUpY, 199);
    EXPECT_EQ(S().upHundredths[1], 99);
    Click(page1, kLookAtCheck);
    EXPECT_EQ(S().L_AT, 1);
    for (int id : kOrientationSpins) EXPECT_FALSE(Enabled(page1, id));
}

TEST_F(MotionPage, TheModelChooserOffersThePathAndRebuildsOnlyOnAChoice) {
    Open();
    const std::string before = S().X_NM;
    ui->fileAnswers.push_back(std::nullopt);  // cancelled
    ui->ClearLog();
    Click(page1, kModelButton);
    ASSERT_EQ(ui->filesAsked.size(), 1u);
    EXPECT_EQ(ui->filesAsked[0].title, "Open X file");
    EXPECT_EQ(ui->filesAsked[0].filterName, "X Format file (*.x)");
    EXPECT_EQ(ui->filesAsked[0].filterPattern, "*.x");
    // Offered before it: every form of model the saver reads.
    EXPECT_EQ(ui->filesAsked[0].firstFilterName, "3D models (*.x;*.gltf;*.glb;*.obj;*.stl)");
    EXPECT_EQ(ui->filesAsked[0].firstFilterPattern, "*.x;*.gltf;*.glb;*.obj;*.stl");
    EXPECT_EQ(ui->filesAsked[0].initialPath, "/data/multi.x");
    EXPECT_TRUE(ui->Lines("WaitCursor").empty());
    EXPECT_EQ(S().X_NM, before);

    // A path the code page cannot hold is refused, and the model stays.
    ui->fileAnswers.push_back("/models/\xE6\xA8\xA1\xE5\x9E\x8B.x");
    Click(page1, kModelButton);
    EXPECT_EQ(ui->messages.size(), 1u);
    EXPECT_EQ(S().X_NM, before);
    ui->fileAnswers.push_back("/models/" + std::string(260, 'm') + ".x");
    Click(page1, kModelButton);
    EXPECT_EQ(ui->messages.size(), 2u);
    EXPECT_EQ(S().X_NM, before);

    // A chosen model: stored in the code page, the scene made again under the wait cursor.
    engine::TheAppliedPlacement().camera[0] = 5;
    ui->fileAnswers.push_back("/models/mod\xC3\xA8le.x");
    Click(page1, kModelButton);
    EXPECT_STREQ(S().X_NM, "/models/mod\xE8le.x");
    EXPECT_LT(At("WaitCursor"), At("ArrowCursor"));
    EXPECT_EQ(engine::TheAppliedPlacement().camera[0], 0);
}

TEST_F(MotionPage, AChosenFontIsStoredAsTheEntrysLogFontAndComesBack) {
    S().MSN = 1;
    S().MSG.entries[1].font = Font("Liberation Sans", -20, 400, false);
    S().MSG.entries[1].textColor = 0x0000FF;
    Open();
    FontChoice answer;
    answer.font.face = "Liberation Serif";
    answer.font.height = -36;
    answer.font.weight = 700;
    answer.font.italic = true;
    answer.color = 0x00FF00;
    ui->fontAnswers.push_back(answer);
    Click(page1, kFontButton);
    // The chooser was offered the entry's own font and colour.
    ASSERT_EQ(ui->fontsAsked.size(), 1u);
    EXPECT_EQ(ui->fontsAsked[0].font.face, "Liberation Sans");
    EXPECT_EQ(ui->fontsAsked[0].font.height, -20);
    EXPECT_TRUE(ui->fontsAsked[0].offerFont);
    EXPECT_EQ(ui->fontsAsked[0].color, 0x0000FFu);
    const settings::LogFontA& f = S().MSG.entries[1].font;
    EXPECT_STREQ(f.faceName, "Liberation Serif");
    EXPECT_EQ(f.height, -36);
    EXPECT_EQ(f.weight, 700);
    EXPECT_EQ(f.italic, 1);
    EXPECT_EQ(S().MSG.entries[1].textColor, 0x00FF00u);
    // The preview's font is made anew, a fifth of the size; the edit box's at 14.
    ASSERT_TRUE(settings::View().fonts.PreviewMessageFont);
    EXPECT_EQ(settings::View().fonts.PreviewMessageFont->description().height, -6);
    EXPECT_EQ(ui->Find(page1, kMessageEdit)->font->height, 14);
    EXPECT_EQ(ui->Find(page1, kMessageEdit)->font->face, "Liberation Serif");

    // Through the store and back, the same bytes; and back to the chooser the same font.
    Click(dialog, kOk);
    settings::SceneSettings loaded{};
    settings::InitialiseSettings(loaded, "/data/", 1252);
    settings::LoadOrSaveSettings(loaded, registry, 0);
    EXPECT_EQ(std::memcmp(&loaded.MSG.entries[1].font, &f, sizeof f), 0);
    const FontChoice again = LogFontToFontChoice(loaded.MSG.entries[1].font, 0x00FF00, 1252);
    settings::LogFontA back{};
    ASSERT_TRUE(FontChoiceToLogFont(again, 1252, back));
    EXPECT_EQ(std::memcmp(&back, &f, sizeof f), 0);
}

TEST_F(MotionPage, AChooserThatGivesTheWholeLogFontHasItKeptByteForByte) {
    // A record with fields no font description carries (width, escapement, pitch,
    // precisions), as a Windows chooser works on it.
    settings::LogFontA stored = Font("Courier New", -17, 600, true);
    stored.width = 7;
    stored.escapement = stored.orientation = 900;
    stored.outPrecision = 7;
    stored.clipPrecision = 0x12;
    stored.quality = 4;
    stored.pitchAndFamily = 0x31;
    S().MSN = 3;
    S().MSG.entries[3].font = stored;
    Open();
    // The whole record goes to the chooser as it stands...
    FontChoice answer;
    answer.font.face = "Courier New";
    answer.color = 0x123456;
    settings::LogFontA given = stored;
    given.width = 0;
    given.pitchAndFamily = 0x22;
    std::memcpy(answer.logFont.data(), &given, sizeof given);
    answer.logFontChosen = true;
    ui->fontAnswers.push_back(answer);
    Click(page1, kFontButton);
    ASSERT_EQ(ui->fontsAsked.size(), 1u);
    EXPECT_TRUE(ui->fontsAsked[0].hasLogFont);
    EXPECT_FALSE(ui->fontsAsked[0].logFontChosen);
    EXPECT_EQ(std::memcmp(ui->fontsAsked[0].logFont.data(), &stored, sizeof stored), 0);
    // ...and the one it gives back is stored unchanged, not made anew from its description.
    EXPECT_EQ(std::memcmp(&S().MSG.entries[3].font, &given, sizeof given), 0);
    EXPECT_EQ(S().MSG.entries[3].textColor, 0x123456u);

    // Its face is stored in the settings' code page, the rest of the record kept;
    // stale bytes after the face's end are cleared.
    answer.font.face = "Caf\xC3\xA9";  // U+00E9: one byte in code page 1252
    std::memset(given.faceName, 'Z', sizeof given.faceName - 1);
    std::memcpy(answer.logFont.data(), &given, sizeof given);
    ui->fontAnswers.push_back(answer);
    Click(page1, kFontButton);
    const settings::LogFontA& f = S().MSG.entries[3].font;
    EXPECT_EQ(std::memcmp(f.faceName, "Caf\xE9\0\0\0", 8), 0);
    EXPECT_EQ(std::memcmp(&f, &given, offsetof(settings::LogFontA, faceName)), 0);
    // An entry without a face offers no record: the chooser starts from its default.
    EXPECT_FALSE(LogFontToFontChoice(settings::LogFontA{}, 0, 1252).hasLogFont);
}

TEST_F(MotionPage, AFontTheCodePageCannotNameIsRefused) {
    S().MSN = 2;
    S().MSG.entries[2].font = Font("Kept", -10, 0, false);
    Open();
    FontChoice answer;
    answer.font.face = "\xE6\x98\x8E\xE6\x9C\x9D";  // not in code page 1252
    answer.font.height = -30;
    ui->fontAnswers.push_back(answer);
    Click(page1, kFontButton);
    EXPECT_STREQ(S().MSG.entries[2].font.faceName, "Kept");
    EXPECT_EQ(ui->messages.size(), 1u);
    // A name longer than the LOGFONT holds is refused too; a cancelled choice changes
    // nothing, and the page still starts again.
    answer.font.face = std::string(40, 'F');
    ui->fontAnswers.push_back(answer);
    Click(page1, kFontButton);
    EXPECT_STREQ(S().MSG.entries[2].font.faceName, "Kept");
    ui->ClearLog();
    Click(page1, kFontButton);
    EXPECT_STREQ(S().MSG.entries[2].font.faceName, "Kept");
    EXPECT_FALSE(ui->Lines("Font " + H(page1) + " 1053").empty());
}

TEST_F(MotionPage, AnEntryWithoutAFontLeavesNoPreviewFontBehind) {
    S().MSN = 1;
    S().MSG.entries[1].font = Font("Liberation Sans", -40, 400, false);
    Open();
    ASSERT_TRUE(settings::View().fonts.PreviewMessageFont);
    Spin(kMessageSpin, 2);  // entry 2 has no font
    EXPECT_FALSE(settings::View().fonts.PreviewMessageFont);
    EXPECT_EQ(ui->Find(page1, kMessageEdit)->font->face, "TimesNewRoman");  // EditFont
}
