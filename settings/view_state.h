// The run mode and the start-up values that every part of the program reads: the
// view's size and scale, the message's scroll step and extent, the saver window and
// the fonts that the whole program shares. The shell fills them in at start; the
// engine draws with them and the configuration dialog changes some of them.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/fonts/fonts.h"
#include "platform/window/window.h"
#include "settings/scene_settings.h"

namespace settings {

enum class SaverMode : int {
    ChangePassword = -1,
    Saver = 0,
    Config = 1,
    Preview = 2,
};

// The fonts every part shares; each one is absent until made.
struct SharedFonts {
    std::unique_ptr<platform::Font> EditFont;
    std::unique_ptr<platform::Font> PreviewLabelFont;
    std::unique_ptr<platform::Font> PanelFont;
    std::unique_ptr<platform::Font> MessageFont;
    std::unique_ptr<platform::Font> PreviewMessageFont;
};

struct ViewState {
    SaverMode mode = SaverMode::Saver;
    std::int32_t ViewWidth = 0;
    std::int32_t ViewHeight = 0;
    double ViewScale = 0.0;
    std::int32_t ScrollStep = 1;
    platform::TextExtent MessageExtent;
    std::uint64_t parentWindow = 0;
    // The saver window's pixels per view pixel: 2 inside a dialog on a screen that
    // the desktop scales twice (1.25 or 1.5 where it scales by a part). The scene is
    // made at the view's size and stretched onto them.
    double windowPixelScale = 1;
    platform::WindowHandle SaverWindow = 0;
    // Full-screen saving inside a window of a screen-saver host (XScreenSaver):
    // the scene at the window's size, no input, no opening sound.
    bool hosted = false;
    // What the frame-rate counter's switch becomes once the render device runs.
    bool preparedShowFrameRate = false;
    SharedFonts fonts;
};

// The process-wide view state.
ViewState& View();

// ViewScale is ViewWidth / 800; ScrollStep is SPD times it, cut toward zero, at least 1.
double ComputeViewScale(std::int32_t viewWidth);
std::int32_t ComputeScrollStep(std::int32_t spd, double viewScale);

// The message entry that MSN selects; entry 0 when MSN is out of range.
const MessageEntry& SelectedMessage(const SceneSettings& s);

// The font description of a stored LOGFONT, its face name taken from the code page
// and its height multiplied by scale and cut toward zero.
platform::FontDescription DescribeLogFont(const LogFontA& font, int codePage, double scale);

// Makes EditFont, PreviewLabelFont and PanelFont, and PreviewMessageFont when the
// selected message has a face name.
void CreateSharedFonts(const SceneSettings& s, SharedFonts& fonts);
// Makes PreviewMessageFont anew from the selected message (its height x 0.19), or
// none when the message's LOGFONT has no face name.
void CreatePreviewMessageFont(const SceneSettings& s, SharedFonts& fonts);
// Makes MessageFont from the selected message's LOGFONT unchanged.
void CreateMessageFont(const SceneSettings& s, SharedFonts& fonts);
void DeleteFonts(SharedFonts& fonts);

// The selected message's text in UTF-8.
std::string SelectedMessageUtf8(const SceneSettings& s);

}  // namespace settings
