// The run mode and the start-up values that the rest of the program reads: the
// view's size and scale, the message's scroll step and extent, the shared fonts,
// the saver window and the input state of its procedure.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/fonts.h"
#include "platform/window.h"

namespace shell {

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

struct ShellState {
    SaverMode mode = SaverMode::Saver;
    std::int32_t ViewWidth = 0;
    std::int32_t ViewHeight = 0;
    double ViewScale = 0.0;
    std::int32_t ScrollStep = 1;
    platform::TextExtent MessageExtent;
    std::uint64_t parentWindow = 0;
    platform::WindowHandle SaverWindow = 0;
    // Full-screen saving inside a window of a screen-saver host (XScreenSaver):
    // the scene at the window's size, no input, no opening sound.
    bool hosted = false;
    // What the frame-rate counter's switch becomes once the render device runs.
    bool preparedShowFrameRate = false;
    SharedFonts fonts;
};

// The input state of the saver window's procedure.
struct InputState {
    bool ignoreInput = true;
    std::int32_t lastMousePosX = 0;
    std::int32_t lastMousePosY = 0;
    bool passwordPause = false;
};

ShellState& Shell();
InputState& Input();

}  // namespace shell
