// The bitmap faces of owner-drawn buttons and tabs, and the background picture every
// dialog and page paints behind its controls. A face is a set of bitmaps named by a
// stem: stem + "D" pressed, stem + "U" up, stem + "DI" disabled.
#pragma once

#include <functional>
#include <span>

#include "platform/dialog/dialog.h"

namespace config {

// Which face stem a control (or tab index) draws with; hasDisabled is false for faces
// that have no disabled picture (the tabs).
struct FaceStem {
    int id;
    const char* stem;
    bool hasDisabled = true;
};

const FaceStem* FindStem(std::span<const FaceStem> stems, int id);

// Draws the face for a WM_DRAWITEM: the pressed face when the item is selected, else
// the disabled face when it is disabled (and the stem has one), else the normal face,
// stretched into the item's rectangle. A face that cannot be drawn beeps and leaves a
// plain grey button.
void DrawBitmapFace(const platform::DrawItem& item, const FaceStem& stem);

// WM_DRAWITEM of a dialog whose faces are in the table: draws the control's face.
void DrawFaceOf(platform::LPARAM drawItem, std::span<const FaceStem> stems);

// The paint of a dialog or page: with both parameters 0 the whole window is painted
// anew; the bitmap is drawn at (0, 0) in its own size (a beep when it cannot be), then
// whatever the window adds on top.
void PaintBackground(platform::WindowHandle window, const char* bitmap, platform::WPARAM wParam,
                     platform::LPARAM lParam,
                     const std::function<void(platform::DrawTarget)>& onTop = nullptr);

// The width and height of a bitmap resource, 0 x 0 when there is none.
platform::Rect BitmapSize(const char* name);

}  // namespace config
