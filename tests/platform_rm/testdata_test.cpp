// The loaders against the shared real-world files: every model of x/EXPECT.tsv
// gives its listed answer (through the library and through orbsaver-model), every
// valid image decodes to the published size and pixels, every broken one fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rm/image.h"
#include "platform/rm/md5.h"
#include "platform/rm/mesh_builder.h"
#include "platform/rm/png_io.h"
#include "platform/rm/xfile.h"
#include "tests/platform_rm/run_tool.h"

namespace rm = platform::rm;
namespace fs = std::filesystem;

namespace {

const fs::path kData = ORBSAVER_TESTDATA_DIR;

#define REQUIRE_TESTDATA(sub)                                                               \
    if (!fs::exists(kData / sub)) GTEST_SKIP() << "shared test data not found at " << (kData / sub)

std::vector<std::vector<std::string>> ReadTsv(const fs::path& path) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t')) cells.push_back(cell);
        if (!cells.empty()) rows.push_back(cells);
    }
    return rows;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::stringstream ss(s);
    std::string part;
    while (std::getline(ss, part, sep)) out.push_back(part);
    return out;
}

bool Decode(const fs::path& p, rm::Image& img, std::string& err) {
    std::vector<uint8_t> bytes;
    return rm::ReadFileBytes(p.string(), bytes, err) && rm::DecodeImage(bytes, img, err);
}


int MaxChannelDifference(const rm::Image& a, const rm::Image& b) {
    int worst = 0;
    for (size_t i = 0; i < a.rgba.size(); ++i)
        if (i % 4 != 3) worst = std::max(worst, std::abs(int(a.rgba[i]) - int(b.rgba[i])));
    return worst;
}

}  // namespace

TEST(SharedModels, EveryFileGivesItsExpectedAnswer) {
    REQUIRE_TESTDATA("x/EXPECT.tsv");
    int checked = 0;
    for (const auto& row : ReadTsv(kData / "x/EXPECT.tsv")) {
        ASSERT_GE(row.size(), 2u);
        const fs::path file = kData / "x" / row[0];
        std::vector<uint8_t> bytes;
        std::string err;
        rm::MeshData mesh;
        std::string got = "FAIL";
        if (rm::ReadFileBytes(file.string(), bytes, err) && rm::ParseXFile(bytes, mesh, err))
            got = "vertices " + std::to_string(mesh.positions.size()) + " faces " + std::to_string(mesh.FaceCount());
        const auto answers = Split(row[1], '|');
        EXPECT_NE(answers.end(), std::find(answers.begin(), answers.end(), got))
            << row[0] << ": expected " << row[1] << ", got " << got << " (" << err << ")";
        std::string line;
        const int code = RunModelTool({"info", file.string()}, &line);
        const std::string tool = code == 0 ? line : code == 1 ? "FAIL" : "exit " + std::to_string(code);
        EXPECT_EQ(got, tool) << row[0] << " through orbsaver-model";
        ++checked;
    }
    EXPECT_EQ(31, checked);
}

TEST(SharedModels, TexturesAreFoundBesideTheModelWhereTheyCanBeRead) {
    REQUIRE_TESTDATA("x/tiger.x");
    struct Case {
        const char* file;
        std::vector<int> loaded;  // texture width per material, 0 for none
    };
    const Case cases[] = {
        {"tiger.x", {256}},                 // plain name
        {"gen_tiger_ppmtex.x", {256}},      // a PPM texture
        {"room.x", {256, 256, 256}},        // "misc\\name.bmp" in a sub-folder
        {"spotlight.x", {256}},
        {"kwxport_test_cubewithvcolors.x", {256, 256, 256}},  // absolute Windows paths to TGA files
        {"ball.x", {0}},                    // DDS files that are not there
        {"test.x", {512}},                  // ".\\test.png"
    };
    for (const Case& c : cases) {
        rm::Ref<rm::MeshBuilder> b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
        std::string err;
        ASSERT_TRUE(b->Load((kData / "x" / c.file).string(), &err)) << c.file << ": " << err;
        ASSERT_EQ(c.loaded.size(), b->Mesh().materials.size()) << c.file;
        for (size_t i = 0; i < c.loaded.size(); ++i) {
            const rm::Texture* t = b->TextureFor(uint32_t(i));
            EXPECT_EQ(c.loaded[i], t ? t->Pixels().width : 0) << c.file << " material " << i;
        }
    }
    // tiger.ppm was made from tiger.bmp: the two loaders must agree to the pixel.
    rm::Image bmp, ppm;
    std::string err;
    ASSERT_TRUE(Decode(kData / "x/tiger.bmp", bmp, err)) << err;
    ASSERT_TRUE(Decode(kData / "x/tiger.ppm", ppm, err)) << err;
    EXPECT_EQ(rm::RgbMd5(ppm), rm::RgbMd5(bmp));
}

TEST(SharedImages, NetpbmFilesMatchTheirPublishedDigests) {
    REQUIRE_TESTDATA("ppm/MANIFEST.tsv");
    int good = 0, bad = 0;
    for (const auto& row : ReadTsv(kData / "ppm/MANIFEST.tsv")) {
        ASSERT_GE(row.size(), 11u);
        rm::Image img;
        std::string err;
        const bool ok = Decode(kData / "ppm" / row[0], img, err);
        const bool valid = row[10] != "-" && row[3] != "P7";  // PAM is a related format we refuse
        if (!valid) {
            EXPECT_FALSE(ok) << row[0] << " should fail";
            EXPECT_TRUE(img.rgba.empty());
            ++bad;
            continue;
        }
        ASSERT_TRUE(ok) << row[0] << ": " << err;
        EXPECT_EQ(row[4], std::to_string(img.width)) << row[0];
        EXPECT_EQ(row[5], std::to_string(img.height)) << row[0];
        EXPECT_EQ(row[10], rm::RgbMd5(img)) << row[0];
        ++good;
    }
    EXPECT_EQ(19, good);
    EXPECT_EQ(6, bad);
    std::string line;
    EXPECT_EQ(0, RunModelTool({"image", (kData / "ppm/testimg.ppm").string()}, &line));
    EXPECT_EQ("width 227 height 149", line);
    EXPECT_EQ(1, RunModelTool({"image", (kData / "ppm/gen_huge_dims.ppm").string()}));
}

TEST(SharedImages, GoodBmpsMatchTheReferencePictures) {
    REQUIRE_TESTDATA("bmp/MANIFEST.tsv");
    // Which reference rendering shows each good file (several files share one).
    const std::map<std::string, std::string> reference = {
        {"pal1", "pal1"}, {"pal1bg", "pal1bg"}, {"pal1wb", "pal1"}, {"pal4", "pal4"}, {"pal4gs", "pal4gs"},
        {"pal4rle", "pal4"}, {"pal8-0", "pal8"}, {"pal8", "pal8"}, {"pal8gs", "pal8gs"},
        {"pal8os2", "pal8"}, {"pal8rle", "pal8"}, {"pal8topdown", "pal8"}, {"pal8v4", "pal8"},
        {"pal8v5", "pal8"}, {"pal8w124", "pal8w124"}, {"pal8w125", "pal8w125"}, {"pal8w126", "pal8w126"},
        {"rgb16-565", "rgb16-565"}, {"rgb16-565pal", "rgb16-565"}, {"rgb16", "rgb16"},
        {"rgb16bfdef", "rgb16"}, {"rgb24", "rgb24"}, {"rgb24pal", "rgb24"}, {"rgb32", "rgb24"},
        {"rgb32bf", "rgb24"}, {"rgb32bfdef", "rgb24"}, {"pal8nonsquare", "pal8nonsquare-e"},
    };
    int compared = 0;
    for (const auto& row : ReadTsv(kData / "bmp/MANIFEST.tsv")) {
        if (row[1] != "g") continue;
        const std::string stem = fs::path(row[0]).stem().string();
        rm::Image img;
        std::string err;
        ASSERT_TRUE(Decode(kData / "bmp" / row[0], img, err)) << row[0] << ": " << err;
        EXPECT_EQ(row[4], std::to_string(img.width)) << row[0];
        EXPECT_EQ(std::abs(std::stoi(row[5])), img.height) << row[0];
        const auto it = reference.find(stem);
        ASSERT_NE(reference.end(), it) << "no reference listed for " << row[0];
        rm::Image ref;
        ASSERT_TRUE(rm::ReadPng((kData / "bmp/html" / (it->second + ".png")).string(), ref, &err)) << err;
        ASSERT_EQ(ref.width, img.width) << row[0];
        ASSERT_EQ(ref.height, img.height) << row[0];
        EXPECT_LE(MaxChannelDifference(img, ref), 1) << row[0] << " against " << it->second << ".png";
        ++compared;
    }
    EXPECT_EQ(27, compared);
}

TEST(SharedImages, BrokenBmpsFailAndOddOnesDoNotCrash) {
    REQUIRE_TESTDATA("bmp/MANIFEST.tsv");
    rm::Image pal1;
    std::string err;
    ASSERT_TRUE(Decode(kData / "bmp/g/pal1.bmp", pal1, err)) << err;
    // Wrong only in fields a decoder does not need (density, stated sizes): they
    // load, and show exactly what pal1.bmp shows. rgb16-880 has no blue bits.
    const std::map<std::string, bool> loads_like_pal1 = {
        {"b/badbitssize.bmp", true}, {"b/baddens1.bmp", true}, {"b/baddens2.bmp", true},
        {"b/badfilesize.bmp", true}, {"b/rgb16-880.bmp", false}};
    for (const auto& row : ReadTsv(kData / "bmp/MANIFEST.tsv")) {
        rm::Image img;
        const bool ok = Decode(kData / "bmp" / row[0], img, err);
        if (row[1] == "q") {  // questionable: either is fine, but never a half image
            EXPECT_EQ(ok, !img.rgba.empty()) << row[0];
            if (ok) {
                EXPECT_EQ(size_t(img.width) * img.height * 4, img.rgba.size()) << row[0];
            }
            continue;
        }
        if (row[1] != "b" && row[1] != "x") continue;
        const auto it = loads_like_pal1.find(row[0]);
        if (it == loads_like_pal1.end()) {
            EXPECT_FALSE(ok) << row[0] << " should fail";
            EXPECT_TRUE(img.rgba.empty()) << row[0];
        } else {
            ASSERT_TRUE(ok) << row[0] << ": " << err;
            if (it->second) {
                EXPECT_EQ(rm::RgbMd5(pal1), rm::RgbMd5(img)) << row[0];
            }
        }
    }
}
