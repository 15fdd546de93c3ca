// fontconfig picks the faces, FreeType opens them and gives the metrics.
#include "platform/fonts.h"
#include "platform/text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// The default size of a face asked for with height 0, as a window's system font.
constexpr int kDefaultPixelHeight = 16;
// How many fallback faces a font keeps for characters its face lacks.
constexpr int kMaxFallbacks = 6;

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        return lib;
    }();
    return library;
}

int FcWeightFor(std::int32_t weight) {
    if (weight <= 0) return FC_WEIGHT_REGULAR;
    return FcWeightFromOpenType(std::min<std::int32_t>(weight, 1000));
}

}  // namespace

struct Font::Face {
    std::string file;
    FT_Face face = nullptr;
    FcCharSet* charset = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
        if (charset) FcCharSetDestroy(charset);
    }
};

Font::~Font() = default;

const std::string& Font::primaryFile() const { return faces_.front()->file; }

std::unique_ptr<Font> Font::CreateDefault() {
    FontDescription d;
    d.face = "sans-serif";
    d.weight = 700;
    return Create(d);
}

std::unique_ptr<Font> Font::Create(const FontDescription& description) {
    if (!Library() || !FcInit()) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    if (!description.face.empty()) {
        FcPatternAddString(pattern, FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(description.face.c_str()));
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFor(description.weight));
    FcPatternAddInteger(pattern, FC_SLANT, description.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    // The same request for a Japanese face, so that Japanese text always has one
    // among the fallbacks.
    FcPattern* japanese = FcPatternDuplicate(pattern);
    FcPatternAddString(japanese, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcConfigSubstitute(nullptr, japanese, FcMatchPattern);
    FcDefaultSubstitute(japanese);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FcPattern* japaneseMatch = FcFontMatch(nullptr, japanese, &result);
    FcPatternDestroy(pattern);
    FcPatternDestroy(japanese);

    std::unique_ptr<Font> font(new Font);
    font->description_ = description;
    auto addFace = [&](FcPattern* match) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) return;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        for (const auto& f : font->faces_) {
            if (f->file == reinterpret_cast<const char*>(file)) return;
        }
        auto face = std::make_unique<Face>();
        face->file = reinterpret_cast<const char*>(file);
        if (FT_New_Face(Library(), face->file.c_str(), index, &face->face) != 0) return;
        FcCharSet* charset = nullptr;
        if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) == FcResultMatch) {
            face->charset = FcCharSetCopy(charset);
        }
        font->faces_.push_back(std::move(face));
    };
    if (set) {
        for (int i = 0; i < set->nfont && static_cast<int>(font->faces_.size()) <= kMaxFallbacks;
             ++i) {
            addFace(set->fonts[i]);
        }
        FcFontSetDestroy(set);
    }
    if (japaneseMatch) {
        addFace(japaneseMatch);
        FcPatternDestroy(japaneseMatch);
    }
    if (font->faces_.empty()) return nullptr;

    // A positive height is the cell (ascent + descent), a negative one the em size.
    FT_Face primary = font->faces_.front()->face;
    const double unitsPerEm = primary->units_per_EM ? primary->units_per_EM : 1000;
    const double cellUnits = primary->ascender - primary->descender;
    double emPixels = kDefaultPixelHeight;
    if (description.height < 0) {
        emPixels = -static_cast<double>(description.height);
    } else if (description.height > 0) {
        emPixels = cellUnits > 0 ? description.height * unitsPerEm / cellUnits
                                 : static_cast<double>(description.height);
    }
    emPixels = std::clamp(emPixels, 1.0, 2048.0);
    const auto pixels = static_cast<FT_UInt>(std::lround(emPixels));
    for (auto& f : font->faces_) {
        if (FT_IS_SCALABLE(f->face)) FT_Set_Pixel_Sizes(f->face, 0, pixels);
    }
    font->ascent_ = static_cast<std::int32_t>(std::lround(primary->ascender * emPixels / unitsPerEm));
    font->descent_ =
        static_cast<std::int32_t>(std::lround(-primary->descender * emPixels / unitsPerEm));
    if (description.height > 0) {
        // The cell is exactly the height asked for.
        font->descent_ = description.height - font->ascent_;
    }
    return font;
}

Font::Face& Font::FaceFor(char32_t c) const {
    for (const auto& f : faces_) {
        if (!f->charset || FcCharSetHasChar(f->charset, c)) return *f;
    }
    return *faces_.front();
}

TextExtent Font::Measure(std::string_view utf8) const {
    long width26 = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, i);
        FT_Face face = FaceFor(c).face;
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) width26 += face->glyph->advance.x;
    }
    return TextExtent{static_cast<std::int32_t>((width26 + 32) >> 6), ascent_ + descent_};
}

TextImage Font::Render(std::string_view utf8, std::uint32_t colorref) const {
    const TextExtent extent = Measure(utf8);
    TextImage image;
    image.width = std::max(extent.width, 0);
    image.height = std::max(extent.height, 0);
    image.rgba.assign(static_cast<std::size_t>(image.width) * image.height * 4, 0);
    const std::uint8_t red = colorref & 0xFF, green = (colorref >> 8) & 0xFF,
                       blue = (colorref >> 16) & 0xFF;
    for (std::size_t p = 0; p + 3 < image.rgba.size(); p += 4) {
        image.rgba[p] = red;
        image.rgba[p + 1] = green;
        image.rgba[p + 2] = blue;
    }
    auto cover = [&](int x, int y, std::uint8_t alpha) {
        if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
        std::uint8_t& a = image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4 + 3];
        a = std::max(a, alpha);
    };
    long pen26 = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, i);
        FT_Face face = FaceFor(c).face;
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        const FT_Bitmap& bm = g->bitmap;
        const int left = static_cast<int>((pen26 + 32) >> 6) + g->bitmap_left;
        const int top = ascent_ - g->bitmap_top;
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
            for (unsigned row = 0; row < bm.rows; ++row) {
                for (unsigned col = 0; col < bm.width; ++col) {
                    cover(left + static_cast<int>(col), top + static_cast<int>(row),
                          bm.buffer[row * bm.pitch + col]);
                }
            }
        } else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (unsigned row = 0; row < bm.rows; ++row) {
                for (unsigned col = 0; col < bm.width; ++col) {
                    if (bm.buffer[row * bm.pitch + col / 8] & (0x80 >> (col % 8))) {
                        cover(left + static_cast<int>(col), top + static_cast<int>(row), 255);
                    }
                }
            }
        }
        pen26 += g->advance.x;
    }
    // Underline below the baseline, strike-out through the middle of the small letters.
    const int thickness = std::max(1, static_cast<int>(ascent_ + descent_) / 16);
    auto line = [&](int y) {
        for (int t = 0; t < thickness; ++t) {
            for (int x = 0; x < image.width; ++x) cover(x, y + t, 255);
        }
    };
    if (description_.underline) line(ascent_ + std::max(1, descent_ / 3));
    if (description_.strikeOut) line(ascent_ - ascent_ / 3);
    return image;
}

}  // namespace platform
