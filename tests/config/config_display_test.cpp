// The real configuration dialog under an X display: its window, its faces and
// background on the screen, the live preview, the tabs, and what Cancel, OK, Escape
// and the window's close leave in the store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "../support/child_process.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_file.h"
#include "platform/resources/resources.h"
#include "platform/rm/image.h"
#include "platform/rm/png_io.h"
#include "settings/scene_settings.h"
#include "settings/store.h"

using namespace test_support;
using platform::rm::Image;

namespace {

const std::string kBinary = std::string(ORBSAVER_BINARY_DIR) + "/orbsaver";
const std::string kXtool = std::string(ORBSAVER_BINARY_DIR) + "/orbsaver-xtool";

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
};

struct Found {
    unsigned long id = 0;
    Box at;
};

// The dialog's window: the one of the program's class at the dialog's size.
bool FindDialog(Found* found, int scale = 1) {
    std::istringstream lines(Capture(kXtool + " find Orbsaver"));
    Found f;
    while (lines >> f.id >> f.at.x >> f.at.y >> f.at.width >> f.at.height) {
        if (f.at.width == 585 * scale && f.at.height == 450 * scale) {
            *found = f;
            return true;
        }
    }
    return false;
}

bool WaitForDialog(Found* found, int seconds, int scale = 1) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (FindDialog(found, scale)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

Image Bitmap(const char* name) {
    Image image;
    auto bytes = platform::FindResource(platform::kResourceBitmap, name);
    std::string error;
    if (bytes) {
        platform::rm::DecodeBmp(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()), image,
            error);
    }
    return image;
}

// The mean difference per channel between a rectangle of the shot and a picture
// stretched onto it (255 when the rectangle is not in the shot).
double Difference(const Image& shot, const Image& picture, Box at) {
    if (picture.width <= 0 || at.x < 0 || at.y < 0 || at.x + at.width > shot.width ||
        at.y + at.height > shot.height) {
        return 255;
    }
    double sum = 0;
    for (int y = 0; y < at.height; ++y) {
        for (int x = 0; x < at.width; ++x) {
            const int px = x * picture.width / at.width, py = y * picture.height / at.height;
            const std::uint8_t* a = &shot.rgba[((at.y + y) * shot.width + at.x + x) * 4];
            const std::uint8_t* b = &picture.rgba[(py * picture.width + px) * 4];
            for (int c = 0; c < 3; ++c) sum += std::abs(int(a[c]) - int(b[c]));
        }
    }
    return sum / (3.0 * at.width * at.height);
}

// The same for a picture drawn at its own size with its top left at origin: the
// rectangle of the shot against the same part of the picture.
double DifferenceUnscaled(const Image& shot, const Image& picture, Box origin, Box at) {
    Image part;
    part.width = at.width;
    part.height = at.height;
    part.rgba.resize(static_cast<std::size_t>(at.width) * at.height * 4);
    for (int y = 0; y < at.height; ++y) {
        for (int x = 0; x < at.width; ++x) {
            const int px = at.x - origin.x + x, py = at.y - origin.y + y;
            if (px < 0 || py < 0 || px >= picture.width || py >= picture.height) return 255;
            std::memcpy(&part.rgba[(static_cast<std::size_t>(y) * at.width + x) * 4],
                        &picture.rgba[(static_cast<std::size_t>(py) * picture.width + px) * 4], 4);
        }
    }
    return Difference(shot, part, at);
}

// How many pixels of the rectangle are not near black.
int Lit(const Image& shot, Box at) {
    int lit = 0;
    for (int y = at.y; y < at.y + at.height; ++y) {
        for (int x = at.x; x < at.x + at.width; ++x) {
            const std::uint8_t* p = &shot.rgba[(y * shot.width + x) * 4];
            if (p[0] + p[1] + p[2] > 60) ++lit;
        }
    }
    return lit;
}

bool SameRectangle(const Image& a, const Image& b, Box at) {
    for (int y = at.y; y < at.y + at.height; ++y) {
        for (int x = at.x; x < at.x + at.width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * a.width + x) * 4;
            if (std::memcmp(&a.rgba[i], &b.rgba[i], 3) != 0) return false;
        }
    }
    return true;
}

class ConfigDialogOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (make test provides one)";
        if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "needs xdotool";
        char pattern[] = "/tmp/orbsaver-dialog-XXXXXX";
        home_ = mkdtemp(pattern);
        env_ = {"XDG_CONFIG_HOME=" + home_, "ORBSAVER_NO_MESSAGE_BOXES=1"};
    }
    void TearDown() override {
        Kill(pid_);
        if (!home_.empty()) std::system(("rm -rf '" + home_ + "'").c_str());
    }
    std::string Store() const { return home_ + "/orbsaver/user.reg"; }

    // Starts the dialog and waits for it and for the preview's first frames.
    void Open() {
        pid_ = Spawn({kBinary, "/c"}, env_);
        ASSERT_GT(pid_, 0);
        ASSERT_TRUE(WaitForDialog(&dialog_, 20)) << "the dialog did not appear";
        for (int i = 0; i < 100 && Lit(Shot(), Box{30, 50, 152, 112}) < 500; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    Image Shot() {
        const std::string file = home_ + "/shot.png";
        std::system((kXtool + " shot " + file + " " + std::to_string(dialog_.id)).c_str());
        Image image;
        platform::rm::ReadPng(file, image);
        return image;
    }
    // A click at a point of the dialog.
    void Click(int x, int y) {
        std::system(("xdotool mousemove " + std::to_string(dialog_.at.x + x) + " " +
                     std::to_string(dialog_.at.y + y) + " click 1")
                        .c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    int Ended(int seconds = 10) {
        const int code = ExitCodeAfter(pid_, std::chrono::seconds(seconds));
        if (code >= 0) pid_ = -1;
        return code;
    }

    std::string home_;
    std::vector<std::string> env_;
    pid_t pid_ = -1;
    Found dialog_;
};

}  // namespace

TEST_F(ConfigDialogOnScreen, OpensCentredWithItsPicturesAndAPreviewThatTurns) {
    Open();
    const std::string store = ReadFile(Store());  // the first run wrote it at start
    ASSERT_FALSE(store.empty());
    std::istringstream geometry(Capture("xdpyinfo | awk '/dimensions:/{print $2}' | tr x ' '"));
    int sw = 0, sh = 0;
    geometry >> sw >> sh;
    EXPECT_EQ(dialog_.at.x, sw / 2 - 292);
    EXPECT_EQ(dialog_.at.y, sh / 2 - 225);

    const Image first = Shot();
    ASSERT_EQ(first.width, 585);
    // The dialog's picture around its controls: its title band, the frame of the
    // flight's group and the maker's mark.
    const Image background = Bitmap("BKGND");
    for (Box b : {Box{0, 0, 580, 22}, Box{12, 218, 16, 180}, Box{360, 408, 215, 37}}) {
        EXPECT_LT(DifferenceUnscaled(first, background, Box{}, b), 4.0) << b.x << "," << b.y;
    }
    // Every button in the face of its state: nothing is playing and table 0, the
    // built-in flight, is shown, so the editing buttons and v are disabled.
    struct Face {
        const char* name;
        Box at;
    };
    const Face faces[] = {
        {"OK_2U", {20, 410, 79, 32}},    {"CANCEL_2U", {105, 410, 82, 32}},
        {"VERSION_U", {195, 410, 82, 32}}, {"HELP_U", {285, 410, 62, 32}},
        {"UP_U", {35, 255, 27, 20}},     {"DN_DI", {35, 275, 27, 20}},
        {"BK_DI", {85, 260, 35, 32}},    {"FW_U", {150, 260, 35, 32}},
        {"SET_DI", {29, 326, 52, 32}},   {"INS_DI", {81, 326, 52, 32}},
        {"DEL_DI", {133, 326, 52, 32}},  {"SAVE_U", {40, 363, 65, 32}},
        {"LOAD_U", {110, 363, 65, 32}},  {"CAMERA_D", {210, 30, 177, 34}},
        {"REND_U", {387, 30, 177, 34}},  {"XFILE_U", {476, 301, 62, 32}},
        {"FONT_DI", {485, 357, 65, 32}},
    };
    // (The tabs' 35-pixel faces are squeezed into 34 rows: a row may differ.)
    for (const Face& f : faces) EXPECT_LT(Difference(first, Bitmap(f.name), f.at), 10.0) << f.name;
    // The first page's picture, along its top below the tabs.
    EXPECT_LT(DifferenceUnscaled(first, Bitmap("BKGND1"), Box{210, 64}, Box{210, 64, 360, 12}), 4.0);

    // The preview is lit and turns.
    const Box preview{30, 50, 152, 112};
    EXPECT_GT(Lit(first, preview), 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_FALSE(SameRectangle(first, Shot(), preview));

    // The second tab shows the second page.
    Click(387 + 88, 30 + 17);
    const Image second = Shot();
    EXPECT_LT(Difference(second, Bitmap("REND_D"), Box{387, 30, 177, 34}), 10.0);
    EXPECT_LT(Difference(second, Bitmap("CAMERA_U"), Box{210, 30, 177, 34}), 10.0);
    const Image page2 = Bitmap("BKGND2");
    for (Box b : {Box{210, 64, 360, 12}, Box{210 + 6, 64 + 86, 60, 70}, Box{210 + 290, 64 + 296, 60, 37}}) {
        EXPECT_LT(DifferenceUnscaled(second, page2, Box{210, 64}, b), 4.0) << b.x << "," << b.y;
    }
    EXPECT_LT(Difference(second, Bitmap("COLOR_U"), Box{210 + 213, 64 + 92, 62, 32}), 4.0);
    EXPECT_LT(Difference(second, Bitmap("IMAGE_DI"), Box{210 + 213, 64 + 124, 62, 32}), 4.0);

    // Cancel ends it, and the store is as it was.
    Click(105 + 41, 410 + 16);
    EXPECT_EQ(Ended(), 0);
    EXPECT_EQ(ReadFile(Store()), store);
}

TEST_F(ConfigDialogOnScreen, OkStoresTheSettingsItShows) {
    Open();
    Click(20 + 40, 410 + 16);
    EXPECT_EQ(Ended(), 0);
    platform::FileRegistry registry(Store());
    settings::SceneSettings loaded{};
    settings::InitialiseSettings(loaded, "/data/", 1252);
    settings::LoadOrSaveSettings(loaded, registry, 0);
    EXPECT_EQ(loaded.CM_Y, 30);
    EXPECT_EQ(loaded.CM_Z, -30);
    EXPECT_EQ(loaded.ROT_Y, 50);
    EXPECT_EQ(loaded.S_ON, 1);
    EXPECT_EQ(loaded.FPS, 1);
    // The camera looked at the model in the preview: its orientation was kept.
    const float length = loaded.COZ[0] * loaded.COZ[0] + loaded.COZ[1] * loaded.COZ[1] +
                         loaded.COZ[2] * loaded.COZ[2];
    EXPECT_NEAR(length, 1.0f, 0.01f);
}

TEST_F(ConfigDialogOnScreen, EscapeAndTheWindowsCloseActAsCancel) {
    Open();
    const std::string store = ReadFile(Store());
    std::system(("xdotool mousemove " + std::to_string(dialog_.at.x + 300) + " " +
                 std::to_string(dialog_.at.y + 200) + " key Escape")
                    .c_str());
    EXPECT_EQ(Ended(), 0);
    Open();
    std::system((kXtool + " close Orbsaver").c_str());
    EXPECT_EQ(Ended(), 0);
    Open();
    kill(pid_, SIGTERM);
    EXPECT_EQ(Ended(), 0);
    EXPECT_EQ(ReadFile(Store()), store);
}

TEST_F(ConfigDialogOnScreen, ADesktopScaledTwiceGivesItTwiceTheSizeWithTheSameLayout) {
    env_.push_back("GDK_SCALE=2");
    pid_ = Spawn({kBinary, "/c"}, env_);
    ASSERT_GT(pid_, 0);
    ASSERT_TRUE(WaitForDialog(&dialog_, 20, 2));
    // The preview fills its area at the screen's pixels: 304 x 224 at (60, 100).
    std::istringstream in(Capture(kXtool + " find 'D3DRM Example'"));
    unsigned long id = 0;
    Box at;
    ASSERT_TRUE(in >> id >> at.x >> at.y >> at.width >> at.height);
    EXPECT_EQ(at.width, 304);
    EXPECT_EQ(at.height, 224);
    const Image shot = Shot();
    ASSERT_EQ(shot.width, 1170);
    for (int i = 0; i < 100 && Lit(Shot(), Box{60 + 152, 100 + 112, 152, 112}) < 300; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // The model stands in the middle of the whole area, not in a corner of it.
    EXPECT_GT(Lit(Shot(), Box{60 + 100, 100 + 60, 104, 104}), 1000);
    // OK's face at twice its size, at twice its place.
    EXPECT_LT(Difference(Shot(), Bitmap("OK_2U"), Box{40, 820, 158, 64}), 10.0);
}

namespace {

// A still model: the preview changes only when the camera moves.
void StopTheModel(const std::string& store) {
    std::string text = ReadFile(store);
    const std::string from = "\"ROT_Y\"=\"    50\"";
    const std::size_t at = text.find(from);
    if (at == std::string::npos) return;
    text.replace(at, from.size(), "\"ROT_Y\"=\"     0\"");
    std::ofstream(store, std::ios::binary) << text;
}

}  // namespace

TEST_F(ConfigDialogOnScreen, ASliderMovesTheCameraAndAFlightBuiltWithSetPlays) {
    Open();
    Click(105 + 41, 410 + 16);  // Cancel: the first run's store is written
    ASSERT_EQ(Ended(), 0);
    StopTheModel(Store());
    Open();
    const Box preview{30, 50, 152, 112}, number{210 + 133, 64 + 60, 36, 22};
    const Image still = Shot();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(SameRectangle(still, Shot(), preview)) << "the model should stand still";

    // Drag the camera's X slider from 0 (its thumb at 33 + 50) to about 60.
    const int thumbX = 210 + 33 + 50, thumbY = 64 + 50 + 19;
    auto drag = [&](int fromX, int toX) {
        std::system(("xdotool mousemove " + std::to_string(dialog_.at.x + fromX) + " " +
                     std::to_string(dialog_.at.y + thumbY) + " mousedown 1 mousemove " +
                     std::to_string(dialog_.at.x + (fromX + toX) / 2) + " " +
                     std::to_string(dialog_.at.y + thumbY) + " mousemove " +
                     std::to_string(dialog_.at.x + toX) + " " + std::to_string(dialog_.at.y + thumbY) +
                     " mouseup 1")
                        .c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    };
    drag(thumbX, thumbX + 25);
    const Image moved = Shot();
    EXPECT_FALSE(SameRectangle(still, moved, preview)) << "the preview did not follow the slider";
    EXPECT_FALSE(SameRectangle(still, moved, number)) << "the number was not drawn again";

    // Table 1, 30 frames a row, three rows set with the camera in three places.
    Click(35 + 13, 255 + 10);  // ^
    std::system(("xdotool mousemove " + std::to_string(dialog_.at.x + 143) + " " +
                 std::to_string(dialog_.at.y + 308) + " click --repeat 3 1 type 30")
                    .c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int x = thumbX + 25;
    for (int row = 0; row < 3; ++row) {
        Click(29 + 26, 326 + 16);  // SET
        drag(x, x - 30);
        x -= 30;
    }
    // Play the flight: the camera flies although the model stands still.
    Click(35 + 8, 233 + 8);
    const Image a = Shot();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const Image b = Shot();
    EXPECT_FALSE(SameRectangle(a, b, preview)) << "the flight does not play";
    Click(20 + 40, 410 + 16);  // OK
    ASSERT_EQ(Ended(), 0);

    platform::FileRegistry registry(Store());
    settings::SceneSettings stored{};
    settings::InitialiseSettings(stored, "/data/", 1252);
    settings::LoadOrSaveSettings(stored, registry, 0);
    EXPECT_EQ(stored.AN_NUM, 1);
    EXPECT_EQ(stored.ANIME, 1);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(stored.AN_VEC.Row(1, row).valid, 1) << row;
        EXPECT_EQ(stored.AN_VEC.Row(1, row).frames, 30) << row;
    }
    EXPECT_EQ(stored.AN_VEC.Row(1, 3).valid, 0);
    EXPECT_GT(stored.AN_VEC.Row(1, 0).cameraX, stored.AN_VEC.Row(1, 2).cameraX);

    // The full-screen saver flies that path.
    pid_ = Spawn({kBinary, "/s"}, env_);
    ASSERT_EQ(std::system((kXtool + " wait 'D3DRM Example' 10").c_str()), 0);
    std::istringstream in(Capture(kXtool + " find 'D3DRM Example'"));
    unsigned long saver = 0;
    ASSERT_TRUE(in >> saver);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const std::string one = home_ + "/one.png", two = home_ + "/two.png";
    std::system((kXtool + " shot " + one + " " + std::to_string(saver)).c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    std::system((kXtool + " shot " + two + " " + std::to_string(saver)).c_str());
    EXPECT_NE(ReadFile(one), ReadFile(two)) << "the saver's camera does not fly";
    std::system((kXtool + " close 'D3DRM Example'").c_str());
    EXPECT_EQ(Ended(), 0);
}

TEST_F(ConfigDialogOnScreen, AFontChosenInTheChooserIsStoredAndTheSaverDrawsIt) {
    Open();
    Click(230 + 8, 365 + 5);    // message 1
    Click(485 + 32, 357 + 16);  // Font
    // GTK's font chooser comes up over the dialog.
    Found chooser;
    for (int i = 0; i < 50 && !chooser.id; ++i) {
        std::istringstream lines(Capture(kXtool + " find Orbsaver"));
        Found f;
        while (lines >> f.id >> f.at.x >> f.at.y >> f.at.width >> f.at.height) {
            if (f.at.width > 300 && f.at.width != 585) chooser = f;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_NE(chooser.id, 0u) << "no font chooser";
    auto at = [&](int x, int y) {
        return std::to_string(chooser.at.x + x) + " " + std::to_string(chooser.at.y + y);
    };
    const int w = chooser.at.width, h = chooser.at.height;
    // Its search field has the focus: the face, then its row, then 27 points.
    std::system("xdotool type --delay 20 'Liberation Serif Bold Italic'");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    std::system(("xdotool mousemove " + at(167, 70) + " click 1").c_str());
    std::system(("xdotool mousemove " + at(376, h - 100) + " click --repeat 3 1 type 27").c_str());
    std::system("xdotool key Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::system(("xdotool mousemove " + at(w - 47, h - 20) + " click 1").c_str());  // OK
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    Click(210 + 135, 64 + 313);
    std::system("xdotool type 'Serif message'");
    Click(20 + 40, 410 + 16);  // OK
    ASSERT_EQ(Ended(), 0);

    platform::FileRegistry registry(Store());
    settings::SceneSettings stored{};
    settings::InitialiseSettings(stored, "/data/", 1252);
    settings::LoadOrSaveSettings(stored, registry, 0);
    const settings::LogFontA& f = stored.MSG.entries[1].font;
    EXPECT_EQ(stored.MSN, 1);
    EXPECT_STREQ(stored.MSG.entries[1].text, "Serif message");
    EXPECT_STREQ(f.faceName, "Liberation Serif");
    EXPECT_EQ(f.height, -36);  // 27 points at 96 dots an inch
    EXPECT_EQ(f.weight, 700);
    EXPECT_EQ(f.italic, 1);
    EXPECT_EQ(f.underline, 0);

    // In white, the full-screen saver draws it through the middle, 36 pixels high.
    stored.MSG.entries[1].textColor = 0xFFFFFF;
    stored.CM_Z = -100;  // the model far away, below the text
    settings::LoadOrSaveSettings(stored, registry, 1);
    pid_ = Spawn({kBinary, "/s"}, env_);
    ASSERT_EQ(std::system((kXtool + " wait 'D3DRM Example' 10").c_str()), 0);
    std::istringstream in(Capture(kXtool + " find 'D3DRM Example'"));
    unsigned long saver = 0;
    Box screen;
    ASSERT_TRUE(in >> saver >> screen.x >> screen.y >> screen.width >> screen.height);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::string file = home_ + "/saver.png";
    std::system((kXtool + " shot " + file + " " + std::to_string(saver)).c_str());
    Image shot;
    ASSERT_TRUE(platform::rm::ReadPng(file, shot));
    // The 800 x 600 frame is scaled onto the screen; its middle band holds the text.
    const double scale = std::min(shot.width / 800.0, shot.height / 600.0);
    const int top = static_cast<int>((shot.height - 600 * scale) / 2 + 250 * scale);
    const int band = static_cast<int>(100 * scale);
    int white = 0, rows = 0;
    for (int y = top; y < top + band; ++y) {
        bool any = false;
        for (int x = 0; x < shot.width; ++x) {
            const std::uint8_t* p = &shot.rgba[(static_cast<std::size_t>(y) * shot.width + x) * 4];
            if (p[0] > 200 && p[1] > 200 && p[2] > 200) {
                ++white;
                any = true;
            }
        }
        rows += any ? 1 : 0;
    }
    EXPECT_GT(white, 300) << "no message in the middle";
    // A 36-pixel face: its letters span about 30 rows of the frame, not 13.
    EXPECT_GT(rows, static_cast<int>(24 * scale));
    std::system((kXtool + " close 'D3DRM Example'").c_str());
    EXPECT_EQ(Ended(), 0);
}

TEST_F(ConfigDialogOnScreen, VersionShowsTheAboutBoxAboveTheDialogUntilItsOk) {
    Open();
    Click(195 + 41, 410 + 16);  // About
    std::istringstream geometry(Capture("xdpyinfo | awk '/dimensions:/{print $2}' | tr x ' '"));
    int sw = 0, sh = 0;
    geometry >> sw >> sh;
    const int left = sw / 2 - 172, top = sh / 2 - 77;
    // The box's face is on the screen over the dialog: its light grey below the caption.
    std::istringstream rgb(Capture(kXtool + " pixel " + std::to_string(left + 10) + " " +
                                   std::to_string(top + 135)));
    int r = 0, g = 0, b = 0;
    rgb >> r >> g >> b;
    EXPECT_GT(r, 150);
    EXPECT_NEAR(r, g, 12);
    EXPECT_NEAR(g, b, 12);
    // Escape does not close it, nor the dialog below; its OK does.
    std::system("xdotool key Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ExitCodeAfter(pid_, std::chrono::milliseconds(10)), -1);
    std::system(("xdotool mousemove " + std::to_string(left + 256 + 31) + " " +
                 std::to_string(top + 83 + 16) + " click 1")
                    .c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Back in the dialog: Cancel ends it.
    Click(105 + 41, 410 + 16);
    EXPECT_EQ(Ended(), 0);
}

TEST_F(ConfigDialogOnScreen, TheOpeningSoundPlaysWhenSoundOnIsSet) {
    // What the output plays goes to a file: interleaved stereo floats.
    const std::string audio = home_ + "/audio.raw";
    env_.insert(env_.end(), {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio,
                             "SDL_DISKAUDIODELAY=2"});
    auto loudness = [&] {
        const std::string raw = ReadFile(audio);
        std::vector<float> samples(raw.size() / sizeof(float));
        if (!samples.empty()) std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
        double sum = 0;
        for (float f : samples) sum += double(f) * f;
        return samples.empty() ? 0.0 : std::sqrt(sum / samples.size());
    };
    for (int on : {1, 0}) {
        unlink(audio.c_str());
        if (on == 0) {
            std::string text = ReadFile(Store());
            const std::size_t at = text.find("\"S_ON\"=\"     1\"");
            ASSERT_NE(at, std::string::npos);
            text[at + 13] = '0';
            std::ofstream(Store(), std::ios::binary) << text;
        }
        Open();
        if (on == 0) {
            ASSERT_EQ(platform::FileRegistry(Store()).ReadProblem(), "");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        kill(pid_, SIGTERM);  // Cancel
        ASSERT_EQ(Ended(), 0);
        if (on == 1) {
            EXPECT_GT(loudness(), 0.02) << "no opening sound";
        } else {
            EXPECT_LT(loudness(), 1e-6) << "a sound although Sound On is off";
        }
    }
}

TEST(ConfigDialogWithoutDisplay, SaysSoAndEndsWithOne) {
    char pattern[] = "/tmp/orbsaver-nodisplay-XXXXXX";
    const std::string home = mkdtemp(pattern);
    const std::string out = Capture("env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" + home + " " +
                                    kBinary + " /c 2>&1; echo \"exit $?\"");
    EXPECT_NE(out.find("needs a display"), std::string::npos) << out;
    EXPECT_NE(out.find("exit 1"), std::string::npos) << out;
    std::system(("rm -rf '" + home + "'").c_str());
}

namespace {

// The mean difference per channel between the same rectangle of two shots.
double Change(const Image& a, const Image& b, Box at) {
    double sum = 0;
    for (int y = at.y; y < at.y + at.height; ++y) {
        for (int x = at.x; x < at.x + at.width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * a.width + x) * 4;
            for (int c = 0; c < 3; ++c) sum += std::abs(int(a.rgba[i + c]) - int(b.rgba[i + c]));
        }
    }
    return sum / (3.0 * at.width * at.height);
}

// The share of a rectangle's pixels within a few steps of a colour (r, g, b).
double Share(const Image& shot, Box at, int r, int g, int b) {
    int near = 0;
    for (int y = at.y; y < at.y + at.height; ++y) {
        for (int x = at.x; x < at.x + at.width; ++x) {
            const std::uint8_t* p = &shot.rgba[(static_cast<std::size_t>(y) * shot.width + x) * 4];
            if (std::abs(p[0] - r) <= 3 && std::abs(p[1] - g) <= 3 && std::abs(p[2] - b) <= 3) ++near;
        }
    }
    return static_cast<double>(near) / (at.width * at.height);
}

// The settings of the store, changed by edit and written back.
template <class Edit>
void EditStore(const std::string& path, Edit edit) {
    platform::FileRegistry registry(path);
    settings::SceneSettings s{};
    settings::InitialiseSettings(s, "/data/", 1252);
    settings::LoadOrSaveSettings(s, registry, 0);
    edit(s);
    settings::LoadOrSaveSettings(s, registry, 1);
}

settings::SceneSettings LoadStore(const std::string& path) {
    settings::SceneSettings s{};
    EditStore(path, [&](settings::SceneSettings& loaded) { s = loaded; });
    return s;
}

}  // namespace

TEST_F(ConfigDialogOnScreen, TheMediaPageShowsItsChoicesInThePreviewAndOkKeepsThemForTheSaver) {
    const std::string image = std::string(ORBSAVER_TESTDATA_DIR) + "/bmp/g/rgb24.bmp";
    if (access(image.c_str(), R_OK) != 0) GTEST_SKIP() << "needs the shared test picture " << image;
    Open();
    Click(105 + 41, 410 + 16);  // Cancel: the first run's store is written
    ASSERT_EQ(Ended(), 0);
    // A background picture named, and a model that stands still.
    EditStore(Store(), [&](settings::SceneSettings& s) {
        settings::CopyText(s.IMAGE_NM, sizeof s.IMAGE_NM, image);
        s.ROT_X = s.ROT_Y = s.ROT_Z = 0;
    });
    Open();
    Click(387 + 88, 30 + 17);  // the second tab
    const Box preview{30, 50, 152, 112}, corners[] = {{32, 52, 36, 24}, {144, 52, 36, 24}};
    const Box model{30 + 56, 50 + 36, 40, 40};
    // Each shot is kept under a name of its own, to be looked at.
    auto keep = [&](const char* name) {
        std::system(("cp '" + home_ + "/shot.png' '" + home_ + "/" + name + ".png'").c_str());
    };
    const Image plain = Shot();
    keep("dialog-plain");
    for (Box c : corners) EXPECT_EQ(Lit(plain, c), 0) << "a black background at start";
    EXPECT_LT(Difference(plain, Bitmap("IMAGE_DI"), Box{210 + 213, 64 + 124, 62, 32}), 4.0);

    // Use Image: the picture behind the model, and the IMAGE button at hand.
    Click(210 + 88, 64 + 126);
    const Image pictured = Shot();
    keep("dialog-picture");
    for (Box c : corners) EXPECT_GT(Lit(pictured, c), c.width * c.height / 2) << "no picture";
    EXPECT_GT(Change(plain, pictured, preview), 10.0);
    EXPECT_LT(Difference(pictured, Bitmap("IMAGE_U"), Box{210 + 213, 64 + 124, 62, 32}), 4.0);
    EXPECT_LT(Difference(pictured, Bitmap("COLOR_DI"), Box{210 + 213, 64 + 92, 62, 32}), 4.0);

    // Flat, then Gouraud again: the model's shading changes and comes back.
    Click(210 + 88, 64 + 39);
    const Image flat = Shot();
    keep("dialog-flat");
    Click(210 + 88, 64 + 62);
    const Image gouraud = Shot();
    EXPECT_GT(Change(pictured, flat, model), 1.0) << "Flat did not change the shading";
    EXPECT_LT(Change(pictured, gouraud, model), 0.5) << "Gouraud did not bring it back";
    Click(210 + 88, 64 + 39);  // Flat it stays

    // Use Image off, then a red chosen in the desktop's colour chooser.
    Click(210 + 88, 64 + 126);
    Click(210 + 213 + 31, 64 + 92 + 16);
    std::istringstream found(Capture("xdotool search --sync --onlyvisible --name '^Color$' | head -1"));
    unsigned long chooser = 0;
    ASSERT_TRUE(found >> chooser) << "the colour chooser did not appear";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::istringstream geometry(Capture("xdotool getwindowgeometry --shell " + std::to_string(chooser) +
                                        " | sed -n 's/^[XY]=//p'"));
    int cx = 0, cy = 0;
    ASSERT_TRUE(geometry >> cx >> cy);
    const std::string swatches = home_ + "/chooser.png";
    std::system((kXtool + " shot " + swatches + " " + std::to_string(chooser)).c_str());
    Image palette;
    ASSERT_TRUE(platform::rm::ReadPng(swatches, palette));
    // The red swatch: where the chooser shows pure red.
    int left = palette.width, right = -1, top = palette.height, bottom = -1;
    for (int y = 0; y < palette.height; ++y) {
        for (int x = 0; x < palette.width; ++x) {
            const std::uint8_t* p = &palette.rgba[(static_cast<std::size_t>(y) * palette.width + x) * 4];
            if (p[0] == 255 && p[1] == 0 && p[2] == 0) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    ASSERT_GE(right, left) << "no red swatch in the chooser";
    // A double click on a swatch takes it, as its Select button does.
    std::system(("xdotool mousemove " + std::to_string(cx + (left + right) / 2) + " " +
                 std::to_string(cy + (top + bottom) / 2) + " sleep 0.3 click --repeat 2 --delay 100 1")
                    .c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const Image red = Shot();
    for (Box c : corners) EXPECT_GT(Share(red, c, 254, 0, 0), 0.9) << "the background is not red";
    EXPECT_LT(Difference(red, Bitmap("COLOR_U"), Box{210 + 213, 64 + 92, 62, 32}), 4.0);
    EXPECT_LT(Difference(red, Bitmap("IMAGE_DI"), Box{210 + 213, 64 + 124, 62, 32}), 4.0);
    keep("dialog-red");

    // OK: the store holds what the page showed.
    Click(20 + 40, 410 + 16);
    ASSERT_EQ(Ended(), 0);
    const settings::SceneSettings stored = LoadStore(Store());
    EXPECT_EQ(stored.COLOR, 0x000000FFu);
    EXPECT_EQ(stored.REN_Q, 0x88);
    EXPECT_EQ(stored.USE_I, 0);
    EXPECT_STREQ(stored.IMAGE_NM, image.c_str());

    // The full-screen saver draws the red behind the model, then the picture. The
    // 800 x 600 frame stands scaled and centred on the screen; a shot is taken once a
    // second until the frame's corner is drawn (a busy machine may take more than a
    // second to the first frame), for up to six seconds.
    auto frameCornerOf = [](const Image& shot) {
        const double scale = std::min(shot.width / 800.0, shot.height / 600.0);
        const int fx = static_cast<int>((shot.width - 800 * scale) / 2);
        const int fy = static_cast<int>((shot.height - 600 * scale) / 2);
        return Box{fx + static_cast<int>(20 * scale), fy + static_cast<int>(20 * scale),
                   static_cast<int>(150 * scale), static_cast<int>(100 * scale)};
    };
    auto saverShot = [&](const std::string& file) {
        pid_ = Spawn({kBinary, "/s"}, env_);
        EXPECT_EQ(std::system((kXtool + " wait 'D3DRM Example' 10").c_str()), 0);
        std::istringstream in(Capture(kXtool + " find 'D3DRM Example'"));
        unsigned long saver = 0;
        in >> saver;
        Image shot;
        for (int attempt = 0; attempt < 6; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            std::system((kXtool + " shot " + file + " " + std::to_string(saver)).c_str());
            shot = Image{};
            platform::rm::ReadPng(file, shot);
            const Box corner = frameCornerOf(shot);
            if (shot.width > 0 && Lit(shot, corner) > corner.width * corner.height / 2) break;
        }
        std::system((kXtool + " close 'D3DRM Example'").c_str());
        EXPECT_EQ(Ended(), 0);
        return shot;
    };
    const Image saverRed = saverShot(home_ + "/saver-red.png");
    ASSERT_GT(saverRed.width, 0);
    const Box frameCorner = frameCornerOf(saverRed);
    EXPECT_GT(Share(saverRed, frameCorner, 254, 0, 0), 0.9);
    EditStore(Store(), [](settings::SceneSettings& s) { s.USE_I = 1; });
    const Image saverPicture = saverShot(home_ + "/saver-picture.png");
    ASSERT_EQ(saverPicture.width, saverRed.width);
    EXPECT_LT(Share(saverPicture, frameCorner, 254, 0, 0), 0.1);
    EXPECT_GT(Lit(saverPicture, frameCorner), frameCorner.width * frameCorner.height / 2);
    if (const char* keep = std::getenv("ORBSAVER_KEEP_SHOTS")) {
        std::system(("cp '" + home_ + "'/*.png '" + keep + "'").c_str());
    }
}
