// The configuration dialog's procedure: its initialisation, painting, tabs, OK,
// Cancel, Help, Version, SAVE and LOAD, and its destruction.
#include "config/config_dialog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/bitmap_face.h"
#include "config/dialog_text.h"
#include "config/page_media.h"
#include "config/page_motion.h"
#include "platform/dialog/message_box.h"
#include "config/step_editor.h"
#include "engine/device.h"
#include "engine/scene.h"
#include "platform/audio/sequencer.h"
#include "platform/data_dir/data_dir.h"
#include "platform/registry/registry.h"
#include "platform/report/report.h"
#include "platform/text/text.h"
#include "settings/step_file.h"
#include "settings/store.h"
#include "settings/view_state.h"
#include "sound/sound.h"

namespace config {

using namespace platform;

namespace {

constexpr const char* kTitle = "orbsaver";

struct Placed {
    int id;
    ControlKind kind;
    Rect rect;
};

// The dialog's controls at their rectangles.
constexpr Placed kControls[] = {
    {kOk, ControlKind::kButton, {20, 410, 79, 32}},
    {kCancel, ControlKind::kButton, {105, 410, 82, 32}},
    {kVersion, ControlKind::kButton, {195, 410, 82, 32}},
    {kHelp, ControlKind::kButton, {285, 410, 62, 32}},
    {kAnimeCheck, ControlKind::kCheckBox, {35, 233, 16, 16}},
    {kNextTable, ControlKind::kButton, {35, 255, 27, 20}},
    {kPreviousTable, ControlKind::kButton, {35, 275, 27, 20}},
    {kBack, ControlKind::kButton, {85, 260, 35, 32}},
    {kForward, ControlKind::kButton, {150, 260, 35, 32}},
    {kFramesEdit, ControlKind::kEdit, {123, 298, 40, 20}},
    {kSet, ControlKind::kButton, {29, 326, 52, 32}},
    {kInsert, ControlKind::kButton, {81, 326, 52, 32}},
    {kDelete, ControlKind::kButton, {133, 326, 52, 32}},
    {kSave, ControlKind::kButton, {40, 363, 65, 32}},
    {kLoad, ControlKind::kButton, {110, 363, 65, 32}},
    {kPreviewArea, ControlKind::kNativeArea, {30, 50, 152, 112}},
};

constexpr FaceStem kFaces[] = {
    {kOk, "OK_2"},      {kCancel, "CANCEL_2"}, {kHelp, "HELP_"},   {kVersion, "VERSION_"},
    {kSet, "SET_"},     {kBack, "BK_"},        {kForward, "FW_"},  {kDelete, "DEL_"},
    {kInsert, "INS_"},  {kNextTable, "UP_"},   {kPreviousTable, "DN_"}, {kSave, "SAVE_"},
    {kLoad, "LOAD_"},
};
constexpr FaceStem kTabFaces[] = {{0, "CAMERA_", false}, {1, "REND_", false}};

// The numbers painted on the dialog and the rectangles that erase them.
constexpr int kTableNumberX = 70, kTableNumberY = 265;
constexpr int kRowNumberX = 125, kRowNumberY = 266;
constexpr Rect kTableNumberErase{70, 265, 15, 20};
constexpr Rect kRowNumberErase{125, 266, 25, 25};

const Font* PanelFont() { return settings::View().fonts.PanelFont.get(); }

std::string Format(const char* format, int n) {
    char text[32];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

void DrawNumbers(DrawTarget target) {
    const settings::SceneSettings& s = settings::Settings();
    Dialogs().DrawText(target, kRowNumberX, kRowNumberY, Format("%2d", s.currentStepRow),
                       PanelFont(), 0);
    Dialogs().DrawText(target, kTableNumberX, kTableNumberY, Format("%d", s.AN_NUM), PanelFont(),
                       0);
}

void RedrawNumber(const Rect& erase, int x, int y, const std::string& text) {
    const WindowHandle dialog = TheConfigDialog().dialog;
    if (!dialog) return;
    const DrawTarget target = Dialogs().GetDC(dialog);
    Dialogs().FillRect(target, erase, kLightGrey);
    Dialogs().DrawText(target, x, y, text, PanelFont(), 0);
    Dialogs().ReleaseDC(dialog, target);
}

// Makes the preview: the saver window in the preview area, the render device on it
// and the scene, then the timer whose ticks render it.
void StartPreview(ConfigDialogState& state) {
    if (!Services().createSaverWindow || !Services().createSaverWindow()) return;
    settings::ViewState& view = settings::View();
    state.SaverWindow = view.SaverWindow;
    engine::ReleaseRenderDevice();
    engine::ReleaseScene();
    engine::StartRenderDevice();
    engine::BuildScene();
    MeasurePreviewMessage();
    SetTimer(state.SaverWindow, kPreviewTimer, kPreviewTimerMilliseconds);
}

void OnInitDialog(WindowHandle dialog) {
    ConfigDialogState& state = TheConfigDialog();
    state.dialog = dialog;
    DialogBackend& d = Dialogs();
    settings::SceneSettings& s = settings::Settings();

    // 1. Centred on the screen, but never off its top left.
    int sw = 0, sh = 0;
    d.ScreenSize(&sw, &sh);
    const int x = sw / 2 - kDialogWidth / 2, y = sh / 2 - kDialogHeight / 2;
    d.MoveDialog(dialog, Rect{x < 0 ? 0 : x, y < 0 ? 0 : y, kDialogWidth, kDialogHeight});

    // 2. The tabs and the two pages behind them.
    d.CreateControl(dialog, kTabControl, ControlKind::kTabControl, kPageRect, 0);
    d.SetTabs(dialog, kTabControl, 2, kTabWidth, kTabHeight);
    state.motionPage = CreateDialogWindow(MotionPageProc, dialog, kPageRect,
                                          reinterpret_cast<LPARAM>(&kPageRect), kMotionPageTemplate);
    state.mediaPage = CreateDialogWindow(MediaPageProc, dialog, kPageRect,
                                         reinterpret_cast<LPARAM>(&kPageRect), kMediaPageTemplate);
    d.ShowDialog(state.motionPage, true);
    d.ShowDialog(state.mediaPage, false);
    d.SetTabs(dialog, kTabControl, 2, kTabWidth, kTabHeight);

    // 3. The controls at their places; the preview area becomes the saver window's parent.
    for (const Placed& p : kControls) d.CreateControl(dialog, p.id, p.kind, p.rect, 0);
    settings::View().parentWindow = d.NativeWindowId(dialog, kPreviewArea);
    settings::View().windowPixelScale = d.PixelScale();

    // 4. The current row's frames, BACK at row 0, and the animation switch.
    const settings::StepRow& row = CurrentStepRow(s);
    d.SetText(dialog, kFramesEdit, std::to_string(static_cast<std::uint32_t>(row.frames)));
    if (s.currentStepRow == 0) d.EnableControl(dialog, kBack, false);
    d.SetCheck(dialog, kAnimeCheck, s.ANIME == 1 ? 1 : 0);
    // 5. The table and its file while the flight is not playing.
    const bool still = s.ANIME != 1;
    for (int id : {kSave, kLoad, kNextTable, kPreviousTable}) d.EnableControl(dialog, id, still);
    // 6. The built-in table 0 cannot be changed.
    const bool editable = s.AN_NUM != 0;
    for (int id : {kSet, kInsert, kDelete, kFramesEdit}) d.EnableControl(dialog, id, editable);
    if (!editable) d.EnableControl(dialog, kPreviousTable, false);
    // 7. FORWARD while the current row is part of the flight.
    d.EnableControl(dialog, kForward, row.valid == 1);
    // 8. The live preview.
    StartPreview(state);
}

void OnTabChange(const NotifyHeader& header) {
    if (header.code != TCN_SELCHANGE || header.idFrom != kTabControl) return;
    ConfigDialogState& state = TheConfigDialog();
    const int tab = Dialogs().GetPosition(state.dialog, kTabControl);
    if (tab == 0) {
        Dialogs().ShowDialog(state.motionPage, true);
        Dialogs().ShowDialog(state.mediaPage, false);
    } else if (tab == 1) {
        Dialogs().ShowDialog(state.motionPage, false);
        Dialogs().ShowDialog(state.mediaPage, true);
    }
}

// A store that exists but cannot be read is never written over: it is kept under a
// free name beside it, and the key is made anew, so that OK writes what the dialog
// shows (not the defaults of a first run). False when it cannot be moved.
bool SetUnreadableStoreAside(std::string* keptAs, std::string* problem) {
    if (!UserRegistry().SetAsideIfUnreadable(keptAs, problem)) return false;
    if (keptAs->empty()) return true;
    KeyDisposition disposition;
    if (auto key = UserRegistry().CreateKey(settings::kSettingsKey, &disposition)) key->Close();
    return true;
}

void OnOk(WindowHandle dialog) {
    ConfigDialogState& state = TheConfigDialog();
    settings::SceneSettings& s = settings::Settings();
    SendCommand(state.motionPage, IDOK);
    SendCommand(state.mediaPage, IDOK);
    s.ANIME = Dialogs().GetCheck(dialog, kAnimeCheck);
    CollectMessageText(state.motionPage);
    std::string keptAs, problem;
    if (!SetUnreadableStoreAside(&keptAs, &problem)) {
        Dialogs().ShowMessage(dialog, kTitle,
                              "The settings file " + problem + ", and it cannot be moved aside (" +
                                  std::strerror(errno) + "). The settings were not saved.",
                              MessageKind::kError);
        return;
    }
    if (!keptAs.empty()) {
        Dialogs().ShowMessage(dialog, kTitle,
                              "The settings file " + problem + ". It was kept as " + keptAs +
                                  ", and a new one holds these settings.",
                              MessageKind::kWarning);
    }
    settings::LoadOrSaveSettings(1);
    EndDialog(dialog, 1);
}

void OnHelp(WindowHandle dialog) {
    const std::string page = platform::DataDirectory() + HelpPageName(KeyboardCodePage());
    if (!Dialogs().OpenDocument(dialog, page)) {
        Dialogs().ShowMessage(dialog, kTitle, "The help page cannot be opened: " + page,
                              MessageKind::kWarning);
    }
}

void OnSaveSteps(WindowHandle dialog) {
    std::string error;
    if (!settings::SaveStepTableFile(settings::Settings().AN_VEC, settings::kStepTableFileName,
                                     &error)) {
        Dialogs().ShowMessage(dialog, kTitle, "The step tables were not saved: " + error + ".",
                              MessageKind::kError);
    }
}

void OnLoadSteps(WindowHandle dialog) {
    std::string error;
    if (!settings::LoadWholeStepTableFile(settings::Settings().AN_VEC,
                                          settings::kStepTableFileName, &error)) {
        Dialogs().ShowMessage(dialog, kTitle,
                              std::string("The step tables could not be read from ") +
                                  settings::kStepTableFileName + ": " + error +
                                  ". They were left as they were.",
                              MessageKind::kError);
    }
}

void OnDestroy() {
    ConfigDialogState& state = TheConfigDialog();
    if (sound::MusicDevice() != 0) {
        sound::CloseMusic(sound::MusicDevice());
        sound::MusicDevice() = 0;
    }
    engine::ReleaseRenderDevice();
    engine::ReleaseScene();
    // The preview goes before its parent does.
    if (state.SaverWindow && IsWindow(state.SaverWindow)) DestroyWindow(state.SaverWindow);
    state = ConfigDialogState{};
}

}  // namespace

ConfigServices& Services() {
    static ConfigServices services;
    return services;
}

ConfigDialogState& TheConfigDialog() {
    static ConfigDialogState state;
    return state;
}

std::string HelpPageName(int codePage) {
    return codePage == 932 ? "KP4VN_1J.html" : "KP4VN_1E.html";
}

void RedrawTableNumber() {
    RedrawNumber(kTableNumberErase, kTableNumberX, kTableNumberY,
                 Format("%d", settings::Settings().AN_NUM));
}

void RedrawRowNumber() {
    RedrawNumber(kRowNumberErase, kRowNumberX, kRowNumberY,
                 Format("%2d", settings::Settings().currentStepRow));
}

LRESULT ConfigDialogProc(WindowHandle dialog, std::uint32_t message, WPARAM wParam,
                         LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return 1;
        case WM_PAINT:
            PaintBackground(dialog, "BKGND", wParam, lParam, DrawNumbers);
            return 0;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DrawItem*>(lParam);
            const FaceStem* stem = item.ctlType == ODT_TAB ? FindStem(kTabFaces, item.itemId)
                                                           : FindStem(kFaces, item.ctlId);
            if (stem) DrawBitmapFace(item, *stem);
            return 1;
        }
        case WM_NOTIFY:
            OnTabChange(*reinterpret_cast<const NotifyHeader*>(lParam));
            return 0;
        case WM_COMMAND:
            switch (LowWord(wParam)) {
                case kOk:
                    OnOk(dialog);
                    return 1;
                case kCancel:
                    EndDialog(dialog, 1);
                    return 1;
                case kHelp:
                    OnHelp(dialog);
                    return 1;
                case kVersion:
                    if (Services().showAboutBox) Services().showAboutBox(dialog);
                    return 1;
                case kSave:
                    OnSaveSteps(dialog);
                    return 1;
                case kLoad:
                    OnLoadSteps(dialog);
                    return 1;
                default:
                    return StepEditorCommand(LowWord(wParam), HighWord(wParam)) ? 1 : 0;
            }
        case WM_DESTROY:
            OnDestroy();
            return 0;
        default:
            return 0;
    }
}

void PumpProgramMessages() {
    PollSequencerNotices();
    PumpMessages();
}

int RunConfigDialog() {
    if (!Dialogs().Available()) {
        const std::string reason = Dialogs().UnavailableReason();
        if (Dialogs().UnavailableIsFailure()) {
            platform::Report("orbsaver: " + reason);
            return 1;
        }
        // A known absence is no failure: the user is told in a box, and the run ends well.
        platform::ShowMessageBox("orbsaver", reason, platform::MessageBoxKind::kInformation);
        return 0;
    }
    const WindowHandle dialog =
        CreateDialogWindow(ConfigDialogProc, 0, Rect{0, 0, kDialogWidth, kDialogHeight}, 0,
                           kConfigDialogTemplate);
    if (!dialog) {
        platform::Report("orbsaver: the configuration dialog cannot be made");
        return 1;
    }
    RunModalDialog(dialog, PumpProgramMessages);
    return 0;
}

}  // namespace config
