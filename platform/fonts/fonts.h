// Fonts made from a Windows-style description (face, height, weight, italic,
// underline, strike-out), the extent of a text in them, and its picture. Characters
// the chosen face lacks come from another face that has them, so Japanese text
// measures and draws with a Japanese face whatever face was asked for. Each backend
// file says which system finds and draws the faces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FontDescription {
    std::string face;      // UTF-8; empty for the default face
    std::int32_t height = 0;  // >0: cell height, <0: character height, 0: default
    std::int32_t weight = 0;  // 0 (don't care) or 1..1000, 400 normal, 700 bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

struct TextExtent {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// A text drawn in one colour on a transparent ground: RGBA, top row first, the
// alpha being the glyphs' coverage. Its size is the text's extent.
struct TextImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgba;
};

// A text laid out once in a font and a colour, drawn into pictures a piece at a
// time: for a text whose whole picture would be too large to keep (a long message
// in a large font), only the pictures of its different glyphs are kept, cut to the
// rows asked for. Drawing allocates nothing.
class TextLayout {
public:
    // The text's whole extent, as Font::Measure gives it.
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // The rows kept: [bandTop, bandTop + bandHeight) of the whole picture.
    std::int32_t bandTop() const { return bandTop_; }
    std::int32_t bandHeight() const { return bandHeight_; }

    // Draws columns [x, x + into.width) of the band into the picture, which keeps its
    // size and storage (into.rgba must hold into.width * into.height * 4 bytes; rows
    // past the band stay transparent).
    void Draw(std::int32_t x, TextImage& into) const;

    // The bytes the layout keeps: its glyphs' pictures and their places in the line.
    std::size_t keptBytes() const {
        std::size_t n = placed_.size() * sizeof(Placed) + lines_.size() * sizeof(std::int32_t);
        for (const Glyph& g : glyphs_) n += sizeof(Glyph) + g.coverage.size();
        return n;
    }

private:
    friend class Font;
    struct Glyph {
        std::int32_t left = 0, top = 0;  // in the band, from the pen's place
        std::int32_t width = 0, rows = 0;
        std::vector<std::uint8_t> coverage;
    };
    struct Placed {
        std::uint32_t glyph;
        std::int32_t x;
    };
    std::int32_t width_ = 0, height_ = 0, bandTop_ = 0, bandHeight_ = 0;
    std::uint8_t red_ = 0, green_ = 0, blue_ = 0;
    std::vector<Glyph> glyphs_;
    std::vector<Placed> placed_;
    // The first rows of the underline and the strike-out, in the band, and their
    // thickness.
    std::vector<std::int32_t> lines_;
    std::int32_t lineRows_ = 0;
};

class Font {
public:
    // Nothing when no face at all can be found.
    static std::unique_ptr<Font> Create(const FontDescription& description);
    // The font of a window's device context when none has been chosen.
    static std::unique_ptr<Font> CreateDefault();
    ~Font();

    // Width and height in pixels of a UTF-8 text in one line; the height is the
    // font's cell height whatever the text.
    TextExtent Measure(std::string_view utf8) const;
    // Draws a UTF-8 text in the colour (COLORREF: red in the low byte), with the
    // font's underline and strike-out.
    TextImage Render(std::string_view utf8, std::uint32_t colorref) const;
    // Lays the text out for drawing a piece at a time, keeping rows
    // [bandTop, bandTop + bandHeight) of its picture (cut to the picture).
    std::unique_ptr<TextLayout> Layout(std::string_view utf8, std::uint32_t colorref,
                                       std::int32_t bandTop, std::int32_t bandHeight) const;

    const FontDescription& description() const { return description_; }
    std::int32_t ascent() const { return ascent_; }
    std::int32_t descent() const { return descent_; }

    // The backend's own part: its faces and what it draws with.
    struct Faces;

private:
    Font() = default;
    FontDescription description_;
    std::unique_ptr<Faces> faces_;
    std::int32_t ascent_ = 0;
    std::int32_t descent_ = 0;
};


}  // namespace platform
