// A modal dialog made only of pictures: a face drawn at its own size, an icon, and
// one push button drawn from an up and a pressed picture, stretched to its place.
// Only the button ends it (a click, Space or Enter on it); Escape and the window's
// close do not. Pictures are BMP or PNG files' bytes.
#pragma once

#include <cstddef>
#include <span>

#include "platform/window/window.h"

namespace platform {

struct PictureDialog {
    int x = 0, y = 0, width = 0, height = 0;  // on the screen
    std::span<const std::byte> face;           // drawn at (0, 0); a beep when it cannot be
    std::span<const std::byte> icon;
    int iconX = 0, iconY = 0, iconWidth = 0, iconHeight = 0;
    std::span<const std::byte> buttonUp, buttonDown;
    int buttonX = 0, buttonY = 0, buttonWidth = 0, buttonHeight = 0;
    int cursorX = 0, cursorY = 0;  // the pointer is put here when the dialog opens
    // A dialog that owns it: the picture dialog stays above it and takes its input.
    unsigned owner = 0;
    // A window of ours that holds the keyboard and pointer (a screen lock): the dialog
    // takes them over from it once it is on the screen, holds them while it is up and
    // lets go when it closes, so that the window can take them back. Without both
    // the dialog does not stay up. 0: the dialog takes nothing.
    WindowHandle takeInputFrom = 0;
};

// The primary screen's size in pixels; false without a desktop.
bool PrimaryScreenSize(int* width, int* height);

// Runs the dialog until its button is pressed. False when no dialog can be shown.
bool RunPictureDialog(const PictureDialog& dialog);

}  // namespace platform
