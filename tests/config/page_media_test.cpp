// The media page on the null backend: its controls and what the refresh shows, the
// toggle rules, the shading radios, the render settings reaching the device, the
// background colour or image, Original and the texture, the colour choice, the file
// choosers and the collect on OK.
#include "media_page_test_util.h"

using namespace config;
using namespace config_test;
using namespace platform;

TEST_F(MediaPage, StandsBelowTheTabsWithItsControlsAtTheirPlacesAndThreeOutOfReach) {
    Open();
    EXPECT_EQ(ui->dialogs[page2].rect, (Rect{210, 64, 360, 340}));
    struct Place {
        int id;
        ControlKind kind;
        Rect rect;
    };
    const Place places[] = {
        {kFlat, ControlKind::kRadioButton, {80, 31, 16, 16}},
        {kGouraud, ControlKind::kRadioButton, {80, 54, 16, 16}},
        {kDither, ControlKind::kCheckBox, {190, 42, 16, 16}},
        {kNearestTexture, ControlKind::kRadioButton, {235, 500, 16, 16}},
        {kLinearTexture, ControlKind::kRadioButton, {235, 500, 16, 16}},
        {kAntialias, ControlKind::kCheckBox, {235, 500, 16, 16}},
        {kUseImage, ControlKind::kCheckBox, {80, 118, 16, 16}},
        {kColorButton, ControlKind::kButton, {213, 92, 62, 32}},
        {kImageButton, ControlKind::kButton, {213, 124, 62, 32}},
        {kSoundOn, ControlKind::kCheckBox, {80, 185, 16, 16}},
        {kMidiOn, ControlKind::kCheckBox, {80, 211, 16, 16}},
        {kMidiButton, ControlKind::kButton, {213, 192, 62, 32}},
        {kOriginal, ControlKind::kCheckBox, {80, 259, 16, 16}},
        {kTextureButton, ControlKind::kButton, {193, 248, 82, 32}},
        {kFpsOn, ControlKind::kCheckBox, {80, 306, 15, 16}},
        {kMakerOn, ControlKind::kCheckBox, {204, 306, 15, 16}},
    };
    for (const Place& p : places) {
        const auto* c = ui->Find(page2, p.id);
        ASSERT_TRUE(c) << p.id;
        EXPECT_EQ(c->kind, p.kind) << p.id;
        EXPECT_EQ(c->rect, p.rect) << p.id;
        const bool hidden = p.id == kNearestTexture || p.id == kLinearTexture || p.id == kAntialias;
        EXPECT_EQ(c->visible, !hidden) << p.id;
    }
    // Two groups of radio buttons: the shading, and the hidden texture sampling.
    EXPECT_TRUE(ui->Find(page2, kFlat)->style & kStyleGroup);
    EXPECT_FALSE(ui->Find(page2, kGouraud)->style & kStyleGroup);
    EXPECT_TRUE(ui->Find(page2, kNearestTexture)->style & kStyleGroup);

    // A first run: Gouraud, the model's own look, a colour behind it, no music.
    EXPECT_TRUE(Checked(kGouraud));
    EXPECT_FALSE(Checked(kFlat));
    EXPECT_TRUE(Checked(kOriginal));
    EXPECT_FALSE(Enabled(page2, kTextureButton));
    EXPECT_FALSE(Checked(kUseImage));
    EXPECT_TRUE(Enabled(page2, kColorButton));
    EXPECT_FALSE(Enabled(page2, kImageButton));
    EXPECT_FALSE(Checked(kMidiOn));
    EXPECT_FALSE(Enabled(page2, kMidiButton));
    EXPECT_TRUE(Checked(kSoundOn));
    EXPECT_TRUE(Checked(kFpsOn));
    EXPECT_TRUE(Checked(kMakerOn));

    // The page paints its picture; its buttons wear their faces.
    ui->ClearLog();
    SendMessage(page2, WM_PAINT, 0, 0);
    EXPECT_EQ(ui->Lines("Picture " + H(page2)),
              std::vector<std::string>{"Picture " + H(page2) + " BKGND2 0,0,360,340"});
    const std::pair<int, const char*> faces[] = {
        {kMidiButton, "MIDI_U"}, {kTextureButton, "TEXT_U"}, {kColorButton, "COLOR_U"}, {kImageButton, "IMAGE_U"}};
    for (const auto& [id, face] : faces) {
        DrawItem item;
        item.ctlId = id;
        item.item = Rect{0, 0, 62, 32};
        item.target = ui->ItemTarget(page2, id);
        ui->ClearLog();
        SendMessage(page2, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&item));
        ASSERT_EQ(ui->log.size(), 1u) << face;
        EXPECT_EQ(ui->log[0], "Picture " + H(page2) + ":" + std::to_string(id) + " " + face + " 0,0,62,32");
    }
    ui->brokenPictures = {"BKGND2"};
    SendMessage(page2, WM_PAINT, 0, 0);
    EXPECT_EQ(ui->beeps, 1);
}

TEST_F(MediaPage, AClickTogglesItsSettingAndTheBoxShowsIt) {
    struct Case {
        int id;
        std::int32_t settings::SceneSettings::*setting;
    };
    const Case boxes[] = {
        {kSoundOn, &settings::SceneSettings::S_ON}, {kMidiOn, &settings::SceneSettings::M_ON},
        {kOriginal, &settings::SceneSettings::ORIG}, {kDither, &settings::SceneSettings::DITHER},
        {kAntialias, &settings::SceneSettings::ALIAS}, {kFpsOn, &settings::SceneSettings::FPS},
        {kMakerOn, &settings::SceneSettings::CPR},
    };
    settings::SceneSettings& s = settings::Settings();
    // An edited store holds 2 everywhere: a toggled setting shows off and becomes 1,
    // while Use Image shows on and becomes 0.
    for (const Case& c : boxes) s.*c.setting = 2;
    s.USE_I = 2;
    Open();
    for (const Case& c : boxes) {
        EXPECT_FALSE(Checked(c.id)) << c.id;
        Click(page2, c.id);
        EXPECT_EQ(s.*c.setting, 1) << c.id;
        EXPECT_TRUE(Checked(c.id)) << c.id;
        Click(page2, c.id);
        EXPECT_EQ(s.*c.setting, 0) << c.id;
        EXPECT_FALSE(Checked(c.id)) << c.id;
        Click(page2, c.id);
        EXPECT_EQ(s.*c.setting, 1) << c.id;
    }
    EXPECT_TRUE(Checked(kUseImage));
    EXPECT_FALSE(Enabled(page2, kColorButton));
    EXPECT_TRUE(Enabled(page2, kImageButton));
    Click(page2, kUseImage);
    EXPECT_EQ(s.USE_I, 0);
    EXPECT_FALSE(Checked(kUseImage));
    EXPECT_TRUE(Enabled(page2, kColorButton));
    EXPECT_FALSE(Enabled(page2, kImageButton));
    Click(page2, kUseImage);
    EXPECT_EQ(s.USE_I, 1);
    EXPECT_TRUE(Checked(kUseImage));
    // A toggled setting holding -1 becomes 1 as well; Use Image holding -1 becomes 0.
    s.FPS = -1;
    s.USE_I = -1;
    Click(page2, kFpsOn);
    Click(page2, kUseImage);
    EXPECT_EQ(s.FPS, 1);
    EXPECT_EQ(s.USE_I, 0);
    // The table of the page declares every check box once.
    EXPECT_EQ(MediaCheckBoxes().size(), 8u);
}

TEST_F(MediaPage, TheShadingRadiosFollowTheLowThreeBitsAndTheValueIsKeptUntilClicked) {
    settings::SceneSettings& s = settings::Settings();
    struct Case {
        std::int32_t stored;
        int checked;
    };
    const Case cases[] = {{0x88, kFlat}, {0x89, kGouraud}, {0x8A, kGouraud}, {0x1F9, kGouraud},
                          {0x180, kFlat}, {0x0F, kGouraud}};
    for (const Case& c : cases) {
        s.REN_Q = c.stored;
        Open();
        EXPECT_TRUE(Checked(c.checked)) << c.stored;
        EXPECT_FALSE(Checked(c.checked == kFlat ? kGouraud : kFlat)) << c.stored;
        // Other clicks refresh the page, and the value stays as it was stored.
        Click(page2, kDither);
        Click(page2, kMakerOn);
        EXPECT_EQ(s.REN_Q, c.stored);
        EXPECT_TRUE(Checked(c.checked)) << c.stored;
        Click(dialog, kOk);
        EXPECT_EQ(Stored(registry, "REN_Q"), std::string(reinterpret_cast<const char*>(&c.stored), 4));
        DestroyWindow(dialog);
    }
    // A click on either gives its own value, and only the one radio is marked.
    s.REN_Q = 0x1F9;
    Open();
    Click(page2, kFlat);
    EXPECT_EQ(s.REN_Q, 0x88);
    EXPECT_EQ(engine::Device().renderQuality, 0x88u);
    EXPECT_TRUE(Checked(kFlat));
    EXPECT_FALSE(Checked(kGouraud));
    Click(page2, kGouraud);
    EXPECT_EQ(s.REN_Q, 0x89);
    EXPECT_EQ(engine::Device().renderQuality, 0x89u);
    EXPECT_TRUE(Checked(kGouraud));
    EXPECT_FALSE(Checked(kFlat));
}

TEST_F(MediaPage, RenderSettingsGoStraightToTheDevice) {
    std::string reason;
    auto context = rm::OffscreenContext::Create(&reason);
    if (!context) GTEST_SKIP() << "no off-screen OpenGL context: " << reason;
    settings::SceneSettings& s = settings::Settings();
    s.DITHER = 0;
    s.ALIAS = 0;
    s.REN_Q = 0x89;
    Open();
    engine::RenderDevice& device = engine::Device();
    device.rmDevice = rm::Device::Create(152, 112, &reason);
    ASSERT_TRUE(device.rmDevice) << reason;
    rm::Device& rmDevice = *device.rmDevice;

    Click(page2, kFlat);
    EXPECT_EQ(rmDevice.Quality(), 0x88u);
    Click(page2, kGouraud);
    EXPECT_EQ(rmDevice.Quality(), 0x89u);

    Click(page2, kDither);
    EXPECT_EQ(s.DITHER, 1);
    EXPECT_EQ(device.dither, 1);
    EXPECT_TRUE(rmDevice.Dither());
    Click(page2, kDither);
    EXPECT_FALSE(rmDevice.Dither());

    // The hidden controls still do their part when a click reaches them.
    Click(page2, kLinearTexture);
    EXPECT_EQ(s.TEX_Q, 1);
    EXPECT_EQ(device.textureQuality, 1u);
    EXPECT_EQ(rmDevice.GetTextureQuality(), rm::TextureQuality::Linear);
    Click(page2, kNearestTexture);
    EXPECT_EQ(s.TEX_Q, 0);
    EXPECT_EQ(rmDevice.GetTextureQuality(), rm::TextureQuality::Nearest);
    Click(page2, kAntialias);
    EXPECT_EQ(s.ALIAS, 1);
    EXPECT_EQ(device.antialias, 1);
    EXPECT_TRUE(Checked(kAntialias));
    Click(page2, kAntialias);
    EXPECT_EQ(s.ALIAS, 0);
    EXPECT_FALSE(rmDevice.Antialias());

    DestroyWindow(dialog);  // releases the device while its context is current
}

TEST_F(MediaPage, FpsOnOffTakesTheSampleLabelOffTheNextFrame) {
    Open();
    engine::PrepareOverlayTexts();
    Recorder before;
    engine::DrawOverlays(before, 0);
    EXPECT_TRUE(before.Drew(5, 100));
    EXPECT_TRUE(before.Drew(15, 100));
    Click(page2, kFpsOn);
    EXPECT_EQ(settings::Settings().FPS, 0);
    EXPECT_EQ(engine::Device().ShowFrameRate, 0);
    Recorder after;
    engine::DrawOverlays(after, 20);
    EXPECT_FALSE(after.Drew(5, 100));
    EXPECT_FALSE(after.Drew(15, 100));
    EXPECT_TRUE(after.Drew(100, 100)) << "the maker's label stays";
    Click(page2, kFpsOn);
    EXPECT_EQ(engine::Device().ShowFrameRate, 1);
    Recorder again;
    engine::DrawOverlays(again, 40);
    EXPECT_TRUE(again.Drew(5, 100));
}

TEST_F(MediaPage, UseImageShowsThePictureOnBlackOrTheColourOfColor) {
    settings::SceneSettings& s = settings::Settings();
    SetPath(s.IMAGE_NM, WriteBitmap("back.bmp"));
    s.COLOR = 0x00FF8040;  // blue 255, green 128, red 64
    OpenWithScene();
    ASSERT_TRUE(Scene().BackgroundTexture) << "the picture is read in every build";
    EXPECT_EQ(Scene().SceneFrame->SceneBackgroundImage(), nullptr);
    ExpectBackground(0x00FF8040, "at start");

    Click(page2, kUseImage);
    EXPECT_EQ(s.USE_I, 1);
    EXPECT_EQ(Scene().SceneFrame->SceneBackgroundImage(), Scene().BackgroundTexture);
    ExpectBackground(0, "behind the picture");
    EXPECT_FALSE(Enabled(page2, kColorButton));
    EXPECT_TRUE(Enabled(page2, kImageButton));

    Click(page2, kUseImage);
    EXPECT_EQ(Scene().SceneFrame->SceneBackgroundImage(), nullptr);
    ExpectBackground(0x00FF8040, "the colour again");
}

TEST_F(MediaPage, APictureThatCannotBeReadLeavesABlackBackgroundAndThePageWorking) {
    settings::SceneSettings& s = settings::Settings();
    for (const std::string& path : {Write("junk.bmp", "BM not really a bitmap"), dir_ + "/missing.bmp",
                                    dir_, Write("empty.bmp", "")}) {
        SetPath(s.IMAGE_NM, path);
        s.USE_I = 0;
        s.COLOR = 0x00FFFFFF;
        OpenWithScene();
        EXPECT_EQ(Scene().BackgroundTexture, nullptr) << path;
        Click(page2, kUseImage);
        EXPECT_EQ(Scene().SceneFrame->SceneBackgroundImage(), nullptr) << path;
        ExpectBackground(0, path);
        // The chooser's broken picture: the same.
        ui->fileAnswers.push_back(path);
        Click(page2, kImageButton);
        EXPECT_STREQ(s.IMAGE_NM, path.c_str());
        EXPECT_EQ(Scene().SceneFrame->SceneBackgroundImage(), nullptr) << path;
        Click(page2, kDither);
        EXPECT_TRUE(Checked(kUseImage));
        DestroyWindow(dialog);
    }
}

TEST_F(MediaPage, TheImageChooserOffersTheCurrentPictureAndShowsTheNewOneAtOnce) {
    settings::SceneSettings& s = settings::Settings();
    const std::string first = WriteBitmap("first.bmp", "COLOR_U"), second = WriteBitmap("second.bmp", "TEXT_U");
    SetPath(s.IMAGE_NM, first);
    s.USE_I = 1;
    OpenWithScene();
    ASSERT_TRUE(Scene().BackgroundTexture);
    EXPECT_EQ(Scene().BackgroundTexture->Pixels().width, 62);

    // Cancel changes nothing.
    Click(page2, kImageButton);
    ExpectAsked("Open Back Image file", "Back Image file (*.bmp)", "*.bmp", first, true);
    EXPECT_STREQ(s.IMAGE_NM, first.c_str());
    EXPECT_EQ(Scene().BackgroundTexture->Pixels().width, 62);

    // OK reads the picture and shows it, without a refresh of the page.
    ui->fileAnswers.push_back(second);
    ui->ClearLog();
    Click(page2, kImageButton);
    EXPECT_STREQ(s.IMAGE_NM, second.c_str());
    ASSERT_TRUE(Scene().BackgroundTexture);
    EXPECT_EQ(Scene().BackgroundTexture->Pixels().width, 82);
    EXPECT_EQ(Scene().SceneFrame->SceneBackgroundImage(), Scene().BackgroundTexture);
    EXPECT_TRUE(ui->Lines("MoveDialog " + H(page2)).empty());
}

TEST_F(MediaPage, OriginalAndTheTextureChooserMakeTheSceneAgain) {
    settings::SceneSettings& s = settings::Settings();
    const std::string texture = WriteBitmap("wrap.bmp", "TEXT_U");
    SetPath(s.TEX_NM, texture);
    OpenWithScene();
    EXPECT_EQ(s.ORIG, 1);
    EXPECT_EQ(Scene().ModelTexture, nullptr) << "the model's own look needs no texture";
    EXPECT_FALSE(Enabled(page2, kTextureButton));

    engine::TheAppliedPlacement().rotation[1] = 50;
    engine::TheAppliedPlacement().camera[2] = -30;
    ui->ClearLog();
    Click(page2, kOriginal);
    EXPECT_EQ(s.ORIG, 0);
    ASSERT_TRUE(Scene().ModelTexture) << "switched off: the scene is made with the texture";
    EXPECT_EQ(Scene().ModelTexture->Pixels().width, 82);
    EXPECT_TRUE(Enabled(page2, kTextureButton));
    EXPECT_EQ(engine::TheAppliedPlacement().rotation[1], 0);
    EXPECT_EQ(engine::TheAppliedPlacement().camera[2], 0);
    // The wait cursor stands while the scene is made.
    const std::size_t wait = At("WaitCursor " + H(page2)), arrow = At("ArrowCursor " + H(page2));
    EXPECT_LT(wait, arrow);
    EXPECT_LT(arrow, ui->log.size());

    // The chooser: its title and filter, the current file offered; OK makes the scene again.
    const std::string other = WriteBitmap("other.bmp", "COLOR_U");
    ui->fileAnswers.push_back(std::nullopt);
    ui->fileAnswers.push_back(other);
    Click(page2, kTextureButton);
    ExpectAsked("Open Texture file", "TEXTURE file (*.bmp, *.ppm)", "*.bmp;*.ppm", texture, true);
    EXPECT_EQ(Scene().ModelTexture->Pixels().width, 82) << "cancelled: nothing changes";
    ui->ClearLog();
    Click(page2, kTextureButton);
    EXPECT_STREQ(s.TEX_NM, other.c_str());
    ASSERT_TRUE(Scene().ModelTexture);
    EXPECT_EQ(Scene().ModelTexture->Pixels().width, 62);
    EXPECT_TRUE(ui->Lines("MoveDialog " + H(page2)).empty()) << "no refresh after a chooser";

    // A texture that cannot be read: the model goes without, the page goes on.
    const std::string junk = Write("junk.ppm", "P6 nonsense");
    ui->fileAnswers.push_back(junk);
    Click(page2, kTextureButton);
    EXPECT_EQ(Scene().ModelTexture, nullptr);
    EXPECT_TRUE(Scene().ModelFrame);

    Click(page2, kOriginal);
    EXPECT_EQ(s.ORIG, 1);
    EXPECT_FALSE(Enabled(page2, kTextureButton));
}

TEST_F(MediaPage, WithoutAPreviewOriginalChangesOnlyTheSetting) {
    Open();
    Click(page2, kOriginal);
    EXPECT_EQ(settings::Settings().ORIG, 0);
    EXPECT_EQ(Scene().SceneFrame, nullptr);
    EXPECT_TRUE(ui->Lines("WaitCursor").empty());
    EXPECT_TRUE(Enabled(page2, kTextureButton));
}

TEST_F(MediaPage, TheColourChoiceTakesTheConfirmedColourAndCancelChangesNothing) {
    settings::SceneSettings& s = settings::Settings();
    s.COLOR = 0x00123456;
    for (std::uint32_t& c : CustomColors()) c = 0;
    OpenWithScene();
    ExpectBackground(0x00123456, "at start");

    // Cancel: the colour and the background stay.
    Click(page2, kColorButton);
    ASSERT_EQ(ui->colorsAsked.size(), 1u);
    EXPECT_EQ(ui->colorsAsked[0].color, 0x00123456u) << "the chooser opens on COLOR";
    EXPECT_EQ(s.COLOR, 0x00123456u);
    ExpectBackground(0x00123456, "after cancel");

    // OK: the colour chosen, whatever the custom colours hold.
    ColorChoice answer;
    answer.color = 0x0000FF00;
    answer.custom[0] = 0x00ABCDEF;
    answer.custom[15] = 0x00010203;
    ui->colorAnswers.push_back(answer);
    Click(page2, kColorButton);
    EXPECT_EQ(s.COLOR, 0x0000FF00u);
    ExpectBackground(0x0000FF00, "after OK");
    // The custom colours are kept for the next choice, and for the life of the process.
    EXPECT_EQ(CustomColors()[0], 0x00ABCDEFu);
    Click(page2, kColorButton);
    ASSERT_EQ(ui->colorsAsked.size(), 3u);
    EXPECT_EQ(ui->colorsAsked[2].color, 0x0000FF00u);
    EXPECT_EQ(ui->colorsAsked[2].custom[0], 0x00ABCDEFu);
    EXPECT_EQ(ui->colorsAsked[2].custom[15], 0x00010203u);
    DestroyWindow(dialog);
    Open();
    Click(page2, kColorButton);
    EXPECT_EQ(ui->colorsAsked.back().custom[0], 0x00ABCDEFu);

    // A chooser that answers with more than 24 bits stores the colour alone.
    answer.color = 0xFF336699;
    ui->colorAnswers.push_back(answer);
    Click(page2, kColorButton);
    EXPECT_EQ(s.COLOR, 0x00336699u);
    Click(dialog, kOk);
    const std::int32_t stored = 0x00336699;
    EXPECT_EQ(Stored(registry, "COLOR"), std::string(reinterpret_cast<const char*>(&stored), 4));
    for (std::uint32_t& c : CustomColors()) c = 0;
}

TEST_F(MediaPage, APathTheSettingsCannotHoldGivesAMessageAndKeepsTheSetting) {
    settings::SceneSettings& s = settings::Settings();
    const std::string keep = WriteBitmap("kept.bmp");
    SetPath(s.TEX_NM, keep);
    SetPath(s.IMAGE_NM, keep);
    SetPath(s.MIDI_NM, keep);
    s.ORIG = 0;
    s.USE_I = 1;
    s.M_ON = 1;
    Open();
    const std::string japanese = dir_ + "/\xE6\x97\xA5\xE6\x9C\xAC.bmp";  // 日本: not in 1252
    const std::string tooLong = dir_ + "/" + std::string(255 - dir_.size() - 1, 'a');
    const std::string longest = dir_ + "/" + std::string(254 - dir_.size() - 1, 'b');
    ASSERT_EQ(tooLong.size(), 255u);
    ASSERT_EQ(longest.size(), 254u);
    for (int button : {kTextureButton, kImageButton, kMidiButton}) {
        for (const std::string& path : {japanese, tooLong}) {
            ui->messages.clear();
            ui->fileAnswers.push_back(path);
            Click(page2, button);
            ASSERT_EQ(ui->messages.size(), 1u) << button;
            EXPECT_NE(ui->messages[0].find(path), std::string::npos) << ui->messages[0];
        }
    }
    EXPECT_STREQ(s.TEX_NM, keep.c_str());
    EXPECT_STREQ(s.IMAGE_NM, keep.c_str());
    EXPECT_STREQ(s.MIDI_NM, keep.c_str());
    // 254 bytes fit, and a character of the code page goes in as its byte.
    ui->messages.clear();
    ui->fileAnswers.push_back(longest);
    Click(page2, kImageButton);
    EXPECT_STREQ(s.IMAGE_NM, longest.c_str());
    ui->fileAnswers.push_back(dir_ + "/caf\xC3\xA9.bmp");
    Click(page2, kTextureButton);
    EXPECT_STREQ(s.TEX_NM, (dir_ + "/caf\xE9.bmp").c_str());
    EXPECT_TRUE(ui->messages.empty());
    // Offered again, the stored bytes become the desktop's name.
    Click(page2, kTextureButton);
    EXPECT_EQ(ui->filesAsked.back().initialPath, dir_ + "/caf\xC3\xA9.bmp");
}

TEST_F(MediaPage, APictureChosenByANameOutsideAsciiIsShown) {
    settings::SceneSettings& s = settings::Settings();
    s.USE_I = 1;
    OpenWithScene();
    const std::string name = WriteBitmap("caf\xC3\xA9.bmp", "TEXT_U");
    ui->fileAnswers.push_back(name);
    Click(page2, kImageButton);
    EXPECT_STREQ(s.IMAGE_NM, (dir_ + "/caf\xE9.bmp").c_str());
    ASSERT_TRUE(Scene().BackgroundTexture);
    EXPECT_EQ(Scene().BackgroundTexture->Pixels().width, 82);
}

TEST_F(MediaPage, OkCollectsTheBoxesAndTheDevicesDitherAndAntialias) {
    settings::SceneSettings& s = settings::Settings();
    s.DITHER = 0;
    s.ALIAS = 0;
    s.USE_I = 0;
    Open();
    // What the boxes show when OK is pressed is what is kept.
    ui->SetCheck(page2, kSoundOn, 0);
    ui->SetCheck(page2, kMidiOn, 1);
    ui->SetCheck(page2, kOriginal, 0);
    ui->SetCheck(page2, kFpsOn, 0);
    ui->SetCheck(page2, kMakerOn, 0);
    ui->SetCheck(page2, kDither, 1);
    ui->SetCheck(page2, kAntialias, 1);
    ui->SetCheck(page2, kUseImage, 1);
    Click(dialog, kOk);
    EXPECT_EQ(s.S_ON, 0);
    EXPECT_EQ(s.M_ON, 1);
    EXPECT_EQ(s.ORIG, 0);
    EXPECT_EQ(s.FPS, 0);
    EXPECT_EQ(s.CPR, 0);
    EXPECT_EQ(engine::Device().dither, 1);
    EXPECT_EQ(engine::Device().antialias, 1);
    // These follow their clicks only.
    EXPECT_EQ(s.DITHER, 0);
    EXPECT_EQ(s.ALIAS, 0);
    EXPECT_EQ(s.USE_I, 0);
    for (const char* name : {"S_ON", "ORIG", "FPS", "CPR"}) {
        EXPECT_EQ(Stored(registry, name), std::string("     0") + '\0') << name;
    }
    EXPECT_EQ(Stored(registry, "M_ON"), std::string("     1") + '\0');
}
