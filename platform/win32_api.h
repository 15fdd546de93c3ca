// The one way a Win32 backend includes <windows.h>.
//
// Our platform interfaces use the Windows names the program is written with
// (WM_KEYDOWN, VK_F1, IDOK, BN_CLICKED, CreateWindow, SendMessage, ...), and
// <windows.h> defines every one of them as a macro. They live together by three rules:
//  - A _win32 file includes the platform headers it needs first and this header
//    last; no platform header is included after <windows.h>.
//  - Constants (messages, keys, styles, notifications) keep Windows' macros, which
//    expand to the very numbers ours have: the asserts below check every one. Such a
//    file writes them unqualified, never as platform::WM_KEYDOWN.
//  - Windows' function-like names that our interfaces also declare are undefined
//    here, so platform::CreateWindow stays ours; the backend calls Windows' explicit
//    ANSI names (CreateWindowExA, SendMessageA, DefWindowProcA, ...), as the program
//    speaks the keyboard code page.
#pragma once

#ifndef _WIN32
#error "only the Win32 backends include platform/win32_api.h"
#endif

#include <cstdint>

#include "platform/dialog/dialog.h"
#include "platform/window/window.h"

// Our numbers, taken before <windows.h> turns the names into macros.
namespace orbsaver_win32_names {
using namespace platform;
inline constexpr std::int64_t kOurs[] = {
    WM_CREATE,
    WM_DESTROY,
    WM_MOVE,
    WM_SIZE,
    WM_PAINT,
    WM_CLOSE,
    WM_QUIT,
    WM_ACTIVATEAPP,
    WM_SETCURSOR,
    WM_KEYDOWN,
    WM_KEYUP,
    WM_CHAR,
    WM_SYSKEYDOWN,
    WM_SYSKEYUP,
    WM_SYSCOMMAND,
    WM_TIMER,
    WM_MOUSEMOVE,
    WM_LBUTTONDOWN,
    WM_LBUTTONUP,
    WM_LBUTTONDBLCLK,
    WM_RBUTTONDOWN,
    WM_RBUTTONUP,
    WM_MBUTTONDOWN,
    WM_MBUTTONUP,
    MM_MCINOTIFY,
    SC_CLOSE,
    SC_KEYMENU,
    SIZE_RESTORED,
    MK_LBUTTON,
    MK_RBUTTON,
    MK_SHIFT,
    MK_CONTROL,
    MK_MBUTTON,
    VK_BACK,
    VK_TAB,
    VK_RETURN,
    VK_SHIFT,
    VK_CONTROL,
    VK_MENU,
    VK_PAUSE,
    VK_CAPITAL,
    VK_ESCAPE,
    VK_SPACE,
    VK_PRIOR,
    VK_NEXT,
    VK_END,
    VK_HOME,
    VK_LEFT,
    VK_UP,
    VK_RIGHT,
    VK_DOWN,
    VK_INSERT,
    VK_DELETE,
    VK_LWIN,
    VK_F1,
    VK_F10,
    VK_F12,
    WS_POPUP,
    WS_CHILD,
    WS_VISIBLE,
    WM_NOTIFY,
    WM_DRAWITEM,
    WM_INITDIALOG,
    WM_COMMAND,
    WM_HSCROLL,
    WM_VSCROLL,
    IDOK,
    IDCANCEL,
    BN_CLICKED,
    EN_CHANGE,
    TCN_SELCHANGE,
    SB_THUMBPOSITION,
    TB_THUMBTRACK,
    TB_ENDTRACK,
    ODT_BUTTON,
    ODT_TAB,
    ODS_SELECTED,
    ODS_DISABLED,
    ODS_FOCUS,
};
}  // namespace orbsaver_win32_names

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>

#undef ChooseColor
#undef ChooseFont
#undef CreateDialog
#undef CreateWindow
#undef DefWindowProc
#undef DispatchMessage
#undef DrawText
#undef FindResource
#undef PeekMessage
#undef PostMessage
#undef SendMessage

// Windows' numbers are ours (a negative notification code is Windows' unsigned one
// taken back to its sign).
static_assert(orbsaver_win32_names::kOurs[0] == static_cast<std::int64_t>(WM_CREATE), "WM_CREATE");
static_assert(orbsaver_win32_names::kOurs[1] == static_cast<std::int64_t>(WM_DESTROY), "WM_DESTROY");
static_assert(orbsaver_win32_names::kOurs[2] == static_cast<std::int64_t>(WM_MOVE), "WM_MOVE");
static_assert(orbsaver_win32_names::kOurs[3] == static_cast<std::int64_t>(WM_SIZE), "WM_SIZE");
static_assert(orbsaver_win32_names::kOurs[4] == static_cast<std::int64_t>(WM_PAINT), "WM_PAINT");
static_assert(orbsaver_win32_names::kOurs[5] == static_cast<std::int64_t>(WM_CLOSE), "WM_CLOSE");
static_assert(orbsaver_win32_names::kOurs[6] == static_cast<std::int64_t>(WM_QUIT), "WM_QUIT");
static_assert(orbsaver_win32_names::kOurs[7] == static_cast<std::int64_t>(WM_ACTIVATEAPP), "WM_ACTIVATEAPP");
static_assert(orbsaver_win32_names::kOurs[8] == static_cast<std::int64_t>(WM_SETCURSOR), "WM_SETCURSOR");
static_assert(orbsaver_win32_names::kOurs[9] == static_cast<std::int64_t>(WM_KEYDOWN), "WM_KEYDOWN");
static_assert(orbsaver_win32_names::kOurs[10] == static_cast<std::int64_t>(WM_KEYUP), "WM_KEYUP");
static_assert(orbsaver_win32_names::kOurs[11] == static_cast<std::int64_t>(WM_CHAR), "WM_CHAR");
static_assert(orbsaver_win32_names::kOurs[12] == static_cast<std::int64_t>(WM_SYSKEYDOWN), "WM_SYSKEYDOWN");
static_assert(orbsaver_win32_names::kOurs[13] == static_cast<std::int64_t>(WM_SYSKEYUP), "WM_SYSKEYUP");
static_assert(orbsaver_win32_names::kOurs[14] == static_cast<std::int64_t>(WM_SYSCOMMAND), "WM_SYSCOMMAND");
static_assert(orbsaver_win32_names::kOurs[15] == static_cast<std::int64_t>(WM_TIMER), "WM_TIMER");
static_assert(orbsaver_win32_names::kOurs[16] == static_cast<std::int64_t>(WM_MOUSEMOVE), "WM_MOUSEMOVE");
static_assert(orbsaver_win32_names::kOurs[17] == static_cast<std::int64_t>(WM_LBUTTONDOWN), "WM_LBUTTONDOWN");
static_assert(orbsaver_win32_names::kOurs[18] == static_cast<std::int64_t>(WM_LBUTTONUP), "WM_LBUTTONUP");
static_assert(orbsaver_win32_names::kOurs[19] == static_cast<std::int64_t>(WM_LBUTTONDBLCLK), "WM_LBUTTONDBLCLK");
static_assert(orbsaver_win32_names::kOurs[20] == static_cast<std::int64_t>(WM_RBUTTONDOWN), "WM_RBUTTONDOWN");
static_assert(orbsaver_win32_names::kOurs[21] == static_cast<std::int64_t>(WM_RBUTTONUP), "WM_RBUTTONUP");
static_assert(orbsaver_win32_names::kOurs[22] == static_cast<std::int64_t>(WM_MBUTTONDOWN), "WM_MBUTTONDOWN");
static_assert(orbsaver_win32_names::kOurs[23] == static_cast<std::int64_t>(WM_MBUTTONUP), "WM_MBUTTONUP");
static_assert(orbsaver_win32_names::kOurs[24] == static_cast<std::int64_t>(MM_MCINOTIFY), "MM_MCINOTIFY");
static_assert(orbsaver_win32_names::kOurs[25] == static_cast<std::int64_t>(SC_CLOSE), "SC_CLOSE");
static_assert(orbsaver_win32_names::kOurs[26] == static_cast<std::int64_t>(SC_KEYMENU), "SC_KEYMENU");
static_assert(orbsaver_win32_names::kOurs[27] == static_cast<std::int64_t>(SIZE_RESTORED), "SIZE_RESTORED");
static_assert(orbsaver_win32_names::kOurs[28] == static_cast<std::int64_t>(MK_LBUTTON), "MK_LBUTTON");
static_assert(orbsaver_win32_names::kOurs[29] == static_cast<std::int64_t>(MK_RBUTTON), "MK_RBUTTON");
static_assert(orbsaver_win32_names::kOurs[30] == static_cast<std::int64_t>(MK_SHIFT), "MK_SHIFT");
static_assert(orbsaver_win32_names::kOurs[31] == static_cast<std::int64_t>(MK_CONTROL), "MK_CONTROL");
static_assert(orbsaver_win32_names::kOurs[32] == static_cast<std::int64_t>(MK_MBUTTON), "MK_MBUTTON");
static_assert(orbsaver_win32_names::kOurs[33] == static_cast<std::int64_t>(VK_BACK), "VK_BACK");
static_assert(orbsaver_win32_names::kOurs[34] == static_cast<std::int64_t>(VK_TAB), "VK_TAB");
static_assert(orbsaver_win32_names::kOurs[35] == static_cast<std::int64_t>(VK_RETURN), "VK_RETURN");
static_assert(orbsaver_win32_names::kOurs[36] == static_cast<std::int64_t>(VK_SHIFT), "VK_SHIFT");
static_assert(orbsaver_win32_names::kOurs[37] == static_cast<std::int64_t>(VK_CONTROL), "VK_CONTROL");
static_assert(orbsaver_win32_names::kOurs[38] == static_cast<std::int64_t>(VK_MENU), "VK_MENU");
static_assert(orbsaver_win32_names::kOurs[39] == static_cast<std::int64_t>(VK_PAUSE), "VK_PAUSE");
static_assert(orbsaver_win32_names::kOurs[40] == static_cast<std::int64_t>(VK_CAPITAL), "VK_CAPITAL");
static_assert(orbsaver_win32_names::kOurs[41] == static_cast<std::int64_t>(VK_ESCAPE), "VK_ESCAPE");
static_assert(orbsaver_win32_names::kOurs[42] == static_cast<std::int64_t>(VK_SPACE), "VK_SPACE");
static_assert(orbsaver_win32_names::kOurs[43] == static_cast<std::int64_t>(VK_PRIOR), "VK_PRIOR");
static_assert(orbsaver_win32_names::kOurs[44] == static_cast<std::int64_t>(VK_NEXT), "VK_NEXT");
static_assert(orbsaver_win32_names::kOurs[45] == static_cast<std::int64_t>(VK_END), "VK_END");
static_assert(orbsaver_win32_names::kOurs[46] == static_cast<std::int64_t>(VK_HOME), "VK_HOME");
static_assert(orbsaver_win32_names::kOurs[47] == static_cast<std::int64_t>(VK_LEFT), "VK_LEFT");
static_assert(orbsaver_win32_names::kOurs[48] == static_cast<std::int64_t>(VK_UP), "VK_UP");
static_assert(orbsaver_win32_names::kOurs[49] == static_cast<std::int64_t>(VK_RIGHT), "VK_RIGHT");
static_assert(orbsaver_win32_names::kOurs[50] == static_cast<std::int64_t>(VK_DOWN), "VK_DOWN");
static_assert(orbsaver_win32_names::kOurs[51] == static_cast<std::int64_t>(VK_INSERT), "VK_INSERT");
static_assert(orbsaver_win32_names::kOurs[52] == static_cast<std::int64_t>(VK_DELETE), "VK_DELETE");
static_assert(orbsaver_win32_names::kOurs[53] == static_cast<std::int64_t>(VK_LWIN), "VK_LWIN");
static_assert(orbsaver_win32_names::kOurs[54] == static_cast<std::int64_t>(VK_F1), "VK_F1");
static_assert(orbsaver_win32_names::kOurs[55] == static_cast<std::int64_t>(VK_F10), "VK_F10");
static_assert(orbsaver_win32_names::kOurs[56] == static_cast<std::int64_t>(VK_F12), "VK_F12");
static_assert(orbsaver_win32_names::kOurs[57] == static_cast<std::int64_t>(WS_POPUP), "WS_POPUP");
static_assert(orbsaver_win32_names::kOurs[58] == static_cast<std::int64_t>(WS_CHILD), "WS_CHILD");
static_assert(orbsaver_win32_names::kOurs[59] == static_cast<std::int64_t>(WS_VISIBLE), "WS_VISIBLE");
static_assert(orbsaver_win32_names::kOurs[60] == static_cast<std::int64_t>(WM_NOTIFY), "WM_NOTIFY");
static_assert(orbsaver_win32_names::kOurs[61] == static_cast<std::int64_t>(WM_DRAWITEM), "WM_DRAWITEM");
static_assert(orbsaver_win32_names::kOurs[62] == static_cast<std::int64_t>(WM_INITDIALOG), "WM_INITDIALOG");
static_assert(orbsaver_win32_names::kOurs[63] == static_cast<std::int64_t>(WM_COMMAND), "WM_COMMAND");
static_assert(orbsaver_win32_names::kOurs[64] == static_cast<std::int64_t>(WM_HSCROLL), "WM_HSCROLL");
static_assert(orbsaver_win32_names::kOurs[65] == static_cast<std::int64_t>(WM_VSCROLL), "WM_VSCROLL");
static_assert(orbsaver_win32_names::kOurs[66] == static_cast<std::int64_t>(IDOK), "IDOK");
static_assert(orbsaver_win32_names::kOurs[67] == static_cast<std::int64_t>(IDCANCEL), "IDCANCEL");
static_assert(orbsaver_win32_names::kOurs[68] == static_cast<std::int64_t>(BN_CLICKED), "BN_CLICKED");
static_assert(orbsaver_win32_names::kOurs[69] == static_cast<std::int64_t>(EN_CHANGE), "EN_CHANGE");
static_assert(orbsaver_win32_names::kOurs[70] == static_cast<std::int64_t>(static_cast<int>(TCN_SELCHANGE)), "TCN_SELCHANGE");
static_assert(orbsaver_win32_names::kOurs[71] == static_cast<std::int64_t>(SB_THUMBPOSITION), "SB_THUMBPOSITION");
static_assert(orbsaver_win32_names::kOurs[72] == static_cast<std::int64_t>(TB_THUMBTRACK), "TB_THUMBTRACK");
static_assert(orbsaver_win32_names::kOurs[73] == static_cast<std::int64_t>(TB_ENDTRACK), "TB_ENDTRACK");
static_assert(orbsaver_win32_names::kOurs[74] == static_cast<std::int64_t>(ODT_BUTTON), "ODT_BUTTON");
static_assert(orbsaver_win32_names::kOurs[75] == static_cast<std::int64_t>(ODT_TAB), "ODT_TAB");
static_assert(orbsaver_win32_names::kOurs[76] == static_cast<std::int64_t>(ODS_SELECTED), "ODS_SELECTED");
static_assert(orbsaver_win32_names::kOurs[77] == static_cast<std::int64_t>(ODS_DISABLED), "ODS_DISABLED");
static_assert(orbsaver_win32_names::kOurs[78] == static_cast<std::int64_t>(ODS_FOCUS), "ODS_FOCUS");
