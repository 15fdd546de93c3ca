// Fonts on Linux: fontconfig picks the faces, FreeType opens them, gives the metrics
// and draws the glyphs. Characters the chosen face lacks come from the next face
// fontconfig offers that has them.
#include "platform/fonts/fonts.h"
#include "platform/text/text.h"

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

namespace {

struct Face {
    std::string file;
    int index = 0;
    FT_Face face = nullptr;
    FcCharSet* charset = nullptr;
    bool opened = false;
    // A fallback face is opened when a character first needs it: most texts need
    // none, and opening each (the CJK collection among them) costs time and memory.
    bool Open(FT_UInt pixels) {
        if (!opened) {
            opened = true;
            if (FT_New_Face(Library(), file.c_str(), index, &face) != 0) face = nullptr;
            if (face && pixels && FT_IS_SCALABLE(face)) FT_Set_Pixel_Sizes(face, 0, pixels);
        }
        return face != nullptr;
    }
    ~Face() {
        if (face) FT_Done_Face(face);
        if (charset) FcCharSetDestroy(charset);
    }
};

}  // namespace

struct Font::Faces {
    std::vector<std::unique_ptr<Face>> list;  // primary first, then fallbacks
    unsigned pixels = 0;                      // the size fallbacks are opened at
    // The face that has the character, the primary one when none has.
    Face& For(char32_t c) {
        for (const auto& f : list) {
            if ((!f->charset || FcCharSetHasChar(f->charset, c)) && f->Open(pixels)) return *f;
        }
        return *list.front();
    }
};

Font::~Font() = default;


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
    font->faces_ = std::make_unique<Faces>();
    auto& faces = font->faces_->list;
    auto addFace = [&](FcPattern* match) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) return;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        for (const auto& f : faces) {
            if (f->file == reinterpret_cast<const char*>(file)) return;
        }
        auto face = std::make_unique<Face>();
        face->file = reinterpret_cast<const char*>(file);
        face->index = index;
        // The primary face gives the metrics, so it is opened now.
        if (faces.empty() && !face->Open(0)) return;
        FcCharSet* charset = nullptr;
        if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) == FcResultMatch) {
            face->charset = FcCharSetCopy(charset);
        }
        faces.push_back(std::move(face));
    };
    if (set) {
        for (int i = 0; i < set->nfont && static_cast<int>(faces.size()) <= kMaxFallbacks;
             ++i) {
            addFace(set->fonts[i]);
        }
        FcFontSetDestroy(set);
    }
    if (japaneseMatch) {
        addFace(japaneseMatch);
        FcPatternDestroy(japaneseMatch);
    }
    if (faces.empty()) return nullptr;

    // A positive height is the cell (ascent + descent), a negative one the em size.
    FT_Face primary = faces.front()->face;
    const double unitsPerEm = primary->units_per_EM ? primary->units_per_EM : 1000;
    const double cellUnits = primary->ascender - primary->descender;
    double emPixels = kDefaultPixelHeight;
    if (description.height < 0) {
        emPixels = -static_cast<double>(description.height);
    } else if (description.height > 0) {
        emPixels = cellUnits > 0 ? description.height * unitsPerEm / cellUnits
                                 : static_cast<double>(description.height);
    }
    const bool clamped = emPixels < 1.0 || emPixels > 2048.0;
    emPixels = std::clamp(emPixels, 1.0, 2048.0);
    const auto pixels = static_cast<FT_UInt>(std::lround(emPixels));
    if (FT_IS_SCALABLE(primary)) FT_Set_Pixel_Sizes(primary, 0, pixels);
    font->faces_->pixels = pixels;
    font->ascent_ = static_cast<std::int32_t>(std::lround(primary->ascender * emPixels / unitsPerEm));
    font->descent_ =
        static_cast<std::int32_t>(std::lround(-primary->descender * emPixels / unitsPerEm));
    if (description.height > 0 && !clamped) {
        // The cell is exactly the height asked for (one too tall for any face has the
        // largest face's own cell).
        font->descent_ = description.height - font->ascent_;
    }
    return font;
}

TextExtent Font::Measure(std::string_view utf8) const {
    long width26 = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, i);
        FT_Face face = faces_->For(c).face;
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
    Layout(utf8, colorref, 0, image.height)->Draw(0, image);
    return image;
}

std::unique_ptr<TextLayout> Font::Layout(std::string_view utf8, std::uint32_t colorref,
                                         std::int32_t bandTop, std::int32_t bandHeight) const {
    std::unique_ptr<TextLayout> layout(new TextLayout);
    TextLayout& t = *layout;
    const TextExtent extent = Measure(utf8);
    t.width_ = std::max(extent.width, 0);
    t.height_ = std::max(extent.height, 0);
    t.bandTop_ = std::clamp(bandTop, 0, t.height_);
    t.bandHeight_ = std::clamp(bandHeight, 0, t.height_ - t.bandTop_);
    t.red_ = colorref & 0xFF;
    t.green_ = (colorref >> 8) & 0xFF;
    t.blue_ = (colorref >> 16) & 0xFF;

    // Each different glyph is drawn once, and only its rows inside the band are kept.
    struct Key {
        const Face* face;
        FT_UInt index;
    };
    std::vector<Key> keys;
    std::vector<long> advances;  // the same for every use of a glyph
    long pen26 = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, i);
        const Face& face = faces_->For(c);
        const FT_UInt index = FT_Get_Char_Index(face.face, c);
        std::size_t k = 0;
        while (k < keys.size() && !(keys[k].face == &face && keys[k].index == index)) ++k;
        if (k == keys.size()) {
            if (FT_Load_Glyph(face.face, index, FT_LOAD_RENDER) != 0) continue;
            const FT_GlyphSlot g = face.face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            TextLayout::Glyph glyph;
            glyph.left = g->bitmap_left;
            const int top = ascent_ - g->bitmap_top;  // in the whole picture
            const int first = std::max(top, t.bandTop_);
            const int last = std::min(top + static_cast<int>(bm.rows), t.bandTop_ + t.bandHeight_);
            glyph.top = first - t.bandTop_;
            glyph.width = static_cast<std::int32_t>(bm.width);
            glyph.rows = std::max(0, last - first);
            glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.rows);
            for (int row = 0; row < glyph.rows; ++row) {
                const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(first - top + row) * bm.pitch;
                std::uint8_t* dst = glyph.coverage.data() + static_cast<std::size_t>(row) * glyph.width;
                for (int col = 0; col < glyph.width; ++col) {
                    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
                        dst[col] = src[col];
                    } else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                        dst[col] = (src[col / 8] & (0x80 >> (col % 8))) ? 255 : 0;
                    }
                }
            }
            keys.push_back({&face, index});
            advances.push_back(g->advance.x);
            t.glyphs_.push_back(std::move(glyph));
        }
        t.placed_.push_back({static_cast<std::uint32_t>(k), static_cast<std::int32_t>((pen26 + 32) >> 6)});
        pen26 += advances[k];
    }
    // Underline below the baseline, strike-out through the middle of the small letters.
    t.lineRows_ = std::max(1, static_cast<int>(ascent_ + descent_) / 16);
    if (description_.underline) t.lines_.push_back(ascent_ + std::max(1, descent_ / 3) - t.bandTop_);
    if (description_.strikeOut) t.lines_.push_back(ascent_ - ascent_ / 3 - t.bandTop_);
    return layout;
}

}  // namespace platform
