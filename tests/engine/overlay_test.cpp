// The overlays' places, colours and timing, recorded from a canvas.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/device.h"
#include "engine/overlay.h"
#include "settings/store.h"
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
    void SetMessage(const char* text) {
        settings::SceneSettings& s = settings::Settings();
        s.MSN = 2;
        std::strcpy(s.MSG.entries[2].text, text);
        std::strcpy(s.MSG.entries[2].font.faceName, "Liberation Sans");
        s.MSG.entries[2].font.height = -40;
        s.MSG.entries[2].textColor = 0x0000FF;
        Mode(settings::View().mode);  // the fonts of the new message
        PrepareOverlayTexts();
        const auto& img = Overlay().message.image;
        settings::View().MessageExtent = {img.width, img.height};
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
