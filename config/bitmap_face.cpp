// Owner-drawn faces and dialog backgrounds from the program's bitmaps.
#include "config/bitmap_face.h"

#include <cstdint>
#include <string>

#include "platform/resources/resources.h"

namespace config {

namespace {

std::span<const std::byte> Bitmap(const std::string& name) {
    auto bytes = platform::FindResource(platform::kResourceBitmap, name);
    return bytes ? *bytes : std::span<const std::byte>{};
}

std::int32_t Read32(std::span<const std::byte> b, std::size_t at) {
    if (b.size() < at + 4) return 0;
    return static_cast<std::int32_t>(std::to_integer<std::uint32_t>(b[at]) |
                                     (std::to_integer<std::uint32_t>(b[at + 1]) << 8) |
                                     (std::to_integer<std::uint32_t>(b[at + 2]) << 16) |
                                     (std::to_integer<std::uint32_t>(b[at + 3]) << 24));
}

}  // namespace

const FaceStem* FindStem(std::span<const FaceStem> stems, int id) {
    for (const FaceStem& s : stems) {
        if (s.id == id) return &s;
    }
    return nullptr;
}

platform::Rect BitmapSize(const char* name) {
    const std::span<const std::byte> b = Bitmap(name);
    // The info header follows the 14-byte file header: width at 18, height at 22
    // (negative for a picture stored top row first).
    const std::int32_t w = Read32(b, 18), h = Read32(b, 22);
    if (w <= 0 || h == 0) return {};
    return platform::Rect{0, 0, w, h < 0 ? -h : h};
}

void DrawBitmapFace(const platform::DrawItem& item, const FaceStem& stem) {
    const std::string base = stem.stem;
    std::string name = base + "U";
    if (item.itemState & platform::ODS_SELECTED) {
        name = base + "D";
    } else if ((item.itemState & platform::ODS_DISABLED) && stem.hasDisabled) {
        name = base + "DI";
    }
    platform::DialogBackend& dialogs = platform::Dialogs();
    if (!dialogs.DrawPicture(item.target, Bitmap(name), item.item)) {
        dialogs.FillRect(item.target, item.item, platform::kLightGrey);
        dialogs.Beep();
    }
}

void DrawFaceOf(platform::LPARAM drawItem, std::span<const FaceStem> stems) {
    const auto& item = *reinterpret_cast<const platform::DrawItem*>(drawItem);
    if (const FaceStem* stem = FindStem(stems, item.ctlId)) DrawBitmapFace(item, *stem);
}

void PaintBackground(platform::WindowHandle window, const char* bitmap, platform::WPARAM wParam,
                     platform::LPARAM lParam,
                     const std::function<void(platform::DrawTarget)>& onTop) {
    platform::DialogBackend& dialogs = platform::Dialogs();
    if (wParam == 0 && lParam == 0) dialogs.Invalidate(window);
    const platform::DrawTarget target = dialogs.BeginPaint(window);
    platform::Rect where = BitmapSize(bitmap);
    if (!dialogs.DrawPicture(target, Bitmap(bitmap), where)) dialogs.Beep();
    if (onTop) onTop(target);
    dialogs.EndPaint(window, target);
}

}  // namespace config
