// The scene built from the settings, without a display: the frame tree, lights,
// model, wrap and background.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/scene.h"
#include "settings/scene_settings.h"
#include "settings/store.h"

using namespace engine;
namespace rm = platform::rm;

namespace {

const std::string kModel = std::string(ORBSAVER_SOURCE_DIR) + "/resources/data/multi.x";
const std::string kTexture = std::string(ORBSAVER_SOURCE_DIR) + "/resources/data/win95.ppm";

void Defaults() {
    settings::SceneSettings& s = settings::Settings();
    settings::InitialiseSettings(s, "/d/", 1252);
    settings::ApplyFirstRunDefaults(s);
    settings::CopyText(s.X_NM, sizeof s.X_NM, kModel);
    settings::CopyText(s.TEX_NM, sizeof s.TEX_NM, kTexture);
}

}  // namespace

TEST(BackgroundColour, EachByteOver256) {
    float r, g, b;
    BackgroundColour(0x00FFFFFF, &r, &g, &b);
    EXPECT_EQ(r, 0.99609375f);
    EXPECT_EQ(b, 0.99609375f);
    BackgroundColour(0x00000080, &r, &g, &b);
    EXPECT_EQ(r, 0.5f);
    EXPECT_EQ(g, 0.0f);
}

TEST(BuildScene, DefaultSettingsGiveTheFrameTreeAndTheUntexturedModel) {
    Defaults();
    Scene scene;
    BuildSceneObjects(scene);
    ASSERT_TRUE(scene.SceneFrame && scene.CameraFrame && scene.ModelFrame);
    EXPECT_EQ(scene.AxisYFrame->Parent(), scene.AxisXFrame);
    EXPECT_EQ(scene.ModelFrame->Parent(), scene.AxisZFrame);
    EXPECT_EQ(scene.CameraFrame->Parent(), scene.SceneFrame);
    // The ambient light on the scene frame, the directional one on a frame of its own.
    ASSERT_EQ(scene.SceneFrame->Lights().size(), 1u);
    EXPECT_EQ(scene.SceneFrame->Lights()[0]->Type(), rm::LightType::Ambient);
    EXPECT_EQ(scene.SceneFrame->Children().size(), 3u);
    EXPECT_EQ(scene.ModelFrame->Visuals().size(), 1u);
    EXPECT_EQ(scene.ModelWrap, nullptr);
    EXPECT_EQ(scene.ModelTexture, nullptr);
    rm::Box box;
    EXPECT_TRUE(scene.ModelBuilder->GetBox(&box));
    EXPECT_EQ(scene.SceneFrame->SceneBackgroundImage(), nullptr);
    ReleaseScene(scene);
    EXPECT_EQ(scene.SceneFrame, nullptr);
    ReleaseScene(scene);  // twice is harmless
}

TEST(BuildScene, TexturedModelIsWrappedAndAMissingTextureLeavesItWhite) {
    Defaults();
    settings::Settings().ORIG = 0;
    Scene scene;
    BuildSceneObjects(scene);
    EXPECT_NE(scene.ModelWrap, nullptr);
    EXPECT_NE(scene.ModelTexture, nullptr);
    ReleaseScene(scene);

    settings::CopyText(settings::Settings().TEX_NM, 255, "/no/such/texture.ppm");
    BuildSceneObjects(scene);
    EXPECT_EQ(scene.ModelTexture, nullptr);
    EXPECT_NE(scene.ModelWrap, nullptr);
    ReleaseScene(scene);
}

TEST(BuildScene, AMissingModelGivesAnEmptySceneWithoutAWrap) {
    Defaults();
    settings::Settings().ORIG = 0;
    settings::CopyText(settings::Settings().X_NM, 255, "/no/such/model.x");
    Scene scene;
    BuildSceneObjects(scene);
    ASSERT_NE(scene.ModelBuilder, nullptr);
    rm::Box box;
    EXPECT_FALSE(scene.ModelBuilder->GetBox(&box));
    EXPECT_EQ(scene.ModelWrap, nullptr);  // no height to wrap round
    ReleaseScene(scene);
}

TEST(BuildScene, ImageBackgroundIsUsedOnlyWhenAskedAndNeverReplacedByTheColour) {
    Defaults();
    settings::SceneSettings& s = settings::Settings();
    s.USE_I = 1;
    Scene scene;
    BuildSceneObjects(scene);
    EXPECT_EQ(scene.SceneFrame->SceneBackgroundImage(), nullptr);  // empty path: no image
    ReleaseScene(scene);

    settings::CopyText(s.IMAGE_NM, sizeof s.IMAGE_NM, kTexture);
    BuildSceneObjects(scene);
    EXPECT_NE(scene.SceneFrame->SceneBackgroundImage(), nullptr);
    ReleaseScene(scene);

    s.USE_I = 0;
    s.COLOR = 0x000000FF;
    BuildSceneObjects(scene);
    EXPECT_NE(scene.BackgroundTexture, nullptr);  // read in every build
    EXPECT_EQ(scene.SceneFrame->SceneBackgroundImage(), nullptr);
    EXPECT_EQ(scene.SceneFrame->SceneBackground().r, 254);
    ReleaseScene(scene);
}
