// The overlays' places, colours and timing, recorded from a canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/overlay_canvas.h"
#include "engine/overlay.h"
#include "settings/store.h"
#include "platform/rm/frame.h"
#include "platform/rm/offscreen.h"
#include "shell/entry.h"

using namespace engine;

namespace {

struct Draw {
    std::string what;  // "sprite" or "text"
    int x, y, w, h;
    int srcLeft, srcTop;
    std::uint32_t textId;
};

struct Recorder : OverlayCanvas {
    std::vector<Draw> draws;
    void BlitSprite(int x, int y, int w, int h, const sprites::SpriteSurface&,
                    sprites::CellRect src) override {
        draws.push_back({"sprite", x, y, w, h, src.left, src.top, 0});
    }
    void DrawText(int x, int y, const PreparedText& t) override {
        draws.push_back({"text", x, y, t.image.width, t.image.height, 0, 0, t.id});
    }
};

class Overlays : public ::testing::Test {
protected:
    void SetUp() override {
        settings::SceneSettings& s = settings::Settings();
        settings::InitialiseSettings(s, "/d/", 1252);
        settings::ApplyFirstRunDefaults(s);
        ASSERT_TRUE(sprites::LoadSpriteScript("PATSCRIPT1", "PATSCRIPT", sprites::TheSurfaceSet()));
        sprites::RefreshSpriteSurfaces(sprites::TheSurfaceSet());
        Overlay() = OverlayState{};
        Device().ShowFrameRate = 1;
    }
    void Mode(settings::SaverMode mode) {
        settings::ViewState& sh = settings::View();
        sh.mode = mode;
        sh.ViewWidth = mode == settings::SaverMode::Saver ? 800 : 152;
        sh.ViewHeight = mode == settings::SaverMode::Saver ? 600 : 112;
        sh.ViewScale = settings::ComputeViewScale(sh.ViewWidth);
        sh.ScrollStep = settings::ComputeScrollStep(settings::Settings().SPD, sh.ViewScale);
        settings::DeleteFonts(sh.fonts);
        settings::CreateSharedFonts(settings::Settings(), sh.fonts);
        if (mode == settings::SaverMode::Saver) settings::CreateMessageFont(settings::Settings(), sh.fonts);
    }
    void SetMessage(const char* text, std::int32_t height = -40) {
        settings::SceneSettings& s = settings::Settings();
        s.MSN = 2;
        std::strcpy(s.MSG.entries[2].text, text);
        std::strcpy(s.MSG.entries[2].font.faceName, "Liberation Sans");
        s.MSG.entries[2].font.height = height;
        s.MSG.entries[2].textColor = 0x0000FF;
        Mode(settings::View().mode);  // the fonts of the new message
        PrepareOverlayTexts();
        // As the entry point measures it: the whole text, not the strip kept of it.
        if (const auto& layout = Overlay().messageLayout) {
            settings::View().MessageExtent = {layout->width(), layout->height()};
        }
    }
};

}  // namespace

TEST_F(Overlays, FullScreenBannerAndTheCounterAfterTheFirstSecond) {
    Mode(settings::SaverMode::Saver);
    PrepareOverlayTexts();
    StartFrameRateClock(1000);
    Recorder r;
    DrawOverlays(r, 1500);  // inside the first second: no counter
    ASSERT_EQ(r.draws.size(), 1u);
    EXPECT_EQ(r.draws[0].x, 610);
    EXPECT_EQ(r.draws[0].y, 575);
    EXPECT_EQ(r.draws[0].w, 186);
    EXPECT_EQ(r.draws[0].h, 22);

    for (int i = 0; i < 58; ++i) DrawOverlays(r, 1600);
    r.draws.clear();
    DrawOverlays(r, 2001);  // 60 frames in 1001 ms: 59 per second
    ASSERT_EQ(r.draws.size(), 6u);  // banner, two digits, F P S
    EXPECT_EQ(r.draws[1].x, 8);
    EXPECT_EQ(r.draws[1].y, 572);
    EXPECT_EQ(r.draws[1].srcLeft, 25 * ('5' - 32) % 200);  // "5": column 5 of row 2
    EXPECT_EQ(r.draws[1].srcTop, 50);
    EXPECT_EQ(r.draws[2].x, 32);
    EXPECT_EQ(r.draws[2].srcLeft, 25 * 1);  // "9": column 1 of row 3
    EXPECT_EQ(r.draws[2].srcTop, 75);
    EXPECT_EQ(r.draws[3].x, 60);
    EXPECT_EQ(r.draws[3].srcLeft, 150);  // "F": column 6 of row 4
    EXPECT_EQ(r.draws[3].srcTop, 100);
    EXPECT_EQ(r.draws[5].x, 108);

    // Never above 99.
    for (int i = 0; i < 500; ++i) DrawOverlays(r, 2500);
    r.draws.clear();
    DrawOverlays(r, 3002);
    EXPECT_EQ(r.draws[1].srcLeft, 25 * 1);  // "9"
    EXPECT_EQ(r.draws[2].srcLeft, 25 * 1);

    settings::Settings().CPR = 0;
    r.draws.clear();
    DrawOverlays(r, 3003);
    EXPECT_EQ(r.draws.size(), 5u);  // no banner
}

TEST_F(Overlays, SmallViewsShowTheirFixedLabels) {
    Mode(settings::SaverMode::Preview);
    PrepareOverlayTexts();
    Recorder r;
    DrawOverlays(r, 0);
    ASSERT_EQ(r.draws.size(), 4u);
    EXPECT_EQ(r.draws[0].x, 5);
    EXPECT_EQ(r.draws[0].y, 100);
    EXPECT_EQ(r.draws[1].x, 15);
    EXPECT_EQ(r.draws[2].x, 100);
    EXPECT_EQ(r.draws[3].x, 130);
    EXPECT_GT(r.draws[3].w, r.draws[0].w);  // "Quiet Orbit" is wider than "15"
    // The sample label's colour: orange, red 255 green 127 blue 63.
    const auto& img = Overlay().sampleRate.image;
    ASSERT_GT(img.rgba.size(), 4u);
    EXPECT_EQ(img.rgba[0], 255);
    EXPECT_EQ(img.rgba[1], 127);
    EXPECT_EQ(img.rgba[2], 63);
    settings::Settings().FPS = 0;
    settings::Settings().CPR = 0;
    r.draws.clear();
    DrawOverlays(r, 0);
    EXPECT_TRUE(r.draws.empty());
}

TEST_F(Overlays, MessageScrollsFromTheRightEdgeAndStartsAgainWhenGone) {
    Mode(settings::SaverMode::Saver);
    SetMessage("Hello");
    const int width = settings::View().MessageExtent.width;
    ASSERT_GT(width, 40);
    // Colour red, in the message's font.
    const auto& img = Overlay().message.image;
    EXPECT_EQ(img.rgba[0], 255);
    Recorder r;
    std::vector<int> xs;
    const int frames = (800 + width) / 8 + 3;
    for (int i = 0; i < frames; ++i) {
        r.draws.clear();
        DrawScrollingMessage(r);
        ASSERT_EQ(r.draws.size(), 1u);
        xs.push_back(r.draws[0].x);
        EXPECT_EQ(r.draws[0].y, (600 - settings::View().MessageExtent.height) / 2);
    }
    EXPECT_EQ(xs[0], 800);
    EXPECT_EQ(xs[1], 792);
    // It starts again once its right end has passed the left edge.
    int restart = 0;
    for (std::size_t i = 1; i < xs.size(); ++i) {
        if (xs[i] == 800) restart = static_cast<int>(i);
    }
    ASSERT_GT(restart, 0);
    // The last place drawn still showed part of it; one more step would not have.
    EXPECT_LE(-xs[restart - 1], width);
    EXPECT_GT(-(xs[restart - 1] - 8), width);

    // No message: nothing drawn, the place stays.
    settings::Settings().MSN = 0;
    const int at = Overlay().messageX;
    r.draws.clear();
    DrawScrollingMessage(r);
    EXPECT_TRUE(r.draws.empty());
    EXPECT_EQ(Overlay().messageX, at);
}

TEST_F(Overlays, PreviewScrollsOnePixelAFrame) {
    Mode(settings::SaverMode::Preview);
    SetMessage("Hi");
    Recorder r;
    DrawScrollingMessage(r);
    DrawScrollingMessage(r);
    EXPECT_EQ(r.draws[0].x, 152);
    EXPECT_EQ(r.draws[1].x, 151);
}

TEST(GlyphText, OnlyCodes32To127HaveGlyphsButEveryByteAdvances) {
    ASSERT_TRUE(sprites::LoadSpriteScript("PATSCRIPT1", "PATSCRIPT", sprites::TheSurfaceSet()));
    settings::View().ViewScale = 0.19;
    Recorder r;
    DrawGlyphText(r, 10, 20, "A\x01~");
    ASSERT_EQ(r.draws.size(), 2u);
    EXPECT_EQ(r.draws[0].srcLeft, 25);
    EXPECT_EQ(r.draws[0].srcTop, 100);
    EXPECT_EQ(r.draws[0].w, 4);  // 24 x 0.19, cut
    EXPECT_EQ(r.draws[1].x, 58);  // two unscaled cells further
}

namespace {

// The overlays drawn for real: an off-screen GL device of the full-screen view's
// size, cleared to blue, with the message drawn over it as the saver draws it.
class MessageOnTheDevice : public Overlays {
protected:
    void SetUp() override {
        Overlays::SetUp();
        std::string error;
        context = platform::rm::OffscreenContext::Create(&error);
        if (!context) GTEST_SKIP() << "no off-screen OpenGL context: " << error;
        device = platform::rm::Device::Create(800, 600, &error);
        ASSERT_TRUE(device) << error;
        pictures = platform::rm::Overlay2D::Create();
        ASSERT_TRUE(pictures);
        scene = platform::rm::Frame::Create(nullptr);
        camera = platform::rm::Frame::Create(scene);
        scene->SetSceneBackgroundRGB(0, 0, 1);
        view = platform::rm::Viewport::Create(device.get(), camera, 0, 0, 800, 600);
        ASSERT_TRUE(view);
    }
    void TearDown() override {
        if (view) view->Release();
        if (camera) camera->Release();
        if (scene) scene->Release();
        pictures.reset();
        device.reset();
    }
    // Moves the message on by n frames without drawing it, then draws one frame.
    platform::rm::Image FrameAfter(int n) {
        Recorder skip;
        for (int i = 0; i < n; ++i) DrawScrollingMessage(skip);
        EXPECT_TRUE(view->Clear());
        EXPECT_TRUE(device->Update());
        DeviceCanvas canvas(*device, *pictures);
        DrawScrollingMessage(canvas);
        platform::rm::Image img;
        EXPECT_TRUE(device->ReadPixels(img));
        return img;
    }
    // Pixels across the middle of the view that are neither the blue ground nor
    // the red message blended over it: an opaque black band would be all of them.
    int ForeignPixelsAcrossTheMiddle(const platform::rm::Image& img) {
        int foreign = 0;
        for (int y = 280; y < 320; ++y) {
            for (int x = 0; x < 800; ++x) {
                const std::uint8_t* p = &img.rgba[(static_cast<std::size_t>(y) * 800 + x) * 4];
                if (p[1] != 0 || p[0] + p[2] < 250) ++foreign;
            }
        }
        return foreign;
    }
    std::unique_ptr<platform::rm::OffscreenContext> context;
    std::unique_ptr<platform::rm::Device> device;
    std::unique_ptr<platform::rm::Overlay2D> pictures;
    platform::rm::Frame* scene = nullptr;
    platform::rm::Frame* camera = nullptr;
    platform::rm::Viewport* view = nullptr;
};

}  // namespace

// 255 "W" at height -160 make a picture far wider than the GL's largest texture.
TEST_F(MessageOnTheDevice, TheLongestMessageInALargeFontShowsAllAlongNotABlackBand) {
    Mode(settings::SaverMode::Saver);
    SetMessage(std::string(255, 'W').c_str(), -160);
    const int width = settings::View().MessageExtent.width;
    ASSERT_GT(width, 30000);
    EXPECT_LE(Overlay().message.image.width, std::max(kMessageStripPixels, 2 * 800));
    // On its way in, well inside, and at its very end.
    for (int frames : {99, 500, (width - 800) / 8 - 600}) {
        const platform::rm::Image img = FrameAfter(frames);
        EXPECT_EQ(ForeignPixelsAcrossTheMiddle(img), 0) << "at x " << Overlay().messageX;
        int red = 0;
        for (int x = 0; x < 800; ++x) red += img.rgba[(300 * 800 + x) * 4] > 200;
        EXPECT_GT(red, 100) << "the letters show at x " << Overlay().messageX;
    }
}

// Any font height the store can hold: the picture kept is a strip of the rows that
// can be in the view, however tall and long the text.
TEST_F(MessageOnTheDevice, AnyFontHeightCostsAStripNoLargerThanAFewViews) {
    Mode(settings::SaverMode::Saver);
    std::string text;
    for (int c = 0x21; c < 0x21 + 60; ++c) text.push_back(static_cast<char>(c));
    SetMessage(text.c_str(), -INT32_MAX);  // the tallest the font conversion keeps
    const auto& image = Overlay().message.image;
    EXPECT_LE(image.height, 600);
    EXPECT_LE(static_cast<std::size_t>(image.width) * image.height * 4,
              static_cast<std::size_t>(std::max(kMessageStripPixels, 1600)) * 600 * 4);
    ASSERT_NE(Overlay().messageLayout, nullptr);
    EXPECT_GT(Overlay().messageLayout->width(), 60 * 500);
    const platform::rm::Image img = FrameAfter(200);
    EXPECT_EQ(ForeignPixelsAcrossTheMiddle(img), 0);
}

// The strip is drawn again only when the columns in the view leave it: a few times
// over the whole way of a long message, never in a frame that does not need it.
TEST_F(Overlays, ALongMessageIsDrawnAgainOnlyWhenItsStripRunsOut) {
    Mode(settings::SaverMode::Saver);
    SetMessage(std::string(255, 'W').c_str(), -160);
    const int width = settings::View().MessageExtent.width;
    Recorder r;
    std::uint32_t version = Overlay().message.version;
    int repaints = 0;
    const int frames = (800 + width) / 8 + 2;
    for (int i = 0; i < frames; ++i) {
        r.draws.clear();
        DrawScrollingMessage(r);
        ASSERT_EQ(r.draws.size(), 1u);
        // The strip's first column stands where the message's own column would.
        if (Overlay().messageX != 800) {
            EXPECT_EQ(r.draws[0].x, Overlay().messageX + 8 + Overlay().messageStripX);
        }
        if (Overlay().message.version != version) {
            ++repaints;
            version = Overlay().message.version;
        }
    }
    const int strip = Overlay().message.image.width;
    EXPECT_LE(repaints, width / (strip - 800) + 2);
    EXPECT_GE(repaints, width / strip);
    // A short message is one strip, drawn once.
    SetMessage("Hello");
    version = Overlay().message.version;
    for (int i = 0; i < 300; ++i) DrawScrollingMessage(r);
    EXPECT_EQ(Overlay().message.version, version);
}
