// The X-file loader on hand-made files in all three encodings: what it takes from
// a mesh, which mesh it picks, the generated-normal rule, frame transforms, and
// clean failure on malformed or truncated input. Also the mesh builder's colour,
// bounds, wraps and texture lookup.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "platform/rm/mesh_builder.h"
#include "platform/rm/wrap.h"
#include "platform/rm/xfile.h"
#include "tests/support/temp_folder.h"

namespace rm = platform::rm;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromText(const std::string& s) { return Bytes(s.begin(), s.end()); }

rm::MeshData ParseOk(const Bytes& b) {
    rm::MeshData m;
    std::string err;
    EXPECT_TRUE(rm::ParseXFile(b, m, err)) << err;
    return m;
}

std::string ParseError(const Bytes& b) {
    rm::MeshData m;
    std::string err;
    EXPECT_FALSE(rm::ParseXFile(b, m, err));
    EXPECT_TRUE(m.positions.empty() && m.face_start.empty() && m.materials.empty());
    return err;
}

void ExpectVec(rm::Vec3 got, rm::Vec3 want, float tol = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

// A quad and a triangle with normals, texture coordinates and two materials.
const char* kTextModel = R"(xof 0303txt 0032
// comment
template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> DWORD nVertices; array Vector vertices[nVertices]; [...] }
Material Shiny { 0.0; 1.0; 0.0; 0.3;; 30.0; 1.0; 0.0; 0.0;; 0.5; 0.5; 0.5;; }
Mesh Model {
  5;
  0.0; 0.0; 0.0;, 1.0; 0.0; 0.0;, 1.0; 1.0; 0.0;, 0.0; 1.0; 0.0;, 2.0; -1.5e1; 3.0;;
  2;
  4; 0, 3, 2, 1;,
  3; 1, 2, 4;;
  MeshNormals { 1; 0.0; 0.0; -2.0;; 2; 4; 0, 0, 0, 0;, 3; 0, 0, 0;; }
  MeshTextureCoords { 5; 0.0; 0.0;, 1.0; 0.0;, 1.0; 1.0;, 0.0; 1.0;, 0.5; 0.25;; }
  MeshMaterialList {
    2; 2; 1, 0;;
    Material { 1.0; 0.5; 0.25; 1.0;; 5.0; 0.1; 0.2; 0.3;; 0.0; 0.0; 0.0;;
      TextureFilename { "skin.bmp"; } }
    { Shiny }
  }
}
Mesh Second { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3; 0,1,2;; }
)";

// Binary token writer.
struct Bin {
    Bytes b;
    bool dbl = false;
    explicit Bin(const char* header) : b(header, header + 16) {}
    Bin& Tok(uint16_t t) {
        b.push_back(uint8_t(t));
        b.push_back(uint8_t(t >> 8));
        return *this;
    }
    Bin& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bin& Name(const std::string& s) {
        Tok(1).U32(uint32_t(s.size()));
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Bin& Str(const std::string& s) {
        Tok(2).U32(uint32_t(s.size()));
        b.insert(b.end(), s.begin(), s.end());
        return Tok(0x14);
    }
    Bin& Ints(std::initializer_list<uint32_t> v) {
        Tok(6).U32(uint32_t(v.size()));
        for (uint32_t x : v) U32(x);
        return *this;
    }
    Bin& Floats(std::initializer_list<double> v) {
        Tok(7).U32(uint32_t(v.size()));
        for (double x : v) {
            if (dbl) {
                uint8_t raw[8];
                std::memcpy(raw, &x, 8);
                b.insert(b.end(), raw, raw + 8);
            } else {
                const float f = float(x);
                uint8_t raw[4];
                std::memcpy(raw, &f, 4);
                b.insert(b.end(), raw, raw + 4);
            }
        }
        return *this;
    }
    Bin& Open() { return Tok(0x0a); }
    Bin& Close() { return Tok(0x0b); }
};

// The same model as kTextModel's first mesh, in binary tokens.
Bytes BinaryModel(bool doubles) {
    Bin w(doubles ? "xof 0303bin 0064" : "xof 0303bin 0032");
    w.dbl = doubles;
    // A template, in binary: TEMPLATE name { guid members }.
    w.Tok(0x1f).Name("Foo").Open().Tok(5);
    for (int i = 0; i < 16; ++i) w.b.push_back(0);
    w.Tok(0x29).Name("x").Tok(0x14).Close();
    w.Name("Material").Name("Shiny").Open().Floats({0, 1, 0, 0.3, 30, 1, 0, 0, 0.5, 0.5, 0.5}).Close();
    w.Name("Mesh").Name("Model").Open();
    w.Ints({5}).Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, -15, 3});
    w.Ints({2, 4, 0, 3, 2, 1, 3, 1, 2, 4});
    w.Name("MeshNormals").Open().Ints({1}).Floats({0, 0, -2}).Ints({2, 4, 0, 0, 0, 0, 3, 0, 0, 0}).Close();
    w.Name("MeshTextureCoords").Open().Ints({5}).Floats({0, 0, 1, 0, 1, 1, 0, 1, 0.5, 0.25}).Close();
    w.Name("MeshMaterialList").Open().Ints({2, 2, 1, 0});
    w.Name("Material").Open().Floats({1, 0.5, 0.25, 1, 5, 0.1, 0.2, 0.3, 0, 0, 0});
    w.Name("TextureFilename").Open().Str("skin.bmp").Close();
    w.Close();
    w.Open().Name("Shiny").Close();
    w.Close();
    w.Close();
    return w.b;
}

// MSZIP: the body after the header, cut into blocks of at most block bytes, each
// deflated with the previous block as its dictionary.
Bytes Compress(const Bytes& plain, const char* kind, size_t block) {
    Bytes out(plain.begin(), plain.begin() + 16);
    std::memcpy(&out[8], kind, 4);
    const uint32_t total = uint32_t(plain.size());
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(total >> (8 * i)));
    for (size_t at = 16; at < plain.size(); at += block) {
        const size_t n = std::min(block, plain.size() - at);
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (at > 16) {
            const size_t dict = std::min<size_t>(at - 16, 32768);
            deflateSetDictionary(&z, &plain[at - dict], uInt(dict));
        }
        Bytes buf(deflateBound(&z, uLong(n)) + 16);
        z.next_in = const_cast<Bytef*>(&plain[at]);
        z.avail_in = uInt(n);
        z.next_out = buf.data();
        z.avail_out = uInt(buf.size());
        deflate(&z, Z_FINISH);
        const size_t csize = buf.size() - z.avail_out;
        deflateEnd(&z);
        out.push_back(uint8_t(n)), out.push_back(uint8_t(n >> 8));
        out.push_back(uint8_t(csize + 2)), out.push_back(uint8_t((csize + 2) >> 8));
        out.push_back('C'), out.push_back('K');
        out.insert(out.end(), buf.begin(), buf.begin() + csize);
    }
    return out;
}

void ExpectTheModel(const rm::MeshData& m) {
    EXPECT_EQ("Model", m.name);
    ASSERT_EQ(5u, m.positions.size());
    ASSERT_EQ(2u, m.FaceCount());
    ExpectVec(m.positions[4], {2, -15, 3});
    EXPECT_EQ(4u, m.face_start[1] - m.face_start[0]);  // a quad stays one face
    EXPECT_EQ(3u, m.corners[1].vertex);
    EXPECT_EQ(4u, m.corners[6].vertex);
    EXPECT_FALSE(m.normals_generated);
    ExpectVec(m.normals[m.corners[5].normal], {0, 0, -1});  // file normals come out unit length
    EXPECT_FLOAT_EQ(0.25f, m.uv[9]);
    ASSERT_EQ(2u, m.materials.size());
    EXPECT_EQ((std::vector<uint32_t>{1, 0}), m.face_material);
    const rm::XMaterial& own = m.materials[0];
    EXPECT_FLOAT_EQ(0.5f, own.face[1]);
    EXPECT_FLOAT_EQ(5.0f, own.power);
    ExpectVec(own.specular, {0.1f, 0.2f, 0.3f});
    EXPECT_EQ("skin.bmp", own.texture);
    const rm::XMaterial& shiny = m.materials[1];  // by reference to the top-level one
    EXPECT_FLOAT_EQ(0.3f, shiny.face[3]);
    EXPECT_EQ(0x4c, rm::ColorFromRGBA(shiny.face[0], shiny.face[1], shiny.face[2], shiny.face[3]).a);
    EXPECT_FLOAT_EQ(30.0f, shiny.power);
    ExpectVec(shiny.emissive, {0.5f, 0.5f, 0.5f});
}

}  // namespace

TEST(XFileLoad, TextFileTakesTheFirstTopLevelMesh) { ExpectTheModel(ParseOk(FromText(kTextModel))); }

TEST(XFileLoad, BinaryFilesWith32And64BitFloatsGiveTheSameMesh) {
    ExpectTheModel(ParseOk(BinaryModel(false)));
    ExpectTheModel(ParseOk(BinaryModel(true)));
}

TEST(XFileLoad, CompressedTextAndBinaryInflateAcrossBlocks) {
    const Bytes text = FromText(kTextModel);
    ExpectTheModel(ParseOk(Compress(text, "tzip", 100)));  // many blocks, each using the last as dictionary
    ExpectTheModel(ParseOk(Compress(BinaryModel(false), "bzip", 64)));
    rm::XFileInfo info;
    rm::MeshData m;
    std::string err;
    ASSERT_TRUE(rm::ParseXFile(Compress(text, "tzip", 32768), m, err, &info)) << err;
    EXPECT_EQ("tzip", info.format);
    Bytes damaged = Compress(text, "tzip", 32768);
    for (size_t i = 40; i < damaged.size(); i += 7) damaged[i] ^= 0x5a;
    EXPECT_FALSE(ParseError(damaged).empty());
    Bytes wrong_size = Compress(text, "tzip", 32768);
    wrong_size[16] ^= 1;
    EXPECT_EQ("compressed data does not have its stated size", ParseError(wrong_size));
}

TEST(XFileLoad, TextNumberSpellingsAndSeparators) {
    const auto m = ParseOk(FromText(
        "xof 0302txt 0064\nMesh{3;1.#QNAN0;-1.#IND00;+2.5E+0;;,\n # hash comment\n"
        "-.5,0,0 1e-2;0;0;;\n1;3;0;1;2;;}"));
    ExpectVec(m.positions[0], {0, 0, 2.5f});
    ExpectVec(m.positions[1], {-0.5f, 0, 0});
    ExpectVec(m.positions[2], {0.01f, 0, 0});
}

TEST(XFileLoad, GeneratedNormalsFollowTheFaceSumRule) {
    const auto m = ParseOk(FromText(
        "xof 0303txt 0032 Mesh { 4; 1;0;0;, 0;1;0;, 0;0;1;, 1;1;1;; 3; 3;0,1,2;, 3;1,2,3;, 3;3,1,2;; }"));
    ASSERT_TRUE(m.normals_generated);
    ExpectVec(m.normals[0], {0.57735f, 0.57735f, 0.57735f});
    ExpectVec(m.normals[1], {-0.229416f, 0.688247f, 0.688247f});
    ExpectVec(m.normals[2], {-0.229416f, 0.688247f, 0.688247f});
    ExpectVec(m.normals[3], {-0.57735f, 0.57735f, 0.57735f});
    for (const rm::FaceCorner& c : m.corners) EXPECT_EQ(c.vertex, c.normal);
}

TEST(XFileLoad, UnusableOptionalPartsAreIgnored) {
    // Normals whose faces do not match, texture coordinates of the wrong count,
    // a vertex colour for a vertex that does not exist, fewer material indices than
    // faces, and a material index past the list.
    const auto m = ParseOk(FromText(R"(xof 0303txt 0032
Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 3; 3;0,1,2;, 3;0,2,1;, 3;1,2,0;;
  MeshNormals { 1; 0;0;1;; 1; 3;0,0,0;; }
  MeshTextureCoords { 2; 0.5;0.5;, 0.5;0.5;; }
  MeshVertexColors { 2; 0; 1;0;0;1;;, 7; 0;1;0;1;;; }
  MeshMaterialList { 2; 2; 1, 5;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } Material { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; } }
  UnknownThing { 1; 2; { Ref } Nested { "x"; } }
})"));
    EXPECT_TRUE(m.normals_generated);
    EXPECT_FLOAT_EQ(0.0f, m.uv[0]);
    ASSERT_EQ(3u, m.vertex_colors.size());
    EXPECT_EQ(255, m.vertex_colors[0].r);
    EXPECT_EQ(0, m.vertex_colors[0].g);
    EXPECT_EQ((std::vector<uint32_t>{1, rm::kNoMaterial, rm::kNoMaterial}), m.face_material);
}

TEST(XFileLoad, FrameHierarchyIsMergedWithItsTransforms) {
    // No top-level mesh: both frame meshes are taken, each through its matrix chain.
    const auto m = ParseOk(FromText(R"(xof 0303txt 0032
Frame Outer {
  FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 10,0,0,1;; }
  Frame Inner {
    FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,5,0,1;; }
    Mesh A { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }
  }
  Frame Mirror {
    FrameTransformMatrix { -1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
    Mesh B { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }
  }
})"));
    ASSERT_EQ(6u, m.positions.size());
    ASSERT_EQ(2u, m.FaceCount());
    ExpectVec(m.positions[0], {10, 10, 0});  // (0,0,0) + 5y, then x2, then +10x
    ExpectVec(m.positions[1], {12, 10, 0});
    ExpectVec(m.positions[4], {8, 0, 0});     // mirrored, then scaled and moved
    // A mirrored mesh keeps its faces facing out: the winding is reversed, so the
    // face's own normal still agrees with its (transformed) vertex normals.
    EXPECT_EQ(5u, m.corners[3].vertex);
    EXPECT_EQ(3u, m.corners[5].vertex);
    const rm::Vec3 p0 = m.positions[m.corners[3].vertex];
    const rm::Vec3 face = rm::Normalize(rm::Cross(m.positions[m.corners[4].vertex] - p0,
                                                  m.positions[m.corners[5].vertex] - p0));
    ExpectVec(face, {0, 0, 1});
    ExpectVec(m.normals[m.corners[3].normal], {0, 0, 1});
    ExpectVec(m.normals[m.corners[0].normal], {0, 0, 1});
}

TEST(XFileLoad, TopLevelMeshWinsOverFrameMeshesBeforeIt) {
    const auto m = ParseOk(FromText(R"(xof 0303txt 0032
Frame F { Mesh InFrame { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; } }
Mesh Top { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 1; 4;0,1,3,2;; }
)"));
    EXPECT_EQ("Top", m.name);
    EXPECT_EQ(4u, m.positions.size());
}

TEST(XFileLoad, MalformedFilesFailWithAReason) {
    EXPECT_EQ("empty file", ParseError({}));
    EXPECT_NE("", ParseError(FromText("xof 0303txt 003")));
    EXPECT_NE("", ParseError(FromText("xOf 0303txt 0032 Mesh{}")));
    EXPECT_NE("", ParseError(FromText("xof 0201txt 0032 Mesh{}")));
    EXPECT_NE("", ParseError(FromText("xof 0303abc 0032 Mesh{}")));
    EXPECT_NE("", ParseError(FromText("xof 0303txt 0016 Mesh{}")));
    EXPECT_EQ("the file holds no mesh", ParseError(FromText("xof 0303txt 0032 Header{1;0;1;}")));
    EXPECT_EQ("face uses a vertex that does not exist",
              ParseError(FromText("xof 0303txt 0032 Mesh{3;0;0;0;,1;0;0;,0;1;0;;1;3;0,1,3;;}")));
    EXPECT_NE("", ParseError(FromText("xof 0303txt 0032 Mesh{3;0;0;0;,1;0;0;,0;1;0;;1;3;0,1,-2;;}")));
    EXPECT_NE("", ParseError(FromText("xof 0303txt 0032 Mesh{2.5;}")));
    EXPECT_NE("", ParseError(FromText("xof 0303txt 0032 Mesh{1;0;0;0;;1;1;0;; Mesh")));
    EXPECT_NE("", ParseError(FromText("xof 0303txt 0032 Material{\"unterminated")));
    // Counts far beyond what the bytes could hold fail without sizing anything by them.
    EXPECT_NE("", ParseError(FromText("xof 0303txt 0032 Mesh{4000000000;1;2;3;")));
    EXPECT_NE("", ParseError(FromText("xof 0303txt 0032 Mesh{1;1;2;3;;1;4000000000;0;}")));
    Bin huge("xof 0303bin 0032");
    huge.Name("Mesh").Open().Tok(6).U32(0xfffffff0u).U32(1);
    EXPECT_EQ("number list is longer than the file", ParseError(huge.b));
    Bin bad_token("xof 0303bin 0032");
    bad_token.Name("Mesh").Open().Tok(0x99);
    EXPECT_NE("", ParseError(bad_token.b));
}

TEST(XFileLoad, DeeplyNestedFramesFailInsteadOfExhaustingTheStack) {
    std::string deep = "xof 0303txt 0032\n";
    for (int i = 0; i < 200000; ++i) deep += "Frame{";
    EXPECT_EQ("frames are nested too deeply", ParseError(FromText(deep)));
    // A sensible depth still loads.
    std::string fine = "xof 0303txt 0032\n";
    for (int i = 0; i < 100; ++i) fine += "Frame{";
    fine += "Mesh{3;0;0;0;,1;0;0;,0;1;0;;1;3;0,1,2;;}";
    for (int i = 0; i < 100; ++i) fine += "}";
    EXPECT_EQ(3u, ParseOk(FromText(fine)).positions.size());
}

TEST(XFileLoad, EveryTruncationFailsOrGivesTheWholeMesh) {
    for (const Bytes& full : {FromText(kTextModel), BinaryModel(false), BinaryModel(true)}) {
        for (size_t n = 0; n < full.size(); ++n) {
            const Bytes cut(full.begin(), full.begin() + n);
            rm::MeshData m;
            std::string err;
            if (rm::ParseXFile(cut, m, err)) {
                EXPECT_EQ(5u, m.positions.size()) << "prefix " << n;
            } else {
                EXPECT_TRUE(m.positions.empty()) << "prefix " << n;
            }
        }
    }
}

TEST(MeshBuilder, ColourOverridesFileColoursAndBoxBoundsVertices) {
    rm::Ref<rm::MeshBuilder> b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
    ASSERT_TRUE(b->LoadFromMemory(FromText(kTextModel), "/nonexistent"));
    EXPECT_EQ(nullptr, b->TextureFor(0));  // skin.bmp is not there: not an error
    rm::Box box;
    ASSERT_TRUE(b->GetBox(&box));
    ExpectVec(box.min, {0, -15, 0});
    ExpectVec(box.max, {2, 1, 3});
    const uint32_t v = b->Version();
    b->SetColorRGB(0.5f, 1.0f, 0.0f);
    EXPECT_NE(v, b->Version());
    for (const rm::XMaterial& m : b->Mesh().materials) {
        EXPECT_FLOAT_EQ(127 / 255.0f, m.face[0]);
        EXPECT_FLOAT_EQ(1.0f, m.face[1]);
        EXPECT_FLOAT_EQ(1.0f, m.face[3]);
    }
    EXPECT_EQ(0xff7fff00u, rm::PackColor(b->PlainColour()));
    // A failed load leaves the builder empty.
    EXPECT_FALSE(b->LoadFromMemory(FromText("xof 0303txt 0032 Mesh{"), "."));
    EXPECT_FALSE(b->GetBox(&box));
    EXPECT_TRUE(b->Mesh().positions.empty());
}

TEST(Wrap, CylinderAsTheSaverSetsItUp) {
    // Axis +y, u = 0 toward +z, v over the height from min.y = -2 with h = 4: 0 at
    // the bottom, -1 at the top, so the picture's rows run from its last at the
    // bottom to its first at the top.
    rm::WrapParams p;
    p.type = rm::WrapType::Cylinder;
    p.direction = {0, 1, 0};
    p.up = {0, 0, 1};
    p.ou = 0, p.ov = -2.0f / 4, p.su = 1, p.sv = -1.0f / 4;
    float u, v;
    rm::WrapPoint(p, {0, -2, 1}, &u, &v);
    EXPECT_NEAR(0.0f, u, 1e-6f);
    EXPECT_NEAR(0.0f, v, 1e-6f);  // bottom: the last row, as the texture repeats
    rm::WrapPoint(p, {0, 2, 1}, &u, &v);
    EXPECT_NEAR(-1.0f, v, 1e-6f);  // top: the first row
    rm::WrapPoint(p, {0, 1, 1}, &u, &v);
    EXPECT_NEAR(-0.75f, v, 1e-6f);
    // The basis is x' = y' x z' = (0,0,1) x (0,1,0) = (-1,0,0): a point on -x is a
    // quarter turn round, -z half a turn, +x three quarters; u stays in [0, 1).
    rm::WrapPoint(p, {-1, 0, 0}, &u, &v);
    EXPECT_NEAR(0.25f, u, 1e-6f);
    rm::WrapPoint(p, {0, 0, -1}, &u, &v);
    EXPECT_NEAR(0.5f, u, 1e-6f);
    rm::WrapPoint(p, {1, 0, 0}, &u, &v);
    EXPECT_NEAR(0.75f, u, 1e-6f);
    rm::WrapPoint(p, {-0.001f, 0, 1}, &u, &v);
    EXPECT_NEAR(0.0f, u, 1e-3f);
    rm::WrapPoint(p, {0.001f, 0, 1}, &u, &v);
    EXPECT_NEAR(1.0f, u, 1e-3f);

    rm::Ref<rm::MeshBuilder> b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
    ASSERT_TRUE(b->LoadFromMemory(FromText(kTextModel), "."));
    rm::Ref<rm::Wrap> w = rm::Ref<rm::Wrap>::Adopt(rm::Wrap::Create(p));
    const uint32_t before = b->Version();
    ASSERT_TRUE(w->Apply(b.get()));
    EXPECT_NE(before, b->Version());
    rm::WrapPoint(p, b->Mesh().positions[4], &u, &v);
    EXPECT_FLOAT_EQ(u, b->Mesh().uv[8]);
    EXPECT_FLOAT_EQ(v, b->Mesh().uv[9]);
    p.type = rm::WrapType::Sphere;
    EXPECT_FALSE(rm::Ref<rm::Wrap>::Adopt(rm::Wrap::Create(p))->Apply(b.get()));
    // A model of zero height makes an infinite scale: refused, coordinates kept.
    p.type = rm::WrapType::Cylinder;
    p.sv = -std::numeric_limits<float>::infinity();
    const float kept = b->Mesh().uv[9];
    EXPECT_FALSE(rm::Ref<rm::Wrap>::Adopt(rm::Wrap::Create(p))->Apply(b.get()));
    EXPECT_EQ(kept, b->Mesh().uv[9]);
}

TEST(Wrap, FlatProjectsOntoTheSheet) {
    rm::WrapParams p;  // direction +z, up +y: x' = +x
    p.ou = 0.5f, p.ov = -1, p.su = 2, p.sv = 3;
    float u, v;
    rm::WrapPoint(p, {1, 2, 9}, &u, &v);
    EXPECT_FLOAT_EQ(2.5f, u);
    EXPECT_FLOAT_EQ(5.0f, v);
    rm::WrapPoint(p, {0, 0, 4}, &u, &v);  // the wrap's origin gets the texture origin
    EXPECT_FLOAT_EQ(0.5f, u);
    EXPECT_FLOAT_EQ(-1.0f, v);
}

TEST(TextureLookup, WindowsNamesAreFoundBesideTheModel) {
    namespace fs = std::filesystem;
    TempFolder folder;
    const fs::path& dir = folder.path();
    fs::create_directories(dir / "Misc");
    std::ofstream(dir / "Misc" / "Tex.BMP") << "x";
    std::ofstream(dir / "skin.bmp") << "x";
    const std::string d = folder.File("");
    // The file found is the one there (on a system that ignores case, maybe by the
    // name as the model spells it).
    auto is = [](const fs::path& expected, const std::string& found) {
        std::error_code ignored;
        return !found.empty() && fs::equivalent(expected, fs::path(std::u8string(found.begin(), found.end())), ignored);
    };
    EXPECT_TRUE(is(dir / "Misc" / "Tex.BMP", rm::FindBesideModel(d, "misc\\\\tex.bmp")));
    EXPECT_TRUE(is(dir / "Misc" / "Tex.BMP", rm::FindBesideModel(d, "MISC\\TEX.BMP")));
    EXPECT_TRUE(is(dir / "skin.bmp", rm::FindBesideModel(d, "C:\\models\\data\\SKIN.bmp")));
    EXPECT_TRUE(is(dir / "skin.bmp", rm::FindBesideModel(d, ".\\skin.bmp")));
    EXPECT_TRUE(is(dir / "skin.bmp", rm::FindBesideModel(d, "../../etc/skin.bmp")));
    EXPECT_EQ("", rm::FindBesideModel(d, "missing.bmp"));
    EXPECT_EQ("", rm::FindBesideModel(d, ""));
    EXPECT_EQ("", rm::FindBesideModel(d, "Misc"));  // a folder is not a texture
}

// Binary number lists are read in place, in bulk: a list may end the file, a mesh's
// numbers may be split over several lists and integer tokens, non-numbers read as 0,
// and counts that the file cannot hold fail without taking memory for them.
TEST(XFileBinary, ListsAreReadWholeWhereverTheyEnd) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    {
        // A mesh without children: its face list is the file's last data.
        Bin w("xof 0303bin 0032");
        w.Name("Mesh").Open().Ints({3}).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 2}).Close();
        rm::MeshData m;
        std::string err;
        ASSERT_TRUE(rm::ParseXFile(w.b, m, err)) << err;
        EXPECT_EQ(3u, m.corners.size());
        ExpectVec(m.positions[2], {0, 1, 0});
    }
    {
        // Positions over a float list, a lone integer and another list; faces over
        // two integer lists; texture coordinates with non-numbers.
        Bin w("xof 0303bin 0032");
        w.Name("Mesh").Open().Ints({4}).Floats({1, 2, 3, 4, 5}).Tok(3).U32(6).Floats({7, 8, 9, 10, 11, 12});
        w.Ints({2, 3, 0}).Ints({1, 2, 3, 1, 2, 3});
        w.Name("MeshTextureCoords").Open().Ints({4}).Floats({inf, 0.5, nan, -inf, 1, 2, 3, 4}).Close();
        w.Close();
        rm::MeshData m;
        std::string err;
        ASSERT_TRUE(rm::ParseXFile(w.b, m, err)) << err;
        ASSERT_EQ(4u, m.positions.size());
        ExpectVec(m.positions[1], {4, 5, 6});
        ExpectVec(m.positions[3], {10, 11, 12});
        ASSERT_EQ(2u, m.FaceCount());
        EXPECT_EQ(3u, m.corners[5].vertex);
        EXPECT_EQ((std::vector<float>{0, 0.5f, 0, 0, 1, 2, 3, 4}), m.uv);
    }
    {
        // A count far beyond the file, and a face index past the vertices.
        Bin w("xof 0303bin 0032");
        w.Name("Mesh").Open().Ints({0x40000000}).Floats({1, 2, 3}).Close();
        rm::MeshData m;
        std::string err;
        EXPECT_FALSE(rm::ParseXFile(w.b, m, err));
        Bin v("xof 0303bin 0032");
        v.Name("Mesh").Open().Ints({3}).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 3}).Close();
        EXPECT_FALSE(rm::ParseXFile(v.b, m, err));
        EXPECT_EQ("face uses a vertex that does not exist", err);
    }
}

// Text numbers are read eight digits at a time where eight bytes remain: every
// length of integer and fraction, signs, exponents and the last bytes of the file
// read as the C library reads them.
TEST(XFileText, NumbersOfEveryLengthReadAsStrtod) {
    std::vector<std::string> texts;
    uint64_t seed = 7;
    auto next = [&seed] { return seed = seed * 6364136223846793005ull + 1442695040888963407ull; };
    for (int digits = 1; digits <= 19; ++digits)
        for (int frac = 0; frac <= digits; ++frac)
            for (int sign = 0; sign < 2; ++sign) {
                std::string t = sign ? "-" : "";
                for (int i = 0; i < digits; ++i) {
                    if (i == digits - frac && frac > 0) t += (i == 0 ? "0." : ".");
                    t += char('0' + (next() >> 33) % 10);
                }
                texts.push_back(t);
            }
    for (const char* t : {"1e3", "-2.5E-2", "+7", ".5", "-.25", "3.", "123456789012345678901234", "0.000000001"})
        texts.push_back(t);
    if (texts.size() % 3) texts.resize(texts.size() - texts.size() % 3);
    const size_t n = texts.size() / 3;
    std::string file = "xof 0303txt 0032\nMesh {\n" + std::to_string(n) + ";\n";
    for (size_t i = 0; i < texts.size(); ++i) file += texts[i] + (i % 3 == 2 ? (i + 1 == texts.size() ? ";;\n" : ";,\n") : ";");
    file += "1;3;0,1,2;;}";  // the file ends right after the last index
    rm::MeshData m;
    std::string err;
    ASSERT_TRUE(rm::ParseXFile(Bytes(file.begin(), file.end()), m, err)) << err;
    ASSERT_EQ(n, m.positions.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        const rm::Vec3& p = m.positions[i / 3];
        const float got = i % 3 == 0 ? p.x : i % 3 == 1 ? p.y : p.z;
        EXPECT_EQ(float(std::strtod(texts[i].c_str(), nullptr)), got) << texts[i];
    }
    EXPECT_EQ(2u, m.corners[2].vertex);
}

// A file given back page by page as it is read (as MeshBuilder::Load does) gives the
// same mesh as the same bytes read whole, in both encodings and across many pages.
TEST(XFileConsuming, GivesTheSameMeshAsTheBytesKept) {
    const int n = 400;  // 160,000 vertices: megabytes of numbers in either encoding
    std::string text = "xof 0303txt 0032\nMesh Grid {\n" + std::to_string(n * n) + ";\n";
    Bin bin("xof 0303bin 0032");
    bin.Name("Mesh").Name("Grid").Open().Ints({uint32_t(n * n)});
    std::vector<uint32_t> faces = {uint32_t((n - 1) * (n - 1))};
    char buf[96];
    std::vector<float> coords;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const float p[3] = {i * 0.01f, float(std::sin(i * 0.1) * std::cos(j * 0.07)), j * 0.01f};
            std::snprintf(buf, sizeof buf, "%.6f;%.6f;%.6f;%s\n", p[0], p[1], p[2], i == n - 1 && j == n - 1 ? ";" : ",");
            text += buf;
            coords.insert(coords.end(), p, p + 3);
        }
    bin.Tok(7).U32(uint32_t(coords.size()));
    for (float f : coords) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        bin.U32(u);
    }
    text += std::to_string((n - 1) * (n - 1)) + ";\n";
    for (int i = 0; i + 1 < n; ++i)
        for (int j = 0; j + 1 < n; ++j) {
            const uint32_t a = uint32_t(i * n + j);
            std::snprintf(buf, sizeof buf, "3;%u,%u,%u;%s\n", a, a + 1, a + uint32_t(n), i == n - 2 && j == n - 2 ? ";" : ",");
            text += buf;
            faces.insert(faces.end(), {3u, a, a + 1, a + uint32_t(n)});
        }
    text += "}\n";
    bin.Tok(6).U32(uint32_t(faces.size()));
    for (uint32_t v : faces) bin.U32(v);
    bin.Close();
    for (const Bytes& file : {Bytes(text.begin(), text.end()), bin.b}) {
        ASSERT_GT(file.size(), 3u << 20);
        rm::MeshData kept, consumed;
        std::string err;
        ASSERT_TRUE(rm::ParseXFile(file, kept, err)) << err;
        Bytes copy = file;
        ASSERT_TRUE(rm::ParseXFileConsuming(copy, consumed, err)) << err;
        EXPECT_TRUE(copy.empty());
        ASSERT_EQ(kept.positions.size(), consumed.positions.size());
        EXPECT_EQ(0, std::memcmp(kept.positions.data(), consumed.positions.data(),
                                 kept.positions.size() * sizeof(rm::Vec3)));
        ASSERT_EQ(kept.corners.size(), consumed.corners.size());
        for (size_t i = 0; i < kept.corners.size(); ++i) ASSERT_EQ(kept.corners[i].vertex, consumed.corners[i].vertex) << i;
        EXPECT_EQ(kept.face_start, consumed.face_start);
        ExpectVec(consumed.positions.back(), {(n - 1) * 0.01f, consumed.positions.back().y, (n - 1) * 0.01f});
    }
}
