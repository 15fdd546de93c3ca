// The camera, object and message page: its controls, its paint and its handlers.
#include "config/page_motion.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/bitmap_face.h"
#include "config/config_dialog.h"
#include "config/dialog_text.h"
#include "engine/frame.h"
#include "engine/overlay.h"
#include "engine/scene.h"
#include "platform/text/text.h"
#include "settings/view_state.h"

namespace config {

using namespace platform;
using settings::SceneSettings;

namespace {

constexpr const char* kTitle = "orbsaver";

struct Slider {
    int id;
    std::int32_t SceneSettings::*setting;
    int x, y;              // the slider
    int numberX, numberY;  // its number
};

constexpr Slider kSliders[] = {
    {kCameraX, &SceneSettings::CM_X, 33, 50, 133, 60},
    {kCameraY, &SceneSettings::CM_Y, 33, 82, 133, 92},
    {kCameraZ, &SceneSettings::CM_Z, 33, 114, 133, 124},
    {kObjectX, &SceneSettings::OJ_X, 208, 50, 308, 60},
    {kObjectY, &SceneSettings::OJ_Y, 208, 82, 308, 92},
    {kObjectZ, &SceneSettings::OJ_Z, 208, 114, 308, 124},
    {kRotationX, &SceneSettings::ROT_X, 208, 167, 308, 177},
    {kRotationY, &SceneSettings::ROT_Y, 208, 198, 308, 208},
    {kRotationZ, &SceneSettings::ROT_Z, 208, 229, 308, 239},  // set up, then hidden
};
constexpr int kSliderWidth = 100, kSliderHeight = 30;
constexpr int kSliderNumberWidth = 36, kSliderNumberHeight = 22;

struct Spin {
    int id;
    bool up;    // upHundredths, else directionHundredths
    int axis;
    int x, y;
    int numberX, numberY;
};

constexpr Spin kSpins[] = {
    {kDirectionX, false, 0, 38, 195, 56, 199}, {kDirectionY, false, 1, 83, 195, 101, 199},
    {kDirectionZ, false, 2, 128, 195, 146, 199}, {kUpX, true, 0, 38, 235, 56, 239},
    {kUpY, true, 1, 83, 235, 101, 239},          {kUpZ, true, 2, 128, 235, 146, 239},
};
constexpr int kSpinWidth = 16, kSpinHeight = 24;
constexpr int kOrientationNumberWidth = 26, kOrientationNumberHeight = 19;

constexpr Rect kMessageSpinRect{20, 301, kSpinWidth, kSpinHeight};
constexpr Rect kSpeedSpinRect{240, 301, kSpinWidth, kSpinHeight};
constexpr int kSpeedX = 258, kSpeedY = 304;
constexpr Rect kSpeedErase{258, 304, 16, 17};
constexpr Rect kLookAtRect{40, 150, 16, 16};
constexpr Rect kModelButtonRect{266, 237, 62, 32};
constexpr Rect kFontButtonRect{275, 293, 65, 32};
constexpr Rect kMessageEditRect{35, 301, 200, 24};
constexpr int kEditFontHeight = 14;

constexpr FaceStem kFaces[] = {{kModelButton, "XFILE_"}, {kFontButton, "FONT_"}};

// Windows' character sets of the fonts chosen: the Japanese one under code page 932.
constexpr std::uint8_t kAnsiCharset = 0, kShiftJisCharset = 128;

std::int32_t& Hundredth(SceneSettings& s, const Spin& spin) {
    return spin.up ? s.upHundredths[spin.axis] : s.directionHundredths[spin.axis];
}

std::string Format(const char* format, int n) {
    char text[32];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

const Font* PanelFont() { return settings::View().fonts.PanelFont.get(); }

settings::MessageEntry& CurrentEntry(SceneSettings& s) {
    const int index = (s.MSN >= 0 && s.MSN < settings::kMessageEntries) ? s.MSN : 0;
    return s.MSG.entries[index];
}

void DrawSliderNumber(DrawTarget target, const Slider& slider) {
    Dialogs().FillRect(target,
                       Rect{slider.numberX, slider.numberY, kSliderNumberWidth, kSliderNumberHeight},
                       kLightGrey);
    Dialogs().DrawText(target, slider.numberX, slider.numberY,
                       Format("%3d", settings::Settings().*slider.setting), nullptr, 0);
}

void DrawSpeed(DrawTarget target) {
    Dialogs().FillRect(target, kSpeedErase, kLightGrey);
    Dialogs().DrawText(target, kSpeedX, kSpeedY, Format("%02d", settings::Settings().SPD),
                       PanelFont(), 0);
}

// Draws on the page outside a paint.
template <typename Draw>
void DrawNow(WindowHandle page, Draw draw) {
    const DrawTarget target = Dialogs().GetDC(page);
    draw(target);
    Dialogs().ReleaseDC(page, target);
}

const Slider* FindSlider(int id) {
    for (const Slider& s : kSliders) {
        if (s.id == id) return &s;
    }
    return nullptr;
}

const Spin* FindSpin(int id) {
    for (const Spin& s : kSpins) {
        if (s.id == id) return &s;
    }
    return nullptr;
}

// The edit box's font: the entry's own at height 14 when it has a face, else EditFont.
void SetEditFont(WindowHandle page, const SceneSettings& s) {
    const settings::LogFontA& font = settings::SelectedMessage(s).font;
    FontDescription d;
    if (font.faceName[0] != '\0') {
        d = settings::DescribeLogFont(font, s.keyboardCodePage, 1.0);
        d.height = kEditFontHeight;
    } else if (const Font* edit = settings::View().fonts.EditFont.get()) {
        d = edit->description();
    }
    Dialogs().SetControlFont(page, kMessageEdit, d);
}

void ShowCurrentEntry(WindowHandle page, SceneSettings& s) {
    DialogBackend& d = Dialogs();
    d.SetText(page, kMessageEdit,
              BufferToUtf8(CurrentEntry(s).text, sizeof CurrentEntry(s).text, s.keyboardCodePage));
    const bool message = s.MSN != 0;
    d.EnableControl(page, kMessageEdit, message);
    d.EnableControl(page, kFontButton, message);
}

void Initialise(WindowHandle page) {
    DialogBackend& d = Dialogs();
    SceneSettings& s = settings::Settings();
    const bool first = !d.IsControlVisible(page, kCameraX);

    // 1. The page below the tabs; the sliders and spins set up.
    d.MoveDialog(page, Rect{kPageRect.x, kPageRect.y + kTabHeight, kPageRect.width, kPageRect.height});
    for (const Slider& slider : kSliders) {
        if (first) {
            d.CreateControl(page, slider.id, ControlKind::kTrackbar,
                            Rect{slider.x, slider.y, kSliderWidth, kSliderHeight}, 0);
        }
        d.SetRange(page, slider.id, -100, 100);
        d.SetPosition(page, slider.id, SliderPosition(s.*slider.setting));
        d.SetTicks(page, slider.id, 10, 50);
    }
    d.ShowControl(page, kRotationZ, false);
    for (const Spin& spin : kSpins) {
        if (first) {
            d.CreateControl(page, spin.id, ControlKind::kUpDown,
                            Rect{spin.x, spin.y, kSpinWidth, kSpinHeight}, 0);
        }
        d.SetRange(page, spin.id, 0, 200);
    }
    if (first) {
        d.CreateControl(page, kMessageSpin, ControlKind::kUpDown, kMessageSpinRect, 0);
        d.CreateControl(page, kSpeedSpin, ControlKind::kUpDown, kSpeedSpinRect, 0);
        d.CreateControl(page, kLookAtCheck, ControlKind::kCheckBox, kLookAtRect, 0);
        d.CreateControl(page, kModelButton, ControlKind::kButton, kModelButtonRect, 0);
        d.CreateControl(page, kFontButton, ControlKind::kButton, kFontButtonRect, 0);
        d.CreateControl(page, kMessageEdit, ControlKind::kEdit, kMessageEditRect, 0);
        d.SetTextLimit(page, kMessageEdit, static_cast<int>(kMaxMessageBytes));
        // Only what the code page can hold, and no more than an entry takes.
        d.SetInsertFilter(page, kMessageEdit, [page](std::string_view inserted) {
            const SceneSettings& now = settings::Settings();
            std::string bytes;
            return Utf8ToStored(Dialogs().GetText(page, kMessageEdit) + std::string(inserted),
                                now.keyboardCodePage, kMaxMessageBytes, &bytes);
        });
    }
    d.SetRange(page, kMessageSpin, 0, settings::kMessageEntries - 1);
    d.SetPosition(page, kMessageSpin, s.MSN);
    d.SetRange(page, kSpeedSpin, 1, 20);
    d.SetPosition(page, kSpeedSpin, s.SPD);

    // 2. The message's fonts.
    settings::CreatePreviewMessageFont(s, settings::View().fonts);
    SetEditFont(page, s);
    // 3. Entry 0 is the no-message choice.
    settings::CopyText(s.MSG.entries[0].text, sizeof s.MSG.entries[0].text,
                       settings::DefaultMessageText(s.keyboardCodePage));
    // 4. The current entry's text.
    ShowCurrentEntry(page, s);
    // 5. Look-at, and the model button.
    d.SetCheck(page, kLookAtCheck, s.L_AT == 1 ? 1 : 0);
    d.EnableControl(page, kModelButton, true);
    // 6. The step table places camera and object while the flight plays.
    const bool still = s.ANIME != 1;
    d.EnableControl(page, kLookAtCheck, still);
    for (int id : kPositionSliders) d.EnableControl(page, id, still);
    // 7. The camera follows the model: its orientation is not the user's.
    if (s.L_AT != 0) {
        for (int id : kOrientationSpins) d.EnableControl(page, id, false);
    }
    // 8.
    SetOrientationSpins(page);
    engine::PrepareOverlayTexts();
}

void Paint(WindowHandle page, WPARAM wParam, LPARAM lParam) {
    PaintBackground(page, "BKGND1", wParam, lParam, [page](DrawTarget target) {
        for (const Slider& slider : kSliders) {
            if (slider.id != kRotationZ) DrawSliderNumber(target, slider);
        }
        DrawSpeed(target);
        (void)page;
    });
    ShowOrientationValues(page, 0);
}

// The camera's orientation as the last frame left it, shown in the spins and numbers.
void ShowCameraOrientation(WindowHandle page) {
    engine::ReadCameraOrientation(settings::Settings());
    SetOrientationSpins(page);
    ShowOrientationValues(page, 0);
}

void OnSlider(WindowHandle page, int id) {
    const Slider* slider = FindSlider(id);
    if (!slider) return;
    settings::Settings().*slider->setting = Dialogs().GetPosition(page, id);
    DrawNow(page, [&](DrawTarget t) { DrawSliderNumber(t, *slider); });
    ShowCameraOrientation(page);
}

void OnOrientationSpin(WindowHandle page, const Spin& spin, int position) {
    Hundredth(settings::Settings(), spin) = position - 100;
    ShowOrientationValues(page, 0);
}

void OnMessageSpin(WindowHandle page, int position) {
    SceneSettings& s = settings::Settings();
    if (position == s.MSN) return;
    CollectMessageText(page);
    s.MSN = position;
    settings::CreatePreviewMessageFont(s, settings::View().fonts);
    SetEditFont(page, s);
    ShowCurrentEntry(page, s);
    // The extent and the picture of the message now shown.
    MeasurePreviewMessage();
    engine::PrepareOverlayTexts();
}

void OnSpeedSpin(WindowHandle page, int position) {
    SceneSettings& s = settings::Settings();
    s.SPD = position;
    settings::ViewState& view = settings::View();
    view.ScrollStep = settings::ComputeScrollStep(s.SPD, view.ViewScale);
    DrawNow(page, DrawSpeed);
}

void OnLookAt(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    s.L_AT = s.L_AT == 1 ? 0 : 1;
    Dialogs().SetCheck(page, kLookAtCheck, s.L_AT);
    if (s.L_AT == 1) engine::LookAtModel();
    for (int id : kOrientationSpins) Dialogs().EnableControl(page, id, s.L_AT != 1);
    ShowCameraOrientation(page);
}

// Shows the wait cursor while the scene is made again from the settings.
void RebuildScene(WindowHandle page) {
    Dialogs().SetWaitCursor(page, true);
    engine::ReleaseScene();
    engine::BuildScene();
    Dialogs().SetWaitCursor(page, false);
    engine::ForgetAppliedPlacement();
}

void OnModelButton(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    FileChooser chooser;
    chooser.title = "Open X file";
    chooser.filterName = "X Format file (*.x)";
    chooser.filterPattern = "*.x";
    chooser.firstFilterName = kModelFilterName;
    chooser.firstFilterPattern = kModelFilterPattern;
    chooser.initialPath = StoredToPath(s.X_NM, sizeof s.X_NM, s.keyboardCodePage);
    std::string chosen, stored;
    if (!Dialogs().ChooseOpenFile(page, chooser, &chosen)) return;
    if (!PathToStored(chosen, s.keyboardCodePage, &stored)) {
        Dialogs().ShowMessage(page, kTitle,
                              "The model's path cannot be kept in the settings (it is longer "
                              "than 254 bytes, or has characters the settings cannot hold): " +
                                  chosen,
                              MessageKind::kWarning);
        return;
    }
    StoreInBuffer(s.X_NM, sizeof s.X_NM, stored);
    RebuildScene(page);
}

void OnFontButton(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    CollectMessageText(page);
    MeasurePreviewMessage();
    settings::MessageEntry& entry = CurrentEntry(s);
    FontChoice choice = LogFontToFontChoice(entry.font, entry.textColor, s.keyboardCodePage);
    if (Dialogs().ChooseFont(page, choice)) {
        if (FontChoiceToLogFont(choice, s.keyboardCodePage, entry.font)) {
            entry.textColor = choice.color & 0x00FFFFFF;
        } else {
            Dialogs().ShowMessage(page, kTitle,
                                  "The font \"" + choice.font.face +
                                      "\" cannot be kept in the settings: its name has "
                                      "characters they cannot hold, or is too long.",
                                  MessageKind::kWarning);
        }
    }
    // Whatever the answer, the page starts again: the fonts are made anew.
    SendMessage(page, WM_INITDIALOG, 0, 0);
    MeasurePreviewMessage();
    engine::PrepareOverlayTexts();
}

bool OnCommand(WindowHandle page, int id) {
    switch (id) {
        case IDOK: {
            SceneSettings& s = settings::Settings();
            for (const Slider& slider : kSliders) {
                // A stored value the slider cannot show stays, unless the user moved it.
                const int position = Dialogs().GetPosition(page, slider.id);
                if (position != SliderPosition(s.*slider.setting)) s.*slider.setting = position;
            }
            CollectMessageText(page);
            s.L_AT = Dialogs().GetCheck(page, kLookAtCheck);
            return true;
        }
        case kLookAtCheck:
            OnLookAt(page);
            return true;
        case kModelButton:
            OnModelButton(page);
            return true;
        case kFontButton:
            OnFontButton(page);
            return true;
        default:
            return false;
    }
}

}  // namespace

int SliderPosition(std::int32_t setting) { return std::clamp<std::int32_t>(setting, -100, 100); }

void ShowOrientationValues(WindowHandle page, int skip) {
    if (skip != 0 || !page) return;
    SceneSettings& s = settings::Settings();
    DrawNow(page, [&](DrawTarget target) {
        for (const Spin& spin : kSpins) {
            Dialogs().FillRect(target,
                               Rect{spin.numberX, spin.numberY, kOrientationNumberWidth,
                                    kOrientationNumberHeight},
                               kLightGrey);
            Dialogs().DrawText(target, spin.numberX, spin.numberY,
                               Format("%3d", Hundredth(s, spin)), PanelFont(), 0);
        }
    });
}

void SetOrientationSpins(WindowHandle page) {
    if (!page) return;
    SceneSettings& s = settings::Settings();
    for (const Spin& spin : kSpins) Dialogs().SetPosition(page, spin.id, Hundredth(s, spin) + 100);
}

void SetPositionSliders(WindowHandle page) {
    if (!page) return;
    const SceneSettings& s = settings::Settings();
    DrawNow(page, [&](DrawTarget target) {
        for (int id : kPositionSliders) {
            const Slider* slider = FindSlider(id);
            Dialogs().SetPosition(page, id, SliderPosition(s.*slider->setting));
            DrawSliderNumber(target, *slider);
        }
    });
}

bool CollectMessageText(WindowHandle page) {
    SceneSettings& s = settings::Settings();
    std::string bytes;
    if (!page) return false;
    if (!Utf8ToStored(Dialogs().GetText(page, kMessageEdit), s.keyboardCodePage, kMaxMessageBytes,
                      &bytes)) {
        return false;
    }
    settings::MessageEntry& entry = CurrentEntry(s);
    StoreInBuffer(entry.text, sizeof entry.text, bytes);
    return true;
}

void MeasurePreviewMessage() {
    settings::ViewState& view = settings::View();
    const std::string text = settings::SelectedMessageUtf8(settings::Settings());
    if (const Font* font = view.fonts.PreviewMessageFont.get()) {
        view.MessageExtent = font->Measure(text);
    } else if (auto fallback = Font::CreateDefault()) {
        view.MessageExtent = fallback->Measure(text);
    }
}

FontChoice LogFontToFontChoice(const settings::LogFontA& font, std::uint32_t color, int codePage) {
    FontChoice choice;
    choice.font = settings::DescribeLogFont(font, codePage, 1.0);
    choice.offerFont = font.faceName[0] != '\0';
    choice.color = color;
    static_assert(sizeof font == std::tuple_size_v<decltype(choice.logFont)>);
    std::memcpy(choice.logFont.data(), &font, sizeof font);
    choice.hasLogFont = choice.offerFont;
    return choice;
}

bool FontChoiceToLogFont(const FontChoice& choice, int codePage, settings::LogFontA& font) {
    std::string face;
    if (!Utf8ToStored(choice.font.face, codePage, sizeof font.faceName - 1, &face) || face.empty()) {
        return false;
    }
    settings::LogFontA chosen{};
    if (choice.logFontChosen) {
        // The chooser gave the whole record: it is kept byte for byte, its face in
        // the settings' code page.
        std::memcpy(&chosen, choice.logFont.data(), sizeof chosen);
        std::memset(chosen.faceName, 0, sizeof chosen.faceName);
        std::memcpy(chosen.faceName, face.data(), face.size());
        font = chosen;
        return true;
    }
    chosen.height = choice.font.height;
    chosen.weight = choice.font.weight;
    chosen.italic = choice.font.italic ? 1 : 0;
    chosen.underline = choice.font.underline ? 1 : 0;
    chosen.strikeOut = choice.font.strikeOut ? 1 : 0;
    chosen.charSet = codePage == 932 ? kShiftJisCharset : kAnsiCharset;
    // What the Windows font chooser gives for an outline font on the screen.
    chosen.outPrecision = 3;
    chosen.clipPrecision = 2;
    chosen.quality = 1;
    std::memcpy(chosen.faceName, face.data(), face.size());
    font = chosen;
    return true;
}

LRESULT MotionPageProc(WindowHandle page, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            Initialise(page);
            return 1;
        case WM_PAINT:
            Paint(page, wParam, lParam);
            return 0;
        case WM_DRAWITEM:
            DrawFaceOf(lParam, kFaces);
            return 1;
        case WM_HSCROLL:
            OnSlider(page, static_cast<int>(lParam));
            return 0;
        case WM_VSCROLL: {
            const int id = static_cast<int>(lParam);
            const int position = HighWord(wParam);
            if (const Spin* spin = FindSpin(id)) {
                OnOrientationSpin(page, *spin, position);
            } else if (id == kMessageSpin) {
                OnMessageSpin(page, position);
            } else if (id == kSpeedSpin) {
                OnSpeedSpin(page, position);
            }
            return 0;
        }
        case WM_COMMAND:
            return OnCommand(page, LowWord(wParam)) ? 1 : 0;
        default:
            return 0;
    }
}

}  // namespace config
