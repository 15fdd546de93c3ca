// The Win32 dialog backend's parts that stand alone: text between UTF-8 and UTF-16,
// the controls' classes and styles, and a BMP file read as GDI draws it.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/dialog/dialog.h"
#include "platform/dialog/dialog_win32_parts.h"
#include "platform/files/wide_path_win32.h"
#include "platform/win32_api.h"

namespace platform::win32_dialog {

std::wstring Widen(const std::string& text) { return WidePath(text); }

std::string Narrow(const wchar_t* text, int length) {
    if (length <= 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

const wchar_t* ClassOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::kButton:
        case ControlKind::kCheckBox:
        case ControlKind::kRadioButton:
            return L"Button";
        case ControlKind::kEdit:
            return L"Edit";
        case ControlKind::kTrackbar:
            return TRACKBAR_CLASSW;
        case ControlKind::kUpDown:
            return UPDOWN_CLASSW;
        case ControlKind::kTabControl:
            return WC_TABCONTROLW;
        case ControlKind::kNativeArea:
            return L"Static";
    }
    return L"Static";
}

std::uint32_t StyleOf(ControlKind kind, std::uint32_t style) {
    DWORD s = WS_CHILD | WS_VISIBLE | ((style & kStyleGroup) ? WS_GROUP : 0);
    switch (kind) {
        case ControlKind::kButton:
            return s | WS_TABSTOP | BS_OWNERDRAW;
        case ControlKind::kCheckBox:
            return s | WS_TABSTOP | BS_AUTOCHECKBOX;
        case ControlKind::kRadioButton:
            return s | BS_AUTORADIOBUTTON | ((style & kStyleGroup) ? WS_TABSTOP : 0);
        case ControlKind::kEdit:
            return s | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
        case ControlKind::kTrackbar:
            return s | WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM;
        case ControlKind::kUpDown:
            return s | UDS_ARROWKEYS;
        case ControlKind::kTabControl:
            return s | WS_CLIPSIBLINGS | TCS_OWNERDRAWFIXED | TCS_FIXEDWIDTH;
        case ControlKind::kNativeArea:
            return s | WS_CLIPCHILDREN | SS_BLACKRECT;
    }
    return s;
}

bool IsOfKind(HWND control, ControlKind kind) {
    wchar_t name[64] = {};
    if (!GetClassNameW(control, name, 64) || lstrcmpiW(name, ClassOf(kind)) != 0) return false;
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    switch (kind) {
        case ControlKind::kButton:
            return type == BS_OWNERDRAW;
        case ControlKind::kCheckBox:
            return type == BS_AUTOCHECKBOX;
        case ControlKind::kRadioButton:
            return type == BS_AUTORADIOBUTTON;
        default:
            return true;
    }
}

namespace {

std::uint32_t Read32(std::span<const std::byte> b, std::size_t at) {
    return std::to_integer<std::uint32_t>(b[at]) | (std::to_integer<std::uint32_t>(b[at + 1]) << 8) |
           (std::to_integer<std::uint32_t>(b[at + 2]) << 16) |
           (std::to_integer<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t Read16(std::span<const std::byte> b, std::size_t at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) |
                                      (std::to_integer<unsigned>(b[at + 1]) << 8));
}

}  // namespace

bool ParseBmp(std::span<const std::byte> bmp, std::vector<std::uint32_t>* info,
              const std::byte** bits, int* width, int* height) {
    constexpr std::size_t kFileHeader = 14;
    if (bmp.size() < kFileHeader + 40 || std::to_integer<char>(bmp[0]) != 'B' ||
        std::to_integer<char>(bmp[1]) != 'M') {
        return false;
    }
    const std::uint32_t offBits = Read32(bmp, 10);
    const std::uint32_t headerSize = Read32(bmp, kFileHeader);
    if (headerSize < 40 || headerSize > 124 || kFileHeader + headerSize > bmp.size()) return false;
    const auto w = static_cast<std::int32_t>(Read32(bmp, 18));
    const auto h = static_cast<std::int32_t>(Read32(bmp, 22));
    const std::uint16_t planes = Read16(bmp, 26), bpp = Read16(bmp, 28);
    const std::uint32_t compression = Read32(bmp, 30);
    std::uint32_t colors = Read32(bmp, 46);
    if (w <= 0 || h == 0 || h == INT32_MIN || w > 16384 || std::abs(h) > 16384 || planes != 1) {
        return false;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    const bool masks = compression == BI_BITFIELDS && (bpp == 16 || bpp == 32);
    if (compression != BI_RGB && !masks) return false;
    if (bpp <= 8) {
        if (colors == 0 || colors > (1u << bpp)) colors = 1u << bpp;
    } else {
        colors = 0;
    }
    const std::size_t table = colors * 4 + (masks && headerSize == 40 ? 12 : 0);
    const std::size_t infoBytes = headerSize + table;
    if (kFileHeader + infoBytes > bmp.size()) return false;
    const std::size_t stride = ((static_cast<std::size_t>(w) * bpp + 31) / 32) * 4;
    const std::size_t pixels = stride * static_cast<std::size_t>(std::abs(h));
    if (offBits < kFileHeader + infoBytes || offBits > bmp.size() || bmp.size() - offBits < pixels) {
        return false;
    }
    info->assign((infoBytes + 3) / 4, 0);
    std::memcpy(info->data(), bmp.data() + kFileHeader, infoBytes);
    // Every header form is read as the 40-byte one it starts with.
    reinterpret_cast<BITMAPINFOHEADER*>(info->data())->biSize = sizeof(BITMAPINFOHEADER);
    if (headerSize > 40) {
        // The colours (or masks) follow the longer header: move them up behind the short one.
        std::memmove(reinterpret_cast<std::byte*>(info->data()) + 40,
                     bmp.data() + kFileHeader + headerSize, table);
        if (masks) std::memcpy(reinterpret_cast<std::byte*>(info->data()) + 40, bmp.data() + kFileHeader + 40, 12);
    }
    *bits = bmp.data() + offBits;
    *width = w;
    *height = std::abs(h);
    return true;
}

}  // namespace platform::win32_dialog
