// The sprite surfaces: the built-in set cut from CHAR_BMP, cells, colour tables and
// the refresh.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/resources/resources.h"
#include "sprites/surface_set.h"
#include "tests/support/environment.h"

using namespace sprites;

TEST(SurfaceSet, TheBuiltInScriptCutsFiveSurfacesOutOfTheGlyphBitmap) {
    SurfaceSet set;
    ASSERT_TRUE(LoadSpriteScript("PATSCRIPT1", "PATSCRIPT", set));
    ASSERT_EQ(set.surfaceCount, 5);
    ASSERT_EQ(set.bitmapCount, 1);
    const SpriteSurface& ball = set.surfaces[0];
    const SpriteSurface& str = set.surfaces[4];
    EXPECT_STREQ(ball.name, "BALL");
    EXPECT_EQ(ball.columns, 1);
    EXPECT_EQ(ball.rows, 1);
    EXPECT_EQ(str.columns, 8);
    EXPECT_EQ(str.rows, 12);
    EXPECT_FALSE(str.filled);  // no preload: filled by the first refresh

    const CellRect space = Cell(str, 0), a = Cell(str, 'A' - 32), last = Cell(str, 127 - 32);
    EXPECT_EQ(space.left, 0);
    EXPECT_EQ(a.left, 25);
    EXPECT_EQ(a.top, 100);
    EXPECT_EQ(last.left, 175);
    EXPECT_EQ(last.top, 275);
    EXPECT_EQ(last.width, 24);

    ASSERT_TRUE(RefreshSpriteSurfaces(set));
    EXPECT_TRUE(ball.filled && str.filled);
    // The near-black background, palette entry 0, is the transparent colour of both.
    EXPECT_EQ(ball.keyColour, 0x010101u);
    EXPECT_EQ(str.keyColour, 0x010101u);
    EXPECT_EQ(set.bitmaps[0].entries[0].red, 1);
    const std::uint32_t version = str.version;
    ASSERT_TRUE(RefreshSpriteSurfaces(set));
    EXPECT_EQ(str.version, version);  // nothing copied again
}

TEST(SurfaceSet, AMissingScriptIsAnEmptySuccessAndAMissingBitmapFails) {
    SurfaceSet set;
    EXPECT_TRUE(LoadSpriteScript("NO_SUCH_SCRIPT", "PATSCRIPT", set));
    EXPECT_EQ(set.surfaceCount, 0);
    EXPECT_FALSE(RefreshSpriteSurfaces(set));  // fewer than five surfaces

    SurfaceSetBuilder builder(set);
    EXPECT_FALSE(builder.AddBitmap("NO_SUCH_BITMAP"));
    EXPECT_TRUE(set.bitmaps.empty());
}

TEST(SurfaceSet, PalettesAreTheCubeUnderTheBitmapsOwnColours) {
    SurfaceSet set;
    SurfaceSetBuilder builder(set);
    ASSERT_TRUE(builder.AddBitmap("CHAR_BMP"));
    ASSERT_TRUE(builder.AddBitmap("OK_1U"));  // 16 colours: the rest stays the cube
    const BitmapPalette& p = set.bitmaps[1];
    EXPECT_EQ(p.entries[255].red, 255);
    EXPECT_EQ(p.entries[255].green, 255);
    EXPECT_EQ(p.entries[255].blue, 255);
    EXPECT_EQ(p.entries[100].red, ((100 >> 5) & 7) * 255 / 7);
    EXPECT_EQ(p.entries[100].blue, (100 & 3) * 255 / 3);
}

TEST(SurfaceSet, SurfacesOutsideLimitsOrWithoutRoomForCellsAreSafe) {
    SurfaceSet set;
    SurfaceSetBuilder builder(set);
    ASSERT_TRUE(builder.AddBitmap("CHAR_BMP"));
    SurfaceStatement s;
    s.width = 0;
    s.height = 5;
    EXPECT_FALSE(builder.AddSurface(s));
    s.width = 100000;
    EXPECT_FALSE(builder.AddSurface(s));
    s.width = 10;
    s.cellWidth = 3;
    s.gapX = -3;  // no room per cell
    s.cellHeight = 5;
    s.x = 195;  // runs off the bitmap's right edge
    s.y = -2;
    s.preload = true;
    s.name = "A_NAME_LONGER_THAN_FIFTEEN";
    ASSERT_TRUE(builder.AddSurface(s));
    const SpriteSurface& made = set.surfaces.back();
    EXPECT_EQ(made.columns, 0);
    EXPECT_EQ(made.rows, 1);
    EXPECT_STREQ(made.name, "A_NAME_LONGER_T");
    EXPECT_TRUE(made.filled);
    EXPECT_FALSE(CopyBitmapToSurfaces(set, 0, 3));
}

TEST(SurfaceSet, AScriptErrorShowsItsBoxAndLeavesTheCountsAtZero) {
    // The box's words go to stderr only.
    ScopedEnvironment noBoxes("ORBSAVER_NO_MESSAGE_BOXES", "1");
    SurfaceSet set;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadSpriteScriptText("LoadRes CHAR_BMP\r\nSurface A (0,0) (0 0)\r\n", set));
    const std::string box = testing::internal::GetCapturedStderr();
    EXPECT_NE(box.find(kScriptErrorTitle), std::string::npos);
    EXPECT_NE(box.find("2行 (21): サーフェイスが作成できません。"), std::string::npos) << box;
    EXPECT_EQ(set.surfaceCount, 0);
    EXPECT_EQ(set.bitmapCount, 0);
    EXPECT_EQ(set.bitmaps.size(), 1u);  // what was made before the error stays
}
