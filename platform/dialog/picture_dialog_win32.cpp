// Message boxes and the picture dialog on Windows. The picture dialog is dialog
// template 104 of the program's resources (a pop-up with the icon and an owner-drawn
// OK button), run modally by DialogBoxParam; its face and button are the pictures it
// is given, drawn with GDI.
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/dialog/dialog_win32_choosers.h"
#include "platform/dialog/message_box.h"
#include "platform/dialog/picture_dialog.h"
#include "platform/window/window_win32.h"
#include "platform/win32_api.h"

namespace platform {
namespace {

constexpr int kPictureDialogTemplate = 104;

// An uncompressed or palette BMP file's header and pixels, checked to lie within its
// bytes; nothing when the bytes are no such file.
struct Dib {
    const BITMAPINFO* info = nullptr;
    const void* pixels = nullptr;
    int width = 0, height = 0;
};

Dib ReadDib(std::span<const std::byte> bmp) {
    Dib dib;
    if (bmp.size() < 14 + sizeof(BITMAPINFOHEADER)) return dib;
    const auto* bytes = reinterpret_cast<const unsigned char*>(bmp.data());
    if (bytes[0] != 'B' || bytes[1] != 'M') return dib;
    std::uint32_t offset = 0;
    std::memcpy(&offset, bytes + 10, 4);
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes + 14, sizeof header);
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight == 0 ||
        header.biWidth > 16384 || header.biHeight > 16384 || header.biHeight < -16384 ||
        (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)) {
        return dib;
    }
    const std::uint64_t rows = static_cast<std::uint64_t>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
    const std::uint64_t stride = ((static_cast<std::uint64_t>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    if (header.biBitCount == 0 || offset < 14 + header.biSize || offset > bmp.size() ||
        stride * rows > bmp.size() - offset) {
        return dib;
    }
    dib.info = reinterpret_cast<const BITMAPINFO*>(bytes + 14);
    dib.pixels = bytes + offset;
    dib.width = header.biWidth;
    dib.height = static_cast<int>(rows);
    return dib;
}

// Draws the picture stretched onto the rectangle; false when it cannot be drawn.
bool DrawDib(HDC dc, std::span<const std::byte> bmp, int x, int y, int width, int height) {
    const Dib dib = ReadDib(bmp);
    if (!dib.info) return false;
    SetStretchBltMode(dc, COLORONCOLOR);
    return StretchDIBits(dc, x, y, width, height, 0, 0, dib.width, dib.height, dib.pixels, dib.info,
                         DIB_RGB_COLORS, SRCCOPY) != 0;
}

INT_PTR CALLBACK PictureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* d = reinterpret_cast<const PictureDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            d = reinterpret_cast<const PictureDialog*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            MoveWindow(dialog, d->x, d->y, d->width, d->height, FALSE);
            if (HWND button = GetDlgItem(dialog, IDOK)) {
                MoveWindow(button, d->buttonX, d->buttonY, d->buttonWidth, d->buttonHeight, FALSE);
            }
            // The icon is the template's other control.
            for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                if (GetDlgCtrlID(child) != IDOK) {
                    MoveWindow(child, d->iconX, d->iconY, d->iconWidth, d->iconHeight, FALSE);
                }
            }
            SetCursorPos(d->cursorX, d->cursorY);
            return TRUE;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(dialog, &paint);
            const Dib face = d ? ReadDib(d->face) : Dib{};
            if (!face.info || !DrawDib(dc, d->face, 0, 0, face.width, face.height)) MessageBeep(0);
            EndPaint(dialog, &paint);
            return FALSE;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (!d || item->CtlID != IDOK) return FALSE;
            const bool down = (item->itemState & ODS_SELECTED) != 0;
            const RECT& r = item->rcItem;
            if (!DrawDib(item->hDC, down ? d->buttonDown : d->buttonUp, r.left, r.top, r.right - r.left,
                         r.bottom - r.top)) {
                MessageBeep(0);
            }
            return TRUE;
        }
        case WM_COMMAND:
            // Only OK ends it: Escape and the close key send the cancel command, which
            // is not acted on.
            if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

// The box outside a dialog is the dialogs' own box without an owner.
void ShowMessageBox(const std::string& title, const std::string& text, MessageBoxKind kind) {
    Win32ShowMessage(nullptr, title, text,
                     kind == MessageBoxKind::kError     ? MessageKind::kError
                     : kind == MessageBoxKind::kWarning ? MessageKind::kWarning
                                                        : MessageKind::kInformation);
}

bool PrimaryScreenSize(int* width, int* height) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    if (w <= 0 || h <= 0) return false;
    *width = w;
    *height = h;
    return true;
}

bool RunPictureDialog(const PictureDialog& dialog) {
    HWND owner = dialog.owner ? Win32WindowOf(dialog.owner) : nullptr;
    // Windows locks the session itself: there is no grab to take over (takeInputFrom).
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kPictureDialogTemplate), owner,
                        PictureDialogProc, reinterpret_cast<LPARAM>(&dialog));
    return result == 1;
}

}  // namespace platform
