// The glTF, OBJ and STL loaders on hand-made files: axes and winding, transforms,
// the material mapping, pictures inside and beside the model, and clean failure on
// every kind of broken or hostile file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/rm/mesh_builder.h"
#include "platform/rm/model.h"
#include "platform/rm/png_io.h"
#include "tests/platform_rm/model_files.h"

namespace rm = platform::rm;
using rm_test::Bytes;
using rm_test::FromText;
using rm_test::MapFiles;
using rm_test::Put;

namespace {

rm::MeshData LoadOk(const Bytes& b, MapFiles& files, rm::ModelInfo* info = nullptr) {
    rm::MeshData m;
    std::string err;
    EXPECT_TRUE(rm::ParseModel(b, files, m, err, info)) << err;
    return m;
}

rm::MeshData LoadOk(const Bytes& b) {
    MapFiles none;
    return LoadOk(b, none);
}

// Two loads of one file agree to the bit.
void ExpectSameMesh(const rm::MeshData& a, const rm::MeshData& b) {
    ASSERT_EQ(a.positions.size(), b.positions.size());
    ASSERT_EQ(a.corners.size(), b.corners.size());
    EXPECT_EQ(0, std::memcmp(a.positions.data(), b.positions.data(), a.positions.size() * sizeof(rm::Vec3)));
    EXPECT_EQ(0, std::memcmp(a.normals.data(), b.normals.data(), a.normals.size() * sizeof(rm::Vec3)));
    EXPECT_EQ(0, std::memcmp(a.corners.data(), b.corners.data(), a.corners.size() * sizeof(rm::FaceCorner)));
    EXPECT_EQ(a.uv, b.uv);
    EXPECT_EQ(a.face_start, b.face_start);
    EXPECT_EQ(a.face_material, b.face_material);
}

std::string LoadError(const Bytes& b, MapFiles& files) {
    rm::MeshData m;
    std::string err;
    EXPECT_FALSE(rm::ParseModel(b, files, m, err));
    EXPECT_TRUE(m.positions.empty() && m.face_start.empty() && m.materials.empty() && m.images.empty());
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(std::string::npos, err.find('\n')) << err;
    return err;
}

std::string LoadError(const Bytes& b) {
    MapFiles none;
    return LoadError(b, none);
}

void ExpectNear(rm::Vec3 want, rm::Vec3 got, float eps = 1e-5f) {
    EXPECT_NEAR(want.x, got.x, eps);
    EXPECT_NEAR(want.y, got.y, eps);
    EXPECT_NEAR(want.z, got.z, eps);
}

// The positions of face f in the order it is drawn.
std::vector<rm::Vec3> Face(const rm::MeshData& m, size_t f) {
    std::vector<rm::Vec3> out;
    for (uint32_t k = m.face_start[f]; k < m.face_start[f + 1]; ++k) out.push_back(m.positions[m.corners[k].vertex]);
    return out;
}

// The normal the retained mode gives face f from its winding.
rm::Vec3 WindingNormal(const rm::MeshData& m, size_t f) {
    const std::vector<rm::Vec3> p = Face(m, f);
    return rm::Normalize(rm::Cross(p[1] - p[0], p[2] - p[0]));
}

// ---- glTF -------------------------------------------------------------------

// The triangle (0,0,0) (1,0,0) (0,1,0), counter-clockwise seen from +z, with
// indices and a colour per corner; the pieces of the JSON may be replaced.
struct Gltf {
    std::string nodes = R"([{"mesh":0}])";
    std::string scene = R"("scene":0,"scenes":[{"nodes":[0]}],)";
    std::string attributes = R"("POSITION":0)";
    std::string primitive = R"(,"indices":1)";
    std::string materials = "[]";
    std::string extra;  // more top-level members, each followed by a comma
    std::string accessors =
        R"([{"bufferView":0,"componentType":5126,"type":"VEC3","count":3},)"
        R"({"bufferView":1,"componentType":5123,"type":"SCALAR","count":3},)"
        R"({"bufferView":2,"componentType":5126,"type":"VEC4","count":3}])";
    std::string views =
        R"([{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":6},)"
        R"({"buffer":0,"byteOffset":44,"byteLength":48}])";
    std::string uri;  // empty: the data as a data: URI; "-": no uri (a .glb's own chunk)
    uint32_t byte_length = 92;

    static Bytes Data() {
        Bytes b;
        for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) Put(b, f);
        for (uint16_t i : {0, 1, 2, 0}) Put(b, i);
        for (float f : {1.f, 0.f, 0.f, 1.f, 0.f, 1.f, 0.f, 1.f, 0.f, 0.f, 1.f, 0.5f}) Put(b, f);
        return b;
    }
    std::string Json() const {
        std::string buffer = R"({"byteLength":)" + std::to_string(byte_length);
        if (uri.empty()) buffer += R"(,"uri":"data:application/octet-stream;base64,)" + rm_test::Base64(Data()) + "\"";
        else if (uri != "-") buffer += R"(,"uri":")" + uri + "\"";
        buffer += "}";
        return R"({"asset":{"version":"2.0"},)" + scene + extra + R"("nodes":)" + nodes +
               R"(,"meshes":[{"primitives":[{"attributes":{)" + attributes + "}" + primitive +
               R"(}]}],"materials":)" + materials + R"(,"accessors":)" + accessors + R"(,"bufferViews":)" + views +
               R"(,"buffers":[)" + buffer + "]}";
    }
    Bytes Text() const { return FromText(Json()); }
    // The same as a .glb with the data in its BIN chunk.
    Bytes Glb() const {
        Gltf g = *this;
        g.uri = "-";
        return rm_test::Glb(g.Json(), Data());
    }
};

TEST(Gltf, TriangleFacesTheCameraWithItsFrontAndKeepsItsColours) {
    Gltf g;
    g.attributes = R"("POSITION":0,"COLOR_0":2)";
    for (const Bytes& file : {g.Text(), g.Glb()}) {
        rm::ModelInfo info;
        MapFiles none;
        const rm::MeshData m = LoadOk(file, none, &info);
        ASSERT_EQ(3u, m.positions.size());
        ASSERT_EQ(1u, m.FaceCount());
        EXPECT_EQ(file[0] == 'g' ? "glb" : "glTF", info.format);
        EXPECT_EQ(1, info.meshes);
        // Facing +z in the file's right-handed axes is facing -z here, towards the
        // default camera; the generated normals agree with the winding.
        ExpectNear({0, 0, -1}, WindingNormal(m, 0));
        EXPECT_TRUE(m.normals_generated);
        for (const rm::Vec3& n : m.normals) ExpectNear({0, 0, -1}, n);
        ASSERT_EQ(3u, m.vertex_colors.size());
        EXPECT_EQ((rm::Color{255, 0, 0, 255}), m.vertex_colors[0]);
        EXPECT_EQ((rm::Color{0, 0, 255, 127}), m.vertex_colors[2]);
        EXPECT_EQ(rm::kNoMaterial, m.face_material[0]);
    }
}

TEST(Gltf, NodeTransformsComposeFromTheRootAndMirrorsKeepFacesOutward) {
    Gltf g;
    // Root: moved by (10, 0, 0); its child: turned 90 degrees about y, then doubled.
    g.nodes = R"([{"translation":[10,0,0],"children":[1]},)"
              R"({"mesh":0,"rotation":[0,0.70710678,0,0.70710678],"scale":[2,2,2]}])";
    rm::MeshData m = LoadOk(g.Text());
    // (1, 0, 0) doubled, turned onto -z, moved: (10, 0, -2) in the file, z negated here.
    ExpectNear({10, 0, 2}, m.positions[1]);
    ExpectNear({10, 2, 0}, m.positions[2]);

    // A matrix, column-major, moving by (0, 0, 5); and a mirror in x.
    g.nodes = R"([{"mesh":0,"matrix":[1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,5,1]}])";
    m = LoadOk(g.Text());
    ExpectNear({1, 0, -5}, m.positions[1]);
    g.nodes = R"([{"mesh":0,"scale":[-1,1,1]}])";
    m = LoadOk(g.Text());
    ExpectNear({-1, 0, 0}, m.positions[1]);
    // Mirrored, the triangle faces +z in the file once more after its turn through x
    // = -x, so here it faces -z still: its winding was turned with it.
    ExpectNear({0, 0, -1}, WindingNormal(m, 0));

    // Without scenes every node that is nobody's child is drawn.
    g.scene = "";
    g.nodes = R"([{"children":[1]},{"mesh":0,"translation":[0,3,0]}])";
    ExpectNear({0, 3, 0}, LoadOk(g.Text()).positions[0]);
}

TEST(Gltf, MaterialsMapOntoDiffuseEmissiveAndSpecular) {
    Gltf g;
    g.primitive = R"(,"indices":1,"material":1)";
    g.materials = R"([{},{"pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,1,0.5],)"
                  R"("metallicFactor":0,"roughnessFactor":0.5},"emissiveFactor":[0.1,0.2,0.3]},)"
                  R"({"pbrMetallicRoughness":{"baseColorFactor":[1,0.5,0,1],"metallicFactor":1,"roughnessFactor":0}}])";
    const rm::MeshData m = LoadOk(g.Text());
    ASSERT_EQ(3u, m.materials.size());
    EXPECT_EQ(1u, m.face_material[0]);
    // The default material is white and fully rough: no highlight.
    EXPECT_EQ(0, m.materials[0].power);
    ExpectNear({0, 0, 0}, m.materials[0].specular);
    const rm::XMaterial& a = m.materials[1];
    EXPECT_FLOAT_EQ(0.5f, a.face[0]);
    EXPECT_FLOAT_EQ(0.25f, a.face[1]);
    EXPECT_FLOAT_EQ(0.5f, a.face[3]);
    ExpectNear({0.1f, 0.2f, 0.3f}, a.emissive);
    // A non-metal reflects 4 % in white, halved by a roughness of 0.5; power 2/r^4 - 2.
    ExpectNear({0.02f, 0.02f, 0.02f}, a.specular);
    EXPECT_FLOAT_EQ(30, a.power);
    // A smooth metal highlights in its own colour, as sharply as the power allows.
    ExpectNear({1, 0.5f, 0}, m.materials[2].specular);
    EXPECT_EQ(256, m.materials[2].power);
    EXPECT_EQ(-1, a.image);
}

Bytes TwoByTwoPng() {
    rm::Image img{2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128}};
    const std::string path = ::testing::TempDir() + "/gltf_picture.png";
    EXPECT_TRUE(rm::WritePng(path, img));
    Bytes b;
    std::string err;
    EXPECT_TRUE(rm::ReadFileBytes(path, b, err)) << err;
    return b;
}

TEST(Gltf, PicturesComeFromDataUrisOrBesideTheModelAndBecomeTextures) {
    Gltf g;
    g.primitive = R"(,"indices":1,"material":0)";
    g.materials = R"([{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}])";
    g.extra = R"("textures":[{"source":0}],"images":[{"uri":"data:image/png;base64,)" +
              rm_test::Base64(TwoByTwoPng()) + R"("}],)";
    rm::Ref<rm::MeshBuilder> b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
    MapFiles files;
    std::string err;
    ASSERT_TRUE(b->LoadFromMemory(g.Text(), files, &err)) << err;
    const rm::Texture* t = b->TextureFor(0);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(2, t->Pixels().width);
    EXPECT_EQ(128, t->Pixels().rgba[15]);  // alpha kept
    EXPECT_TRUE(b->Mesh().images.empty());  // handed over, not kept twice

    // The same picture and the data in files beside the model, names %-encoded.
    g.uri = "data%20file.bin";
    g.extra = R"("textures":[{"source":0}],"images":[{"uri":"pics/logo.png"}],)";
    files.files["data file.bin"] = Gltf::Data();
    files.files["pics/logo.png"] = TwoByTwoPng();
    ASSERT_TRUE(b->LoadFromMemory(g.Text(), files, &err)) << err;
    ASSERT_NE(nullptr, b->TextureFor(0));
    EXPECT_EQ(2, b->TextureFor(0)->Pixels().height);

    // A picture that is missing or cannot be decoded leaves the model untextured.
    files.files["pics/logo.png"] = FromText("not a picture");
    ASSERT_TRUE(b->LoadFromMemory(g.Text(), files, &err)) << err;
    EXPECT_EQ(nullptr, b->TextureFor(0));
    files.files.erase("pics/logo.png");
    ASSERT_TRUE(b->LoadFromMemory(g.Text(), files, &err)) << err;
    EXPECT_EQ(nullptr, b->TextureFor(0));
}

// A .glb handed over whole is read without copying its BIN chunk, and the chunk's
// pages go back as each view is read for the last time. Views that several
// primitives read, or that share bytes with another view, must still read whole:
// the mesh is the same as from bytes the reader only borrows.
TEST(Gltf, AGlbHandedOverGivesTheSameMeshAsOneBorrowed) {
    constexpr uint32_t kSide = 64, kRow = kSide + 1;
    Bytes bin;
    for (uint32_t y = 0; y < kRow; ++y)
        for (uint32_t x = 0; x < kRow; ++x)
            for (float f : {float(x), float(y), float((x * y) % 7)}) Put(bin, f);
    const size_t index_at = bin.size();
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < kSide; ++x) {
            const uint32_t a = y * kRow + x;
            for (uint32_t i : {a, a + 1, a + kRow, a + 1, a + kRow + 1, a + kRow}) Put(bin, i);
        }
    const size_t index_bytes = bin.size() - index_at, triangles = index_bytes / 12;
    // The second primitive's indices are the second half of the first's: two views
    // over the same bytes. Both primitives share one position accessor, and the mesh
    // is drawn by two nodes.
    const std::string half = std::to_string(index_at + index_bytes / 2);
    const std::string json =
        R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],)"
        R"("nodes":[{"mesh":0},{"mesh":0,"translation":[0,0,100]}],)"
        R"("meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1},)"
        R"({"attributes":{"POSITION":0},"indices":2}]}],)"
        R"("accessors":[{"bufferView":0,"componentType":5126,"type":"VEC3","count":)" +
        std::to_string(kRow * kRow) + R"(},)"
        R"({"bufferView":1,"componentType":5125,"type":"SCALAR","count":)" + std::to_string(triangles * 3) + R"(},)"
        R"({"bufferView":2,"componentType":5125,"type":"SCALAR","count":)" + std::to_string(triangles * 3 / 2) +
        R"(}],"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":)" + std::to_string(index_at) + R"(},)"
        R"({"buffer":0,"byteOffset":)" + std::to_string(index_at) + R"(,"byteLength":)" +
        std::to_string(index_bytes) + R"(},{"buffer":0,"byteOffset":)" + half + R"(,"byteLength":)" +
        std::to_string(index_bytes / 2) + R"(}],"buffers":[{"byteLength":)" + std::to_string(bin.size()) + "}]}";
    Bytes padded = bin;
    padded.insert(padded.end(), 4, 0);  // a BIN chunk may run past its buffer
    for (const Bytes& glb : {rm_test::Glb(json, bin), rm_test::Glb(json, padded)}) {
        const rm::MeshData borrowed = LoadOk(glb);
        rm::MeshData owned;
        MapFiles none;
        std::string err;
        rm::ModelInfo info;
        ASSERT_TRUE(rm::ParseModel(Bytes(glb), none, owned, err, &info)) << err;
        EXPECT_EQ("glb", info.format);
        ASSERT_EQ(2 * kRow * kRow * 2, borrowed.positions.size());
        ASSERT_EQ(2 * (triangles + triangles / 2), borrowed.FaceCount());
        ExpectSameMesh(borrowed, owned);
        // The last node's copy of the second primitive ends the mesh: its last corner
        // is the grid's top right corner, moved by the node (z negated here).
        const rm::Vec3 last = owned.positions[owned.corners.back().vertex];
        EXPECT_FLOAT_EQ(float(kSide), last.x);
        EXPECT_FLOAT_EQ(float(kSide), last.y);
        EXPECT_FLOAT_EQ(-100.0f - float((kSide * kSide) % 7), last.z);
    }
    // A BIN chunk shorter than its buffer fails the same way, handed over or not.
    Bytes shorter = bin;
    shorter.resize(bin.size() - 4);
    const Bytes broken = rm_test::Glb(json, shorter);
    rm::MeshData m;
    MapFiles none;
    std::string err;
    EXPECT_FALSE(rm::ParseModel(Bytes(broken), none, m, err));
    EXPECT_EQ(LoadError(broken), err);

    // A BIN chunk that claims eight bytes more than the file holds, its buffer as long
    // as the claim: refused before anything is read past the end.
    std::string longer = json;
    const std::string length_field = R"("byteLength":)" + std::to_string(bin.size()) + "}]";
    longer.replace(longer.find(length_field), length_field.size(),
                   R"("byteLength":)" + std::to_string(bin.size() + 8) + "}]");
    Bytes past = rm_test::Glb(longer, bin);
    const size_t bin_header = past.size() - bin.size() - 8;
    const uint32_t claimed = uint32_t(bin.size() + 8);
    std::memcpy(&past[bin_header], &claimed, 4);
    EXPECT_NE(std::string::npos, LoadError(past).find("runs past the end"));
    EXPECT_FALSE(rm::ParseModel(Bytes(past), none, m, err));
    EXPECT_NE(std::string::npos, err.find("runs past the end"));
}

TEST(Gltf, BrokenAndHostileFilesFailWithOneLine) {
    Gltf g;
    g.nodes = R"([{"children":[1]},{"mesh":0,"children":[0]}])";
    EXPECT_NE(std::string::npos, LoadError(g.Text()).find("twice"));  // a cycle
    g.nodes = R"([{"children":[0]}])";
    EXPECT_NE(std::string::npos, LoadError(g.Text()).find("twice"));
    g.nodes = R"([{"mesh":0,"children":[7]}])";
    EXPECT_NE(std::string::npos, LoadError(g.Text()).find("out of range"));

    Gltf a;
    a.attributes = R"("POSITION":5)";
    EXPECT_NE(std::string::npos, LoadError(a.Text()).find("accessor"));
    // Counts near 2^31 and views past their buffer.
    a = Gltf();
    a.accessors.replace(a.accessors.find("\"count\":3"), 9, "\"count\":2147483647");
    EXPECT_NE(std::string::npos, LoadError(a.Text()).find("past"));
    a = Gltf();
    a.views.replace(a.views.find("\"byteLength\":36"), 15, "\"byteLength\":4294967295");
    EXPECT_FALSE(LoadError(a.Text()).empty());
    // Indices past the vertices.
    a = Gltf();
    a.accessors.replace(a.accessors.find("\"count\":3"), 9, "\"count\":2");
    EXPECT_NE(std::string::npos, LoadError(a.Text()).find("past its vertices"));

    // A .bin shorter than its buffer, or missing; a data: URI that is not base64.
    MapFiles files;
    a = Gltf();
    a.uri = "box.bin";
    EXPECT_NE(std::string::npos, LoadError(a.Text(), files).find("box.bin not found"));
    const Bytes data = Gltf::Data();
    files.files["box.bin"] = Bytes(data.begin(), data.end() - 8);
    EXPECT_FALSE(LoadError(a.Text(), files).empty());
    a.uri = "data:text/plain,hello";
    EXPECT_EQ("a data: URI that is not base64", LoadError(a.Text(), files));

    // Names outside the model's folder are never asked for.
    for (const char* outside : {"/etc/passwd", "../secret.bin", "sub/../../x.bin", "C:/x.bin", "//host/x.bin",
                                "%2e%2e/x.bin"}) {
        a.uri = outside;
        files.asked.clear();
        EXPECT_NE(std::string::npos, LoadError(a.Text(), files).find("not a file beside the model")) << outside;
        EXPECT_TRUE(files.asked.empty()) << outside;
    }

    // A .glb whose chunks claim more than the file holds, or that is cut short.
    Bytes glb = Gltf().Glb();
    Bytes longer = glb;
    longer[12] = 0xff, longer[13] = 0xff;
    EXPECT_FALSE(LoadError(longer).empty());
    for (size_t cut : {size_t(10), size_t(30), glb.size() - 4}) EXPECT_FALSE(LoadError(Bytes(glb.begin(), glb.begin() + cut)).empty());
    EXPECT_FALSE(LoadError(FromText("{\"asset\":")).empty());
}

// ---- OBJ --------------------------------------------------------------------

const char* kQuadObj =
    "# a unit quad facing +z, in two groups\n"
    "mtllib quad.mtl\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0 0.5 0.5 0.5\nv 0 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "vn 0 0 1\n"
    "g first\nusemtl red\nf 1/1/1 2/2/1 3/3/1\n"
    "g second\nusemtl nothing\nf -4/1/1 -2/3/1 -1/4/1\n";

const char* kQuadMtl =
    "newmtl red\nKd 1 0 0\nKs 0.5 0.5 0.5\nNs 20\nKe 0 0.25 0\nd 0.75\nmap_Kd red.png\n";

TEST(Obj, GroupsMaterialsAndTexturesAsTheFileGivesThem) {
    MapFiles files;
    files.files["quad.mtl"] = FromText(kQuadMtl);
    files.files["red.png"] = TwoByTwoPng();
    rm::ModelInfo info;
    const rm::MeshData m = LoadOk(FromText(kQuadObj), files, &info);
    EXPECT_EQ("OBJ", info.format);
    EXPECT_EQ(2, info.meshes);
    ASSERT_EQ(2u, m.FaceCount());
    ExpectNear({0, 0, -1}, WindingNormal(m, 0));
    ExpectNear({0, 0, -1}, WindingNormal(m, 1));
    ASSERT_EQ(1u, m.normals.size());
    ExpectNear({0, 0, -1}, m.normals[0]);
    EXPECT_FALSE(m.normals_generated);
    // Relative indices; v turned to run down the picture; (1,1) reused by both faces.
    EXPECT_EQ(4u, m.positions.size());
    const std::vector<rm::Vec3> second = Face(m, 1);
    ExpectNear({0, 1, 0}, second[0]);
    ASSERT_EQ(8u, m.uv.size());
    EXPECT_FLOAT_EQ(1.0f, m.uv[1]);  // corner (0,0) has v = 0 in the file
    EXPECT_EQ(0u, m.face_material[0]);
    EXPECT_EQ(rm::kNoMaterial, m.face_material[1]);  // usemtl of an unknown name
    const rm::XMaterial& red = m.materials[0];
    EXPECT_FLOAT_EQ(1, red.face[0]);
    EXPECT_FLOAT_EQ(0.75f, red.face[3]);
    ExpectNear({0.5f, 0.5f, 0.5f}, red.specular);
    EXPECT_FLOAT_EQ(20, red.power);
    ExpectNear({0, 0.25f, 0}, red.emissive);
    ASSERT_EQ(0, red.image);
    EXPECT_EQ(2, m.images[0].width);
    // Only one vertex has a colour: the file's colours are not used.
    EXPECT_TRUE(m.vertex_colors.empty());
}

// An OBJ file handed over is given back as it is read; what it becomes is the same
// as from a file the reader only borrows, however far back a face's indices reach.
TEST(Obj, AFileHandedOverGivesTheSameMeshAsOneBorrowed) {
    std::string text = "mtllib none.mtl\n";
    constexpr int kSide = 160;
    for (int y = 0; y <= kSide; ++y)
        for (int x = 0; x <= kSide; ++x)
            text += "v " + std::to_string(x) + " " + std::to_string(y) + " 0.5\nvt 0.25 0.75\nvn 0 0 1\n";
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const int a = y * (kSide + 1) + x + 1, b = a + 1, c = a + kSide + 2, d = a + kSide + 1;
            // Every other face counts back from the end of the lists.
            const int total = (kSide + 1) * (kSide + 1);
            const auto at = [&](int i) {
                const std::string n = (x + y) % 2 ? std::to_string(i - total - 1) : std::to_string(i);
                return n + "/" + n + "/" + n;
            };
            text += "f " + at(a) + " " + at(b) + " " + at(c) + " " + at(d) + "\n";
        }
    ASSERT_GT(text.size(), 2u << 20);
    MapFiles files;
    files.files["none.mtl"] = FromText("newmtl m\nKd 1 0 0\n");
    const rm::MeshData borrowed = LoadOk(FromText(text), files);
    rm::MeshData owned;
    std::string err;
    ASSERT_TRUE(rm::ParseModel(FromText(text), files, owned, err)) << err;
    ASSERT_EQ(size_t(kSide * kSide), borrowed.FaceCount());
    ExpectSameMesh(borrowed, owned);
    // The last face's first corner is the grid's top row, next to its right end.
    EXPECT_FLOAT_EQ(float(kSide - 1), owned.positions[owned.corners[owned.face_start[kSide * kSide - 1]].vertex].x);
}

TEST(Obj, VertexColoursAndGeneratedNormals) {
    const rm::MeshData m = LoadOk(FromText("v 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 0 1 0 0 0 1\nf 1 2 3\n"));
    ASSERT_EQ(3u, m.vertex_colors.size());
    EXPECT_EQ((rm::Color{0, 255, 0, 255}), m.vertex_colors[1]);
    EXPECT_TRUE(m.normals_generated);
    ExpectNear({0, 0, -1}, m.normals[0]);
}

TEST(Obj, MissingFilesAndBadIndicesFail) {
    MapFiles files;
    EXPECT_EQ("material library quad.mtl not found", LoadError(FromText(kQuadObj), files));
    files.files["quad.mtl"] = FromText(kQuadMtl);
    EXPECT_EQ("texture red.png not found", LoadError(FromText(kQuadObj), files));
    files.files["red.png"] = FromText("not a picture");
    EXPECT_EQ(-1, LoadOk(FromText(kQuadObj), files).materials[0].image);  // there, unreadable: untextured

    EXPECT_NE(std::string::npos, LoadError(FromText("v 0 0 0\nv 1 0 0\nf 1 2 3\n")).find("past its list"));
    EXPECT_NE(std::string::npos, LoadError(FromText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/5 2/1 3/1\n")).find("past"));
    EXPECT_NE(std::string::npos, LoadError(FromText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1//9 2//1 3//1\n")).find("past"));
    EXPECT_EQ("the file has no faces", LoadError(FromText("v 0 0 0\nv 1 0 0\nl 1 2\n")));
    EXPECT_EQ("a bad face corner on line 4", LoadError(FromText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 x\n")));
    EXPECT_EQ("a vertex with fewer than three coordinates on line 1", LoadError(FromText("v 0 0\nf 1 1 1\n")));
    // A face of 900 corners is one polygon, as written.
    std::string big = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf";
    for (int i = 0; i < 300; ++i) big += " 1 2 3";
    const rm::MeshData m = LoadOk(FromText(big + "\n"));
    ASSERT_EQ(1u, m.FaceCount());
    EXPECT_EQ(900u, m.face_start[1]);
}

// ---- STL --------------------------------------------------------------------

Bytes BinaryStl(const std::string& header, const std::vector<uint16_t>& attributes) {
    Bytes b(80, 0);
    std::memcpy(b.data(), header.data(), std::min<size_t>(80, header.size()));
    Put(b, uint32_t(attributes.size()));
    for (uint16_t a : attributes) {
        // Facing +z (up in the file), counter-clockwise from above.
        for (float f : {0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) Put(b, f);
        Put(b, a);
    }
    return b;
}

TEST(Stl, BinaryFacetsStandUpAndKeepTheirColours) {
    rm::ModelInfo info;
    MapFiles none;
    // VisCAM colours: bit 15 set, blue in the low bits.
    rm::MeshData m = LoadOk(BinaryStl("solid but binary", {0x8000 | 31, 0, 0x8000 | 31}), none, &info);
    EXPECT_EQ("STL binary", info.format);
    ASSERT_EQ(3u, m.FaceCount());
    // Z up in the file is y up here, and the face still points out of its winding.
    ExpectNear({0, 1, 0}, m.normals[0]);
    ExpectNear({0, 1, 0}, WindingNormal(m, 0));
    ExpectNear({1, 0, 0}, m.positions[1]);
    ExpectNear({0, 0, 1}, m.positions[2]);  // (0, 1, 0) in the file
    ASSERT_EQ(1u, m.materials.size());
    EXPECT_FLOAT_EQ(1, m.materials[0].face[2]);
    EXPECT_FLOAT_EQ(0, m.materials[0].face[0]);
    EXPECT_EQ(0u, m.face_material[0]);
    EXPECT_EQ(rm::kNoMaterial, m.face_material[1]);

    // Materialise colours: a default in the header, own colours with bit 15 clear, red low.
    std::string header = "COLOR=";
    header += std::string("\x80\x40\x20\xff", 4);
    m = LoadOk(BinaryStl(header, {31, 0x8000}));
    ASSERT_EQ(2u, m.materials.size());
    EXPECT_FLOAT_EQ(1, m.materials[m.face_material[0]].face[0]);
    EXPECT_NEAR(0x40 / 255.0, m.materials[m.face_material[1]].face[1], 1e-6);
}

TEST(Stl, AsciiSolidsAndBrokenFiles) {
    const char* two =
        "solid one\n facet normal 0 0 1\n  outer loop\n   vertex 0 0 0\n   vertex 1 0 0\n   vertex 0 1 0\n"
        "  endloop\n endfacet\nendsolid one\nsolid two\n facet normal 0 0 0\n outer loop\n vertex 0 0 2\n"
        " vertex 1 0 2\n vertex 0 1 2\n endloop\n endfacet\nendsolid two\n";
    rm::ModelInfo info;
    MapFiles none;
    const rm::MeshData m = LoadOk(FromText(two), none, &info);
    EXPECT_EQ("STL ascii", info.format);
    EXPECT_EQ(2, info.meshes);
    ASSERT_EQ(2u, m.FaceCount());
    ExpectNear({0, 2, 0}, m.positions[3]);
    ExpectNear({0, 1, 0}, m.normals[3]);  // a zero normal is made from the corners
    // A normal against the corners' order (as some exporters write) gives way to theirs.
    std::string reversed = two;
    reversed.replace(reversed.find("normal 0 0 1"), 12, "normal 0 0 -1");
    ExpectNear({0, 1, 0}, LoadOk(FromText(reversed)).normals[0]);

    Bytes wrong = BinaryStl("", {0, 0});
    wrong[80] = 3;
    EXPECT_NE(std::string::npos, LoadError(wrong).find("does not fit the file size"));
    wrong[80] = 0xff, wrong[83] = 0x7f;
    EXPECT_NE(std::string::npos, LoadError(wrong).find("does not fit the file size"));
    EXPECT_EQ("the file has no triangles", LoadError(BinaryStl("", {})));
    EXPECT_EQ("the file has no triangles", LoadError(FromText("solid x\nendsolid x\n")));
    EXPECT_EQ("bad vertex in the STL file", LoadError(FromText("solid x\nfacet normal 0 0 1\nvertex 1 2\n")));
    EXPECT_NE(std::string::npos, LoadError(FromText("solid x\nfacet normal 0 0 1\nvertex 0 0 0\nendfacet\n")).find("three"));
}

TEST(Models, SniffingGoesByContentAndUnknownFilesFail) {
    EXPECT_EQ(rm::ModelFormat::kX, rm::SniffModel(FromText("xof 0303txt 0032")));
    EXPECT_EQ(rm::ModelFormat::kGlb, rm::SniffModel(FromText("glTF")));
    EXPECT_EQ(rm::ModelFormat::kGltf, rm::SniffModel(FromText("\xEF\xBB\xBF  {\"asset\"")));
    EXPECT_EQ(rm::ModelFormat::kObj, rm::SniffModel(FromText("# made by hand\n\no cube\n")));
    EXPECT_EQ(rm::ModelFormat::kStl, rm::SniffModel(FromText("  solid cube")));
    EXPECT_EQ(rm::ModelFormat::kStl, rm::SniffModel(BinaryStl("solid", {0})));
    EXPECT_EQ(rm::ModelFormat::kUnknown, rm::SniffModel(FromText("hello world")));
    EXPECT_EQ("not a model file this program reads (X, glTF, OBJ or STL)", LoadError(TwoByTwoPng()));
    EXPECT_EQ("empty file", LoadError({}));
}

}  // namespace
