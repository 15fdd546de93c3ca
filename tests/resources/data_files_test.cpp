// The files in the data directory beside the program: the default model is a
// well-formed text X file of several parts and materials, the default texture a PPM
// that joins where it wraps, and the help pages are there in both languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kDataDir = std::string(ORBSAVER_BINARY_DIR) + "/data/";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The tokens of a text X file: words and numbers, with "{" and "}" kept and the
// separators ";" and "," dropped; comments ("//" or "#" to the line end) skipped.
std::vector<std::string> XTokens(const std::string& text) {
    std::vector<std::string> tokens;
    std::string word;
    auto flush = [&] {
        if (!word.empty()) tokens.push_back(word);
        word.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '#' || (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) {
            flush();
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (c == '{' || c == '}') {
            flush();
            tokens.emplace_back(1, c);
        } else if (c == ';' || c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            flush();
        } else {
            word += c;
        }
    }
    flush();
    return tokens;
}

// Reads the counts and lists of the one Mesh of a file, as the X templates lay them out.
struct XMesh {
    std::vector<std::array<double, 3>> positions, normals;
    std::vector<std::vector<long>> faces, normalFaces;
    long materialCount = 0;
    std::vector<long> faceMaterials;
    int materialBlocks = 0;
    std::vector<std::array<double, 2>> uvs;
};

class XReader {
  public:
    explicit XReader(std::vector<std::string> tokens) : t_(std::move(tokens)) {}

    bool AtEnd() const { return i_ >= t_.size(); }
    const std::string& Peek() const { return t_.at(i_); }
    std::string Next() { return t_.at(i_++); }
    long Integer() { return std::stol(Next()); }
    double Real() { return std::stod(Next()); }
    void Expect(const std::string& s) {
        const std::string got = Next();
        if (got != s) throw std::runtime_error("expected " + s + ", found " + got);
    }
    // "Name {" or "{" after a template word.
    void OpenBlock() {
        if (Peek() != "{") Next();
        Expect("{");
    }
    void SkipBlock() {
        OpenBlock();
        for (int depth = 1; depth > 0;) {
            const std::string s = Next();
            depth += s == "{" ? 1 : s == "}" ? -1 : 0;
        }
    }
    std::vector<long> Faces(std::size_t count, std::vector<std::vector<long>>& out) {
        std::vector<long> sizes;
        for (std::size_t f = 0; f < count; ++f) {
            const long n = Integer();
            sizes.push_back(n);
            std::vector<long> face;
            for (long k = 0; k < n; ++k) face.push_back(Integer());
            out.push_back(face);
        }
        return sizes;
    }
    XMesh Mesh() {
        XMesh m;
        OpenBlock();
        m.positions.resize(static_cast<std::size_t>(Integer()));
        for (auto& p : m.positions) p = {Real(), Real(), Real()};
        Faces(static_cast<std::size_t>(Integer()), m.faces);
        while (Peek() != "}") {
            const std::string word = Next();
            if (word == "MeshMaterialList") {
                OpenBlock();
                m.materialCount = Integer();
                m.faceMaterials.resize(static_cast<std::size_t>(Integer()));
                for (long& i : m.faceMaterials) i = Integer();
                while (Peek() != "}") {
                    if (Next() != "Material") throw std::runtime_error("material expected");
                    SkipBlock();
                    ++m.materialBlocks;
                }
                Expect("}");
            } else if (word == "MeshNormals") {
                OpenBlock();
                m.normals.resize(static_cast<std::size_t>(Integer()));
                for (auto& n : m.normals) n = {Real(), Real(), Real()};
                Faces(static_cast<std::size_t>(Integer()), m.normalFaces);
                Expect("}");
            } else if (word == "MeshTextureCoords") {
                OpenBlock();
                m.uvs.resize(static_cast<std::size_t>(Integer()));
                for (auto& uv : m.uvs) uv = {Real(), Real()};
                Expect("}");
            } else {
                SkipBlock();
            }
        }
        Expect("}");
        return m;
    }

  private:
    std::vector<std::string> t_;
    std::size_t i_ = 0;
};

class DefaultModel : public ::testing::Test {
  protected:
    void SetUp() override {
        text = ReadFile(kDataDir + "multi.x");
        ASSERT_FALSE(text.empty()) << "multi.x is not in " << kDataDir;
        ASSERT_GE(text.size(), 16u);
        XReader reader(XTokens(text.substr(16)));
        int meshes = 0;
        try {
            while (!reader.AtEnd()) {
                const std::string word = reader.Next();
                if (word == "Mesh") {
                    mesh = reader.Mesh();
                    ++meshes;
                } else {
                    reader.SkipBlock();
                }
            }
        } catch (const std::exception& e) {
            FAIL() << "multi.x does not read as an X file: " << e.what();
        }
        ASSERT_EQ(meshes, 1);
    }
    std::string text;
    XMesh mesh;
};

TEST_F(DefaultModel, IsATextXFile) {
    const std::string header = text.substr(0, 16);
    EXPECT_TRUE(header == "xof 0303txt 0032" || header == "xof 0302txt 0032") << header;
    EXPECT_EQ(std::count(text.begin(), text.end(), '{'), std::count(text.begin(), text.end(), '}'));
}

TEST_F(DefaultModel, FacesAreTrianglesOfItsOwnVertices) {
    EXPECT_GE(mesh.faces.size(), 2000u);  // some thousands of triangles
    for (const auto& face : mesh.faces) {
        ASSERT_EQ(face.size(), 3u);
        for (long v : face) {
            ASSERT_GE(v, 0);
            ASSERT_LT(static_cast<std::size_t>(v), mesh.positions.size());
        }
    }
}

TEST_F(DefaultModel, HasSeveralPartsInSeveralMaterials) {
    EXPECT_GE(mesh.materialCount, 3);
    EXPECT_EQ(mesh.materialBlocks, mesh.materialCount);
    ASSERT_EQ(mesh.faceMaterials.size(), mesh.faces.size());
    std::vector<int> used(static_cast<std::size_t>(mesh.materialCount), 0);
    for (long m : mesh.faceMaterials) {
        ASSERT_GE(m, 0);
        ASSERT_LT(m, mesh.materialCount);
        ++used[static_cast<std::size_t>(m)];
    }
    for (std::size_t m = 0; m < used.size(); ++m) EXPECT_GT(used[m], 0) << "material " << m;
    // Parts are groups of faces joined through shared vertices.
    std::vector<std::size_t> parent(mesh.positions.size());
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&](std::size_t v) {
        while (parent[v] != v) v = parent[v] = parent[parent[v]];
        return v;
    };
    for (const auto& f : mesh.faces) {
        for (std::size_t k = 1; k < f.size(); ++k) {
            parent[root(static_cast<std::size_t>(f[k]))] = root(static_cast<std::size_t>(f[0]));
        }
    }
    std::map<std::size_t, int> parts;
    for (const auto& f : mesh.faces) ++parts[root(static_cast<std::size_t>(f[0]))];
    EXPECT_GE(parts.size(), 3u);
}

TEST_F(DefaultModel, NormalsAndTextureCoordinatesCoverEveryVertex) {
    ASSERT_EQ(mesh.normals.size(), mesh.positions.size());
    for (const auto& n : mesh.normals) {
        EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 2e-3);
    }
    ASSERT_EQ(mesh.normalFaces.size(), mesh.faces.size());
    for (const auto& f : mesh.normalFaces) {
        for (long v : f) ASSERT_LT(static_cast<std::size_t>(v), mesh.normals.size());
    }
    ASSERT_EQ(mesh.uvs.size(), mesh.positions.size());
    for (const auto& uv : mesh.uvs) {
        EXPECT_GE(uv[0], 0.0);
        EXPECT_LE(uv[0], 1.0);
        EXPECT_GE(uv[1], 0.0);
        EXPECT_LE(uv[1], 1.0);
    }
}

TEST_F(DefaultModel, FitsTheDefaultViewAndHasHeightForTheWrap) {
    std::array<double, 3> lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
    for (const auto& p : mesh.positions) {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
    // The cylindrical wrap divides by the height; the default camera stands about 21
    // units away and sees about 10 units either side.
    EXPECT_GT(hi[1] - lo[1], 1.0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_LT(hi[k] - lo[k], 12.0);
        EXPECT_NEAR((hi[k] + lo[k]) / 2, 0.0, 1.5) << "axis " << k;  // turns about its middle
    }
}

TEST(DefaultTexture, IsAPpmThatJoinsWhereItWraps) {
    const std::string ppm = ReadFile(kDataDir + "win95.ppm");
    ASSERT_FALSE(ppm.empty()) << "win95.ppm is not in " << kDataDir;
    std::istringstream in(ppm);
    std::string magic, line;
    in >> magic;
    ASSERT_EQ(magic, "P6");
    in >> std::ws;
    while (in.peek() == '#') std::getline(in, line);
    int w = 0, h = 0, maxval = 0;
    in >> w >> h >> maxval;
    in.get();
    ASSERT_EQ(maxval, 255);
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    const std::size_t start = static_cast<std::size_t>(in.tellg());
    ASSERT_EQ(ppm.size() - start, static_cast<std::size_t>(w) * h * 3);
    auto at = [&](int x, int y, int c) {
        return static_cast<unsigned char>(
            ppm[start + (static_cast<std::size_t>(y) * w + x) * 3 + c]);
    };
    // Across the seam (last column to first) the picture changes no more than between
    // neighbouring columns elsewhere, and much less than across half its width.
    auto difference = [&](int a, int b) {
        double sum = 0;
        for (int y = 0; y < h; ++y) {
            for (int c = 0; c < 3; ++c) sum += std::abs(at(a, y, c) - at(b, y, c));
        }
        return sum / (h * 3);
    };
    const double seam = difference(w - 1, 0);
    const double neighbours = difference(w / 2, w / 2 + 1);
    const double half = difference(0, w / 2);
    EXPECT_LT(seam, neighbours * 3 + 2);
    EXPECT_LT(seam * 4, half);
}

TEST(HelpPages, BothLanguagesAreThereAndExplainTheSettings) {
    const std::string english = ReadFile(kDataDir + "KP4VN_1E.html");
    const std::string japanese = ReadFile(kDataDir + "KP4VN_1J.html");
    ASSERT_FALSE(english.empty());
    ASSERT_FALSE(japanese.empty());
    for (const std::string* page : {&english, &japanese}) {
        EXPECT_EQ(page->rfind("<!DOCTYPE html>", 0), 0u);
        EXPECT_NE(page->find("charset=\"utf-8\""), std::string::npos);
        EXPECT_NE(page->find("</html>"), std::string::npos);
    }
    EXPECT_NE(english.find("lang=\"en\""), std::string::npos);
    EXPECT_NE(japanese.find("lang=\"ja\""), std::string::npos);
    // Each caption the dialog pictures show is explained under the same words.
    for (const char* caption : {"Look at object", "Orientation", "Rotation", "X File", "Message",
                                "Speed", "Flat", "Gouraud", "Dither On", "Use Image", "Sound On",
                                "MIDI On", "Original", "FPS On", "Play the flight", "Frames"}) {
        EXPECT_NE(english.find(caption), std::string::npos) << caption;
        EXPECT_NE(japanese.find(caption), std::string::npos) << caption;
    }
    EXPECT_NE(japanese.find("\xE3\x82\xB9\xE3\x82\xAF\xE3\x83\xAA\xE3\x83\xBC\xE3\x83\xB3"),
              std::string::npos);  // "スクリーン" in UTF-8
}

}  // namespace
