// Real model files that others wrote (Debian's assimp-testmodels): every glTF 2.0,
// OBJ and STL file in them gives its expected answer, a number of triangles or the
// reason it fails, and the textures they name are found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "platform/rm/mesh_builder.h"

namespace rm = platform::rm;
namespace fs = std::filesystem;

namespace {

const fs::path kModels = "/usr/share/assimp/models";

#define REQUIRE_MODELS()                     \
    if (!fs::exists(kModels / "glTF2"))      \
    GTEST_SKIP() << "real model files not found at " << kModels << " (tools/bootstrap installs them)"

struct Expected {
    const char* file;
    size_t triangles;    // when it loads
    const char* reason;  // when it does not
};

const Expected kExpected[] = {
    {"OBJ/WusonOBJ.obj", 3732, ""},
    {"OBJ/box.obj", 12, ""},
    {"OBJ/box_UTF16BE.obj", 0, "not a model file this program reads (X, glTF, OBJ or STL)"},
    {"OBJ/box_longline.obj", 944, ""},
    {"OBJ/box_mat_with_spaces.obj", 12, ""},
    {"OBJ/box_without_lineending.obj", 12, ""},
    {"OBJ/concave_polygon.obj", 64, ""},
    {"OBJ/cube_mtllib_after_g.obj", 0, "material library cube_mtllib_after_g.mat not found"},
    {"OBJ/cube_usemtl.obj", 12, ""},
    {"OBJ/cube_with_vertexcolors.obj", 12, ""},
    {"OBJ/cube_with_vertexcolors_uni.obj", 12, ""},
    {"OBJ/empty_mat.obj", 256, ""},
    {"OBJ/multiple_spaces.obj", 1, ""},
    {"OBJ/number_formats.obj", 1, ""},
    {"OBJ/point_cloud.obj", 0, "the file has no faces"},
    {"OBJ/regr01.obj", 2710, ""},
    {"OBJ/regr_3429812.obj", 4, ""},
    {"OBJ/space_in_material_name.obj", 64, ""},
    {"OBJ/spider.obj", 1368, ""},
    {"OBJ/testline.obj", 0, "the file has no faces"},
    {"OBJ/testmixed.obj", 12, ""},
    {"OBJ/testpoints.obj", 0, "the file has no faces"},
    {"STL/3DSMaxExport.STL", 2000, ""},
    {"STL/Spider_ascii.stl", 1368, ""},
    {"STL/Spider_binary.stl", 1368, ""},
    {"STL/Wuson.stl", 3732, ""},
    {"STL/formatDetection", 1, ""},
    {"STL/sphereWithHole.stl", 285, ""},
    {"STL/triangle.stl", 1, ""},
    {"STL/triangle_with_empty_solid.stl", 1, ""},
    {"STL/triangle_with_two_solids.stl", 2, ""},
    {"glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb", 121496, ""},
    {"glTF2/BoxBadNormals-glTF-Binary/BoxBadNormals.glb", 12, ""},
    {"glTF2/BoxTexcoords-glTF/boxTexcoords.gltf", 12, ""},
    {"glTF2/BoxTextured-glTF/BoxTextured.gltf", 12, ""},
    {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", 12, ""},
    {"glTF2/BoxTextured-glTF-Embedded/BoxTextured.gltf", 12, ""},
    {"glTF2/BoxTextured-glTF-pbrSpecularGlossiness/BoxTextured.gltf", 12, ""},
    {"glTF2/BoxTextured-glTF-techniqueWebGL/BoxTextured.gltf", 12, ""},
    {"glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", 12, ""},
    {"glTF2/ClearCoat-glTF/ClearCoatTest.gltf", 37116, ""},
    {"glTF2/IncorrectVertexArrays/Cube.gltf", 46, ""},
    {"glTF2/IndexOutOfRange/AllIndicesOutOfRange.gltf", 0, "an index is past its vertices"},
    {"glTF2/IndexOutOfRange/IndexOutOfRange.gltf", 0, "an index is past its vertices"},
    {"glTF2/MissingBin/BoxTextured.gltf", 0, "BoxTextured0.bin not found"},
    {"glTF2/RecursiveNodes/RecursiveNodes.gltf", 0, "node 0 appears twice in the tree"},
    {"glTF2/SchemaFailures/sceneWrongType.gltf", 0, "BoxTextured0.bin not found"},
    {"glTF2/TestNoRootNode/NoScene.gltf", 0, "the scene has no triangles"},
    {"glTF2/TestNoRootNode/SceneWithoutNodes.gltf", 0, "the scene has no triangles"},
    {"glTF2/cameras/Cameras.gltf", 2, ""},
    {"glTF2/draco/2CylinderEngine.gltf", 0, "accessor[0] invalid bufferView"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_00.gltf", 0, "the scene has no triangles"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_01.gltf", 0, "the scene has no triangles"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_02.gltf", 0, "the scene has no triangles"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_03.gltf", 0, "the scene has no triangles"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_04.gltf", 2, ""},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_05.gltf", 2, ""},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_06.gltf", 2, ""},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_07.gltf", 0, "the scene has no triangles"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_08.gltf", 0, "the scene has no triangles"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_09.gltf", 0, "the scene has no triangles"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_10.gltf", 0, "the scene has no triangles"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_11.gltf", 2, ""},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_12.gltf", 2, ""},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_13.gltf", 2, ""},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_14.gltf", 2, ""},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_15.gltf", 2, ""},
    {"glTF2/glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf", 12, ""},
    {"glTF2/issue_3269/texcoord_crash.gltf", 10, ""},
    {"glTF2/simple_skin/simple_skin.gltf", 8, ""},
    {"glTF2/textureTransform/TextureTransformTest.gltf", 24, ""},
    {"glTF2/wrongTypes/badArray.gltf", 0, "the scene has no triangles"},
    {"glTF2/wrongTypes/badExtension.gltf", 12, ""},
    {"glTF2/wrongTypes/badNumber.gltf", 12, ""},
    {"glTF2/wrongTypes/badObject.gltf", 12, ""},
    {"glTF2/wrongTypes/badString.gltf", 12, ""},
    {"glTF2/wrongTypes/badUint.gltf", 12, ""},
};

size_t Triangles(const rm::MeshData& m) {
    size_t t = 0;
    for (size_t f = 0; f < m.FaceCount(); ++f) t += m.face_start[f + 1] - m.face_start[f] - 2;
    return t;
}

TEST(PublicModels, EveryGltfObjAndStlFileGivesItsExpectedAnswer) {
    REQUIRE_MODELS();
    std::map<std::string, const Expected*> expected;
    for (const Expected& e : kExpected) expected[e.file] = &e;
    size_t seen = 0;
    for (const char* folder : {"glTF2", "OBJ", "STL"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kModels / folder)) {
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
            const bool model = ext == ".gltf" || ext == ".glb" || ext == ".obj" || ext == ".stl" ||
                               (std::string(folder) == "STL" && ext.empty());
            if (!entry.is_regular_file() || !model) continue;
            const std::string name = fs::relative(entry.path(), kModels).generic_string();
            const auto it = expected.find(name);
            if (it == expected.end()) {
                ADD_FAILURE() << name << " has no expected answer";
                continue;
            }
            ++seen;
            rm::Ref<rm::MeshBuilder> b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
            std::string err;
            const bool loaded = b->Load(entry.path().string(), &err);
            EXPECT_EQ(loaded, it->second->reason[0] == '\0') << name << ": " << err;
            if (loaded) EXPECT_EQ(it->second->triangles, Triangles(b->Mesh())) << name;
            else EXPECT_EQ(it->second->reason, err) << name;
        }
    }
    EXPECT_EQ(std::size(kExpected), seen);
}

TEST(PublicModels, TexturesBesideInsideAndNamedByMaterialsAreFound) {
    REQUIRE_MODELS();
    const struct {
        const char* file;
        int width;  // of material 0's texture
    } cases[] = {
    {"glTF2/BoxTextured-glTF/BoxTextured.gltf", 211},           // a PNG beside the model
    {"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", 211},     // a PNG in the .glb
    {"glTF2/BoxTextured-glTF-Embedded/BoxTextured.gltf", 211},  // a PNG in a data: URI
    };
    for (const auto& c : cases) {
        rm::Ref<rm::MeshBuilder> b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
        std::string err;
        ASSERT_TRUE(b->Load((kModels / c.file).string(), &err)) << c.file << ": " << err;
        const rm::Texture* t = b->TextureFor(0);
        ASSERT_NE(nullptr, t) << c.file;
        EXPECT_EQ(c.width, t->Pixels().width) << c.file;
    }
    // The spider's MTL names JPEG textures; every material that names one gets it.
    rm::Ref<rm::MeshBuilder> spider = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
    std::string err;
    ASSERT_TRUE(spider->Load((kModels / "OBJ/spider.obj").string(), &err)) << err;
    int textured = 0;
    for (size_t i = 0; i < spider->Mesh().materials.size(); ++i) {
        if (spider->Mesh().materials[i].texture.empty()) continue;
        EXPECT_NE(nullptr, spider->TextureFor(uint32_t(i))) << spider->Mesh().materials[i].texture;
        ++textured;
    }
    EXPECT_GT(textured, 0);
}

}  // namespace
