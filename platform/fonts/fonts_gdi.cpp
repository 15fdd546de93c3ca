// Fonts on Windows through GDI. The description becomes a LOGFONTW for
// CreateFontIndirectW (the face name turned from UTF-8 into UTF-16, so that a face
// named in any code page is the one asked for); the font is selected into a memory
// device context, where GetTextExtentPoint32W measures and GetTextMetricsW gives the
// cell.
//
// Pictures: each different glyph of a text is drawn once with ExtTextOutW, white on
// black and antialiased in grey (ANTIALIASED_QUALITY, never ClearType's coloured
// fringes), into a 32-bit DIB section as tall as the rows asked for, and its coverage
// is kept cut to its ink. Drawing glyphs one at a time lets a long message keep only
// the pictures of its different glyphs.
//
// Characters the face lacks: GetGlyphIndicesW marks them, and they are measured and
// drawn with a fallback face of the same size and style. GDI's own font linking is
// not relied on: it helps only faces listed under the system's FontLink key, and only
// inside ExtTextOutW, while the glyphs here are drawn one by one and must measure as
// they draw. The fallback is the face the font mapper picks for the character set of
// the character's script (Japanese, Korean, Chinese, Cyrillic, ...), then a few faces
// that cover much of Unicode; the first one that has the glyph draws it.
//
// The underline and the strike-out are drawn along the whole text from the primary
// face's metrics, so characters of a fallback face are underlined at the same place.
#include "platform/fonts/fonts.h"
#include "platform/text/text.h"
#include "platform/win32_api.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace platform {

namespace {

// The largest cell or character height made: a stored height past it is bad input,
// and a face that tall would only cost memory.
constexpr LONG kMaxHeight = 2048;
// How many fallback faces a font keeps for characters its face lacks.
constexpr std::size_t kMaxFallbacks = 6;
// Faces that cover much of Unicode, tried after the script's own character set.
constexpr const wchar_t* kWideFaces[] = {L"Segoe UI Symbol", L"Arial Unicode MS",
                                         L"MS Gothic"};

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    }
    return wide;
}

std::string Utf8(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
    return out;
}

// A code point as UTF-16 units; returns how many.
int Units(char32_t c, wchar_t out[2]) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
        c -= 0x10000;
        out[0] = static_cast<wchar_t>(0xD800 + (c >> 10));
        out[1] = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        return 2;
    }
    out[0] = static_cast<wchar_t>(c);
    return 1;
}

// The character set whose faces write the character's script.
BYTE CharsetFor(char32_t c) {
    if ((c >= 0x3000 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
        (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF)) {
        return SHIFTJIS_CHARSET;
    }
    if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
        (c >= 0xAC00 && c <= 0xD7AF)) {
        return HANGUL_CHARSET;
    }
    if (c >= 0x3100 && c <= 0x312F) return CHINESEBIG5_CHARSET;  // Bopomofo
    if (c >= 0x0400 && c <= 0x052F) return RUSSIAN_CHARSET;
    if (c >= 0x0370 && c <= 0x03FF) return GREEK_CHARSET;
    if (c >= 0x0590 && c <= 0x05FF) return HEBREW_CHARSET;
    if (c >= 0x0600 && c <= 0x06FF) return ARABIC_CHARSET;
    if (c >= 0x0E00 && c <= 0x0E7F) return THAI_CHARSET;
    if (c >= 0x0100 && c <= 0x024F) return EASTEUROPE_CHARSET;
    return DEFAULT_CHARSET;
}

// One font selected into a memory device context of its own.
struct GdiFace {
    HFONT font = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    TEXTMETRICW metrics{};

    GdiFace() = default;
    GdiFace(const GdiFace&) = delete;
    GdiFace& operator=(const GdiFace&) = delete;
    ~GdiFace() {
        if (dc) {
            SelectObject(dc, old);
            DeleteDC(dc);
        }
        if (font) DeleteObject(font);
    }

    bool Open(const LOGFONTW& logFont) {
        font = CreateFontIndirectW(&logFont);
        if (!font) return false;
        dc = CreateCompatibleDC(nullptr);
        if (!dc) return false;
        old = SelectObject(dc, font);
        return GetTextMetricsW(dc, &metrics) != 0;
    }

    bool Has(char32_t c) const {
        wchar_t units[2];
        if (Units(c, units) != 1) return true;  // GDI gives no glyph index past the BMP
        WORD index = 0;
        return GetGlyphIndicesW(dc, units, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR &&
               index != 0xFFFF;
    }
};

std::unique_ptr<GdiFace> OpenFace(const LOGFONTW& logFont) {
    auto face = std::make_unique<GdiFace>();
    if (!face->Open(logFont)) return nullptr;
    return face;
}

// A white-on-black 32-bit DIB section in a memory device context, top row first,
// that the glyphs are drawn into one at a time.
class Canvas {
public:
    Canvas() = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() { Release(); }

    // At least width x height pixels, cleared to black; false when GDI cannot make it.
    bool Prepare(int width, int height) {
        if (width > width_ || height > height_ || !dc_) {
            width = std::max(width, width_);
            height = std::max(height, height_);
            Release();
            dc_ = CreateCompatibleDC(nullptr);
            if (!dc_) return false;
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = -height;  // top row first
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (!bitmap_ || !bits) {
                Release();
                return false;
            }
            bits_ = static_cast<std::uint32_t*>(bits);
            width_ = width;
            height_ = height;
            oldBitmap_ = SelectObject(dc_, bitmap_);
            oldFont_ = GetCurrentObject(dc_, OBJ_FONT);
            SetTextColor(dc_, RGB(255, 255, 255));
            SetBkMode(dc_, TRANSPARENT);
            SetTextAlign(dc_, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
        }
        GdiFlush();
        std::memset(bits_, 0, static_cast<std::size_t>(width_) * height_ * 4);
        return true;
    }

    HDC dc() const { return dc_; }
    int width() const { return width_; }
    // The grey level of a pixel drawn white on black: the glyph's coverage there.
    std::uint8_t Coverage(int x, int y) const {
        const std::uint32_t p = bits_[static_cast<std::size_t>(y) * width_ + x];
        return static_cast<std::uint8_t>(
            std::max({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF}));
    }

private:
    void Release() {
        if (dc_) {
            if (oldFont_) SelectObject(dc_, oldFont_);
            if (oldBitmap_) SelectObject(dc_, oldBitmap_);
            DeleteDC(dc_);
        }
        if (bitmap_) DeleteObject(bitmap_);
        dc_ = nullptr;
        bitmap_ = nullptr;
        oldBitmap_ = oldFont_ = nullptr;
        bits_ = nullptr;
        width_ = height_ = 0;
    }

    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr, oldFont_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    int width_ = 0, height_ = 0;
};

}  // namespace

struct Font::Faces {
    LOGFONTW request{};  // the font as asked for, without its lines
    std::unique_ptr<GdiFace> primary;  // as described, lines and all: measures
    std::unique_ptr<GdiFace> plain;    // the primary without its lines: draws
    struct Fallback {
        BYTE charset;
        const wchar_t* face;  // nullptr: the font mapper's face for the character set
        std::unique_ptr<GdiFace> gdi;
    };
    std::vector<Fallback> fallbacks;
    // Where the underline and the strike-out lie, from the cell's top, and their
    // thickness.
    std::int32_t underlineTop = 0, strikeOutTop = 0, lineRows = 1;

    // 0 for the primary face, else 1 + the fallback's place.
    std::size_t For(char32_t c) {
        if (primary->Has(c)) return 0;
        const BYTE charset = CharsetFor(c);
        // The fallback of that character set and face, opened on first need.
        auto fallback = [&](BYTE cs, const wchar_t* face) -> GdiFace* {
            for (Fallback& f : fallbacks) {
                if (f.charset == cs && f.face == face) return f.gdi.get();
            }
            if (fallbacks.size() >= kMaxFallbacks) return nullptr;
            LOGFONTW lf = request;
            lf.lfCharSet = cs;
            std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
            if (face) wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
            fallbacks.push_back({cs, face, OpenFace(lf)});
            return fallbacks.back().gdi.get();
        };
        auto place = [&](const GdiFace* gdi) {
            for (std::size_t i = 0; i < fallbacks.size(); ++i) {
                if (fallbacks[i].gdi.get() == gdi) return i + 1;
            }
            return std::size_t{0};
        };
        if (GdiFace* gdi = fallback(charset, nullptr); gdi && gdi->Has(c)) return place(gdi);
        for (const wchar_t* face : kWideFaces) {
            if (GdiFace* gdi = fallback(DEFAULT_CHARSET, face); gdi && gdi->Has(c)) return place(gdi);
        }
        return 0;  // the primary face's own mark for a missing character
    }

    // The face that measures a run, and the one that draws its glyphs.
    GdiFace& Measuring(std::size_t which) {
        return which == 0 ? *primary : *fallbacks[which - 1].gdi;
    }
    GdiFace& Drawing(std::size_t which) {
        return which == 0 ? (plain ? *plain : *primary) : *fallbacks[which - 1].gdi;
    }

    // Calls run(face, first, units, pens) for each run of characters one face draws:
    // its UTF-16 units, and each unit's pen position from the text's start.
    template <typename Run>
    std::int32_t ForEachRun(std::string_view utf8, Run run) {
        std::wstring units;
        std::vector<std::size_t> faceOf;  // per unit
        for (std::size_t i = 0; i < utf8.size();) {
            const char32_t c = NextCodePoint(utf8, i);
            wchar_t u[2];
            const int n = Units(c, u);
            const std::size_t which = For(c);
            for (int k = 0; k < n; ++k) {
                units.push_back(u[k]);
                faceOf.push_back(which);
            }
        }
        std::int32_t pen = 0;
        std::vector<INT> dx;
        for (std::size_t first = 0; first < units.size();) {
            std::size_t last = first;
            while (last < units.size() && faceOf[last] == faceOf[first]) ++last;
            const int count = static_cast<int>(last - first);
            dx.assign(static_cast<std::size_t>(count), 0);
            SIZE size{};
            if (!GetTextExtentExPointW(Measuring(faceOf[first]).dc, units.data() + first, count, 0,
                                       nullptr, dx.data(), &size)) {
                size.cx = 0;
                dx.assign(dx.size(), 0);
            }
            run(faceOf[first], std::wstring_view(units).substr(first, last - first), pen, dx);
            pen += size.cx;
            first = last;
        }
        return pen;
    }
};

Font::~Font() = default;

namespace {

std::unique_ptr<Font::Faces> MakeFaces(const LOGFONTW& described) {
    auto faces = std::make_unique<Font::Faces>();
    faces->primary = OpenFace(described);
    if (!faces->primary) return nullptr;
    faces->request = described;
    faces->request.lfUnderline = FALSE;
    faces->request.lfStrikeOut = FALSE;
    if (described.lfUnderline || described.lfStrikeOut) {
        faces->plain = OpenFace(faces->request);
        if (!faces->plain) return nullptr;
    }
    const TEXTMETRICW& tm = faces->primary->metrics;
    // A TrueType or OpenType face says where its lines go (from the baseline, up);
    // a bitmap face has them as the other backends place them.
    OUTLINETEXTMETRICW otm{};
    otm.otmSize = sizeof otm;
    if (GetOutlineTextMetricsW(faces->primary->dc, sizeof otm, &otm) != 0) {
        faces->lineRows = std::max<std::int32_t>(1, static_cast<std::int32_t>(otm.otmsUnderscoreSize));
        faces->underlineTop = tm.tmAscent - otm.otmsUnderscorePosition - faces->lineRows / 2;
        const std::int32_t strikeRows =
            std::max<std::int32_t>(1, static_cast<std::int32_t>(otm.otmsStrikeoutSize));
        faces->strikeOutTop = tm.tmAscent - otm.otmsStrikeoutPosition - strikeRows / 2;
    } else {
        faces->lineRows = std::max<std::int32_t>(1, tm.tmHeight / 16);
        faces->underlineTop = tm.tmAscent + std::max<std::int32_t>(1, tm.tmDescent / 3);
        faces->strikeOutTop = tm.tmAscent - tm.tmAscent / 3;
    }
    return faces;
}

}  // namespace

std::unique_ptr<Font> Font::Create(const FontDescription& description) {
    LOGFONTW lf{};
    lf.lfHeight = std::clamp<LONG>(description.height, -kMaxHeight, kMaxHeight);
    lf.lfWeight = std::clamp<LONG>(description.weight, 0, 1000);
    lf.lfItalic = description.italic;
    lf.lfUnderline = description.underline;
    lf.lfStrikeOut = description.strikeOut;
    // The face's own character set, whichever it is (a Japanese face name finds a
    // Japanese face).
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    // LF_FACESIZE holds 31 units and the terminator; a pair of surrogates is never cut.
    const std::wstring face = Wide(description.face);
    std::size_t units = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
    if (units > 0 && units < face.size() && face[units - 1] >= 0xD800 && face[units - 1] <= 0xDBFF) {
        --units;
    }
    std::copy_n(face.data(), units, lf.lfFaceName);

    std::unique_ptr<Font> font(new Font);
    font->description_ = description;
    font->faces_ = MakeFaces(lf);
    if (!font->faces_) return nullptr;
    font->ascent_ = font->faces_->primary->metrics.tmAscent;
    font->descent_ = font->faces_->primary->metrics.tmDescent;
    return font;
}

// A window's device context starts with the stock SYSTEM_FONT selected: that is the
// font a text drawn without choosing one comes out in (DEFAULT_GUI_FONT is what
// dialogs and controls choose for themselves). Its description is copied, so this
// font owns its own GDI object as every other does.
std::unique_ptr<Font> Font::CreateDefault() {
    LOGFONTW lf{};
    if (GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf) == 0) return nullptr;
    lf.lfQuality = ANTIALIASED_QUALITY;
    std::unique_ptr<Font> font(new Font);
    font->description_.face = Utf8(lf.lfFaceName);
    font->description_.height = lf.lfHeight;
    font->description_.weight = lf.lfWeight;
    font->description_.italic = lf.lfItalic != 0;
    font->description_.underline = lf.lfUnderline != 0;
    font->description_.strikeOut = lf.lfStrikeOut != 0;
    font->faces_ = MakeFaces(lf);
    if (!font->faces_) return nullptr;
    font->ascent_ = font->faces_->primary->metrics.tmAscent;
    font->descent_ = font->faces_->primary->metrics.tmDescent;
    return font;
}

TextExtent Font::Measure(std::string_view utf8) const {
    std::int32_t width = 0;
    faces_->ForEachRun(utf8, [&](std::size_t which, std::wstring_view units, std::int32_t,
                                 const std::vector<INT>&) {
        SIZE size{};
        if (GetTextExtentPoint32W(faces_->Measuring(which).dc, units.data(),
                                  static_cast<int>(units.size()), &size)) {
            width += size.cx;
        }
    });
    return TextExtent{width, faces_->primary->metrics.tmHeight};
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

    // Ink may reach past a glyph's advance on either side (italics, accents on
    // narrow letters), by at most about half the cell.
    const TEXTMETRICW& tm = faces_->primary->metrics;
    const int margin = tm.tmHeight / 2 + tm.tmOverhang + 4;
    const int baseline = ascent_ - t.bandTop_;
    Canvas canvas;
    std::unordered_map<std::uint64_t, std::uint32_t> seen;  // (face, character) -> glyph

    faces_->ForEachRun(utf8, [&](std::size_t which, std::wstring_view units, std::int32_t pen,
                                 const std::vector<INT>& dx) {
        GdiFace& face = faces_->Drawing(which);
        for (std::size_t i = 0; i < units.size();) {
            const bool pair = i + 1 < units.size() && units[i] >= 0xD800 && units[i] <= 0xDBFF &&
                              units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
            const std::size_t n = pair ? 2 : 1;
            const std::int32_t x = pen + (i == 0 ? 0 : dx[i - 1]);
            const std::int32_t advance = dx[i + n - 1] - (i == 0 ? 0 : dx[i - 1]);
            const std::uint64_t key = (static_cast<std::uint64_t>(which) << 32) |
                                      (pair ? (0x10000u + ((units[i] - 0xD800u) << 10) +
                                               (units[i + 1] - 0xDC00u))
                                            : units[i]);
            auto [it, added] = seen.emplace(key, static_cast<std::uint32_t>(t.glyphs_.size()));
            if (added) {
                TextLayout::Glyph glyph;
                const int w = std::max(advance, 0) + 2 * margin;
                if (t.bandHeight_ > 0 && canvas.Prepare(w, t.bandHeight_)) {
                    const HGDIOBJ before = SelectObject(canvas.dc(), face.font);
                    ExtTextOutW(canvas.dc(), margin, baseline, 0, nullptr, units.data() + i,
                                static_cast<UINT>(n), nullptr);
                    GdiFlush();
                    SelectObject(canvas.dc(), before);
                    int left = w, right = -1, top = t.bandHeight_, bottom = -1;
                    for (int y = 0; y < t.bandHeight_; ++y) {
                        for (int col = 0; col < w; ++col) {
                            if (canvas.Coverage(col, y) == 0) continue;
                            left = std::min(left, col);
                            right = std::max(right, col);
                            top = std::min(top, y);
                            bottom = std::max(bottom, y);
                        }
                    }
                    if (right >= left) {
                        glyph.left = left - margin;
                        glyph.top = top;
                        glyph.width = right - left + 1;
                        glyph.rows = bottom - top + 1;
                        glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.rows);
                        for (int row = 0; row < glyph.rows; ++row) {
                            for (int col = 0; col < glyph.width; ++col) {
                                glyph.coverage[static_cast<std::size_t>(row) * glyph.width + col] =
                                    canvas.Coverage(left + col, top + row);
                            }
                        }
                    }
                }
                t.glyphs_.push_back(std::move(glyph));
            }
            t.placed_.push_back({it->second, x});
            i += n;
        }
    });

    t.lineRows_ = faces_->lineRows;
    if (description_.underline) t.lines_.push_back(faces_->underlineTop - t.bandTop_);
    if (description_.strikeOut) t.lines_.push_back(faces_->strikeOutTop - t.bandTop_);
    return layout;
}

}  // namespace platform
