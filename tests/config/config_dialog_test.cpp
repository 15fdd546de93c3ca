// The configuration dialog on the null backend: its initialisation in order, the
// enabling of the flight's controls, its paint, the faces, the tabs, OK, Cancel,
// Help, Version, SAVE and LOAD, and what a store that cannot be read leads to.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/bitmap_face.h"
#include "config/page_motion.h"
#include "config/step_editor.h"
#include "config_test_util.h"
#include "platform/data_dir/data_dir.h"
#include "platform/dialog/dialog_null.h"
#include "platform/dialog/dialog_unavailable.h"
#include "platform/report/report.h"
#include "settings/step_file.h"
#include "tests/support/environment.h"
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

struct FlightState {
    int anime, table;
};

class Initialisation : public DialogTest, public ::testing::WithParamInterface<FlightState> {};

}  // namespace

TEST_F(DialogTest, InitialisationRunsItsStepsInOrder) {
    Open();
    const std::string d = H(dialog);
    // 1. Centred on the 1280 x 1024 screen.
    const std::size_t moved = At("MoveDialog " + d + " 348,287,585,450");
    // 2. The tabs, the pages (the first shown), the tab size set twice.
    const std::size_t tabs = At("Control " + d + " 1400 tabs 210,30,360,340");
    const std::size_t firstPage = At("CreateDialog " + H(page1) + " parent " + d);
    const std::size_t secondPage = At("CreateDialog " + H(page2) + " parent " + d);
    const std::size_t shown = At("ShowDialog " + H(page1) + " 1");
    const std::size_t hidden = At("ShowDialog " + H(page2) + " 0");
    // The pages are made from their own dialog templates.
    EXPECT_EQ(ui->dialogs[page1].templateId, 102);
    EXPECT_EQ(ui->dialogs[page2].templateId, 103);
    // 3. The controls; the preview area last.
    const std::size_t ok = At("Control " + d + " 1 button 20,410,79,32");
    const std::size_t preview = At("Control " + d + " 1206 native 30,50,152,112");
    // 4.-7. The row's frames, then the enabling; 8. the preview.
    const std::size_t frames = At("Text " + d + " 1037 '50'");
    const std::size_t forward = At("Enable " + d + " 1031 1");
    const std::size_t saver = At("CreateSaverWindow");
    const std::vector<std::size_t> order = {moved,  tabs,   firstPage, secondPage, shown, hidden,
                                            ok,     preview, frames,  forward,     saver};
    for (std::size_t i = 0; i < order.size(); ++i) {
        ASSERT_LT(order[i], ui->log.size()) << "step " << i << " missing";
        if (i > 0) {
            EXPECT_LT(order[i - 1], order[i]) << "step " << i;
        }
    }
    EXPECT_EQ(ui->Lines("Tabs " + d + " 1400 2 177x34").size(), 2u);
    // The pages place themselves below the tabs.
    EXPECT_EQ(ui->dialogs[page1].rect, (Rect{210, 64, 360, 340}));
    EXPECT_EQ(ui->dialogs[page2].rect, (Rect{210, 64, 360, 340}));
    // The preview area became the saver window's parent.
    EXPECT_EQ(settings::View().parentWindow, ui->NativeWindowId(dialog, kPreviewArea));
}

TEST_F(DialogTest, ADialogBiggerThanTheScreenStaysOnIt) {
    ui->screenWidth = 400;
    ui->screenHeight = 300;
    Open();
    EXPECT_EQ(ui->dialogs[dialog].rect, (Rect{0, 0, 585, 450}));
}

TEST_P(Initialisation, EnablesTheFlightsControlsByItsState) {
    settings::SceneSettings& s = settings::Settings();
    s.ANIME = GetParam().anime;
    s.AN_NUM = GetParam().table;
    Open();
    const bool still = s.ANIME != 1, editable = s.AN_NUM != 0;
    for (int id : {kSet, kInsert, kDelete, kFramesEdit}) EXPECT_EQ(Enabled(dialog, id), editable) << id;
    for (int id : {kSave, kLoad, kNextTable}) EXPECT_EQ(Enabled(dialog, id), still) << id;
    EXPECT_EQ(Enabled(dialog, kPreviousTable), still && editable);
    EXPECT_FALSE(Enabled(dialog, kBack));  // row 0
    // Row 0 of the built-in flight is valid; tables 1 to 4 start empty.
    EXPECT_EQ(Enabled(dialog, kForward), s.AN_NUM == 0);
    EXPECT_EQ(ui->GetCheck(dialog, kAnimeCheck), s.ANIME);
    EXPECT_EQ(ui->GetText(dialog, kFramesEdit), s.AN_NUM == 0 ? "50" : "0");
    // The first page: the flight places the camera while it plays.
    for (int id : kPositionSliders) EXPECT_EQ(Enabled(page1, id), still) << id;
    EXPECT_EQ(Enabled(page1, kLookAtCheck), still);
    EXPECT_TRUE(Enabled(page1, kRotationX));
}

INSTANTIATE_TEST_SUITE_P(AnimeAndTable, Initialisation,
                         ::testing::Values(FlightState{0, 0}, FlightState{0, 1}, FlightState{1, 0},
                                           FlightState{1, 1}));

TEST_F(DialogTest, AStoredTableOrRowOutOfRangeShowsTheNearestRow) {
    settings::SceneSettings& s = settings::Settings();
    s.AN_NUM = 77;
    s.currentStepRow = -5;
    s.AN_VEC.Row(4, 0).frames = 12;
    Open();
    EXPECT_EQ(ui->GetText(dialog, kFramesEdit), "12");
    EXPECT_EQ(&CurrentStepRow(s), &s.AN_VEC.Row(4, 0));
}

TEST_F(DialogTest, PaintDrawsTheBackgroundThenTheRowAndTableNumbers) {
    Open();
    settings::Settings().currentStepRow = 7;
    settings::Settings().AN_NUM = 3;
    ui->ClearLog();
    SendMessage(dialog, WM_PAINT, 0, 0);
    const std::string d = H(dialog);
    const std::vector<std::string> expected = {
        "Invalidate " + d,
        "BeginPaint " + d,
        "Picture " + d + " BKGND 0,0,580,445",
        "Text " + d + " 125,266 ' 7' TimesNewRoman 000000",
        "Text " + d + " 70,265 '3' TimesNewRoman 000000",
        "EndPaint " + d,
    };
    EXPECT_EQ(ui->log, expected);
    // Outside a paint a number is erased with grey first.
    ui->ClearLog();
    RedrawRowNumber();
    EXPECT_EQ(ui->Lines("Fill " + d), std::vector<std::string>{"Fill " + d + " 125,266,25,25 c0c0c0"});
    // A background that cannot be drawn beeps; the numbers are still drawn.
    ui->brokenPictures = {"BKGND"};
    ui->ClearLog();
    SendMessage(dialog, WM_PAINT, 0, 0);
    EXPECT_EQ(ui->Lines("Beep").size(), 1u);
    EXPECT_EQ(ui->Lines("Text " + d).size(), 2u);
}

TEST_F(DialogTest, FacesFollowTheItemStateAndTheCurrentTab) {
    Open();
    struct Case {
        std::uint32_t type;
        int id, item;
        std::uint32_t state;
        const char* face;
    };
    const Case cases[] = {
        {ODT_BUTTON, kSet, 0, 0, "SET_U"},
        {ODT_BUTTON, kSet, 0, ODS_SELECTED, "SET_D"},
        {ODT_BUTTON, kSet, 0, ODS_DISABLED, "SET_DI"},
        {ODT_BUTTON, kSet, 0, ODS_SELECTED | ODS_DISABLED, "SET_D"},
        {ODT_BUTTON, kOk, 0, ODS_FOCUS, "OK_2U"},
        {ODT_BUTTON, kForward, 0, ODS_DISABLED, "FW_DI"},
        {ODT_TAB, kTabControl, 0, ODS_SELECTED, "CAMERA_D"},
        {ODT_TAB, kTabControl, 1, 0, "REND_U"},
        {ODT_TAB, kTabControl, 1, ODS_DISABLED, "REND_U"},  // tabs have no disabled face
    };
    for (const Case& c : cases) {
        DrawItem item;
        item.ctlType = c.type;
        item.ctlId = c.id;
        item.itemId = c.item;
        item.itemState = c.state;
        item.item = Rect{0, 0, 120, 40};  // a control larger than its face
        item.target = ui->ItemTarget(dialog, c.id);
        ui->ClearLog();
        SendMessage(dialog, WM_DRAWITEM, static_cast<WPARAM>(c.id), reinterpret_cast<LPARAM>(&item));
        ASSERT_EQ(ui->log.size(), 1u) << c.face;
        EXPECT_EQ(ui->log[0], "Picture " + H(dialog) + ":" + std::to_string(c.id) + " " + c.face +
                                  " 0,0,120,40");
    }
    // A face that cannot be drawn: a grey button and a beep.
    ui->brokenPictures = {"SET_U"};
    DrawItem item;
    item.ctlId = kSet;
    item.item = Rect{0, 0, 52, 32};
    item.target = ui->ItemTarget(dialog, kSet);
    ui->ClearLog();
    SendMessage(dialog, WM_DRAWITEM, kSet, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(ui->Lines("Fill").size(), 1u);
    EXPECT_EQ(ui->beeps, 1);
}

TEST_F(DialogTest, EveryFaceTheDialogsNameExistsAtItsSize) {
    struct Face {
        const char* stem;
        int width, height;
        bool disabled;
    };
    const Face faces[] = {
        {"OK_2", 79, 32, true},     {"CANCEL_2", 82, 32, true}, {"HELP_", 62, 32, true},
        {"VERSION_", 82, 32, true}, {"SET_", 52, 32, true},     {"BK_", 35, 32, true},
        {"FW_", 35, 32, true},      {"DEL_", 52, 32, true},     {"INS_", 52, 32, true},
        {"UP_", 27, 20, true},      {"DN_", 27, 20, true},      {"SAVE_", 65, 32, true},
        {"LOAD_", 65, 32, true},    {"CAMERA_", 177, 35, false}, {"REND_", 177, 35, false},
        {"XFILE_", 62, 32, true},   {"FONT_", 65, 32, true},    {"MIDI_", 62, 32, true},
        {"TEXT_", 82, 32, true},    {"COLOR_", 62, 32, true},   {"IMAGE_", 62, 32, true},
    };
    for (const Face& f : faces) {
        for (std::string suffix : {"U", "D", "DI"}) {
            if (suffix == "DI" && !f.disabled) continue;
            const std::string name = std::string(f.stem) + suffix;
            EXPECT_EQ(BitmapSize(name.c_str()), (Rect{0, 0, f.width, f.height})) << name;
        }
    }
    EXPECT_EQ(BitmapSize("BKGND"), (Rect{0, 0, 580, 445}));
    EXPECT_EQ(BitmapSize("BKGND1"), (Rect{0, 0, 360, 340}));
    EXPECT_EQ(BitmapSize("BKGND2"), (Rect{0, 0, 360, 340}));
}

TEST_F(DialogTest, TheTabsShowOnePageAtATime) {
    Open();
    auto change = [&](int tab) {
        ui->SetPosition(dialog, kTabControl, tab);
        NotifyHeader header{dialog, kTabControl, TCN_SELCHANGE};
        SendMessage(dialog, WM_NOTIFY, kTabControl, reinterpret_cast<LPARAM>(&header));
    };
    EXPECT_TRUE(ui->dialogs[page1].visible);
    EXPECT_FALSE(ui->dialogs[page2].visible);
    change(1);
    EXPECT_FALSE(ui->dialogs[page1].visible);
    EXPECT_TRUE(ui->dialogs[page2].visible);
    change(0);
    EXPECT_TRUE(ui->dialogs[page1].visible);
    EXPECT_FALSE(ui->dialogs[page2].visible);
    // Other notifications change nothing.
    ui->SetPosition(dialog, kTabControl, 1);
    NotifyHeader other{dialog, kTabControl, -2};
    SendMessage(dialog, WM_NOTIFY, kTabControl, reinterpret_cast<LPARAM>(&other));
    EXPECT_TRUE(ui->dialogs[page1].visible);
}

TEST_F(DialogTest, OkTakesThePagesTheFlightSwitchAndTheMessageThenSaves) {
    settings::SceneSettings& s = settings::Settings();
    s.MSN = 2;
    Open();
    ui->SetText(page1, kMessageEdit, "Hello there");
    ui->SetPosition(page1, kCameraX, 44);
    ui->SetCheck(dialog, kAnimeCheck, 1);
    Click(dialog, kOk);
    EXPECT_EQ(s.CM_X, 44);
    EXPECT_EQ(s.ANIME, 1);
    EXPECT_STREQ(s.MSG.entries[2].text, "Hello there");
    EXPECT_EQ(Stored(registry, "CM_X"), std::string("    44") + '\0');
    EXPECT_EQ(Stored(registry, "ANIME"), std::string("     1") + '\0');
    EXPECT_EQ(Stored(registry, "MSG").substr(640, 11), "Hello there");
    EXPECT_EQ(ui->Lines("EndModal " + H(dialog)).size(), 1u);
}

TEST_F(DialogTest, AMessageTheCodePageCannotHoldIsNeverStoredAsSomethingElse) {
    settings::SceneSettings& s = settings::Settings();
    s.MSN = 1;
    settings::CopyText(s.MSG.entries[1].text, sizeof s.MSG.entries[1].text, "kept");
    Open();
    ui->SetText(page1, kMessageEdit, "\xE6\x97\xA5");  // not in code page 1252
    Click(dialog, kOk);
    EXPECT_STREQ(s.MSG.entries[1].text, "kept");
    // Typing it is refused at once; what fits is taken.
    auto* edit = ui->Find(page1, kMessageEdit);
    ui->SetText(page1, kMessageEdit, "");
    EXPECT_FALSE(edit->filter("\xE6\x97\xA5"));
    EXPECT_TRUE(edit->filter("caf\xC3\xA9"));  // é is in 1252
    ui->SetText(page1, kMessageEdit, std::string(254, 'a'));
    EXPECT_FALSE(edit->filter("b"));
}

TEST(HelpPage, IsNamedByTheCodePage) {
    EXPECT_EQ(HelpPageName(932), "KP4VN_1J.html");
    EXPECT_EQ(HelpPageName(1252), "KP4VN_1E.html");
}

TEST_F(DialogTest, VersionShowsTheAboutBoxOverTheDialog) {
    Open();
    Click(dialog, kVersion);
    EXPECT_EQ(ui->Lines("About ").back(), "About " + H(dialog));
}

TEST_F(DialogTest, SaveAndLoadKeepTheTablesWholeOrSayWhy) {
    TempFolder dir;
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    settings::SceneSettings& s = settings::Settings();
    Open();

    // LOAD without a file: a message, the tables as they were.
    const settings::StepTable before = s.AN_VEC;
    Click(dialog, kLoad);
    ASSERT_EQ(ui->messages.size(), 1u);
    EXPECT_NE(ui->messages[0].find("KP4VN_01.CSV"), std::string::npos);
    EXPECT_EQ(std::memcmp(&before, &s.AN_VEC, sizeof before), 0);

    // SAVE, then a LOAD of that file gives the same tables.
    s.AN_VEC.Row(2, 5).valid = 1;
    s.AN_VEC.Row(2, 5).frames = 123456;
    Click(dialog, kSave);
    EXPECT_EQ(ui->messages.size(), 1u);
    s.AN_VEC.Row(2, 5).frames = 1;
    Click(dialog, kLoad);
    EXPECT_EQ(s.AN_VEC.Row(2, 5).frames, 123456);
    EXPECT_EQ(ui->messages.size(), 1u);

    // A file cut short is not taken at all.
    const std::string whole = ReadFile(settings::kStepTableFileName);
    std::ofstream(settings::kStepTableFileName, std::ios::binary) << whole.substr(0, whole.size() / 2);
    s.AN_VEC.Row(0, 1).frames = 999;
    const settings::StepTable edited = s.AN_VEC;
    Click(dialog, kLoad);
    EXPECT_EQ(std::memcmp(&edited, &s.AN_VEC, sizeof edited), 0);
    ASSERT_EQ(ui->messages.size(), 2u);
    EXPECT_NE(ui->messages[1].find("ends after"), std::string::npos);

    // SAVE where the file cannot be made: a message with the reason.
    std::filesystem::remove(settings::kStepTableFileName);
    std::filesystem::create_directory(settings::kStepTableFileName);
    Click(dialog, kSave);
    ASSERT_EQ(ui->messages.size(), 3u);
    EXPECT_NE(ui->messages[2].find("KP4VN_01.CSV"), std::string::npos);
    EXPECT_NE(ui->messages[2].find(": "), std::string::npos);

    std::filesystem::current_path(cwd);
}

TEST_F(DialogTest, DestructionTakesThePagesWithIt) {
    Open();
    DestroyWindow(dialog);
    EXPECT_TRUE(ui->dialogs.empty());
    EXPECT_FALSE(IsWindow(page1));
    EXPECT_FALSE(IsWindow(page2));
    EXPECT_EQ(TheConfigDialog().dialog, 0u);
}

namespace {

std::vector<std::string>* reportedLines = nullptr;
void KeepReportedLine(std::string_view line) { reportedLines->emplace_back(line); }

}  // namespace

// Where the system has no dialogs (yet), the configuration mode tells the user so in a
// box and ends well; where a display cannot be opened, it fails with its reason.
TEST(ConfigDialogAbsent, AKnownAbsenceIsToldAndIsNoFailureAMissingDisplayIsOne) {
    std::vector<std::string> lines;
    reportedLines = &lines;
    const platform::ReportSink before = platform::SetReportSink(KeepReportedLine);
    ScopedEnvironment noBoxes("ORBSAVER_NO_MESSAGE_BOXES", "1");

    platform::SetDialogBackend(platform::CreateUnavailableDialogBackend("no dialogs on this system"));
    EXPECT_EQ(config::RunConfigDialog(), 0);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "orbsaver: no dialogs on this system");

    class NoDisplay : public platform::NullDialogBackend {
        bool Available() override { return false; }
    };
    lines.clear();
    platform::SetDialogBackend(std::make_unique<NoDisplay>());
    EXPECT_EQ(config::RunConfigDialog(), 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "orbsaver: the configuration dialog needs a display, and none can be opened");

    platform::SetDialogBackend(std::make_unique<platform::NullDialogBackend>());
    platform::SetReportSink(before);
    reportedLines = nullptr;
}
