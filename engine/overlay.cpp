// The overlays' positions, colours and timing.
#include "engine/overlay.h"

#include "engine/device.h"
#include <algorithm>
#include <memory>

#include "platform/text/text.h"
#include "settings/scene_settings.h"
#include "settings/view_state.h"

namespace engine {

namespace {

constexpr int kBallSurface = 0;
constexpr int kGlyphSurface = 4;

std::uint32_t g_nextTextId = 1;

void Prepare(PreparedText& text, const platform::Font* font, std::string_view utf8,
             std::uint32_t colorref) {
    text.image = font ? font->Render(utf8, colorref) : platform::TextImage{};
    text.id = g_nextTextId++;
    text.version = 0;
}

// Draws the strip of the message that starts at column x of its picture.
void PaintMessageStrip(OverlayState& o, int x) {
    o.messageStripX = x;
    o.messageLayout->Draw(x, o.message.image);
    ++o.message.version;
}

// The message laid out in its font, keeping the rows that can be in the view when it
// stands at its height in the middle, and the first strip of it drawn.
void PrepareMessage(OverlayState& o, const platform::Font* font, std::string_view utf8,
                    std::uint32_t colorref) {
    const settings::ViewState& view = settings::View();
    const platform::TextExtent extent = font->Measure(utf8);
    const int top = (view.ViewHeight - extent.height) / 2;
    const int bandTop = std::max(0, -top);
    const int bandHeight = std::min(extent.height, view.ViewHeight - top) - bandTop;
    o.messageLayout = font->Layout(utf8, colorref, bandTop, bandHeight);
    const int strip = std::max(kMessageStripPixels, 2 * view.ViewWidth);
    o.message.image.width = std::min(o.messageLayout->width(), strip);
    o.message.image.height = o.messageLayout->bandHeight();
    o.message.image.rgba.assign(
        static_cast<std::size_t>(o.message.image.width) * o.message.image.height * 4, 0);
    o.message.id = g_nextTextId++;
    o.message.version = 0;
    PaintMessageStrip(o, 0);
}

int Trunc(double v) { return static_cast<int>(v); }

const settings::MessageEntry* SelectedMessage() {
    const settings::SceneSettings& s = settings::Settings();
    if (s.MSN <= 0 || s.MSN >= settings::kMessageEntries) return nullptr;
    return &s.MSG.entries[s.MSN];
}

}  // namespace

OverlayState& Overlay() {
    static OverlayState state;
    return state;
}

void PrepareOverlayTexts() {
    const settings::ViewState& view = settings::View();
    const settings::SceneSettings& s = settings::Settings();
    OverlayState& o = Overlay();
    const platform::Font* label = view.fonts.PreviewLabelFont.get();
    Prepare(o.sampleRate, label, "15", 0x3F7FFF);
    Prepare(o.sampleFps, label, "FPS", 0xFFBF00);
    Prepare(o.notice, label, kNoticeWord, 0x00FF00);
    Prepare(o.maker, label, kMakerName, 0x00FFFF);

    const settings::MessageEntry* entry = SelectedMessage();
    o.messageLayout.reset();
    o.messageStripX = 0;
    if (!entry) {
        o.message = PreparedText{};
        return;
    }
    const platform::Font* font = view.mode == settings::SaverMode::Saver
                                     ? view.fonts.MessageFont.get()
                                     : view.fonts.PreviewMessageFont.get();
    std::unique_ptr<platform::Font> fallback;
    if (!font) {
        fallback = platform::Font::CreateDefault();
        font = fallback.get();
    }
    const std::string text = platform::CodePageToUtf8(
        std::string_view(entry->text, settings::TextLength(entry->text, sizeof entry->text)),
        s.keyboardCodePage);
    if (!font) {
        o.message = PreparedText{};
        return;
    }
    PrepareMessage(o, font, text, entry->textColor);
}

void StartFrameRateClock(std::uint32_t now) {
    Overlay().lastMeasure = now;
    Overlay().frames = 0;
}

void DrawScrollingMessage(OverlayCanvas& canvas) {
    const settings::ViewState& view = settings::View();
    OverlayState& o = Overlay();
    if (!o.messageStarted) {
        o.messageStarted = true;
        o.messageX = view.ViewWidth;
    }
    const int y = (view.ViewHeight - view.MessageExtent.height) / 2;
    if (!SelectedMessage()) return;
    if (o.messageLayout) {
        // The columns of the message in the view; a strip that does not hold them
        // all is drawn again from the first of them.
        const int width = o.messageLayout->width(), strip = o.message.image.width;
        const long long first = std::clamp<long long>(-static_cast<long long>(o.messageX), 0, width);
        const long long last =
            std::clamp<long long>(static_cast<long long>(view.ViewWidth) - o.messageX, 0, width);
        if (first < last && (first < o.messageStripX || last > o.messageStripX + strip)) {
            PaintMessageStrip(o, static_cast<int>(std::min<long long>(first, width - strip)));
        }
        canvas.DrawText(o.messageX + o.messageStripX, y + o.messageLayout->bandTop(), o.message);
    } else {
        canvas.DrawText(o.messageX, y, o.message);
    }
    o.messageX -= view.ScrollStep;
    if (-static_cast<long long>(o.messageX) > view.MessageExtent.width) {
        o.messageX = view.ViewWidth;
    }
}

void DrawGlyphText(OverlayCanvas& canvas, int x, int y, const char* text) {
    sprites::SurfaceSet& set = sprites::TheSurfaceSet();
    if (static_cast<int>(set.surfaces.size()) <= kGlyphSurface) return;
    const sprites::SpriteSurface& str = set.surfaces[kGlyphSurface];
    const double scale = settings::View().ViewScale;
    for (const char* p = text; *p; ++p) {
        const int b = static_cast<unsigned char>(*p);
        // Only the characters 32 to 127 have glyphs.
        if (b >= 32 && b <= 127 && str.columns > 0) {
            const int k = b - 32;
            const sprites::CellRect cell = sprites::Cell(str, k);
            canvas.BlitSprite(x, y, Trunc(str.cellWidth * scale), Trunc(str.cellHeight * scale),
                              str, cell);
        }
        x += str.cellWidth;
    }
}

void DrawTwoDigits(OverlayCanvas& canvas, int x, int y, int n) {
    n = std::clamp(n, 0, 99);
    const char text[3] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10), 0};
    DrawGlyphText(canvas, x, y, text);
}

void DrawFrameRate(OverlayCanvas& canvas, std::uint32_t now) {
    OverlayState& o = Overlay();
    ++o.frames;
    const std::uint32_t elapsed = now - o.lastMeasure;
    if (elapsed > 1000) {
        o.rate = static_cast<std::uint32_t>(static_cast<std::uint64_t>(o.frames) * 1000u / elapsed);
        o.lastMeasure = now;
        o.frames = 0;
    }
    if (o.rate == 0) return;
    const settings::ViewState& view = settings::View();
    const int shown = static_cast<int>(std::min<std::uint32_t>(o.rate, 99));
    const int y = view.ViewHeight - Trunc(28 * view.ViewScale);
    DrawTwoDigits(canvas, Trunc(8 * view.ViewScale), y, shown);
    DrawGlyphText(canvas, Trunc(60 * view.ViewScale), y, "FPS");
}

void DrawOverlays(OverlayCanvas& canvas, std::uint32_t now) {
    const settings::ViewState& view = settings::View();
    const settings::SceneSettings& s = settings::Settings();
    OverlayState& o = Overlay();
    if (view.mode == settings::SaverMode::Saver) {
        sprites::SurfaceSet& set = sprites::TheSurfaceSet();
        if (s.CPR != 0 && !set.surfaces.empty()) {
            const double scale = view.ViewScale;
            canvas.BlitSprite(view.ViewWidth - Trunc(190 * scale),
                              view.ViewHeight - Trunc(25 * scale), Trunc(186 * scale),
                              Trunc(22 * scale), set.surfaces[kBallSurface], {0, 0, 186, 22});
        }
        if (Device().ShowFrameRate) DrawFrameRate(canvas, now);
    } else {
        if (s.FPS != 0) {
            canvas.DrawText(5, 100, o.sampleRate);
            canvas.DrawText(15, 100, o.sampleFps);
        }
        if (s.CPR != 0) {
            canvas.DrawText(100, 100, o.notice);
            canvas.DrawText(130, 100, o.maker);
        }
    }
    DrawScrollingMessage(canvas);
}

}  // namespace engine
