// The step table editor's handlers, each in its order of effects.
#include "config/step_editor.h"

#include <algorithm>
#include <string>

#include "config/config_dialog.h"
#include "config/page_motion.h"
#include "engine/frame.h"
#include "platform/dialog/dialog.h"

namespace config {

using namespace platform;
using settings::SceneSettings;
using settings::StepRow;

namespace {

constexpr int kLastRow = settings::kStepRowsPerTable - 1;
constexpr int kLastTable = settings::kStepTables - 1;

int Table(const SceneSettings& s) { return std::clamp(s.AN_NUM, 0, kLastTable); }
int RowIndex(const SceneSettings& s) { return std::clamp(s.currentStepRow, 0, kLastRow); }

StepRow& RowAt(SceneSettings& s, int row) {
    return s.AN_VEC.Row(Table(s), std::clamp(row, 0, kLastRow));
}

std::int8_t Low8(std::int32_t v) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(v)); }

WindowHandle Dialog() { return TheConfigDialog().dialog; }
WindowHandle Page() { return TheConfigDialog().motionPage; }

void Enable(int id, bool on) { Dialogs().EnableControl(Dialog(), id, on); }
void EnableOnPage(int id, bool on) { Dialogs().EnableControl(Page(), id, on); }

std::uint32_t FramesBox() { return ReadUnsigned(Dialogs().GetText(Dialog(), kFramesEdit)); }
void ShowFrames(const StepRow& row) {
    Dialogs().SetText(Dialog(), kFramesEdit, std::to_string(static_cast<std::uint32_t>(row.frames)));
}

int LookAtBox() { return Dialogs().GetCheck(Page(), kLookAtCheck); }
void ShowLookAt(int value) { Dialogs().SetCheck(Page(), kLookAtCheck, value == 1 ? 1 : 0); }

// A row moved within its table keeps its own lookAt at its place: only these move.
void MoveRow(const StepRow& from, StepRow& to) {
    to.cameraX = from.cameraX, to.cameraY = from.cameraY, to.cameraZ = from.cameraZ;
    to.directionX = from.directionX, to.directionY = from.directionY, to.directionZ = from.directionZ;
    to.upX = from.upX, to.upY = from.upY, to.upZ = from.upZ;
    to.objectX = from.objectX, to.objectY = from.objectY, to.objectZ = from.objectZ;
    to.frames = from.frames;
    to.valid = from.valid;
}

void PutOrientation(const SceneSettings& s, StepRow& row) {
    row.directionX = Low8(s.directionHundredths[0]);
    row.directionY = Low8(s.directionHundredths[1]);
    row.directionZ = Low8(s.directionHundredths[2]);
    row.upX = Low8(s.upHundredths[0]);
    row.upY = Low8(s.upHundredths[1]);
    row.upZ = Low8(s.upHundredths[2]);
}

int Slider(int id) { return Dialogs().GetPosition(Page(), id); }

void RenderPreviewFrame() { engine::UpdateFrame(); }

void ShowRow() {
    SceneSettings& s = settings::Settings();
    engine::AppliedPlacement& applied = engine::TheAppliedPlacement();
    for (std::int32_t& o : applied.orientation) o = 0;
    RedrawRowNumber();
    const StepRow& row = CurrentStepRow(s);
    if (row.valid != 0) {
        s.CM_X = row.cameraX, s.CM_Y = row.cameraY, s.CM_Z = row.cameraZ;
        s.directionHundredths[0] = row.directionX;
        s.directionHundredths[1] = row.directionY;
        s.directionHundredths[2] = row.directionZ;
        s.upHundredths[0] = row.upX, s.upHundredths[1] = row.upY, s.upHundredths[2] = row.upZ;
        s.OJ_X = row.objectX, s.OJ_Y = row.objectY, s.OJ_Z = row.objectZ;
        SetPositionSliders(Page());
        ShowFrames(row);
    } else {
        s.CM_X = Slider(kCameraX), s.CM_Y = Slider(kCameraY), s.CM_Z = Slider(kCameraZ);
        s.OJ_X = Slider(kObjectX), s.OJ_Y = Slider(kObjectY), s.OJ_Z = Slider(kObjectZ);
        s.L_AT = LookAtBox();
        settings::RefreshHundredths(s);
    }
    SetOrientationSpins(Page());
    ShowOrientationValues(Page(), 0);
    for (int id : kOrientationSpins) EnableOnPage(id, s.L_AT == 0);
    RenderPreviewFrame();
}

void SwitchTable() {
    SceneSettings& s = settings::Settings();
    Enable(kForward, CurrentStepRow(s).valid != 0);
    Enable(kBack, false);
    StepRow& first = RowAt(s, 0);
    if (first.valid == 0) {
        // An empty table starts from what the camera and object show now; the row
        // stays out of the flight until SET takes it.
        s.L_AT = LookAtBox();
        if (Table(s) != 0) {
            first.cameraX = Low8(s.CM_X), first.cameraY = Low8(s.CM_Y), first.cameraZ = Low8(s.CM_Z);
            if (s.L_AT == 0) PutOrientation(s, first);
            first.objectX = Low8(s.OJ_X), first.objectY = Low8(s.OJ_Y), first.objectZ = Low8(s.OJ_Z);
            first.frames = static_cast<std::int32_t>(FramesBox());
            first.lookAt = static_cast<std::uint8_t>(s.L_AT);
        }
        s.currentStepRow = 0;
    } else {
        engine::AppliedPlacement& applied = engine::TheAppliedPlacement();
        for (int i = 0; i < 3; ++i) applied.camera[i] = applied.object[i] = 0;
        s.CM_X = first.cameraX, s.CM_Y = first.cameraY, s.CM_Z = first.cameraZ;
        s.OJ_X = first.objectX, s.OJ_Y = first.objectY, s.OJ_Z = first.objectZ;
        SetPositionSliders(Page());
        ShowLookAt(s.L_AT);
    }
    RedrawTableNumber();
    RedrawRowNumber();
    RenderPreviewFrame();
}

void OnSet() {
    SceneSettings& s = settings::Settings();
    if (Table(s) == 0) return;  // the built-in flight
    s.L_AT = LookAtBox();
    StepRow& row = CurrentStepRow(s);
    row.cameraX = Low8(s.CM_X), row.cameraY = Low8(s.CM_Y), row.cameraZ = Low8(s.CM_Z);
    PutOrientation(s, row);
    row.objectX = Low8(s.OJ_X), row.objectY = Low8(s.OJ_Y), row.objectZ = Low8(s.OJ_Z);
    row.frames = static_cast<std::int32_t>(FramesBox());
    row.lookAt = static_cast<std::uint8_t>(s.L_AT);
    row.valid = 1;
    // On the last row SET stores it and stays there.
    s.currentStepRow = std::min(RowIndex(s) + 1, kLastRow);
    Enable(kBack, true);
    if (s.currentStepRow == kLastRow) Enable(kForward, false);
    RedrawRowNumber();
}

void OnBack() {
    SceneSettings& s = settings::Settings();
    s.currentStepRow = std::max(RowIndex(s) - 1, 0);
    Enable(kForward, true);
    if (s.currentStepRow == 0) Enable(kBack, false);
    s.L_AT = CurrentStepRow(s).lookAt;
    ShowLookAt(s.L_AT);
    Enable(kForward, s.currentStepRow < kLastRow && RowAt(s, s.currentStepRow + 1).valid != 0);
    ShowRow();
}

void OnForward() {
    SceneSettings& s = settings::Settings();
    s.currentStepRow = std::min(RowIndex(s) + 1, kLastRow);
    Enable(kBack, true);
    if (s.currentStepRow == kLastRow || RowAt(s, s.currentStepRow + 1).valid == 0) {
        Enable(kForward, false);
    }
    const StepRow& row = CurrentStepRow(s);
    const bool noOrientation = row.directionX == 0 && row.directionY == 0 && row.directionZ == 0 &&
                               row.upX == 0 && row.upY == 0 && row.upZ == 0;
    s.L_AT = noOrientation ? RowAt(s, s.currentStepRow - 1).lookAt : row.lookAt;
    ShowLookAt(row.lookAt);
    ShowRow();
}

void OnDelete() {
    SceneSettings& s = settings::Settings();
    if (Table(s) == 0) return;
    int r = RowIndex(s);
    while (r < kLastRow && RowAt(s, r).valid != 0) {
        MoveRow(RowAt(s, r + 1), RowAt(s, r));
        ++r;
    }
    RowAt(s, r).valid = 0;
}

void OnInsert() {
    SceneSettings& s = settings::Settings();
    if (Table(s) == 0) return;
    const int current = RowIndex(s);
    for (int r = kLastRow; r > current; --r) MoveRow(RowAt(s, r - 1), RowAt(s, r));
    s.L_AT = LookAtBox();
    StepRow& row = RowAt(s, current);
    row.cameraX = Low8(Slider(kCameraX)), row.cameraY = Low8(Slider(kCameraY)),
    row.cameraZ = Low8(Slider(kCameraZ));
    PutOrientation(s, row);
    row.objectX = Low8(Slider(kObjectX)), row.objectY = Low8(Slider(kObjectY)),
    row.objectZ = Low8(Slider(kObjectZ));
    row.frames = static_cast<std::int32_t>(FramesBox());
    row.lookAt = static_cast<std::uint8_t>(s.L_AT);
    row.valid = 1;
}

void OnNextTable() {
    SceneSettings& s = settings::Settings();
    s.currentStepRow = 0;
    s.AN_NUM = Table(s) + 1;
    for (int id : {kSet, kInsert, kDelete, kFramesEdit}) Enable(id, s.ANIME != 1);
    Enable(kPreviousTable, true);
    if (s.AN_NUM >= kLastTable) {
        s.AN_NUM = kLastTable;
        Enable(kNextTable, false);
    }
    SwitchTable();
}

void OnPreviousTable() {
    SceneSettings& s = settings::Settings();
    Enable(kNextTable, true);
    s.currentStepRow = 0;
    s.AN_NUM = Table(s) - 1;
    for (int id : {kInsert, kDelete, kFramesEdit}) Enable(id, s.ANIME != 1 && s.AN_NUM != 0);
    if (s.AN_NUM <= 0) {
        s.AN_NUM = 0;
        for (int id : {kSet, kPreviousTable, kInsert, kDelete}) Enable(id, false);
    }
    SwitchTable();
}

void OnAnime() {
    SceneSettings& s = settings::Settings();
    s.ANIME = s.ANIME == 1 ? 0 : 1;
    Dialogs().SetCheck(Dialog(), kAnimeCheck, s.ANIME);
    engine::PathPlayer& player = engine::ThePathPlayer();
    player.rowIndex = 0;
    player.framesLeft = 0;
    s.currentStepRow = 0;
    s.L_AT = RowAt(s, 0).lookAt;
    ShowLookAt(s.L_AT);
    if (s.ANIME == 1) {
        for (int id : kPositionSliders) EnableOnPage(id, false);
        for (int id : kOrientationSpins) EnableOnPage(id, false);
        EnableOnPage(kLookAtCheck, false);
        for (int id : {kSet, kBack, kInsert, kDelete, kFramesEdit, kNextTable, kPreviousTable,
                       kSave, kLoad}) {
            Enable(id, false);
        }
    } else {
        for (int id : kPositionSliders) EnableOnPage(id, true);
        EnableOnPage(kLookAtCheck, true);
        for (int id : {kLoad, kSave, kNextTable}) Enable(id, true);
        Enable(kBack, false);
        for (int id : {kSet, kInsert, kDelete, kFramesEdit, kPreviousTable}) Enable(id, s.AN_NUM != 0);
        for (int id : kOrientationSpins) EnableOnPage(id, s.L_AT == 0);
        engine::ReadCameraOrientation(s);
        SetOrientationSpins(Page());
        ShowOrientationValues(Page(), 0);
        ShowFrames(CurrentStepRow(s));
        engine::AppliedPlacement& applied = engine::TheAppliedPlacement();
        for (int i = 0; i < 3; ++i) applied.camera[i] = applied.object[i] = 0;
    }
    SwitchTable();
}

}  // namespace

StepRow& CurrentStepRow(SceneSettings& s) { return s.AN_VEC.Row(Table(s), RowIndex(s)); }
const StepRow& CurrentStepRow(const SceneSettings& s) { return s.AN_VEC.Row(Table(s), RowIndex(s)); }

std::uint32_t ReadUnsigned(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const std::size_t start = i;
    std::uint64_t n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (n > 0xFFFFFFFFull) return 0;
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == start || i != text.size()) return 0;
    return static_cast<std::uint32_t>(n);
}

bool StepEditorCommand(int id, int) {
    switch (id) {
        case kSet: OnSet(); return true;
        case kBack: OnBack(); return true;
        case kForward: OnForward(); return true;
        case kDelete: OnDelete(); return true;
        case kInsert: OnInsert(); return true;
        case kNextTable: OnNextTable(); return true;
        case kPreviousTable: OnPreviousTable(); return true;
        case kAnimeCheck: OnAnime(); return true;
        default: return false;
    }
}

}  // namespace config
