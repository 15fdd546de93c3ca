// The resources the program carries are the files of the source tree's resources
// folder, byte for byte: on Linux built into the program, on Windows compiled into
// the module by windres and given back as whole files (a bitmap with its file header,
// the icon as its PNG picture).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/resources/resources.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::map<std::string, std::string> kFolders = {
    {"BITMAP", "bitmap/%.bmp"}, {"PATSCRIPT", "patscript/%.txt"},
    {"WAVE", "wave/%.wav"},     {"ICON", "icon/%.png"}};

TEST(ResourceFiles, EveryResourceIsItsSourceFile) {
    int compared = 0;
    for (const platform::ResourceInfo& info : platform::AllResources()) {
        const auto folder = kFolders.find(std::string(info.type));
        ASSERT_NE(folder, kFolders.end()) << info.type;
        std::string pattern = folder->second;
        pattern.replace(pattern.find('%'), 1, info.name);
        const std::string file = ReadFile(std::string(ORBSAVER_SOURCE_DIR) + "/resources/" + pattern);
        ASSERT_FALSE(file.empty()) << "no file for " << info.type << " " << info.name;
        ASSERT_EQ(info.bytes.size(), file.size()) << info.type << " " << info.name;
        EXPECT_EQ(std::memcmp(info.bytes.data(), file.data(), file.size()), 0)
            << info.type << " " << info.name;
        ++compared;
    }
    // The faces of every button, the backgrounds, the script, the sound and the icon.
    EXPECT_GE(compared, 60);
}

TEST(ResourceFiles, LookUpGivesTheListedBytes) {
    for (const platform::ResourceInfo& info : platform::AllResources()) {
        const auto found = platform::FindResource(info.type, info.name);
        ASSERT_TRUE(found) << info.type << " " << info.name;
        EXPECT_EQ(found->data(), info.bytes.data());
    }
}

}  // namespace
