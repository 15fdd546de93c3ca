// Fonts: matching from a Windows face name, heights, fallback for Japanese, text
// extents, and text laid out to be drawn a piece at a time.
#include <gtest/gtest.h>

#include <string>

#include "platform/fonts/fonts.h"

using namespace platform;

TEST(Fonts, AWindowsFaceNameFindsAMetricTwin) {
    FontDescription d;
    d.face = "TimesNewRoman";
    d.height = 16;
    auto font = Font::Create(d);
    ASSERT_TRUE(font);
    // The cell is the height asked for.
    EXPECT_EQ(font->ascent() + font->descent(), 16);
    EXPECT_EQ(font->Measure("").width, 0);
    EXPECT_EQ(font->Measure("Hello").height, 16);
    const auto narrow = font->Measure("iiii").width;
    const auto wide = font->Measure("WWWW").width;
    EXPECT_GT(wide, narrow);
}

TEST(Fonts, HeightsFollowTheLogFontRules) {
    FontDescription cell;
    cell.face = "serif";
    cell.height = 40;
    FontDescription em = cell;
    em.height = -40;
    auto a = Font::Create(cell);
    auto b = Font::Create(em);
    ASSERT_TRUE(a && b);
    // A character height of 40 makes a taller cell than a cell height of 40.
    EXPECT_GT(b->Measure("x").height, a->Measure("x").height);
    EXPECT_GT(b->Measure("Mmm").width, a->Measure("Mmm").width);
    FontDescription bold = cell;
    bold.weight = 700;
    EXPECT_TRUE(Font::Create(bold));
}

TEST(Fonts, JapaneseTextMeasuresWithAFaceThatHasIt) {
    FontDescription d;
    d.face = "\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D";  // ＭＳ 明朝
    d.height = 24;
    auto font = Font::Create(d);
    ASSERT_TRUE(font);
    // Four ideographs are each about a full em wide, whatever face supplies them.
    const auto w = font->Measure("\xE6\x98\x8E\xE6\x9C\x9D\xE6\x98\x8E\xE6\x9C\x9D").width;
    EXPECT_GE(w, 4 * 15);
}

// A laid-out text drawn a piece at a time gives exactly the pixels of its whole
// picture, in every column and row of the band, underline and fallback faces too.
TEST(TextLayout, PiecesDrawWhatTheWholePictureShows) {
    FontDescription d;
    d.face = "Liberation Serif";
    d.height = -40;
    d.underline = true;
    d.strikeOut = true;
    auto font = Font::Create(d);
    ASSERT_TRUE(font);
    const std::string text = "Wa, ij! \xC3\x96\xC3\x9F \xE6\xBC\xA2W";  // "Wa, ij! Öß 漢W"
    const TextImage whole = font->Render(text, 0x3366CC);
    ASSERT_GT(whole.width, 100);
    const int bandTop = 5, bandHeight = 30;
    auto layout = font->Layout(text, 0x3366CC, bandTop, bandHeight);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->width(), whole.width);
    EXPECT_EQ(layout->height(), whole.height);
    EXPECT_EQ(layout->bandTop(), bandTop);
    EXPECT_EQ(layout->bandHeight(), bandHeight);
    for (int x0 : {0, 7, 33, whole.width - 10, whole.width - 1}) {
        for (int w : {1, 16, 50}) {
            TextImage piece;
            piece.width = w;
            piece.height = bandHeight + 3;  // rows past the band stay clear
            piece.rgba.assign(static_cast<std::size_t>(w) * piece.height * 4, 77);
            layout->Draw(x0, piece);
            for (int y = 0; y < piece.height; ++y) {
                for (int x = 0; x < w; ++x) {
                    const std::uint8_t* got = &piece.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
                    const int wx = x0 + x, wy = bandTop + y;
                    const std::uint8_t alpha =
                        (wx < whole.width && y < bandHeight)
                            ? whole.rgba[(static_cast<std::size_t>(wy) * whole.width + wx) * 4 + 3]
                            : 0;
                    ASSERT_EQ(got[3], alpha) << "column " << wx << " row " << wy;
                    ASSERT_EQ(got[0], 0xCC);  // red in the low byte of the COLORREF
                    ASSERT_EQ(got[2], 0x33);
                }
            }
        }
    }
    // A band asked for past the picture is cut to it.
    auto cut = font->Layout(text, 0, whole.height - 4, 100);
    EXPECT_EQ(cut->bandHeight(), 4);
    EXPECT_EQ(font->Layout(text, 0, -20, 10)->bandTop(), 0);
    // A picture too small for its size is left alone rather than overrun.
    TextImage tooSmall;
    tooSmall.width = 10;
    tooSmall.height = 10;
    tooSmall.rgba.assign(16, 9);
    layout->Draw(0, tooSmall);
    EXPECT_EQ(tooSmall.rgba[15], 9);
}
