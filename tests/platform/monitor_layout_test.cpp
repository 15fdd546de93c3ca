// Which windows full screen makes for which list of monitors, and what changes when
// the list does.
#include "platform/monitors/monitor_layout.h"

#include <gtest/gtest.h>

using platform::ChangeCovers;
using platform::LayOutMonitors;
using platform::Monitor;
using platform::ScreenRect;

namespace {

const ScreenRect kScreen{0, 0, 2048, 768};

TEST(MonitorLayout, NoMonitorReportedCoversTheWholeScreen) {
    const auto layout = LayOutMonitors({}, kScreen);
    EXPECT_EQ(layout.scene, kScreen);
    EXPECT_TRUE(layout.black.empty());
    // Monitors without a size count as none.
    const auto empty = LayOutMonitors({{{0, 0, 0, 768}, true}, {{5, 5, 10, -1}, false}}, kScreen);
    EXPECT_EQ(empty.scene, kScreen);
    EXPECT_TRUE(empty.black.empty());
}

TEST(MonitorLayout, TheSceneGoesToThePrimaryWhereverItIsListed) {
    const auto layout =
        LayOutMonitors({{{0, 0, 1024, 768}, false}, {{1024, 0, 1024, 768}, true}}, kScreen);
    EXPECT_EQ(layout.scene, (ScreenRect{1024, 0, 1024, 768}));
    ASSERT_EQ(layout.black.size(), 1u);
    EXPECT_EQ(layout.black[0], (ScreenRect{0, 0, 1024, 768}));
    // Without a primary, the first usable monitor is it.
    const auto none =
        LayOutMonitors({{{0, 0, 0, 0}, false}, {{0, 0, 800, 600}, false}, {{800, 0, 640, 480}, false}},
                       kScreen);
    EXPECT_EQ(none.scene, (ScreenRect{0, 0, 800, 600}));
    ASSERT_EQ(none.black.size(), 1u);
    EXPECT_EQ(none.black[0], (ScreenRect{800, 0, 640, 480}));
}

TEST(MonitorLayout, EightMonitorsGetTheSceneAndSevenBlackWindows) {
    std::vector<Monitor> monitors;
    for (int i = 0; i < 8; ++i) monitors.push_back({{(i % 4) * 1024, (i / 4) * 768, 1024, 768}, i == 5});
    const auto layout = LayOutMonitors(monitors, {0, 0, 4096, 1536});
    EXPECT_EQ(layout.scene, (ScreenRect{1024, 768, 1024, 768}));
    ASSERT_EQ(layout.black.size(), 7u);
    for (const ScreenRect& r : layout.black) EXPECT_NE(r, layout.scene);
}

TEST(MonitorLayout, MirrorsShareOneWindow) {
    // Two mirrors of the primary: the scene's window alone.
    const auto onPrimary =
        LayOutMonitors({{{0, 0, 1024, 768}, true}, {{0, 0, 1024, 768}, false}}, kScreen);
    EXPECT_TRUE(onPrimary.black.empty());
    // Two mirrors beside it: one black window.
    const auto beside = LayOutMonitors(
        {{{0, 0, 1024, 768}, true}, {{1024, 0, 1024, 768}, false}, {{1024, 0, 1024, 768}, false}},
        kScreen);
    ASSERT_EQ(beside.black.size(), 1u);
    EXPECT_EQ(beside.black[0], (ScreenRect{1024, 0, 1024, 768}));
    // A mirror of the primary that shows more than the primary's 800 x 600 (its mode
    // was switched) gets a black window under the scene's.
    const auto larger =
        LayOutMonitors({{{0, 0, 800, 600}, true}, {{0, 0, 1024, 768}, false}}, kScreen);
    ASSERT_EQ(larger.black.size(), 1u);
    EXPECT_EQ(larger.black[0], (ScreenRect{0, 0, 1024, 768}));
    // One inside the scene's window needs nothing.
    const auto inside =
        LayOutMonitors({{{0, 0, 1024, 768}, true}, {{100, 100, 640, 480}, false}}, kScreen);
    EXPECT_TRUE(inside.black.empty());
}

TEST(MonitorLayout, ChangesKeepTheWindowsInPlace) {
    const ScreenRect a{1024, 0, 1024, 768}, b{2048, 0, 800, 600}, c{0, 768, 640, 480};
    // A monitor plugged in: one window more, none destroyed.
    auto changes = ChangeCovers({a}, {a, b});
    EXPECT_TRUE(changes.destroy.empty());
    ASSERT_EQ(changes.create.size(), 1u);
    EXPECT_EQ(changes.create[0], b);
    // One unplugged: its window goes, the other stays.
    changes = ChangeCovers({a, b, c}, {a, c});
    EXPECT_EQ(changes.destroy, (std::vector<std::size_t>{1}));
    EXPECT_TRUE(changes.create.empty());
    // One moved: the old window goes and a new one comes.
    changes = ChangeCovers({a, b}, {a, c});
    EXPECT_EQ(changes.destroy, (std::vector<std::size_t>{1}));
    EXPECT_EQ(changes.create, (std::vector<ScreenRect>{c}));
    // The same layout again changes nothing; all gone destroys all.
    changes = ChangeCovers({a, b}, {b, a});
    EXPECT_TRUE(changes.destroy.empty() && changes.create.empty());
    changes = ChangeCovers({a, b}, {});
    EXPECT_EQ(changes.destroy, (std::vector<std::size_t>{0, 1}));
}

}  // namespace
