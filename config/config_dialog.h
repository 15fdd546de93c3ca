// The configuration dialog: the live preview, the tabs with their two pages, the step
// table editor's controls, OK, Cancel, Help, Version, and SAVE and LOAD of the step
// table file. Every edit goes into the settings at once; OK stores them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dialog/dialog.h"

namespace config {

// Control ids of the configuration dialog.
inline constexpr int kPreviewArea = 1206;
inline constexpr int kOk = platform::IDOK;
inline constexpr int kCancel = platform::IDCANCEL;
inline constexpr int kVersion = 1019;
inline constexpr int kHelp = 1018;
inline constexpr int kAnimeCheck = 1042;
inline constexpr int kNextTable = 1035;
inline constexpr int kPreviousTable = 1036;
inline constexpr int kBack = 1030;
inline constexpr int kForward = 1031;
inline constexpr int kFramesEdit = 1037;
inline constexpr int kSet = 1029;
inline constexpr int kInsert = 1034;
inline constexpr int kDelete = 1032;
inline constexpr int kSave = 1038;
inline constexpr int kLoad = 1039;
inline constexpr int kTabControl = 1400;

// The dialog templates of the program's resources: the dialog and its two pages.
inline constexpr int kConfigDialogTemplate = 2003;
inline constexpr int kMotionPageTemplate = 102;
inline constexpr int kMediaPageTemplate = 103;

inline constexpr int kDialogWidth = 585;
inline constexpr int kDialogHeight = 450;
// The pages' rectangle as the dialog hands it over; each page places itself 34
// pixels lower, below the tabs.
inline constexpr platform::Rect kPageRect{210, 30, 360, 340};
inline constexpr int kTabWidth = 177;
inline constexpr int kTabHeight = 34;
// The preview renders on each tick of this timer of the saver window.
inline constexpr std::uintptr_t kPreviewTimer = 1;
inline constexpr std::uint32_t kPreviewTimerMilliseconds = 5;

// What the dialog needs of the program that runs it. Each may be left empty: then
// there is no preview, or no About box.
struct ConfigServices {
    // Makes the saver window inside the preview area (the view's parent window).
    bool (*createSaverWindow)() = nullptr;
    void (*showAboutBox)(platform::WindowHandle owner) = nullptr;
};
ConfigServices& Services();

// The windows the dialog keeps.
struct ConfigDialogState {
    platform::WindowHandle dialog = 0;
    platform::WindowHandle motionPage = 0;  // page 102
    platform::WindowHandle mediaPage = 0;   // page 103
    platform::WindowHandle SaverWindow = 0;
};
ConfigDialogState& TheConfigDialog();

platform::LRESULT ConfigDialogProc(platform::WindowHandle dialog, std::uint32_t message,
                                   platform::WPARAM wParam, platform::LPARAM lParam);

// Runs the dialog until OK or Cancel; the exit code of the configuration run (1 when
// no dialog can be shown at all, with a word on stderr).
int RunConfigDialog();

// One turn of the program's own messages, timers and sound notices, from the
// dialog's loop.
void PumpProgramMessages();

// The table and row numbers redrawn over their grey rectangles.
void RedrawTableNumber();
void RedrawRowNumber();

// The help page for the keyboard code page: the Japanese one for 932.
std::string HelpPageName(int codePage);

}  // namespace config
