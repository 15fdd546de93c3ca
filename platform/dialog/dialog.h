// Dialogs and their controls, driven by id from plain procedures, as the Windows
// dialog manager drives them. A dialog is a window of the window system (messages,
// timers and notices reach it like any other window) whose desktop side is made by
// the dialog backend: GTK for the program, a null backend that records every request
// for tests. Controls sit at pixel rectangles; owner-drawn buttons and tabs ask their
// dialog to draw them with WM_DRAWITEM, and every dialog paints its own background
// in WM_PAINT. Text crosses this interface as UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fonts/fonts.h"
#include "platform/window/window.h"

namespace platform {

// Dialog messages, with their Windows numbers.
inline constexpr std::uint32_t WM_NOTIFY = 0x004E;
inline constexpr std::uint32_t WM_DRAWITEM = 0x002B;
inline constexpr std::uint32_t WM_INITDIALOG = 0x0110;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_HSCROLL = 0x0114;
inline constexpr std::uint32_t WM_VSCROLL = 0x0115;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Notification codes: the high word of a WM_COMMAND's wParam, or NotifyHeader::code.
inline constexpr int BN_CLICKED = 0;
inline constexpr int EN_CHANGE = 0x0300;
inline constexpr int TCN_SELCHANGE = -551;
// Scroll codes of WM_HSCROLL (sliders) and WM_VSCROLL (up-down controls).
inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int TB_THUMBTRACK = 5;
inline constexpr int TB_ENDTRACK = 8;

// Draw-item record: ctlType, and the item state bits.
inline constexpr std::uint32_t ODT_BUTTON = 4;
inline constexpr std::uint32_t ODT_TAB = 101;
inline constexpr std::uint32_t ODS_SELECTED = 0x0001;
inline constexpr std::uint32_t ODS_DISABLED = 0x0004;
inline constexpr std::uint32_t ODS_FOCUS = 0x0010;

// The light grey of the stock brush that dialogs fill behind their numbers.
inline constexpr std::uint32_t kLightGrey = 0x00C0C0C0;

inline WPARAM MakeWParam(int low, int high) {
    return (static_cast<WPARAM>(static_cast<std::uint16_t>(low))) |
           (static_cast<WPARAM>(static_cast<std::uint16_t>(high)) << 16);
}
inline int LowWord(WPARAM w) { return static_cast<int>(w & 0xFFFF); }
inline int HighWord(WPARAM w) { return static_cast<int>((w >> 16) & 0xFFFF); }

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// A place to draw: a dialog's paint, a device context taken outside a paint, or the
// face of an owner-drawn control. 0 is none.
using DrawTarget = std::uint32_t;

// WM_DRAWITEM's lParam points to one of these; its wParam is the control id.
struct DrawItem {
    std::uint32_t ctlType = ODT_BUTTON;
    int ctlId = 0;
    int itemId = 0;  // the tab index of a tab, 0 for a button
    std::uint32_t itemState = 0;
    DrawTarget target = 0;
    Rect item;  // in the control's own pixels
};

// WM_NOTIFY's lParam points to one of these; its wParam is the control id.
struct NotifyHeader {
    WindowHandle from = 0;
    int idFrom = 0;
    int code = 0;
};

enum class ControlKind {
    kButton,       // an owner-drawn push button: WM_DRAWITEM draws it, a click sends BN_CLICKED
    kCheckBox,     // an automatic check box: a click toggles it and sends BN_CLICKED
    kRadioButton,  // an automatic radio button: a click checks it, unchecks its group
    kEdit,         // a single-line edit: EN_CHANGE on every change
    kTrackbar,     // a horizontal slider: WM_HSCROLL with TB_THUMBTRACK, then TB_ENDTRACK
    kUpDown,       // two arrows: WM_VSCROLL with SB_THUMBPOSITION and the new position
    kTabControl,   // owner-drawn tabs in a row: WM_NOTIFY TCN_SELCHANGE
    kNativeArea,   // an area with a native window of its own, for a child of another toolkit
};

// A radio button with this style starts a new group; the group runs to the next one.
inline constexpr std::uint32_t kStyleGroup = 0x00020000;

// The open-file chooser: title, a filter (and another offered before it when set),
// the file offered, the file must exist.
struct FileChooser {
    std::string title;
    std::string filterName;     // "X Format file (*.x)"
    std::string filterPattern;  // "*.x", or several joined by ';'
    std::string firstFilterName;     // offered first when not empty: "3D models (...)"
    std::string firstFilterPattern;  // "*.x;*.gltf;..."
    std::string initialPath;    // UTF-8; offered when it names a file or a folder
};

// The font chooser with a colour, as the Windows font dialog with effects has one.
struct FontChoice {
    FontDescription font;  // in: the font offered (height < 0: character height in pixels)
    bool offerFont = false;  // false: start from the chooser's default
    std::uint32_t color = 0;  // COLORREF
    // The whole Windows LOGFONTA record (60 bytes, as the settings store it), for a
    // chooser that works on that record itself: offered as it stands when
    // hasLogFont, and given back whole, with logFontChosen set, by such a chooser
    // (font then describes the same font). Other choosers leave both flags alone.
    std::array<std::uint8_t, 60> logFont{};
    bool hasLogFont = false;
    bool logFontChosen = false;
};

// The colour chooser with its row of custom colours.
struct ColorChoice {
    std::uint32_t color = 0;  // in: offered; out: chosen (COLORREF)
    std::uint32_t custom[16] = {};
};

enum class MessageKind { kInformation, kWarning, kError };

class DialogBackend {
public:
    virtual ~DialogBackend() = default;

    // Whether dialogs can be shown at all (a desktop is there).
    virtual bool Available() = 0;
    // Why they cannot, in one line, when Available() is false; and whether that is a
    // failure of the run (no display could be opened) rather than a known absence.
    virtual std::string UnavailableReason() {
        return "the configuration dialog needs a display, and none can be opened";
    }
    virtual bool UnavailableIsFailure() { return true; }
    // The native window (an HWND) of another program that a top-level dialog is modal
    // to: disabled while the dialog runs, enabled again after, the dialog in front of
    // it. 0, or an id that names no window: modal to nothing. Backends whose desktop
    // has no such owner ignore it.
    virtual void SetOwnerWindow(std::uint64_t /*nativeId*/) {}
    // The primary monitor's size in the dialog's pixels.
    virtual bool ScreenSize(int* width, int* height) = 0;
    // The screen's pixels per dialog pixel: 1, or 2 where the desktop scales twice,
    // or 1.25 and 1.5 where it scales by a part (as Windows may).
    virtual double PixelScale() = 0;

    // A dialog: a top-level window without caption when parent is 0, else a child
    // area of the parent dialog at r. Hidden until shown. templateId names the
    // program's dialog template it is made from, where the desktop makes dialogs from
    // templates (Windows); 0 for none. Other backends make the controls one by one.
    virtual bool CreateDialog(WindowHandle dialog, WindowHandle parent, const Rect& r,
                              int templateId) = 0;
    virtual void DestroyDialog(WindowHandle dialog) = 0;
    virtual void MoveDialog(WindowHandle dialog, const Rect& r) = 0;
    virtual void ShowDialog(WindowHandle dialog, bool visible) = 0;

    virtual bool CreateControl(WindowHandle dialog, int id, ControlKind kind, const Rect& r,
                               std::uint32_t style) = 0;
    virtual void MoveControl(WindowHandle dialog, int id, const Rect& r) = 0;
    virtual void EnableControl(WindowHandle dialog, int id, bool enabled) = 0;
    virtual bool IsControlEnabled(WindowHandle dialog, int id) = 0;
    virtual void ShowControl(WindowHandle dialog, int id, bool visible) = 0;
    virtual bool IsControlVisible(WindowHandle dialog, int id) = 0;
    // Check boxes and radio buttons: 0 or 1.
    virtual void SetCheck(WindowHandle dialog, int id, int checked) = 0;
    virtual int GetCheck(WindowHandle dialog, int id) = 0;
    // Sliders, up-down controls and tab controls: the range and the position (for a
    // tab control, the current tab). Setting a position sends no notification.
    virtual void SetRange(WindowHandle dialog, int id, int minimum, int maximum) = 0;
    virtual void SetPosition(WindowHandle dialog, int id, int position) = 0;
    virtual int GetPosition(WindowHandle dialog, int id) = 0;
    // Slider ticks: one every `frequency` positions from the minimum, and one more.
    virtual void SetTicks(WindowHandle dialog, int id, int frequency, int extraTick) = 0;
    // Tab controls: the number of tabs and their size.
    virtual void SetTabs(WindowHandle dialog, int id, int count, int width, int height) = 0;
    // Edit controls.
    virtual void SetText(WindowHandle dialog, int id, const std::string& utf8) = 0;
    virtual std::string GetText(WindowHandle dialog, int id) = 0;
    virtual void SetTextLimit(WindowHandle dialog, int id, int characters) = 0;
    virtual void SetControlFont(WindowHandle dialog, int id, const FontDescription& font) = 0;
    // Asked before typed or pasted text (UTF-8) goes into an edit control: false
    // refuses it, with a beep.
    virtual void SetInsertFilter(WindowHandle dialog, int id,
                                    std::function<bool(std::string_view)> accept) = 0;
    // The native window id (an X11 window id, an HWND) of a native area.
    virtual std::uint64_t NativeWindowId(WindowHandle dialog, int id) = 0;
    virtual void RedrawControl(WindowHandle dialog, int id) = 0;

    // Painting. Invalidate asks for a WM_PAINT; BeginPaint takes the paint (and
    // validates the window); GetDC draws outside a paint.
    virtual void Invalidate(WindowHandle dialog) = 0;
    virtual DrawTarget BeginPaint(WindowHandle dialog) = 0;
    virtual void EndPaint(WindowHandle dialog, DrawTarget target) = 0;
    virtual DrawTarget GetDC(WindowHandle dialog) = 0;
    virtual void ReleaseDC(WindowHandle dialog, DrawTarget target) = 0;
    // A BMP file's picture copied into dst, stretched to it. False (and nothing
    // drawn) when the bytes are no picture.
    virtual bool DrawPicture(DrawTarget target, std::span<const std::byte> bmp,
                             const Rect& dst) = 0;
    virtual void FillRect(DrawTarget target, const Rect& r, std::uint32_t colorref) = 0;
    // A UTF-8 text in the font (nullptr: the default font of a device context) and
    // colour, its top-left corner at (x, y), over what is there.
    virtual void DrawText(DrawTarget target, int x, int y, const std::string& utf8,
                          const Font* font, std::uint32_t colorref) = 0;
    virtual void Beep() = 0;
    virtual void SetWaitCursor(WindowHandle dialog, bool wait) = 0;

    // Runs the dialog until EndModal; pump is called whenever our own messages,
    // timers or notices may be waiting.
    virtual void RunModal(WindowHandle dialog, void (*pump)()) = 0;
    virtual void EndModal(WindowHandle dialog) = 0;

    // Choosers and boxes, modal over the owner. False when cancelled.
    virtual bool ChooseOpenFile(WindowHandle owner, const FileChooser& chooser,
                                std::string* utf8Path) = 0;
    virtual bool ChooseFont(WindowHandle owner, FontChoice& choice) = 0;
    virtual bool ChooseColor(WindowHandle owner, ColorChoice& choice) = 0;
    virtual void ShowMessage(WindowHandle owner, const std::string& title,
                             const std::string& text, MessageKind kind) = 0;
    // Opens a document (a help page) with the desktop's viewer. False when it cannot
    // be started; a viewer that fails later is reported in a message box.
    virtual bool OpenDocument(WindowHandle owner, const std::string& path) = 0;
};

// GTK 3 on X11; nothing when there is no display.
std::unique_ptr<DialogBackend> CreateGtkDialogBackend();

// The backend in use: the target's own (platform/backends.h) unless one was set.
DialogBackend& Dialogs();
void SetDialogBackend(std::unique_ptr<DialogBackend> backend);

// Makes a dialog window with the procedure, asks the backend for its desktop side
// (from the dialog template templateId, 0 for none) and sends it WM_INITDIALOG with
// the parameter. 0 when it cannot be made.
WindowHandle CreateDialogWindow(WindowProc proc, WindowHandle parent, const Rect& r,
                                LPARAM initParam = 0, int templateId = 0);
// Runs the dialog modally; once EndDialog was called, destroys it (WM_DESTROY to it,
// then to its child dialogs) and returns the result.
int RunModalDialog(WindowHandle dialog, void (*pump)());
void EndDialog(WindowHandle dialog, int result);

// Sends a control's click to its dialog, as the desktop does.
LRESULT SendCommand(WindowHandle dialog, int id, int code = BN_CLICKED);

}  // namespace platform
