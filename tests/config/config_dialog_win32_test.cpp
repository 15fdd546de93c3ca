// The configuration dialog on real Win32 dialogs, with the user's real registry key:
// the controls are driven with their own messages (BM_CLICK, TBM_SETPOS and
// WM_HSCROLL, UDM_SETPOS32 and WM_VSCROLL, TCM_SETCURSEL and WM_NOTIFY, WM_CHAR), and
// what the key holds afterwards is read with the registry's own functions.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config/config_dialog.h"
#include "config/page_media.h"
#include "config/page_motion.h"
#include "flight_enabling.h"
#include "platform/dialog/dialog_win32.h"
#include "platform/registry/registry.h"
#include "platform/window/window_win32.h"
#include "settings/scene_settings.h"
#include "settings/store.h"
#include "settings/view_state.h"
#include "platform/win32_api.h"

using namespace config;

namespace {

const char kKey[] = "Software\\MERO\\SV_ORB_1\\INFO";

struct Value {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    bool operator==(const Value&) const = default;
};

// Every value of the settings key, by name, its bytes as the program stores them
// (texts in the code page); empty when there is no key.
std::map<std::string, Value> ReadKey() {
    std::map<std::string, Value> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = 256, size = 0, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        Value v{type, std::vector<BYTE>(size)};
        nameLength = 256;
        RegEnumValueA(key, i, name, &nameLength, nullptr, &type, v.bytes.data(), &size);
        values[name] = v;
    }
    RegCloseKey(key);
    return values;
}

void WriteValue(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

class Win32Dialog : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        platform::ResetWindowSystem();
        platform::SetWindowBackend(platform::CreateWin32WindowBackend());
        platform::SetDialogBackend(platform::CreateWin32DialogBackend());
        platform::SetUserRegistry(nullptr);
    }
    void TearDown() override {
        if (dialog && platform::IsWindow(dialog)) platform::DestroyWindow(dialog);
        settings::DeleteFonts(settings::View().fonts);
        platform::SetDialogBackend(nullptr);
        platform::ResetWindowSystem();
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    }

    // Loads the settings from the key, as the program starts, and makes the dialog.
    void Open() {
        settings::SceneSettings& s = settings::Settings();
        settings::InitialiseSettings(s, "C:\\windows\\", 1252);
        settings::LoadOrSaveSettings(0);
        settings::ViewState& view = settings::View();
        view.mode = settings::SaverMode::Config;
        view.ViewWidth = 152;
        view.ViewHeight = 112;
        view.ViewScale = settings::ComputeViewScale(152);
        settings::CreateSharedFonts(s, view.fonts);
        dialog = platform::CreateDialogWindow(ConfigDialogProc, 0,
                                              platform::Rect{0, 0, kDialogWidth, kDialogHeight}, 0,
                                              kConfigDialogTemplate);
        ASSERT_NE(dialog, 0u);
        page1 = TheConfigDialog().motionPage;
        page2 = TheConfigDialog().mediaPage;
        ASSERT_NE(platform::Win32DialogOf(page1), nullptr);
        ASSERT_NE(platform::Win32DialogOf(page2), nullptr);
    }
    // Stores settings in the key as a run of the program would have left them.
    void Store(int anime, int table) {
        settings::SceneSettings& s = settings::Settings();
        settings::InitialiseSettings(s, "C:\\windows\\", 1252);
        settings::LoadOrSaveSettings(0);
        s.ANIME = anime;
        s.AN_NUM = table;
        settings::LoadOrSaveSettings(1);
        s = settings::SceneSettings{};
    }

    HWND Item(platform::WindowHandle w, int id) { return GetDlgItem(platform::Win32DialogOf(w), id); }
    bool Enabled(platform::WindowHandle w, int id) { return IsWindowEnabled(Item(w, id)) != 0; }
    bool Shown(platform::WindowHandle w) {
        return (GetWindowLongW(platform::Win32DialogOf(w), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    void Click(platform::WindowHandle w, int id) { SendMessageW(Item(w, id), BM_CLICK, 0, 0); }
    void Slide(platform::WindowHandle w, int id, int position) {
        HWND bar = Item(w, id);
        SendMessageW(bar, TBM_SETPOS, TRUE, position);
        SendMessageW(GetParent(bar), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                     reinterpret_cast<LPARAM>(bar));
    }
    void Spin(platform::WindowHandle w, int id, int position) {
        HWND spin = Item(w, id);
        SendMessageW(spin, UDM_SETPOS32, 0, position);
        SendMessageW(GetParent(spin), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(spin));
    }
    void Tab(int index) {
        HWND tabs = Item(dialog, kTabControl);
        SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
        NMHDR header{tabs, static_cast<UINT_PTR>(kTabControl), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(GetParent(tabs), WM_NOTIFY, kTabControl, reinterpret_cast<LPARAM>(&header));
    }
    std::wstring Text(platform::WindowHandle w, int id) {
        wchar_t text[300] = {};
        GetWindowTextW(Item(w, id), text, 300);
        return text;
    }
    // The enabling of the flight's controls, as one text to compare.
    std::string Enabling() {
        return FlightEnabling([this](int id) { return Enabled(dialog, id); });
    }

    platform::WindowHandle dialog = 0, page1 = 0, page2 = 0;
};

class Win32Initialisation : public Win32Dialog,
                            public ::testing::WithParamInterface<std::pair<int, int>> {};

}  // namespace

TEST_F(Win32Dialog, TheTemplatesControlsAreRealAndAtTheirPixelRectangles) {
    Open();
    HWND main = platform::Win32DialogOf(dialog);
    RECT r{};
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, kDialogWidth);
    EXPECT_EQ(r.bottom - r.top, kDialogHeight);
    EXPECT_EQ(GetWindowLongW(main, GWL_STYLE) & WS_CAPTION, 0);
    auto kindOf = [](HWND c) {
        wchar_t name[64] = {};
        GetClassNameW(c, name, 64);
        std::wstring kind = name;
        if (lstrcmpiW(name, L"Button") == 0) kind += L":" + std::to_wstring(GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK);
        return kind;
    };
    EXPECT_EQ(kindOf(Item(dialog, kOk)), L"Button:11");  // BS_OWNERDRAW
    EXPECT_EQ(kindOf(Item(dialog, kAnimeCheck)), L"Button:3");  // BS_AUTOCHECKBOX
    EXPECT_EQ(kindOf(Item(page2, kFlat)), L"Button:9");  // BS_AUTORADIOBUTTON
    EXPECT_EQ(kindOf(Item(dialog, kFramesEdit)), L"Edit");
    EXPECT_EQ(lstrcmpiW(kindOf(Item(page1, kCameraX)).c_str(), L"msctls_trackbar32"), 0);
    EXPECT_EQ(lstrcmpiW(kindOf(Item(page1, kSpeedSpin)).c_str(), L"msctls_updown32"), 0);
    EXPECT_EQ(lstrcmpiW(kindOf(Item(dialog, kTabControl)).c_str(), L"SysTabControl32"), 0);
    EXPECT_TRUE(GetWindowLongW(Item(dialog, kTabControl), GWL_STYLE) & TCS_OWNERDRAWFIXED);
    EXPECT_EQ(SendMessageW(Item(dialog, kTabControl), TCM_GETITEMCOUNT, 0, 0), 2);
    // The places in the dialog's client area, and the pages below the tabs.
    auto place = [&](platform::WindowHandle w, int id) {
        RECT c{};
        GetWindowRect(Item(w, id), &c);
        MapWindowPoints(nullptr, platform::Win32DialogOf(w), reinterpret_cast<POINT*>(&c), 2);
        return std::to_string(c.left) + "," + std::to_string(c.top) + "," +
               std::to_string(c.right - c.left) + "," + std::to_string(c.bottom - c.top);
    };
    EXPECT_EQ(place(dialog, kOk), "20,410,79,32");
    EXPECT_EQ(place(dialog, kPreviewArea), "30,50,152,112");
    EXPECT_EQ(place(page1, kCameraX), "33,50,100,30");
    EXPECT_EQ(place(page2, kTextureButton), "193,248,82,32");
    GetWindowRect(platform::Win32DialogOf(page1), &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 210);
    EXPECT_EQ(r.top, 64);
    // The preview's parent is the preview area.
    EXPECT_EQ(platform::Dialogs().NativeWindowId(dialog, kPreviewArea),
              reinterpret_cast<std::uintptr_t>(Item(dialog, kPreviewArea)));
    // The sliders' range and their place; the rotation about Z is hidden.
    EXPECT_EQ(SendMessageW(Item(page1, kCameraX), TBM_GETRANGEMIN, 0, 0), -100);
    EXPECT_EQ(SendMessageW(Item(page1, kCameraX), TBM_GETRANGEMAX, 0, 0), 100);
    EXPECT_FALSE(GetWindowLongW(Item(page1, kRotationZ), GWL_STYLE) & WS_VISIBLE);
}

TEST_P(Win32Initialisation, EnablesTheFlightsControlsByTheStoredState) {
    const auto [anime, table] = GetParam();
    Store(anime, table);
    Open();
    const bool still = anime != 1, editable = table != 0;
    for (int id : {kSet, kInsert, kDelete, kFramesEdit}) EXPECT_EQ(Enabled(dialog, id), editable) << id;
    for (int id : {kSave, kLoad, kNextTable}) EXPECT_EQ(Enabled(dialog, id), still) << id;
    EXPECT_EQ(Enabled(dialog, kPreviousTable), still && editable);
    EXPECT_FALSE(Enabled(dialog, kBack));
    EXPECT_EQ(Enabled(dialog, kForward), table == 0);
    EXPECT_EQ(SendMessageW(Item(dialog, kAnimeCheck), BM_GETCHECK, 0, 0), anime ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(Text(dialog, kFramesEdit), table == 0 ? L"50" : L"0");
    for (int id : kPositionSliders) EXPECT_EQ(Enabled(page1, id), still) << id;
    EXPECT_EQ(Enabled(page1, kLookAtCheck), still);
}

INSTANTIATE_TEST_SUITE_P(AnimeAndTable, Win32Initialisation,
                         ::testing::Values(std::pair{0, 0}, std::pair{0, 1}, std::pair{1, 0},
                                           std::pair{1, 1}));

TEST_F(Win32Dialog, TheTabsShowOnePageAtATime) {
    Open();
    EXPECT_TRUE(Shown(page1));
    EXPECT_FALSE(Shown(page2));
    Tab(1);
    EXPECT_FALSE(Shown(page1));
    EXPECT_TRUE(Shown(page2));
    Tab(0);
    EXPECT_TRUE(Shown(page1));
    EXPECT_FALSE(Shown(page2));
}

TEST_F(Win32Dialog, OkWritesEveryValueAndTheTypedMessage) {
    Open();
    Slide(page1, kCameraX, 44);
    Spin(page1, kSpeedSpin, 13);
    Spin(page1, kMessageSpin, 2);
    SetWindowTextW(Item(page1, kMessageEdit), L"Hello there");
    const int lookAt = settings::Settings().L_AT, fps = settings::Settings().FPS;
    Click(page1, kLookAtCheck);
    Click(page2, kFpsOn);
    Click(dialog, kOk);
    const auto values = ReadKey();
    ASSERT_EQ(settings::SaveOrder().size(), 35u);
    EXPECT_EQ(values.size(), 35u);
    for (const char* name : settings::SaveOrder()) {
        const settings::StoredValue* v = settings::FindStoredValue(name);
        auto it = values.find(name);
        ASSERT_NE(it, values.end()) << name;
        EXPECT_EQ(it->second.type, v->encoding == settings::Encoding::kBinary ? REG_BINARY : REG_SZ) << name;
        if (v->encoding != settings::Encoding::kIntegerText) {
            EXPECT_EQ(it->second.bytes.size(), v->size) << name;
        }
    }
    auto text = [&](const char* name) {
        const auto& b = values.at(name).bytes;
        return std::string(b.begin(), b.end());
    };
    EXPECT_EQ(text("CM_X"), std::string("    44") + '\0');
    EXPECT_EQ(text("SPD"), std::string("    13") + '\0');
    EXPECT_EQ(text("MSN"), std::string("     2") + '\0');
    EXPECT_EQ(text("L_AT"), std::string("     ") + (lookAt == 1 ? '0' : '1') + '\0');
    EXPECT_EQ(text("FPS"), std::string("     ") + (fps == 1 ? '0' : '1') + '\0');
    EXPECT_EQ(text("MSG").substr(2 * sizeof(settings::MessageEntry), 12), std::string("Hello there") + '\0');
}

TEST_F(Win32Dialog, CancelLeavesTheKeyAsItWas) {
    Store(0, 1);
    const auto before = ReadKey();
    ASSERT_EQ(before.size(), 35u);
    Open();
    Slide(page1, kObjectZ, -70);
    Click(dialog, kAnimeCheck);
    Click(dialog, kSet);
    Click(dialog, kCancel);
    EXPECT_EQ(ReadKey(), before);
}

TEST_F(Win32Dialog, StepEditorSetInsertAndDeleteThroughTheControls) {
    Open();
    settings::SceneSettings& s = settings::Settings();
    EXPECT_EQ(Enabling(), "0000101101");  // the built-in flight
    Click(dialog, kNextTable);
    EXPECT_EQ(s.AN_NUM, 1);
    EXPECT_EQ(Enabling(), "1111111100");
    for (int r = 0; r < 3; ++r) {
        Slide(page1, kCameraX, 10 * r);
        SetWindowTextW(Item(dialog, kFramesEdit), std::to_wstring(20 + r).c_str());
        Click(dialog, kSet);
    }
    EXPECT_EQ(s.currentStepRow, 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(s.AN_VEC.Row(1, r).cameraX, 10 * r) << r;
        EXPECT_EQ(s.AN_VEC.Row(1, r).frames, 20 + r) << r;
    }
    EXPECT_TRUE(Enabled(dialog, kBack));
    // Back to row 1, a new row there, then the one after it deleted.
    Click(dialog, kBack);
    Click(dialog, kBack);
    EXPECT_EQ(s.currentStepRow, 1);
    Slide(page1, kCameraX, -33);
    SetWindowTextW(Item(dialog, kFramesEdit), L"77");
    Click(dialog, kInsert);
    EXPECT_EQ(s.AN_VEC.Row(1, 1).cameraX, -33);
    EXPECT_EQ(s.AN_VEC.Row(1, 1).frames, 77);
    EXPECT_EQ(s.AN_VEC.Row(1, 2).cameraX, 10);
    EXPECT_EQ(s.AN_VEC.Row(1, 3).cameraX, 20);
    s.currentStepRow = 2;
    Click(dialog, kDelete);
    EXPECT_EQ(s.AN_VEC.Row(1, 2).cameraX, 20);
    EXPECT_EQ(s.AN_VEC.Row(1, 3).valid, 0);
    // The flight plays from row 0: its controls are off but FORWARD, the sliders too.
    Click(dialog, kAnimeCheck);
    EXPECT_EQ(Enabling(), "0000000001");
    EXPECT_FALSE(Enabled(page1, kCameraX));
    Click(dialog, kAnimeCheck);
    Click(dialog, kPreviousTable);
    EXPECT_EQ(Enabling(), "0000101101");
}

TEST_F(Win32Dialog, AKeyOfWrongTypesAndSizesOpensWithDefaultsAndOkWritesItRight) {
    const std::string wide(40, '7');
    WriteValue("CM_X", REG_SZ, wide.c_str(), static_cast<DWORD>(wide.size() + 1));
    const std::vector<BYTE> tooLong(4000, 'x');
    WriteValue("MSG", REG_BINARY, tooLong.data(), static_cast<DWORD>(tooLong.size()));
    // A number of the wrong type reads as the text its bytes make; it is written back
    // as the text it should be.
    const DWORD number = 5;
    WriteValue("SPD", REG_DWORD, &number, sizeof number);
    Open();
    const int cameraDefault = settings::FindStoredValue("CM_X")->missing;
    EXPECT_EQ(SendMessageW(Item(page1, kCameraX), TBM_GETPOS, 0, 0), SliderPosition(cameraDefault));
    settings::SceneSettings defaults{};
    settings::ResetMessageTable(defaults);
    EXPECT_STREQ(settings::Settings().MSG.entries[1].text, defaults.MSG.entries[1].text);
    Click(dialog, kOk);
    const auto values = ReadKey();
    EXPECT_EQ(values.at("CM_X").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(values.at("CM_X").bytes.size(), 7u);
    EXPECT_EQ(values.at("MSG").bytes.size(), sizeof(settings::MessageTable));
    EXPECT_EQ(values.at("SPD").type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(values.size(), 35u);
}

TEST_F(Win32Dialog, TheMessageBoxRefusesCharactersTheCodePageCannotHold) {
    Open();
    Spin(page1, kMessageSpin, 1);
    HWND edit = Item(page1, kMessageEdit);
    SetWindowTextW(edit, L"ab");
    SendMessageW(edit, EM_SETSEL, 2, 2);
    SendMessageW(edit, WM_CHAR, L'c', 1);
    SendMessageW(edit, WM_CHAR, 0x3042, 1);  // a kana: not in code page 1252
    SendMessageW(edit, WM_CHAR, 0x00E9, 1);  // é is
    EXPECT_EQ(Text(page1, kMessageEdit), L"abc\u00e9");
}

// The modal run: the owner of another program is disabled while the dialog runs and
// enabled after it; a handle that names no window owns nothing.
namespace {
HWND g_owner = nullptr;
bool g_ownerWasDisabled = false;
HWND g_dialogOwner = reinterpret_cast<HWND>(-1);

void CALLBACK CancelSoon(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND dialog = platform::Win32DialogOf(TheConfigDialog().dialog);
    if (!dialog) return;
    g_ownerWasDisabled = g_owner && !IsWindowEnabled(g_owner);
    g_dialogOwner = GetWindow(dialog, GW_OWNER);
    SendMessageW(GetDlgItem(dialog, kCancel), BM_CLICK, 0, 0);
}
}  // namespace

TEST_F(Win32Dialog, ModalToItsOwnerWhichIsEnabledAgainAfter) {
    settings::SceneSettings& s = settings::Settings();
    settings::InitialiseSettings(s, "C:\\windows\\", 1252);
    settings::LoadOrSaveSettings(0);
    settings::CreateSharedFonts(s, settings::View().fonts);
    g_owner = CreateWindowExW(0, L"Static", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(g_owner, nullptr);
    platform::Dialogs().SetOwnerWindow(reinterpret_cast<std::uintptr_t>(g_owner));
    SetTimer(nullptr, 0, 200, CancelSoon);
    EXPECT_EQ(RunConfigDialog(), 0);
    EXPECT_TRUE(g_ownerWasDisabled);
    EXPECT_EQ(g_dialogOwner, g_owner);
    EXPECT_TRUE(IsWindowEnabled(g_owner));

    // A handle that is no window (the owner, gone).
    DestroyWindow(g_owner);
    const HWND gone = g_owner;
    g_owner = nullptr;
    platform::Dialogs().SetOwnerWindow(reinterpret_cast<std::uintptr_t>(gone));
    SetTimer(nullptr, 0, 200, CancelSoon);
    EXPECT_EQ(RunConfigDialog(), 0);
    EXPECT_EQ(g_dialogOwner, nullptr);
}

TEST_F(Win32Dialog, APictureThatIsNoBitmapDrawsNothing) {
    Open();
    platform::DialogBackend& d = platform::Dialogs();
    const platform::DrawTarget target = d.GetDC(dialog);
    ASSERT_NE(target, 0u);
    std::vector<std::byte> bytes(60, std::byte{0});
    EXPECT_FALSE(d.DrawPicture(target, bytes, platform::Rect{0, 0, 10, 10}));
    bytes[0] = std::byte{'B'};
    bytes[1] = std::byte{'M'};
    bytes[14] = std::byte{40};
    bytes[18] = std::byte{0xFF};  // 255 x 255 pixels that are not there
    bytes[22] = std::byte{0xFF};
    bytes[26] = std::byte{1};
    bytes[28] = std::byte{24};
    EXPECT_FALSE(d.DrawPicture(target, bytes, platform::Rect{0, 0, 10, 10}));
    bytes.resize(54 + 4, std::byte{0});
    bytes[18] = std::byte{1};
    bytes[22] = std::byte{1};
    bytes[10] = std::byte{54};
    EXPECT_TRUE(d.DrawPicture(target, bytes, platform::Rect{0, 0, 10, 10}));
    d.ReleaseDC(dialog, target);
}
