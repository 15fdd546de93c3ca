// The view state: the scale and scroll step, the stored LOGFONT's description, and
// which shared fonts are made.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "settings/scene_settings.h"
#include "settings/view_state.h"

using namespace settings;

TEST(ViewScale, ScrollStepIsSpeedTimesScaleCutAndAtLeastOne) {
    EXPECT_DOUBLE_EQ(ComputeViewScale(800), 1.0);
    EXPECT_NEAR(ComputeViewScale(152), 0.19, 1e-12);
    EXPECT_EQ(ComputeScrollStep(8, ComputeViewScale(800)), 8);
    EXPECT_EQ(ComputeScrollStep(8, ComputeViewScale(152)), 1);
    EXPECT_EQ(ComputeScrollStep(20, ComputeViewScale(152)), 3);
    EXPECT_EQ(ComputeScrollStep(0, 1.0), 1);
    EXPECT_EQ(ComputeScrollStep(-5, 1.0), 1);
    EXPECT_EQ(ComputeScrollStep(INT32_MAX, 1.0), INT32_MAX);
}

TEST(SharedFonts, StoredLogFontBecomesADescription) {
    settings::LogFontA lf{};
    lf.height = -30;
    lf.weight = 700;
    lf.italic = 1;
    std::strcpy(lf.faceName, "\x82\x6c\x82\x72 \x96\xbe\x92\xa9");  // ＭＳ 明朝 in code page 932
    const auto d = DescribeLogFont(lf, 932, 0.19);
    EXPECT_EQ(d.height, -5);  // -5.7 cut toward zero
    EXPECT_EQ(d.weight, 700);
    EXPECT_TRUE(d.italic);
    EXPECT_EQ(d.face, "\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D");
    std::memset(lf.faceName, 'A', sizeof lf.faceName);  // no terminator
    EXPECT_EQ(DescribeLogFont(lf, 1252, 1.0).face, std::string(32, 'A'));
}

TEST(SharedFonts, PreviewMessageFontOnlyWithAFaceAndMessageFontAlways) {
    settings::SceneSettings s;
    settings::InitialiseSettings(s, "/d/", 1252);
    settings::ApplyFirstRunDefaults(s);
    SharedFonts fonts;
    CreateSharedFonts(s, fonts);
    EXPECT_TRUE(fonts.EditFont && fonts.PreviewLabelFont && fonts.PanelFont);
    EXPECT_FALSE(fonts.PreviewMessageFont);
    CreateMessageFont(s, fonts);
    EXPECT_TRUE(fonts.MessageFont);

    s.MSN = 2;
    std::strcpy(s.MSG.entries[2].font.faceName, "Liberation Sans");
    s.MSG.entries[2].font.height = 100;
    SharedFonts more;
    CreateSharedFonts(s, more);
    ASSERT_TRUE(more.PreviewMessageFont);
    EXPECT_EQ(more.PreviewMessageFont->description().height, 19);
    DeleteFonts(more);
    EXPECT_FALSE(more.EditFont);
}
