// The dialog backend on Win32. A dialog is made from its template in the program's
// resources with CreateDialogParamW (a modeless dialog: the interface sends
// WM_INITDIALOG itself, and only then runs the dialog), the pages as children of the
// dialog. The dialog procedure turns Windows' messages into ours for the dialog's own
// window: a click's WM_COMMAND, a tab's TCN_SELCHANGE, a trackbar's WM_HSCROLL and an
// up-down's WM_VSCROLL carry the control's id where Windows carries its HWND, and
// WM_DRAWITEM and WM_PAINT draw through draw targets over the real device contexts.
// The modal run disables the owner and runs a message loop with IsDialogMessageW, as
// DialogBoxParam does inside, and turns the program's own messages and timers between
// the desktop's. Every rectangle is in dialog pixels and scaled by the display's
// scale on its way to Windows.
#include "platform/dialog/dialog_win32.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"
#include "platform/dialog/dialog_win32_choosers.h"
#include "platform/dialog/dialog_win32_parts.h"
#include "platform/window/window.h"
#include "platform/win32_api.h"

namespace platform {

using namespace win32_dialog;

namespace {

INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR id, DWORD_PTR data);

class Win32DialogBackend;
Win32DialogBackend* g_dialogs = nullptr;

class Win32DialogBackend : public DialogBackend {
public:
    Win32DialogBackend() {
        g_dialogs = this;
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES |
                                                 ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
        HDC screen = ::GetDC(nullptr);
        const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
        if (screen) ::ReleaseDC(nullptr, screen);
        // Whole quarters, as Windows offers its scales.
        scale_ = std::max(1.0, std::round(dpi / 96.0 * 4) / 4);
        greyBrush_ = CreateSolidBrush(kLightGrey);
    }

    ~Win32DialogBackend() override {
        while (!dialogs_.empty()) DestroyDialog(dialogs_.begin()->first);
        for (auto& [key, font] : fonts_) DeleteObject(font);
        if (systemFont_) DeleteObject(systemFont_);
        DeleteObject(greyBrush_);
        if (g_dialogs == this) g_dialogs = nullptr;
    }

    bool Available() override { return true; }
    void SetOwnerWindow(std::uint64_t nativeId) override {
        const HWND owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(nativeId));
        owner_ = nativeId && ::IsWindow(owner) ? owner : nullptr;
    }
    bool ScreenSize(int* width, int* height) override {
        *width = static_cast<int>(GetSystemMetrics(SM_CXSCREEN) / scale_);
        *height = static_cast<int>(GetSystemMetrics(SM_CYSCREEN) / scale_);
        return *width > 0 && *height > 0;
    }
    double PixelScale() override { return scale_; }

    bool CreateDialog(WindowHandle dialog, WindowHandle parent, const Rect& r,
                      int templateId) override {
        HWND parentWindow = owner_;
        if (parent) {
            parentWindow = Hwnd(parent);
            if (!parentWindow) return false;
        }
        const HINSTANCE module = GetModuleHandleW(nullptr);
        const auto param = static_cast<LPARAM>(dialog);
        HWND hwnd = nullptr;
        if (templateId > 0 && FindResourceW(module, MAKEINTRESOURCEW(templateId),
                                            reinterpret_cast<LPCWSTR>(RT_DIALOG))) {
            hwnd = CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), parentWindow,
                                      DialogProcedure, param);
        } else {
            // No template: an empty dialog, whose controls are made one by one.
            struct alignas(4) {
                DLGTEMPLATE t;
                WORD menu, windowClass, title;
            } empty{};
            empty.t.style = parent ? (WS_CHILD | WS_CLIPCHILDREN | DS_CONTROL)
                                   : (WS_POPUP | WS_CLIPCHILDREN);
            hwnd = CreateDialogIndirectParamW(module, &empty.t, parentWindow, DialogProcedure, param);
        }
        if (!hwnd) return false;
        Dialog& d = dialogs_[dialog];
        d.hwnd = hwnd;
        d.parent = parent;
        MoveDialog(dialog, r);
        return true;
    }

    void DestroyDialog(WindowHandle dialog) override {
        auto it = dialogs_.find(dialog);
        if (it == dialogs_.end()) return;
        const HWND hwnd = it->second.hwnd;
        for (auto& [id, c] : it->second.controls) {
            if (c.font) DeleteObject(c.font);
        }
        dialogs_.erase(it);
        if (hwnd && ::IsWindow(hwnd)) ::DestroyWindow(hwnd);
    }

    void MoveDialog(WindowHandle dialog, const Rect& r) override {
        if (HWND hwnd = Hwnd(dialog)) {
            const RECT s = Scaled(r);
            MoveWindow(hwnd, s.left, s.top, s.right - s.left, s.bottom - s.top, TRUE);
        }
    }

    void ShowDialog(WindowHandle dialog, bool visible) override {
        HWND hwnd = Hwnd(dialog);
        if (!hwnd) return;
        ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE);
        if (visible) SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }

    bool CreateControl(WindowHandle dialog, int id, ControlKind kind, const Rect& r,
                       std::uint32_t style) override {
        Dialog* d = Find(dialog);
        if (!d) return false;
        HWND control = GetDlgItem(d->hwnd, id);
        if (control && !IsOfKind(control, kind)) {
            // A template's control of another kind gives way to the one asked for.
            ::DestroyWindow(control);
            control = nullptr;
        }
        const RECT s = Scaled(r);
        if (!control) {
            control = CreateWindowExW(0, ClassOf(kind), L"", StyleOf(kind, style), s.left, s.top,
                                      s.right - s.left, s.bottom - s.top, d->hwnd,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                      GetModuleHandleW(nullptr), nullptr);
            if (!control) return false;
            SendMessageW(control, WM_SETFONT, SendMessageW(d->hwnd, WM_GETFONT, 0, 0), FALSE);
        } else {
            MoveWindow(control, s.left, s.top, s.right - s.left, s.bottom - s.top, TRUE);
        }
        Control& c = d->controls[id];
        c.hwnd = control;
        c.kind = kind;
        return true;
    }

    void MoveControl(WindowHandle dialog, int id, const Rect& r) override {
        if (HWND c = Ctl(dialog, id)) {
            const RECT s = Scaled(r);
            MoveWindow(c, s.left, s.top, s.right - s.left, s.bottom - s.top, TRUE);
        }
    }
    void EnableControl(WindowHandle dialog, int id, bool enabled) override {
        if (HWND c = Ctl(dialog, id)) EnableWindow(c, enabled);
    }
    bool IsControlEnabled(WindowHandle dialog, int id) override {
        HWND c = Ctl(dialog, id);
        return c && IsWindowEnabled(c);
    }
    void ShowControl(WindowHandle dialog, int id, bool visible) override {
        if (HWND c = Ctl(dialog, id)) ShowWindow(c, visible ? SW_SHOW : SW_HIDE);
    }
    // A control the dialog has not made yet is not there, even where its template has it.
    bool IsControlVisible(WindowHandle dialog, int id) override {
        Dialog* d = Find(dialog);
        if (!d || !d->controls.count(id)) return false;
        HWND c = Ctl(dialog, id);
        return c && (GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE);
    }
    void SetCheck(WindowHandle dialog, int id, int checked) override {
        if (HWND c = Ctl(dialog, id)) SendMessageW(c, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    int GetCheck(WindowHandle dialog, int id) override {
        HWND c = Ctl(dialog, id);
        return c && SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    }
    void SetRange(WindowHandle dialog, int id, int minimum, int maximum) override {
        HWND c = Ctl(dialog, id);
        if (!c) return;
        switch (KindOf(dialog, id)) {
            case ControlKind::kTrackbar:
                SendMessageW(c, TBM_SETRANGEMIN, FALSE, minimum);
                SendMessageW(c, TBM_SETRANGEMAX, TRUE, maximum);
                break;
            case ControlKind::kUpDown:
                SendMessageW(c, UDM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
                break;
            default:
                break;
        }
    }
    void SetPosition(WindowHandle dialog, int id, int position) override {
        HWND c = Ctl(dialog, id);
        if (!c) return;
        switch (KindOf(dialog, id)) {
            case ControlKind::kTrackbar:
                SendMessageW(c, TBM_SETPOS, TRUE, position);
                break;
            case ControlKind::kUpDown:
                SendMessageW(c, UDM_SETPOS32, 0, position);
                break;
            case ControlKind::kTabControl:
                SendMessageW(c, TCM_SETCURSEL, static_cast<WPARAM>(position), 0);
                break;
            default:
                break;
        }
    }
    int GetPosition(WindowHandle dialog, int id) override {
        HWND c = Ctl(dialog, id);
        if (!c) return 0;
        switch (KindOf(dialog, id)) {
            case ControlKind::kTrackbar:
                return static_cast<int>(SendMessageW(c, TBM_GETPOS, 0, 0));
            case ControlKind::kUpDown:
                return static_cast<int>(SendMessageW(c, UDM_GETPOS32, 0, 0));
            case ControlKind::kTabControl:
                return static_cast<int>(SendMessageW(c, TCM_GETCURSEL, 0, 0));
            default:
                return 0;
        }
    }
    void SetTicks(WindowHandle dialog, int id, int frequency, int extraTick) override {
        HWND c = Ctl(dialog, id);
        if (!c || KindOf(dialog, id) != ControlKind::kTrackbar) return;
        SendMessageW(c, TBM_SETTICFREQ, static_cast<WPARAM>(frequency), 0);
        SendMessageW(c, TBM_SETTIC, 0, extraTick);
    }
    void SetTabs(WindowHandle dialog, int id, int count, int width, int height) override {
        HWND c = Ctl(dialog, id);
        if (!c || KindOf(dialog, id) != ControlKind::kTabControl) return;
        const int selected = static_cast<int>(SendMessageW(c, TCM_GETCURSEL, 0, 0));
        SendMessageW(c, TCM_DELETEALLITEMS, 0, 0);
        for (int i = 0; i < count; ++i) {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<wchar_t*>(L"");
            SendMessageW(c, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        }
        SendMessageW(c, TCM_SETITEMSIZE, 0,
                     MAKELPARAM(std::lround(width * scale_), std::lround(height * scale_)));
        SendMessageW(c, TCM_SETCURSEL, selected >= 0 && selected < count ? selected : 0, 0);
    }
    void SetText(WindowHandle dialog, int id, const std::string& utf8) override {
        HWND c = Ctl(dialog, id);
        if (!c) return;
        // The program's own change of the text is no change the user made.
        ++settingText_;
        SetWindowTextW(c, Widen(utf8).c_str());
        --settingText_;
    }
    std::string GetText(WindowHandle dialog, int id) override {
        HWND c = Ctl(dialog, id);
        if (!c) return {};
        const int length = GetWindowTextLengthW(c);
        std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
        const int got = GetWindowTextW(c, text.data(), length + 1);
        return Narrow(text.data(), got);
    }
    void SetTextLimit(WindowHandle dialog, int id, int characters) override {
        if (HWND c = Ctl(dialog, id)) SendMessageW(c, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
    }
    void SetControlFont(WindowHandle dialog, int id, const FontDescription& font) override {
        Dialog* d = Find(dialog);
        HWND c = Ctl(dialog, id);
        if (!d || !c) return;
        HFONT made = MakeFont(font);
        if (!made) return;
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
        Control& control = d->controls[id];
        if (control.font) DeleteObject(control.font);
        control.font = made;
    }
    void SetInsertFilter(WindowHandle dialog, int id,
                         std::function<bool(std::string_view)> accept) override {
        Dialog* d = Find(dialog);
        HWND c = Ctl(dialog, id);
        if (!d || !c) return;
        Control& control = d->controls[id];
        control.hwnd = c;
        control.filter = std::move(accept);
        SetWindowSubclass(c, EditProcedure, static_cast<UINT_PTR>(id), static_cast<DWORD_PTR>(dialog));
    }
    std::uint64_t NativeWindowId(WindowHandle dialog, int id) override {
        return reinterpret_cast<std::uintptr_t>(Ctl(dialog, id));
    }
    void RedrawControl(WindowHandle dialog, int id) override {
        if (HWND c = Ctl(dialog, id)) InvalidateRect(c, nullptr, TRUE);
    }

    void Invalidate(WindowHandle dialog) override {
        if (HWND hwnd = Hwnd(dialog)) InvalidateRect(hwnd, nullptr, FALSE);
    }
    DrawTarget BeginPaint(WindowHandle dialog) override {
        Dialog* d = Find(dialog);
        if (!d) return 0;
        auto paint = std::make_unique<PAINTSTRUCT>();
        HDC dc = ::BeginPaint(d->hwnd, paint.get());
        if (!dc) return 0;
        const DrawTarget target = NewTarget(dc);
        ++beginPaints_;
        paints_[target] = Paint{d->hwnd, std::move(paint)};
        return target;
    }
    void EndPaint(WindowHandle /*dialog*/, DrawTarget target) override {
        auto it = paints_.find(target);
        if (it == paints_.end()) return;
        ::EndPaint(it->second.hwnd, it->second.paint.get());
        paints_.erase(it);
        targets_.erase(target);
    }
    DrawTarget GetDC(WindowHandle dialog) override {
        HWND hwnd = Hwnd(dialog);
        HDC dc = hwnd ? ::GetDC(hwnd) : nullptr;
        return dc ? NewTarget(dc) : 0;
    }
    void ReleaseDC(WindowHandle dialog, DrawTarget target) override {
        auto it = targets_.find(target);
        if (it == targets_.end()) return;
        if (HWND hwnd = Hwnd(dialog)) ::ReleaseDC(hwnd, it->second);
        targets_.erase(it);
    }
    bool DrawPicture(DrawTarget target, std::span<const std::byte> bmp, const Rect& dst) override {
        HDC dc = Dc(target);
        std::vector<std::uint32_t> info;
        const std::byte* bits = nullptr;
        int w = 0, h = 0;
        if (!dc || !ParseBmp(bmp, &info, &bits, &w, &h)) return false;
        const RECT s = Scaled(dst);
        SetStretchBltMode(dc, scale_ > 1 ? HALFTONE : COLORONCOLOR);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        return StretchDIBits(dc, s.left, s.top, s.right - s.left, s.bottom - s.top, 0, 0, w, h, bits,
                             reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS,
                             SRCCOPY) != 0;
    }
    void FillRect(DrawTarget target, const Rect& r, std::uint32_t colorref) override {
        HDC dc = Dc(target);
        if (!dc) return;
        const RECT s = Scaled(r);
        HBRUSH brush = CreateSolidBrush(colorref & 0x00FFFFFF);
        ::FillRect(dc, &s, brush);
        DeleteObject(brush);
    }
    void DrawText(DrawTarget target, int x, int y, const std::string& utf8, const Font* font,
                  std::uint32_t colorref) override {
        HDC dc = Dc(target);
        if (!dc) return;
        HFONT chosen = font ? CachedFont(font->description()) : ScaledSystemFont();
        HGDIOBJ before = chosen ? SelectObject(dc, chosen) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, colorref & 0x00FFFFFF);
        const std::wstring text = Widen(utf8);
        TextOutW(dc, static_cast<int>(std::lround(x * scale_)), static_cast<int>(std::lround(y * scale_)),
                 text.c_str(), static_cast<int>(text.size()));
        if (before) SelectObject(dc, before);
    }
    void Beep() override { MessageBeep(MB_OK); }
    void SetWaitCursor(WindowHandle dialog, bool wait) override {
        if (Dialog* d = Find(dialog)) d->waitCursor = wait;
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(wait ? IDC_WAIT : IDC_ARROW)));
    }

    void RunModal(WindowHandle dialog, void (*pump)()) override {
        Dialog* d = Find(dialog);
        if (!d) return;
        const HWND hwnd = d->hwnd;
        d->ended = false;
        // The owner waits for the dialog: disabled, the dialog in front of it.
        const bool disableOwner = !d->parent && owner_ && ::IsWindow(owner_) && IsWindowEnabled(owner_);
        if (disableOwner) EnableWindow(owner_, FALSE);
        ShowWindow(hwnd, SW_SHOW);
        SetForegroundWindow(hwnd);
        while ((d = Find(dialog)) && !d->ended && ::IsWindow(hwnd)) {
            MSG msg;
            for (int i = 0; i < 512 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
                if (msg.message == WM_QUIT) continue;
                if (!IsDialogMessageW(hwnd, &msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
                if (!(d = Find(dialog)) || d->ended) break;
            }
            if (!(d = Find(dialog)) || d->ended) break;
            if (pump) pump();
            if (!(d = Find(dialog)) || d->ended) break;
            const int next = MillisecondsToNextTimer();
            MsgWaitForMultipleObjectsEx(0, nullptr, next < 0 ? 50 : static_cast<DWORD>(std::min(next, 50)),
                                        QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
        // The owner is enabled before the dialog goes, so that it is the one activated.
        if (disableOwner && ::IsWindow(owner_)) {
            EnableWindow(owner_, TRUE);
            SetForegroundWindow(owner_);
        }
    }
    void EndModal(WindowHandle dialog) override {
        if (Dialog* d = Find(dialog)) d->ended = true;
    }

    bool ChooseOpenFile(WindowHandle owner, const FileChooser& chooser, std::string* utf8Path) override {
        return Win32ChooseOpenFile(TopOf(owner), chooser, utf8Path);
    }
    bool ChooseFont(WindowHandle owner, FontChoice& choice) override {
        return Win32ChooseFont(TopOf(owner), choice);
    }
    bool ChooseColor(WindowHandle owner, ColorChoice& choice) override {
        return Win32ChooseColor(TopOf(owner), choice);
    }
    void ShowMessage(WindowHandle owner, const std::string& title, const std::string& text,
                     MessageKind kind) override {
        Win32ShowMessage(TopOf(owner), title, text, kind);
    }
    bool OpenDocument(WindowHandle owner, const std::string& path) override {
        return Win32OpenDocument(TopOf(owner), path);
    }

    HWND Hwnd(WindowHandle dialog) {
        Dialog* d = Find(dialog);
        return d && ::IsWindow(d->hwnd) ? d->hwnd : nullptr;
    }

    // Windows' messages to one of our dialogs, as ours.
    INT_PTR Handle(HWND hwnd, WindowHandle dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (!Find(dialog)) return FALSE;
        switch (message) {
            case WM_ERASEBKGND:
                // The paint draws the whole background.
                SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
                return TRUE;
            case WM_PAINT: {
                // A procedure that takes no paint leaves the window valid all the same.
                const std::size_t paintsBefore = beginPaints_;
                SendMessage(dialog, WM_PAINT, 0, 0);
                if (beginPaints_ == paintsBefore) ValidateRect(hwnd, nullptr);
                return TRUE;
            }
            case WM_DRAWITEM: {
                const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
                if (!dis) return FALSE;
                DrawItem item;
                item.ctlType = dis->CtlType;
                item.ctlId = static_cast<int>(dis->CtlID);
                item.itemId = static_cast<int>(dis->itemID);
                item.itemState = dis->itemState;
                item.target = NewTarget(dis->hDC);
                item.item = Unscaled(dis->rcItem);
                SendMessage(dialog, WM_DRAWITEM, dis->CtlID, reinterpret_cast<LPARAM>(&item));
                targets_.erase(item.target);
                return TRUE;
            }
            case WM_COMMAND: {
                const int id = LOWORD(wParam), code = HIWORD(wParam);
                // A click, an edit's change, and Enter and Escape (IDOK and IDCANCEL from
                // the dialog manager); the controls' other notices are not ours.
                const bool fromKeys = lParam == 0 && (id == IDOK || id == IDCANCEL);
                if (!fromKeys && code != BN_CLICKED && code != EN_CHANGE) return FALSE;
                if (code == EN_CHANGE && settingText_ > 0) return TRUE;
                SendMessage(dialog, WM_COMMAND, MakeWParam(id, fromKeys ? BN_CLICKED : code), id);
                return TRUE;
            }
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lParam);
                if (!header || header->code != static_cast<UINT>(TCN_SELCHANGE)) return FALSE;
                NotifyHeader ours{dialog, static_cast<int>(header->idFrom), static_cast<int>(TCN_SELCHANGE)};
                SendMessage(dialog, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(&ours));
                return TRUE;
            }
            case WM_HSCROLL: {
                const HWND control = reinterpret_cast<HWND>(lParam);
                if (!control) return FALSE;
                const int id = GetDlgCtrlID(control);
                const int position = static_cast<int>(SendMessageW(control, TBM_GETPOS, 0, 0));
                SendMessage(dialog, WM_HSCROLL, MakeWParam(LOWORD(wParam), position), id);
                return TRUE;
            }
            case WM_VSCROLL: {
                const HWND control = reinterpret_cast<HWND>(lParam);
                if (!control || LOWORD(wParam) != SB_THUMBPOSITION) return FALSE;
                const int id = GetDlgCtrlID(control);
                const int position = static_cast<int>(SendMessageW(control, UDM_GETPOS32, 0, 0));
                SendMessage(dialog, WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, position), id);
                return TRUE;
            }
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN:
                // Check boxes, radio buttons and trackbars stand on the picture's grey.
                SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                SetBkColor(reinterpret_cast<HDC>(wParam), kLightGrey);
                return reinterpret_cast<INT_PTR>(greyBrush_);
            case WM_SETCURSOR:
                if (Dialog* d = Find(dialog); d && d->waitCursor) {
                    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
                    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
                    return TRUE;
                }
                return FALSE;
            case WM_CLOSE:
                // The window's close (Alt+F4) is Cancel.
                SendMessage(dialog, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
                return TRUE;
            case WM_NCDESTROY:
                // Windows took the dialog away (its owner went): the run ends.
                if (Dialog* d = Find(dialog); d && d->hwnd == hwnd) {
                    d->hwnd = nullptr;
                    d->ended = true;
                }
                return FALSE;
            default:
                return FALSE;
        }
    }

    // Typed and pasted text through the edit's filter.
    LRESULT Edit(HWND hwnd, WindowHandle dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
        Dialog* d = Find(dialog);
        if (!d) return DefSubclassProc(hwnd, message, wParam, lParam);
        const auto it = d->controls.find(id);
        if (it == d->controls.end() || !it->second.filter) {
            return DefSubclassProc(hwnd, message, wParam, lParam);
        }
        std::string inserted;
        if (message == WM_CHAR) {
            const auto unit = static_cast<wchar_t>(wParam);
            if (unit < 0x20 || unit == 0x7F) return DefSubclassProc(hwnd, message, wParam, lParam);
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                highSurrogate_ = unit;
                return 0;  // with its second half
            }
            wchar_t pair[2] = {highSurrogate_, unit};
            const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
            inserted = low && highSurrogate_ ? Narrow(pair, 2) : Narrow(&pair[1], 1);
            highSurrogate_ = 0;
            if (!it->second.filter(inserted)) {
                Beep();
                return 0;
            }
            if (low && pair[0]) {
                DefSubclassProc(hwnd, WM_CHAR, pair[0], lParam);
            }
            return DefSubclassProc(hwnd, message, wParam, lParam);
        }
        if (message == WM_PASTE) {
            if (IsClipboardFormatAvailable(CF_UNICODETEXT) && OpenClipboard(hwnd)) {
                if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
                        inserted = Narrow(text, static_cast<int>(wcslen(text)));
                        GlobalUnlock(data);
                    }
                }
                CloseClipboard();
            }
            if (!inserted.empty() && !it->second.filter(inserted)) {
                Beep();
                return 0;
            }
        }
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }

private:
    struct Control {
        HWND hwnd = nullptr;
        ControlKind kind = ControlKind::kButton;
        HFONT font = nullptr;
        std::function<bool(std::string_view)> filter;
    };
    struct Dialog {
        HWND hwnd = nullptr;
        WindowHandle parent = 0;
        bool ended = false;
        bool waitCursor = false;
        std::map<int, Control> controls;
    };
    struct Paint {
        HWND hwnd = nullptr;
        std::unique_ptr<PAINTSTRUCT> paint;
    };

    Dialog* Find(WindowHandle dialog) {
        auto it = dialogs_.find(dialog);
        return it == dialogs_.end() ? nullptr : &it->second;
    }
    HWND Ctl(WindowHandle dialog, int id) {
        HWND hwnd = Hwnd(dialog);
        return hwnd ? GetDlgItem(hwnd, id) : nullptr;
    }
    ControlKind KindOf(WindowHandle dialog, int id) {
        Dialog* d = Find(dialog);
        if (d) {
            auto it = d->controls.find(id);
            if (it != d->controls.end()) return it->second.kind;
        }
        // A template's control the dialog has not taken yet: by its class.
        HWND c = Ctl(dialog, id);
        for (ControlKind k : {ControlKind::kTrackbar, ControlKind::kUpDown, ControlKind::kTabControl}) {
            if (c && IsOfKind(c, k)) return k;
        }
        return ControlKind::kButton;
    }
    HWND TopOf(WindowHandle owner) {
        HWND hwnd = Hwnd(owner);
        return hwnd ? GetAncestor(hwnd, GA_ROOT) : owner_;
    }
    RECT Scaled(const Rect& r) const {
        const auto s = [this](int v) { return static_cast<LONG>(std::lround(v * scale_)); };
        return RECT{s(r.x), s(r.y), s(r.x + r.width), s(r.y + r.height)};
    }
    Rect Unscaled(const RECT& r) const {
        const auto u = [this](LONG v) { return static_cast<int>(std::lround(v / scale_)); };
        return Rect{u(r.left), u(r.top), u(r.right) - u(r.left), u(r.bottom) - u(r.top)};
    }
    DrawTarget NewTarget(HDC dc) {
        if (++nextTarget_ == 0) ++nextTarget_;
        targets_[nextTarget_] = dc;
        return nextTarget_;
    }
    HDC Dc(DrawTarget target) const {
        auto it = targets_.find(target);
        return it == targets_.end() ? nullptr : it->second;
    }
    HFONT MakeFont(const FontDescription& font) const {
        LOGFONTW lf{};
        lf.lfHeight = static_cast<LONG>(std::lround(std::clamp(font.height, -2000, 2000) * scale_));
        lf.lfWeight = std::clamp(font.weight, 0, 1000);
        lf.lfItalic = font.italic;
        lf.lfUnderline = font.underline;
        lf.lfStrikeOut = font.strikeOut;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = DEFAULT_QUALITY;
        const std::wstring face = Widen(font.face);
        std::size_t units = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
        if (units > 0 && units < face.size() && face[units - 1] >= 0xD800 && face[units - 1] <= 0xDBFF) --units;
        std::copy_n(face.data(), units, lf.lfFaceName);
        return CreateFontIndirectW(&lf);
    }
    // The device context's own font, at the display's scale: GDI keeps the system
    // font at its size whatever the scale.
    HFONT ScaledSystemFont() {
        if (scale_ == 1) return nullptr;
        if (!systemFont_) {
            LOGFONTW lf{};
            if (!GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf)) return nullptr;
            lf.lfHeight = static_cast<LONG>(std::lround(lf.lfHeight * scale_));
            lf.lfWidth = static_cast<LONG>(std::lround(lf.lfWidth * scale_));
            systemFont_ = CreateFontIndirectW(&lf);
        }
        return systemFont_;
    }
    HFONT CachedFont(const FontDescription& font) {
        const std::string key = font.face + '\n' + std::to_string(font.height) + ' ' +
                                std::to_string(font.weight) + ' ' + std::to_string(font.italic) +
                                std::to_string(font.underline) + std::to_string(font.strikeOut);
        auto it = fonts_.find(key);
        if (it != fonts_.end()) return it->second;
        HFONT made = MakeFont(font);
        if (made) fonts_[key] = made;
        return made;
    }

    std::map<WindowHandle, Dialog> dialogs_;
    std::map<DrawTarget, HDC> targets_;
    std::map<DrawTarget, Paint> paints_;
    std::map<std::string, HFONT> fonts_;
    DrawTarget nextTarget_ = 0;
    std::size_t beginPaints_ = 0;
    int settingText_ = 0;
    wchar_t highSurrogate_ = 0;
    double scale_ = 1;
    HWND owner_ = nullptr;
    HBRUSH greyBrush_ = nullptr;
    HFONT systemFont_ = nullptr;
};

INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // Our handle came as the parameter; our WM_INITDIALOG is sent by the interface.
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return FALSE;
    }
    const auto dialog = static_cast<WindowHandle>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!g_dialogs || dialog == 0) return FALSE;
    return g_dialogs->Handle(hwnd, dialog, message, wParam, lParam);
}

LRESULT CALLBACK EditProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR data) {
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, EditProcedure, id);
    if (!g_dialogs || (message != WM_CHAR && message != WM_PASTE)) {
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    return g_dialogs->Edit(hwnd, static_cast<WindowHandle>(data), static_cast<int>(id), message,
                           wParam, lParam);
}

}  // namespace

std::unique_ptr<DialogBackend> CreateWin32DialogBackend() {
    return std::make_unique<Win32DialogBackend>();
}

HWND__* Win32DialogOf(WindowHandle dialog) {
    auto* backend = dynamic_cast<Win32DialogBackend*>(&Dialogs());
    return backend ? backend->Hwnd(dialog) : nullptr;
}

}  // namespace platform
