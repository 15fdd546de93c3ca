// What is drawn over the rendered scene before it is presented: the banner and the
// frame-rate counter from the sprite surfaces in full-screen saving, the sample
// labels of the small views, and the scrolling message in every mode. Texts are
// drawn into pictures once, outside the frames; a frame only places them.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/fonts/fonts.h"
#include "sprites/surface_set.h"

namespace engine {

// A text drawn once into a picture. id names the picture; version changes whenever
// its pixels do.
struct PreparedText {
    platform::TextImage image;
    std::uint32_t id = 0;
    std::uint32_t version = 0;
};

// Where overlays are drawn: the back buffer of the render device.
class OverlayCanvas {
public:
    virtual ~OverlayCanvas() = default;
    // The source rectangle of the surface stretched onto (x, y, width, height), its
    // key colour transparent.
    virtual void BlitSprite(int x, int y, int width, int height,
                            const sprites::SpriteSurface& surface, sprites::CellRect source) = 0;
    // A prepared text with its top-left corner at (x, y), blended over the frame.
    virtual void DrawText(int x, int y, const PreparedText& text) = 0;
};

struct OverlayState {
    bool messageStarted = false;
    int messageX = 0;
    int frames = 0;
    std::uint32_t rate = 0;
    std::uint32_t lastMeasure = 0;
    // The message is laid out once and drawn a strip at a time: message.image holds
    // the columns from messageStripX of the rows from the layout's band top (the
    // rows that can be in the view), as wide as the whole text when that is not too
    // wide, so that a message of any length in any font height costs a picture no
    // larger than a few views.
    std::unique_ptr<platform::TextLayout> messageLayout;
    int messageStripX = 0;
    PreparedText message;
    PreparedText sampleRate, sampleFps, notice, maker;
};

// The widest strip of the message kept as a picture: at least this many pixels, and
// at least two views.
inline constexpr int kMessageStripPixels = 4096;

OverlayState& Overlay();

// The words of the small views' maker label.
inline constexpr const char* kNoticeWord = "Copyright";   // 9 characters
inline constexpr const char* kMakerName = "Quiet Orbit";  // 11 characters

// Draws the selected message in the mode's font and its colour, and the labels of
// the small views. Run at start and whenever the message or its font changes.
void PrepareOverlayTexts();
// The frame-rate counter's measuring window starts now.
void StartFrameRateClock(std::uint32_t now);

// The overlays of the mode, in their order.
void DrawOverlays(OverlayCanvas& canvas, std::uint32_t now);
void DrawScrollingMessage(OverlayCanvas& canvas);
void DrawFrameRate(OverlayCanvas& canvas, std::uint32_t now);
void DrawGlyphText(OverlayCanvas& canvas, int x, int y, const char* text);
void DrawTwoDigits(OverlayCanvas& canvas, int x, int y, int n);

}  // namespace engine
