// The scene built from the settings, without a display: the frame tree, lights,
// model, wrap and background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/scene.h"
#include "settings/scene_settings.h"
#include "settings/store.h"
#include "tests/support/temp_folder.h"

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

namespace {

// A box from (-1, lo, -1) to (1, hi, 1) as a text X file, its eight corners shared
// by the six faces.
std::string BoxModel(float lo, float hi) {
    auto v = [](float x, float y, float z) {
        return std::to_string(x) + ";" + std::to_string(y) + ";" + std::to_string(z) + ";";
    };
    return "xof 0303txt 0032\nMesh Box {\n 8;\n " + v(-1, lo, -1) + ",\n " + v(1, lo, -1) +
           ",\n " + v(1, lo, 1) + ",\n " + v(-1, lo, 1) + ",\n " + v(-1, hi, -1) + ",\n " +
           v(1, hi, -1) + ",\n " + v(1, hi, 1) + ",\n " + v(-1, hi, 1) +
           ";\n 6;\n 4;0,1,2,3;,\n 4;7,6,5,4;,\n 4;0,4,5,1;,\n 4;1,5,6,2;,\n"
           " 4;2,6,7,3;,\n 4;3,7,4,0;;\n}\n";
}

// A folder of the test's own; path is its UTF-8 name, to which "/name" is added.
struct ModelFolder {
    TempFolder folder;
    std::string path = Utf8(folder.path());
    static std::string Utf8(const std::filesystem::path& p) {
        const std::u8string u8 = p.u8string();
        return std::string(u8.begin(), u8.end());
    }
    // A file of that name (UTF-8, or bytes where the system names files in bytes);
    // false where the system cannot name a file so.
    bool Write(const std::string& name, const std::string& bytes) const {
        std::filesystem::path file;
        try {
            file = folder.path() / std::filesystem::path(std::u8string(name.begin(), name.end()));
        } catch (const std::exception&) {
            return false;
        }
        std::ofstream out(file, std::ios::binary);
        out << bytes;
        return bool(out);
    }
};

// The texture's v of every vertex against its height in the model's bounding box.
void ExpectVFromTheBottom(const rm::MeshBuilder& b, float tolerance) {
    rm::Box box;
    ASSERT_TRUE(b.GetBox(&box));
    const float h = box.max.y - box.min.y;
    const rm::MeshData& m = b.Mesh();
    ASSERT_EQ(m.uv.size(), m.positions.size() * 2);
    for (std::size_t i = 0; i < m.positions.size(); ++i) {
        const float expected = -(m.positions[i].y - box.min.y) / h;
        ASSERT_NEAR(m.uv[i * 2 + 1], expected, tolerance) << "vertex " << i;
    }
}

}  // namespace

// v runs over the model's height from its bottom: 0 at the bottom of the bounding
// box, 1 in size at its top, wherever the model stands in y.
TEST(BuildScene, TheWrapRunsFromTheBottomOfAnOffCentreModel) {
    ModelFolder dir;
    dir.Write("high.x", BoxModel(0.5f, 2.5f));
    Defaults();
    settings::SceneSettings& s = settings::Settings();
    s.ORIG = 0;
    settings::CopyText(s.X_NM, sizeof s.X_NM, dir.path + "/high.x");
    Scene scene;
    BuildSceneObjects(scene);
    ASSERT_NE(scene.ModelWrap, nullptr);
    const rm::MeshData& m = scene.ModelBuilder->Mesh();
    ASSERT_EQ(m.positions.size(), 8u);
    EXPECT_FLOAT_EQ(m.uv[1], 0.0f);   // vertex 0, at the bottom
    EXPECT_FLOAT_EQ(m.uv[9], -1.0f);  // vertex 4, at the top
    ExpectVFromTheBottom(*scene.ModelBuilder, 1e-6f);
    ReleaseScene(scene);

    // Below the origin, and the default model (which is not quite centred) too.
    dir.Write("low.x", BoxModel(-7.0f, -3.0f));
    settings::CopyText(s.X_NM, sizeof s.X_NM, dir.path + "/low.x");
    BuildSceneObjects(scene);
    ExpectVFromTheBottom(*scene.ModelBuilder, 1e-6f);
    ReleaseScene(scene);
    settings::CopyText(s.X_NM, sizeof s.X_NM, kModel);
    BuildSceneObjects(scene);
    ExpectVFromTheBottom(*scene.ModelBuilder, 1e-5f);
    ReleaseScene(scene);
}

// The configuration dialog stores paths in the keyboard code page; names on the disk
// are UTF-8. The model, texture and background are found either way.
TEST(BuildScene, PathsInTheCodePageFindTheirFiles) {
    ModelFolder dir;
    dir.Write("mod\xC3\xA8le.x", BoxModel(-1, 1));  // "modèle.x" on the disk
    std::ifstream texture(kTexture, std::ios::binary);
    const std::string pixels((std::istreambuf_iterator<char>(texture)), std::istreambuf_iterator<char>());
    dir.Write("pl\xC3\xA2tre.ppm", pixels);   // "plâtre.ppm"
    // A name on the disk that is no UTF-8, where names are bytes (not on Windows,
    // whose names are UTF-16: there the background is the texture's file again).
    const bool byteNames = dir.Write("raw\xE8.ppm", pixels);
    Defaults();
    settings::SceneSettings& s = settings::Settings();
    s.ORIG = 0;
    s.USE_I = 1;
    settings::CopyText(s.X_NM, sizeof s.X_NM, dir.path + "/mod\xE8le.x");  // code page 1252
    settings::CopyText(s.TEX_NM, sizeof s.TEX_NM, dir.path + "/pl\xE2tre.ppm");
    settings::CopyText(s.IMAGE_NM, sizeof s.IMAGE_NM,
                       dir.path + (byteNames ? "/raw\xE8.ppm" : "/pl\xE2tre.ppm"));
    Scene scene;
    BuildSceneObjects(scene);
    EXPECT_EQ(scene.ModelBuilder->Mesh().positions.size(), 8u);
    EXPECT_NE(scene.ModelTexture, nullptr);
    EXPECT_NE(scene.BackgroundTexture, nullptr);  // the raw bytes, as the fallback
    EXPECT_NE(scene.SceneFrame->SceneBackgroundImage(), nullptr);
    ReleaseScene(scene);

    // Code page 932: the same name in Shift JIS.
    dir.Write("\xE6\xA8\xA1\xE5\x9E\x8B.x", BoxModel(-1, 1));  // "模型.x"
    s.keyboardCodePage = 932;
    settings::CopyText(s.X_NM, sizeof s.X_NM, dir.path + "/\x96\xCD\x8C\x5E.x");
    BuildSceneObjects(scene);
    EXPECT_EQ(scene.ModelBuilder->Mesh().positions.size(), 8u);
    ReleaseScene(scene);
}

// Models of the other forms are built the same way: the model's own look, or the
// user's texture wrapped round it; a broken one leaves the background alone and
// says why in one line.
TEST(BuildScene, AnStlOrObjModelIsWrappedLikeAnXFileAndABrokenGlbSaysWhy) {
    ModelFolder dir;
    // A tetrahedron as an ASCII STL (z up), and a quad as an OBJ with a red material.
    dir.Write("tetra.stl",
              "solid t\n"
              "facet normal 0 0 -1\nouter loop\nvertex 0 0 0\nvertex 0 1 0\nvertex 1 0 0\nendloop\nendfacet\n"
              "facet normal 0 0 1\nouter loop\nvertex 0 0 2\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"
              "endsolid t\n");
    dir.Write("quad.obj", "mtllib quad.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nusemtl red\nf 1 2 3 4\n");
    dir.Write("quad.mtl", "newmtl red\nKd 1 0 0\n");
    Defaults();
    settings::SceneSettings& s = settings::Settings();
    settings::CopyText(s.X_NM, sizeof s.X_NM, dir.path + "/quad.obj");
    Scene scene;
    BuildSceneObjects(scene);
    ASSERT_EQ(scene.ModelBuilder->Mesh().materials.size(), 1u);
    EXPECT_EQ(scene.ModelBuilder->Mesh().materials[0].face[1], 0.0f);  // its own red
    ReleaseScene(scene);

    s.ORIG = 0;
    settings::CopyText(s.X_NM, sizeof s.X_NM, dir.path + "/tetra.stl");
    BuildSceneObjects(scene);
    EXPECT_NE(scene.ModelWrap, nullptr);
    EXPECT_NE(scene.ModelTexture, nullptr);
    // Two units high (z in the file is y here): v runs over that height.
    ExpectVFromTheBottom(*scene.ModelBuilder, 1e-6f);
    ReleaseScene(scene);

    dir.Write("broken.glb", std::string("glTF\x02\0\0\0\xff\xff\xff\x7f\x10\0\0\0JSON{}", 22));
    settings::CopyText(s.X_NM, sizeof s.X_NM, dir.path + "/broken.glb");
    ::testing::internal::CaptureStderr();
    BuildSceneObjects(scene);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("orbsaver: cannot load the model " + dir.path + "/broken.glb: ", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    rm::Box box;
    EXPECT_FALSE(scene.ModelBuilder->GetBox(&box));
    ReleaseScene(scene);
}
