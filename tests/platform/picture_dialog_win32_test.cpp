// The picture dialog on Windows: dialog template 104 of the program's resources, moved
// to the places it is given, its face and button drawn from the pictures, and only OK
// ending it; the message box's words reach the program's reasons too.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog/message_box.h"
#include "platform/dialog/picture_dialog.h"
#include "platform/report/report.h"
#include "platform/win32_api.h"

namespace {

// A whole 24-bit BMP file of one colour.
std::vector<std::byte> SolidBmp(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const int stride = (width * 3 + 3) & ~3;
    const std::uint32_t pixels = static_cast<std::uint32_t>(stride * height);
    std::vector<std::byte> file(14 + 40 + pixels);
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(file.data() + at, &v, 4); };
    auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(file.data() + at, &v, 2); };
    file[0] = std::byte{'B'};
    file[1] = std::byte{'M'};
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    put16(26, 1);
    put16(28, 24);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::byte* p = file.data() + 54 + y * stride + x * 3;
            p[0] = std::byte{b};
            p[1] = std::byte{g};
            p[2] = std::byte{r};
        }
    }
    return file;
}

HWND DialogOfThread(DWORD thread) {
    HWND found = nullptr;
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM out) -> BOOL {
            if (!IsWindowVisible(w)) return TRUE;
            *reinterpret_cast<HWND*>(out) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Whether the colour is near the one expected (the display may have fewer bits).
bool Near(COLORREF c, int r, int g, int b) {
    return std::abs(GetRValue(c) - r) < 16 && std::abs(GetGValue(c) - g) < 16 && std::abs(GetBValue(c) - b) < 16;
}

TEST(PictureDialogWin32, StandsWhereItIsToldDrawsItsPicturesAndOnlyOkEndsIt) {
    int screenW = 0, screenH = 0;
    if (!platform::PrimaryScreenSize(&screenW, &screenH)) GTEST_SKIP() << "no desktop";
    const auto face = SolidBmp(345, 154, 200, 0, 0);
    const auto up = SolidBmp(62, 30, 0, 200, 0);
    const auto down = SolidBmp(62, 30, 0, 0, 200);
    platform::PictureDialog d;
    d.x = screenW / 2 - 172;
    d.y = screenH / 2 - 77;
    d.width = 345;
    d.height = 154;
    d.face = face;
    d.buttonUp = up;
    d.buttonDown = down;
    d.buttonX = 256;
    d.buttonY = 83;
    d.buttonWidth = 62;
    d.buttonHeight = 32;
    d.iconX = 271;
    d.iconY = 41;
    d.iconWidth = d.iconHeight = 32;
    d.cursorX = screenW / 2 + 130;
    d.cursorY = screenH / 2 + 25;

    std::atomic<DWORD> thread{0};
    std::atomic<bool> ended{false};
    bool result = false;
    std::thread runner([&] {
        thread = GetCurrentThreadId();
        result = platform::RunPictureDialog(d);
        ended = true;
    });
    HWND dialog = nullptr;
    for (int i = 0; i < 500 && !dialog; ++i) {
        if (thread) dialog = DialogOfThread(thread);
        if (!dialog) Sleep(10);
    }
    ASSERT_NE(dialog, nullptr) << "the dialog did not come up";
    Sleep(300);  // let it paint

    RECT r;
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.left, d.x);
    EXPECT_EQ(r.top, d.y);
    EXPECT_EQ(r.right - r.left, 345);
    EXPECT_EQ(r.bottom - r.top, 154);
    HWND button = GetDlgItem(dialog, IDOK);
    ASSERT_NE(button, nullptr);
    RECT b;
    GetWindowRect(button, &b);
    EXPECT_EQ(b.left - r.left, 256);
    EXPECT_EQ(b.top - r.top, 83);
    EXPECT_EQ(b.right - b.left, 62);
    EXPECT_EQ(b.bottom - b.top, 32);
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, d.cursorX);
    EXPECT_EQ(cursor.y, d.cursorY);

    HDC screen = GetDC(nullptr);
    const COLORREF faceColour = GetPixel(screen, r.left + 10, r.top + 10);
    const COLORREF buttonColour = GetPixel(screen, b.left + 31, b.top + 16);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(Near(faceColour, 200, 0, 0)) << std::hex << faceColour;
    EXPECT_TRUE(Near(buttonColour, 0, 200, 0)) << std::hex << buttonColour;

    // Escape's cancel command and the close key do not end it.
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    Sleep(200);
    EXPECT_FALSE(ended);
    EXPECT_TRUE(IsWindow(dialog));
    // A click on OK does.
    PostMessageW(button, BM_CLICK, 0, 0);
    for (int i = 0; i < 300 && !ended; ++i) Sleep(10);
    EXPECT_TRUE(ended);
    if (!ended) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    runner.join();
    EXPECT_TRUE(result);
}

TEST(PictureDialogWin32, APictureThatIsNoBitmapLeavesTheDialogWorking) {
    int screenW = 0, screenH = 0;
    if (!platform::PrimaryScreenSize(&screenW, &screenH)) GTEST_SKIP() << "no desktop";
    std::vector<std::byte> broken(60, std::byte{0x42});  // "BBBB...": no bitmap header
    std::vector<std::byte> truncated = SolidBmp(345, 154, 1, 2, 3);
    truncated.resize(200);  // a header that promises more pixels than there are
    platform::PictureDialog d;
    d.width = 100;
    d.height = 60;
    d.face = truncated;
    d.buttonUp = broken;
    d.buttonDown = broken;
    d.buttonX = 10;
    d.buttonY = 10;
    d.buttonWidth = 40;
    d.buttonHeight = 20;
    std::atomic<DWORD> thread{0};
    bool result = false;
    std::thread runner([&] {
        thread = GetCurrentThreadId();
        result = platform::RunPictureDialog(d);
    });
    HWND dialog = nullptr;
    for (int i = 0; i < 500 && !dialog; ++i) {
        if (thread) dialog = DialogOfThread(thread);
        if (!dialog) Sleep(10);
    }
    ASSERT_NE(dialog, nullptr);
    Sleep(100);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    runner.join();
    EXPECT_TRUE(result);
}

std::vector<std::string>* lines = nullptr;
void Keep(std::string_view line) { lines->emplace_back(line); }

TEST(MessageBoxWin32, TheWordsAreReportedToo) {
    std::vector<std::string> kept;
    lines = &kept;
    const platform::ReportSink before = platform::SetReportSink(Keep);
    _putenv_s("ORBSAVER_NO_MESSAGE_BOXES", "1");
    platform::ShowMessageBox("orbsaver", "a line\n", platform::MessageBoxKind::kInformation);
    _putenv_s("ORBSAVER_NO_MESSAGE_BOXES", "");
    platform::SetReportSink(before);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0], "orbsaver: a line");
}

}  // namespace
