// Where the 800 x 600 frame lands on a monitor that keeps its own mode.
#include <gtest/gtest.h>

#include "engine/device.h"
#include "platform/window/window.h"

using engine::PresentRect;
using engine::ScaledPresentRect;

namespace {

void ExpectRect(const PresentRect& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

}  // namespace

TEST(ScaledPresent, KeepsTheFramesProportionsAndCentresIt) {
    ExpectRect(ScaledPresentRect(800, 600, 800, 600), 0, 0, 800, 600);
    ExpectRect(ScaledPresentRect(800, 600, 1600, 1200), 0, 0, 1600, 1200);
    // Taller than 4:3: bands above and below.
    ExpectRect(ScaledPresentRect(800, 600, 1280, 1024), 0, 32, 1280, 960);
    // Wider: bands left and right.
    ExpectRect(ScaledPresentRect(800, 600, 1920, 1080), 240, 0, 1440, 1080);
    ExpectRect(ScaledPresentRect(800, 600, 3840, 2160), 480, 0, 2880, 2160);
    // A monitor turned on its side.
    ExpectRect(ScaledPresentRect(800, 600, 1080, 1920), 0, 555, 1080, 810);
    // Smaller than the frame: it shrinks.
    ExpectRect(ScaledPresentRect(800, 600, 400, 400), 0, 50, 400, 300);
}

TEST(ScaledPresent, NothingForEmptySizesAndNoOverflowForHugeOnes) {
    ExpectRect(ScaledPresentRect(800, 600, 0, 1024), 0, 0, 0, 0);
    ExpectRect(ScaledPresentRect(800, 600, 1280, -1), 0, 0, 0, 0);
    ExpectRect(ScaledPresentRect(0, 600, 1280, 1024), 0, 0, 0, 0);
    const PresentRect r = ScaledPresentRect(800, 600, 2000000000, 2000000000);
    EXPECT_EQ(r.width, 2000000000);
    EXPECT_EQ(r.height, 1500000000);
    EXPECT_EQ(r.y, 250000000);
}

TEST(ScaledPresent, PointsOfTheViewLandWhereTheyShow) {
    using namespace platform;
    ResetWindowSystem();
    SetWindowBackend(CreateNullWindowBackend());
    RegisterWindowClass("D3DRM Example",
                        [](WindowHandle w, std::uint32_t m, WPARAM wp, LPARAM lp) -> LRESULT {
                            return DefWindowProc(w, m, wp, lp);
                        });
    const WindowHandle window = CreateWindow("D3DRM Example", WS_POPUP, 0, 0, 1920, 1080, 0);
    engine::RenderDevice& d = engine::Device();
    d.deviceWindow = window;
    d.modeWidth = 800;
    d.modeHeight = 600;
    // At the display's own 800 x 600 mode a point stays where it is.
    d.fullScreenKind = engine::FullScreenKind::DisplayMode;
    int x = 520, y = 300;
    engine::ViewPointToScreen(&x, &y);
    EXPECT_EQ(x, 520);
    EXPECT_EQ(y, 300);
    // Scaled by 1.8 and centred between bands 240 pixels wide.
    d.fullScreenKind = engine::FullScreenKind::Scaled;
    engine::ViewPointToScreen(&x, &y);
    EXPECT_EQ(x, 240 + 936);
    EXPECT_EQ(y, 540);
    x = 0, y = 599;
    engine::ViewPointToScreen(&x, &y);
    EXPECT_EQ(x, 240);
    EXPECT_EQ(y, 1078);
    d.fullScreenKind = engine::FullScreenKind::None;
    d.deviceWindow = 0;
    ResetWindowSystem();
}
