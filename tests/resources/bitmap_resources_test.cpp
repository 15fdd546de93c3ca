// Every bitmap the dialogs, the About box and the sprite script name is present, at
// the size and colour depth its control or surface needs, with headers a BMP reader
// accepts; the glyph sheet has the layout the sprite script cuts.
#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "resource_bytes.h"

namespace {

using resources_test::BitmapHeader;
using resources_test::ReadBitmapHeader;
using resources_test::Required;

struct Expected {
    const char* name;
    int width, height, bits;
};

// Button faces carry 16 colours; the backgrounds and the glyph sheet 256.
const std::vector<Expected>& AllBitmaps() {
    static const std::vector<Expected> all = [] {
        std::vector<Expected> v;
        const struct {
            const char* stem;
            int w, h;
            bool disabled;
        } stems[] = {
            {"OK_2", 79, 32, true},     {"CANCEL_2", 82, 32, true},  {"HELP_", 62, 32, true},
            {"VERSION_", 82, 32, true}, {"SET_", 52, 32, true},      {"BK_", 35, 32, true},
            {"FW_", 35, 32, true},      {"DEL_", 52, 32, true},      {"INS_", 52, 32, true},
            {"UP_", 27, 20, true},      {"DN_", 27, 20, true},       {"SAVE_", 65, 32, true},
            {"LOAD_", 65, 32, true},    {"XFILE_", 62, 32, true},    {"FONT_", 65, 32, true},
            {"MIDI_", 62, 32, true},    {"TEXT_", 82, 32, true},     {"COLOR_", 62, 32, true},
            {"IMAGE_", 62, 32, true},   {"CAMERA_", 177, 35, false}, {"REND_", 177, 35, false},
            {"OK_1", 62, 30, false},
        };
        static std::deque<std::string> names;  // keeps the composed names in place
        for (const auto& s : stems) {
            for (const char* suffix : {"U", "D", "DI"}) {
                if (std::string(suffix) == "DI" && !s.disabled) continue;
                names.push_back(std::string(s.stem) + suffix);
                v.push_back({names.back().c_str(), s.w, s.h, 4});
            }
        }
        v.push_back({"BKGND", 580, 445, 8});
        v.push_back({"BKGND1", 360, 340, 8});
        v.push_back({"BKGND2", 360, 340, 8});
        v.push_back({"ABOUT", 345, 154, 8});
        v.push_back({"CHAR_BMP", 200, 322, 8});
        return v;
    }();
    return all;
}

std::size_t Stride(const BitmapHeader& h) {
    return ((static_cast<std::size_t>(h.width) * h.bitCount + 31) / 32) * 4;
}

// Palette index of pixel (x, y), counted from the top-left, of an 8-bit bottom-up BMP.
int Index8(std::span<const std::byte> b, int x, int y) {
    const BitmapHeader h = ReadBitmapHeader(b);
    const std::size_t row = static_cast<std::size_t>(h.height - 1 - y);
    return std::to_integer<int>(b[h.pixelOffset + row * Stride(h) + static_cast<std::size_t>(x)]);
}

std::array<int, 3> Colour(std::span<const std::byte> b, int index) {
    const std::size_t at = 14 + 40 + 4 * static_cast<std::size_t>(index);
    return {std::to_integer<int>(b[at + 2]), std::to_integer<int>(b[at + 1]),
            std::to_integer<int>(b[at])};
}

std::array<int, 3> Pixel8(std::span<const std::byte> b, int x, int y) {
    return Colour(b, Index8(b, x, y));
}

TEST(BitmapResources, EveryNamedBitmapHasItsSizeAndDepth) {
    EXPECT_EQ(AllBitmaps().size(), 63u + 5u);  // faces, then backgrounds and glyph sheet
    for (const Expected& e : AllBitmaps()) {
        SCOPED_TRACE(e.name);
        auto bytes = Required("BITMAP", e.name);
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(resources_test::Text(bytes, 0, 2), "BM");
        const BitmapHeader h = ReadBitmapHeader(bytes);
        EXPECT_EQ(h.fileSize, bytes.size());
        EXPECT_EQ(h.infoSize, 40u);
        EXPECT_EQ(h.width, e.width);
        EXPECT_EQ(h.height, e.height);  // positive: rows stored bottom-up
        EXPECT_EQ(h.planes, 1);
        EXPECT_EQ(h.bitCount, e.bits);
        EXPECT_EQ(h.compression, 0u);
        // a full colour table: 16 entries for faces, 256 for the rest
        EXPECT_EQ(h.coloursUsed, 1u << e.bits);
        EXPECT_EQ(h.pixelOffset, 14u + 40u + 4u * (1u << e.bits));
        EXPECT_EQ(bytes.size(), h.pixelOffset + Stride(h) * static_cast<std::size_t>(e.height));
    }
}

TEST(BitmapResources, FacesOfOneStemHaveEqualSizes) {
    // The dialogs stretch whichever face they draw by the pressed face's size.
    std::map<std::string, std::pair<int, int>> pressed;
    for (const Expected& e : AllBitmaps()) {
        std::string name = e.name;
        if (e.bits != 4 || name.back() != 'D') continue;
        const BitmapHeader h = ReadBitmapHeader(Required("BITMAP", name));
        pressed[name.substr(0, name.size() - 1)] = {h.width, h.height};
    }
    EXPECT_EQ(pressed.size(), 22u);
    for (const auto& [stem, size] : pressed) {
        for (const char* suffix : {"U", "DI"}) {
            auto face = platform::FindResource("BITMAP", stem + suffix);
            if (!face) continue;  // tabs and the About box's OK have no disabled face
            const BitmapHeader h = ReadBitmapHeader(*face);
            EXPECT_EQ(h.width, size.first) << stem << suffix;
            EXPECT_EQ(h.height, size.second) << stem << suffix;
        }
    }
}

TEST(BitmapResources, FacesOfOneStemDiffer) {
    // A pressed or disabled face that looks like the up face would show no feedback.
    for (const Expected& e : AllBitmaps()) {
        std::string name = e.name;
        if (e.bits != 4 || name.back() != 'U') continue;
        const std::string stem = name.substr(0, name.size() - 1);
        auto up = Required("BITMAP", name);
        for (const char* suffix : {"D", "DI"}) {
            auto other = platform::FindResource("BITMAP", stem + suffix);
            if (!other) continue;
            EXPECT_FALSE(std::equal(up.begin(), up.end(), other->begin(), other->end()))
                << stem << suffix << " is the same picture as " << name;
        }
    }
}

TEST(BitmapResources, NumberPatchesAreDialogGrey) {
    // The dialogs erase a number with the light grey brush before drawing it anew, so
    // the pictures must be that grey wherever a number stands.
    const std::array<int, 3> grey{192, 192, 192};
    struct Patch {
        const char* bitmap;
        int x, y, w, h;
    };
    const Patch patches[] = {
        {"BKGND", 70, 265, 15, 20},   {"BKGND", 125, 266, 25, 25},  {"BKGND1", 133, 60, 36, 22},
        {"BKGND1", 133, 92, 36, 22},  {"BKGND1", 133, 124, 36, 22}, {"BKGND1", 308, 60, 36, 22},
        {"BKGND1", 308, 92, 36, 22},  {"BKGND1", 308, 124, 36, 22}, {"BKGND1", 308, 177, 36, 22},
        {"BKGND1", 308, 208, 36, 22}, {"BKGND1", 56, 199, 26, 19},  {"BKGND1", 101, 199, 26, 19},
        {"BKGND1", 146, 199, 26, 19}, {"BKGND1", 56, 239, 26, 19},  {"BKGND1", 101, 239, 26, 19},
        {"BKGND1", 146, 239, 26, 19},
    };
    for (const Patch& p : patches) {
        auto bytes = Required("BITMAP", p.bitmap);
        int wrong = 0;
        for (int y = p.y; y < p.y + p.h; ++y) {
            for (int x = p.x; x < p.x + p.w; ++x) wrong += Pixel8(bytes, x, y) != grey;
        }
        EXPECT_EQ(wrong, 0) << p.bitmap << " at " << p.x << "," << p.y;
    }
}

class GlyphSheet : public ::testing::Test {
  protected:
    std::span<const std::byte> sheet = Required("BITMAP", "CHAR_BMP");

    bool CellIsBlank(int left, int top, int w, int h) const {
        for (int y = top; y < top + h; ++y) {
            for (int x = left; x < left + w; ++x) {
                if (Index8(sheet, x, y) != 0) return false;
            }
        }
        return true;
    }
};

TEST_F(GlyphSheet, BackgroundIsNearBlackEntryZeroAtBothCorners) {
    EXPECT_EQ(Colour(sheet, 0), (std::array<int, 3>{1, 1, 1}));
    EXPECT_EQ(Index8(sheet, 0, 0), 0);    // top-left of the glyph sheet STR
    EXPECT_EQ(Index8(sheet, 0, 300), 0);  // top-left of the banner BALL
}

TEST_F(GlyphSheet, NoOtherEntryHasTheKeyColour) {
    // In a high-colour display mode the key is a colour, not an index: a second entry
    // of the same colour would turn parts of a glyph transparent.
    for (int i = 1; i < 256; ++i) {
        EXPECT_NE(Colour(sheet, i), (std::array<int, 3>{1, 1, 1})) << "entry " << i;
    }
}

TEST_F(GlyphSheet, CellsHoldTheirCharactersAndGridLinesFollowThem) {
    for (int k = 0; k < 96; ++k) {
        const int left = 25 * (k % 8), top = 25 * (k / 8);
        const char ch = static_cast<char>(32 + k);
        SCOPED_TRACE(std::string("character ") + ch);
        EXPECT_EQ(CellIsBlank(left, top, 24, 24), ch == ' ');
        // the one-pixel line right of the cell and below it
        EXPECT_NE(Index8(sheet, left + 24, top + 10), 0);
        EXPECT_NE(Index8(sheet, left + 10, top + 24), 0);
    }
    // Glyphs draw from the top-left: the space cell sits where the sheet's key is read.
    EXPECT_TRUE(CellIsBlank(0, 0, 24, 24));
}

TEST_F(GlyphSheet, BannerStripIsDrawnAndTheRestStaysBackground) {
    EXPECT_FALSE(CellIsBlank(0, 300, 186, 22));
    EXPECT_TRUE(CellIsBlank(186, 300, 14, 22));
}

TEST_F(GlyphSheet, EveryDigitHasItsOwnPicture) {
    // The frame-rate counter shows two digits; each digit's picture is its own.
    std::vector<std::vector<int>> digits;
    for (int d = 0; d < 10; ++d) {
        const int k = '0' + d - 32, left = 25 * (k % 8), top = 25 * (k / 8);
        std::vector<int> cell;
        for (int y = top; y < top + 24; ++y) {
            for (int x = left; x < left + 24; ++x) cell.push_back(Index8(sheet, x, y));
        }
        for (const auto& earlier : digits) EXPECT_NE(cell, earlier) << "digit " << d;
        digits.push_back(cell);
    }
}

}  // namespace
