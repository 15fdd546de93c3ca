// The system's choosers on Windows, driven for real: a thread finds the chooser that
// comes up over the test's own window and fills it, or presses OK or Cancel, as a
// user would; then what the chooser gave back is checked.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog/dialog_win32_choosers.h"
#include "platform/win32_api.h"

namespace {

using platform::FileChooser;
using platform::FontChoice;
using platform::ColorChoice;

// A plain visible window of this thread, to own the choosers.
class Owner {
public:
    Owner() {
        window_ = CreateWindowExW(0, L"STATIC", L"chooser owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 40, 300, 200, nullptr, nullptr, nullptr, nullptr);
    }
    ~Owner() {
        if (window_) DestroyWindow(window_);
    }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

// The visible dialog (class "#32770") owned by the window, or null.
HWND ChooserOf(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t cls[32] = {};
            GetClassNameW(w, cls, 32);
            if (std::wcscmp(cls, L"#32770") == 0 && GetWindow(w, GW_OWNER) == s->owner &&
                IsWindowVisible(w)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Acts on the chooser that the owner's thread is about to run, from a thread of its
// own; found() says whether it came up at all.
class Driver {
public:
    Driver(HWND owner, std::function<void(HWND)> act)
        : thread_([this, owner, act = std::move(act)] {
              HWND chooser = nullptr;
              for (int i = 0; i < 1000 && !chooser; ++i) {
                  chooser = ChooserOf(owner);
                  if (!chooser) Sleep(10);
              }
              if (!chooser) return;
              found_ = true;
              Sleep(200);  // let it finish its own start
              act(chooser);
          }) {}
    ~Driver() { thread_.join(); }
    bool found() {
        thread_.join();
        thread_ = std::thread([] {});
        return found_;
    }

private:
    std::atomic<bool> found_{false};
    std::thread thread_;
};

void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

std::wstring TextOf(HWND dialog, int id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

std::string Utf8(const std::wstring& w) {
    std::string out(w.size() * 4, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

// A folder of its own with a file in it whose name the ANSI code page cannot hold.
class TempFiles {
public:
    TempFiles() {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        folder_ = std::wstring(base) + L"choosers-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    ~TempFiles() {
        for (const auto& f : files_) DeleteFileW(f.c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    std::wstring Make(const std::wstring& name, const char* content = "x") {
        const std::wstring path = folder_ + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, content, static_cast<DWORD>(std::strlen(content)), &written, nullptr);
        CloseHandle(h);
        files_.push_back(path);
        return path;
    }
    const std::wstring& folder() const { return folder_; }

private:
    std::wstring folder_;
    std::vector<std::wstring> files_;
};

TEST(Win32Choosers, FileFilterListAndTextHelpers) {
    FileChooser c;
    c.filterName = "X Format file (*.x)";
    c.filterPattern = "*.x";
    EXPECT_EQ(platform::Win32FileFilter(c), std::wstring(L"X Format file (*.x)\0*.x\0\0", 25));
    c.firstFilterName = "3D models";
    c.firstFilterPattern = "*.x;*.gltf";
    EXPECT_EQ(platform::Win32FileFilter(c),
              std::wstring(L"3D models\0*.x;*.gltf\0X Format file (*.x)\0*.x\0\0", 46));
    // A NUL inside a name cannot end the list early.
    c.firstFilterName = std::string("bad\0name", 8);
    EXPECT_EQ(platform::Win32FileFilter(c).substr(0, 4), std::wstring(L"bad\0", 4));
    EXPECT_EQ(platform::Win32WidePath("C:/a/\xC3\xA9.x"), L"C:\\a\\\x00E9.x");

    // Faces are cut to the LOGFONT's 31 bytes without splitting a character.
    EXPECT_EQ(platform::Win32AnsiText("Tahoma", 31), "Tahoma");
    EXPECT_EQ(platform::Win32AnsiText(std::string(40, 'F'), 31), std::string(31, 'F'));
    if (GetACP() == 1252) {
        EXPECT_EQ(platform::Win32AnsiText("Caf\xC3\xA9", 31), "Caf\xE9");
        EXPECT_EQ(platform::Win32AnsiText("Caf\xC3\xA9", 3), "Caf");
    }
}

TEST(Win32Choosers, OpenFileOffersThePathAndGivesBackTheChosenOneOrNothing) {
    Owner owner;
    ASSERT_TRUE(owner.get());
    TempFiles files;
    const std::wstring offered = files.Make(L"offered.x");
    const std::wstring wide = files.Make(L"\x6A21\x578B.x");  // outside code page 1252
    FileChooser c;
    c.title = "Model file";
    c.firstFilterName = "3D models (*.x;*.gltf)";
    c.firstFilterPattern = "*.x;*.gltf";
    c.filterName = "X Format file (*.x)";
    c.filterPattern = "*.x";
    c.initialPath = Utf8(offered);

    // OK on what is offered: the offered file, its filters in order, the title.
    std::wstring title, fileName;
    LRESULT filters = 0;
    std::wstring firstFilter;
    std::string path = "unchanged";
    {
        Driver d(owner.get(), [&](HWND w) {
            wchar_t t[128] = {};
            GetWindowTextW(w, t, 128);
            title = t;
            fileName = TextOf(w, 0x47c);
            if (fileName.empty()) fileName = TextOf(w, 0x480);
            HWND combo = GetDlgItem(w, 0x470);
            filters = SendMessageW(combo, CB_GETCOUNT, 0, 0);
            wchar_t f[128] = {};
            if (SendMessageW(combo, CB_GETLBTEXTLEN, 0, 0) < 128) {
                SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(f));
            }
            firstFilter = f;
            Press(w, IDOK);
        });
        EXPECT_TRUE(platform::Win32ChooseOpenFile(owner.get(), c, &path));
        ASSERT_TRUE(d.found()) << "the file chooser did not come up";
    }
    EXPECT_EQ(title, L"Model file");
    EXPECT_NE(fileName.find(L"offered.x"), std::wstring::npos) << Utf8(fileName);
    EXPECT_EQ(filters, 2);
    EXPECT_EQ(firstFilter, L"3D models (*.x;*.gltf)");
    EXPECT_EQ(path, Utf8(offered));

    // A name typed in, outside the ANSI code page, comes back as itself.
    {
        Driver d(owner.get(), [&](HWND w) {
            const int edit = GetDlgItem(w, 0x47c) ? 0x47c : 0x480;
            SetDlgItemTextW(w, edit, wide.c_str());
            Press(w, IDOK);
        });
        EXPECT_TRUE(platform::Win32ChooseOpenFile(owner.get(), c, &path));
        ASSERT_TRUE(d.found());
    }
    EXPECT_EQ(path, Utf8(wide));

    // Cancel: false, and the path as it was.
    path = "unchanged";
    {
        Driver d(owner.get(), [&](HWND w) { Press(w, IDCANCEL); });
        EXPECT_FALSE(platform::Win32ChooseOpenFile(owner.get(), c, &path));
        ASSERT_TRUE(d.found());
    }
    EXPECT_EQ(path, "unchanged");

    // An offered path longer than any path is not offered, and breaks nothing.
    c.initialPath = "C:\\" + std::string(40000, 'a') + ".x";
    {
        Driver d(owner.get(), [&](HWND w) {
            fileName = TextOf(w, GetDlgItem(w, 0x47c) ? 0x47c : 0x480);
            Press(w, IDCANCEL);
        });
        EXPECT_FALSE(platform::Win32ChooseOpenFile(owner.get(), c, &path));
        ASSERT_TRUE(d.found());
    }
    EXPECT_EQ(fileName.find(L"aaaa"), std::wstring::npos);
}

// A scalable face the font chooser lists where the tests run.
constexpr char kFace[] = "Liberation Sans";

bool FaceIsThere(const char* face) {
    HDC dc = GetDC(nullptr);
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(lf.lfFaceName, face);
    bool found = false;
    EnumFontFamiliesExA(
        dc, &lf,
        [](const LOGFONTA*, const TEXTMETRICA*, DWORD type, LPARAM p) -> int {
            if (type & TRUETYPE_FONTTYPE) *reinterpret_cast<bool*>(p) = true;
            return 1;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

LOGFONTA Unusual() {
    LOGFONTA lf{};
    lf.lfHeight = -23;
    lf.lfWidth = 5;
    lf.lfEscapement = lf.lfOrientation = 450;
    lf.lfWeight = 700;
    lf.lfItalic = 1;
    lf.lfUnderline = 1;
    lf.lfStrikeOut = 1;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfClipPrecision = CLIP_LH_ANGLES;
    lf.lfQuality = PROOF_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::strcpy(lf.lfFaceName, kFace);
    return lf;
}

TEST(Win32Choosers, FontStartsOnTheStoredRecordAndOkGivesItBackWhole) {
    if (!FaceIsThere(kFace)) GTEST_SKIP() << "the font " << kFace << " is not installed";
    Owner owner;
    ASSERT_TRUE(owner.get());
    const LOGFONTA stored = Unusual();
    FontChoice choice;
    std::memcpy(choice.logFont.data(), &stored, sizeof stored);
    choice.hasLogFont = true;
    choice.offerFont = true;
    choice.font.face = "ignored when the record is there";
    choice.color = RGB(10, 200, 30);

    // Cancel changes nothing.
    FontChoice kept = choice;
    {
        Driver d(owner.get(), [&](HWND w) { Press(w, IDCANCEL); });
        EXPECT_FALSE(platform::Win32ChooseFont(owner.get(), kept));
        ASSERT_TRUE(d.found()) << "the font chooser did not come up";
    }
    EXPECT_EQ(kept.logFont, choice.logFont);
    EXPECT_FALSE(kept.logFontChosen);
    EXPECT_EQ(kept.font.face, choice.font.face);
    EXPECT_EQ(kept.color, choice.color);

    // OK on what is offered: the chooser started on the stored record's face, size
    // and effects and gives them back, with the colour.
    std::wstring face;
    {
        Driver d(owner.get(), [&](HWND w) {
            face = TextOf(w, 0x470);  // the face name's box
            Press(w, IDOK);
        });
        ASSERT_TRUE(platform::Win32ChooseFont(owner.get(), choice));
        ASSERT_TRUE(d.found());
    }
    EXPECT_EQ(face, L"Liberation Sans");
    ASSERT_TRUE(choice.logFontChosen);
    LOGFONTA got;
    std::memcpy(&got, choice.logFont.data(), sizeof got);
    EXPECT_STREQ(got.lfFaceName, kFace);
    EXPECT_EQ(got.lfHeight, -23);
    EXPECT_EQ(got.lfWeight, 700);
    EXPECT_EQ(got.lfItalic, 1);
    EXPECT_EQ(got.lfUnderline, 1);
    EXPECT_EQ(got.lfStrikeOut, 1);
    EXPECT_EQ(choice.color, static_cast<std::uint32_t>(RGB(10, 200, 30)));
    // The description says the same as the record.
    EXPECT_EQ(choice.font.face, kFace);
    EXPECT_EQ(choice.font.height, -23);
    EXPECT_EQ(choice.font.weight, 700);
    EXPECT_TRUE(choice.font.italic && choice.font.underline && choice.font.strikeOut);

    // The record it gave, offered again and confirmed, comes back byte for byte.
    FontChoice again;
    again.logFont = choice.logFont;
    again.hasLogFont = true;
    again.color = choice.color;
    {
        Driver d(owner.get(), [&](HWND w) { Press(w, IDOK); });
        ASSERT_TRUE(platform::Win32ChooseFont(owner.get(), again));
        ASSERT_TRUE(d.found());
    }
    EXPECT_EQ(again.logFont, choice.logFont);

    // Without a record, the description is offered: its face is the one shown.
    FontChoice described;
    described.offerFont = true;
    described.font.face = kFace;
    described.font.height = -30;
    {
        Driver d(owner.get(), [&](HWND w) {
            face = TextOf(w, 0x470);
            Press(w, IDOK);
        });
        ASSERT_TRUE(platform::Win32ChooseFont(owner.get(), described));
        ASSERT_TRUE(d.found());
    }
    EXPECT_EQ(face, L"Liberation Sans");
    EXPECT_EQ(described.font.face, kFace);
    EXPECT_TRUE(described.logFontChosen);
}

// The colour chooser's edit boxes of red, green and blue, and its button that puts the
// current colour into a custom colour box.
constexpr int kRed = 706, kGreen = 707, kBlue = 708, kAddCustom = 712;

TEST(Win32Choosers, ColourOkTakesTheColourCancelNoneAndCustomColoursLiveOn) {
    Owner owner;
    ASSERT_TRUE(owner.get());
    ColorChoice choice;
    choice.color = RGB(1, 2, 3);
    for (int i = 0; i < 16; ++i) choice.custom[i] = RGB(i, 0, 0);
    std::wstring red;
    {
        Driver d(owner.get(), [&](HWND w) {
            red = TextOf(w, kRed);
            SetDlgItemTextW(w, kRed, L"12");
            SetDlgItemTextW(w, kGreen, L"34");
            SetDlgItemTextW(w, kBlue, L"56");
            Press(w, kAddCustom);
            Press(w, IDOK);
        });
        ASSERT_TRUE(platform::Win32ChooseColor(owner.get(), choice));
        ASSERT_TRUE(d.found()) << "the colour chooser did not come up";
    }
    EXPECT_EQ(red, L"1");  // it started on the offered colour
    EXPECT_EQ(choice.color, static_cast<std::uint32_t>(RGB(12, 34, 56)));
    int added = -1;
    for (int i = 0; i < 16; ++i) {
        if (choice.custom[i] == RGB(12, 34, 56)) added = i;
    }
    ASSERT_GE(added, 0) << "the custom colour did not come back";

    // The second time: the custom colours are offered as they came back; a colour
    // added and then cancelled keeps its box, the chosen colour stays.
    const ColorChoice before = choice;
    {
        Driver d(owner.get(), [&](HWND w) {
            SetDlgItemTextW(w, kRed, L"200");
            Press(w, IDCANCEL);
        });
        EXPECT_FALSE(platform::Win32ChooseColor(owner.get(), choice));
        ASSERT_TRUE(d.found());
    }
    EXPECT_EQ(choice.color, before.color);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(choice.custom[i], before.custom[i]) << i;
}

TEST(Win32Choosers, MessageBoxShowsItsWordsOverTheOwnerUntilClosed) {
    Owner owner;
    ASSERT_TRUE(owner.get());
    _putenv("ORBSAVER_NO_MESSAGE_BOXES=");
    std::wstring title, text;
    std::atomic<bool> ownerDisabled{false};
    {
        Driver d(owner.get(), [&](HWND w) {
            wchar_t t[128] = {};
            GetWindowTextW(w, t, 128);
            title = t;
            text = TextOf(w, 0xFFFF);
            ownerDisabled = !IsWindowEnabled(owner.get());
            Press(w, IDOK);
        });
        platform::Win32ShowMessage(owner.get(), "orbsaver", "The help page \xC3\xA9 cannot be opened",
                                   platform::MessageKind::kWarning);
        ASSERT_TRUE(d.found()) << "the message box did not come up";
    }
    EXPECT_EQ(title, L"orbsaver");
    EXPECT_EQ(text, L"The help page \x00E9 cannot be opened");
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner.get()));
}

TEST(Win32Choosers, OpenDocumentStartsAViewerOrSaysItCannot) {
    TempFiles files;
    EXPECT_FALSE(platform::Win32OpenDocument(nullptr, Utf8(files.folder()) + "/missing.html"));
    EXPECT_FALSE(platform::Win32OpenDocument(nullptr, ""));
    // A batch file's "viewer" is the command interpreter, which runs it and ends.
    const std::wstring batch = files.Make(L"ends.bat", "@exit 0\r\n");
    EXPECT_TRUE(platform::Win32OpenDocument(nullptr, Utf8(batch)));
    Sleep(500);
}

}  // namespace
