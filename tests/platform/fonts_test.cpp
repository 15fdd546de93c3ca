// Fonts: heights by the LOGFONT rules, text extents, weights, lines, fallback for
// Japanese, and text laid out to be drawn a piece at a time. The faces differ from
// system to system (Wine substitutes its own), so these check properties that hold
// for any face, never the pixels of one.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "platform/fonts/fonts.h"

using namespace platform;

namespace {

std::unique_ptr<Font> Make(const char* face, std::int32_t height, std::int32_t weight = 0) {
    FontDescription d;
    d.face = face;
    d.height = height;
    d.weight = weight;
    return Font::Create(d);
}

std::uint8_t Alpha(const TextImage& image, int x, int y) {
    return image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4 + 3];
}

// The first and last rows that hold any ink, or {-1, -1}.
std::pair<int, int> InkedRows(const TextImage& image) {
    int first = -1, last = -1;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (Alpha(image, x, y) > 0) {
                if (first < 0) first = y;
                last = y;
                break;
            }
        }
    }
    return {first, last};
}

// Whether some row in [from, to) is inked in every column of [left, right).
bool FullRowBetween(const TextImage& image, int from, int to, int left, int right) {
    for (int y = std::max(from, 0); y < std::min(to, image.height); ++y) {
        bool full = true;
        for (int x = left; x < right && full; ++x) full = Alpha(image, x, y) > 128;
        if (full) return true;
    }
    return false;
}

}  // namespace

TEST(Fonts, ExtentsGrowWithTheTextAndTheCellIsTheHeightAskedFor) {
    auto font = Make("TimesNewRoman", 16);
    ASSERT_TRUE(font);
    // A positive height is the cell: ascent and descent together.
    EXPECT_NEAR(font->ascent() + font->descent(), 16, 1);
    EXPECT_EQ(font->Measure("").width, 0);
    // The height is the cell's whatever the text.
    EXPECT_EQ(font->Measure("").height, font->ascent() + font->descent());
    EXPECT_EQ(font->Measure("Wg").height, font->Measure("..").height);
    EXPECT_GT(font->Measure("WWWW").width, font->Measure("iiii").width);
    EXPECT_GT(font->Measure("Hello, world").width, font->Measure("Hello").width);
    // A line's width is its characters' widths one after another.
    const auto ab = font->Measure("ab").width;
    EXPECT_NEAR(ab, font->Measure("a").width + font->Measure("b").width, 1);
}

TEST(Fonts, HeightsFollowTheLogFontRules) {
    auto cell = Make("serif", 40);
    auto character = Make("serif", -40);
    ASSERT_TRUE(cell && character);
    // A character height of 40 makes a taller cell than a cell height of 40, the
    // face's leading coming on top.
    const int tall = character->Measure("x").height;
    EXPECT_GT(tall, cell->Measure("x").height);
    EXPECT_GT(character->Measure("Mmm").width, cell->Measure("Mmm").width);
    // The cell a character height gives, asked for as a cell, is the same font, but
    // for the cell's rounding to whole pixels (a pixel in 46 is about 2 %).
    auto same = Make("serif", tall);
    ASSERT_TRUE(same);
    EXPECT_NEAR(same->Measure("x").height, tall, 1);
    const int width = character->Measure("Mmm Mmm").width;
    EXPECT_NEAR(same->Measure("Mmm Mmm").width, width, width / 20);
    // A capital stands about two thirds of the character height tall.
    const TextImage h = character->Render("HHH", 0xFFFFFF);
    const auto [top, bottom] = InkedRows(h);
    ASSERT_GE(top, 0);
    EXPECT_GE(bottom - top + 1, 40 * 55 / 100);
    EXPECT_LE(bottom - top + 1, 40 * 85 / 100);
}

TEST(Fonts, BoldIsNotNarrowerThanNormal) {
    auto normal = Make("Arial", -20, 400);
    auto bold = Make("Arial", -20, 700);
    ASSERT_TRUE(normal && bold);
    const std::string text = "Bold or not, a line of text";
    EXPECT_GE(bold->Measure(text).width, normal->Measure(text).width);
    // Bold strokes are heavier: more ink in the same text.
    auto ink = [&](const Font& f) {
        const TextImage image = f.Render(text, 0xFFFFFF);
        long sum = 0;
        for (std::size_t p = 3; p < image.rgba.size(); p += 4) sum += image.rgba[p];
        return sum;
    };
    EXPECT_GT(ink(*bold), ink(*normal));
}

TEST(Fonts, UnderlineAndStrikeOutInkRowsAcrossTheText) {
    FontDescription d;
    d.face = "Arial";
    d.height = -32;
    auto plain = Font::Create(d);
    d.underline = true;
    auto underlined = Font::Create(d);
    d.underline = false;
    d.strikeOut = true;
    auto struck = Font::Create(d);
    ASSERT_TRUE(plain && underlined && struck);
    // Spaces between the letters: only a line can ink a whole row there.
    const std::string text = "a      a";
    const TextImage p = plain->Render(text, 0xFFFFFF);
    const TextImage u = underlined->Render(text, 0xFFFFFF);
    const TextImage s = struck->Render(text, 0xFFFFFF);
    ASSERT_EQ(u.width, p.width);
    const int left = p.width / 3, right = 2 * p.width / 3;
    const int ascent = plain->ascent();
    EXPECT_FALSE(FullRowBetween(p, 0, p.height, left, right));
    // The underline lies below the baseline, the strike-out above it.
    EXPECT_TRUE(FullRowBetween(u, ascent, u.height, left, right));
    EXPECT_FALSE(FullRowBetween(u, 0, ascent - 2, left, right));
    EXPECT_TRUE(FullRowBetween(s, 0, ascent, left, right));
    EXPECT_FALSE(FullRowBetween(s, ascent + 2, s.height, left, right));
}

TEST(Fonts, AnyFaceNameGivesAFontAndJapaneseTextDrawsInAFaceThatHasIt) {
    const std::string mincho = "\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D";  // ＭＳ 明朝
    for (const std::string& face : {mincho, std::string("No Such Face At All"),
                                    std::string(40, 'A'), std::string("\xFF\xFE bad")}) {
        SCOPED_TRACE(face);
        FontDescription d;
        d.face = face;
        d.height = 24;
        auto font = Font::Create(d);
        ASSERT_TRUE(font);
        EXPECT_GT(font->Measure("Hello").width, 0);
        // Four ideographs are each about a full em wide, whatever face supplies them.
        const std::string text = "\xE6\x98\x8E\xE6\x9C\x9D\xE6\x98\x8E\xE6\x9C\x9D";  // 明朝明朝
        EXPECT_GE(font->Measure(text).width, 4 * 15);
        // Two different ideographs draw differently: they are no missing-glyph boxes.
        const TextImage a = font->Render("\xE6\x98\x8E", 0xFFFFFF);  // 明
        const TextImage b = font->Render("\xE6\x9C\x9D", 0xFFFFFF);  // 朝
        ASSERT_GT(a.width, 0);
        EXPECT_GE(InkedRows(a).first, 0);
        EXPECT_TRUE(a.width != b.width || a.rgba != b.rgba);
    }
}

TEST(Fonts, TheDefaultFontAndBadDescriptionsStillMeasure) {
    auto fallback = Font::CreateDefault();
    ASSERT_TRUE(fallback);
    EXPECT_GT(fallback->ascent(), 0);
    EXPECT_GT(fallback->Measure("Password").width, 0);
    EXPECT_GE(InkedRows(fallback->Render("Password", 0xFFFFFF)).first, 0);
    // Heights and weights no face has are kept within reach, never a crash.
    for (std::int32_t height : {INT32_MIN, INT32_MAX, -1, 1}) {
        FontDescription d;
        d.face = "Arial";
        d.height = height;
        d.weight = height < 0 ? -5 : 5000;
        auto font = Font::Create(d);
        if (!font) continue;
        const TextExtent e = font->Measure("\xC3\x28 x \xF0\x9F\x98\x80");  // bad UTF-8, an emoji
        EXPECT_GE(e.width, 0);
        EXPECT_GT(e.height, 0);
        EXPECT_LE(e.height, 8192);
        auto layout = font->Layout("Wx", 0, 0, 600);
        EXPECT_LE(layout->bandHeight(), 600);
    }
}

// A laid-out text drawn a piece at a time gives exactly the pixels of its whole
// picture, in every column and row of the band, underline and fallback faces too.
TEST(TextLayout, PiecesDrawWhatTheWholePictureShows) {
    FontDescription d;
    d.face = "Liberation Serif";
    d.height = -40;
    d.italic = true;
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
    for (int x0 : {0, 7, 33, whole.width / 2, whole.width - 10, whole.width - 1}) {
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
                        (wx < whole.width && y < bandHeight) ? Alpha(whole, wx, wy) : 0;
                    ASSERT_EQ(got[3], alpha) << "column " << wx << " row " << wy;
                    ASSERT_EQ(got[0], 0xCC);  // red in the low byte of the COLORREF
                    ASSERT_EQ(got[2], 0x33);
                }
            }
        }
    }
    // Two halves side by side are the whole picture.
    const auto full = font->Layout(text, 0x3366CC, 0, whole.height);
    const int half = whole.width / 2;
    for (const auto& [x0, w] : {std::pair{0, half}, std::pair{half, whole.width - half}}) {
        TextImage piece;
        piece.width = w;
        piece.height = whole.height;
        piece.rgba.assign(static_cast<std::size_t>(w) * piece.height * 4, 0);
        full->Draw(x0, piece);
        for (int y = 0; y < whole.height; ++y) {
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(Alpha(piece, x, y), Alpha(whole, x0 + x, y)) << x0 + x << "," << y;
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

// A long message in a large font keeps the pictures of its few different glyphs,
// not a picture of the whole line.
TEST(TextLayout, ALongTextKeepsOnlyItsDifferentGlyphs) {
    auto font = Make("Arial", -200);
    ASSERT_TRUE(font);
    std::string text;
    while (text.size() < 20000) text += "The quick brown fox jumps over the lazy dog. ";
    const int cell = font->Measure(text).height;
    auto layout = font->Layout(text, 0xFFFFFF, 0, cell);
    ASSERT_TRUE(layout);
    EXPECT_GT(layout->width(), 20000 * 40);
    const std::size_t wholePicture = static_cast<std::size_t>(layout->width()) * cell;
    // 29 different characters, each at most a cell wide and tall, and a few bytes a
    // character for its place.
    EXPECT_LE(layout->keptBytes(), 29u * cell * cell + 32u * text.size());
    EXPECT_LT(layout->keptBytes() * 50, wholePicture);
    // The strip far along the line still has the letters.
    TextImage strip;
    strip.width = 400;
    strip.height = cell;
    strip.rgba.assign(static_cast<std::size_t>(strip.width) * strip.height * 4, 0);
    layout->Draw(layout->width() / 2, strip);
    EXPECT_GE(InkedRows(strip).first, 0);
}
