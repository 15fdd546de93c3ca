// The resource look-up behaves as the Windows one does for names given as text:
// case does not matter, "#101" names 101, and a name that is not there fails.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/resources/resources.h"

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

TEST(ResourceLookup, NamesAndTypesIgnoreCase) {
    auto exact = platform::FindResource("BITMAP", "OK_2U");
    auto lower = platform::FindResource("bitmap", "ok_2u");
    auto mixed = platform::FindResource("Bitmap", "Ok_2u");
    ASSERT_TRUE(exact && lower && mixed);
    EXPECT_EQ(exact->data(), lower->data());
    EXPECT_EQ(exact->data(), mixed->data());
    EXPECT_EQ(exact->size(), lower->size());
}

TEST(ResourceLookup, HashPrefixNamesTheSameNumberedResource) {
    auto plain = platform::FindResource("ICON", "101");
    auto hashed = platform::FindResource("ICON", "#101");
    ASSERT_TRUE(plain && hashed);
    EXPECT_EQ(plain->data(), hashed->data());
}

TEST(ResourceLookup, MissingNamesFail) {
    EXPECT_FALSE(platform::FindResource("BITMAP", "NO_SUCH_BITMAP"));
    EXPECT_FALSE(platform::FindResource("BITMAP", ""));
    EXPECT_FALSE(platform::FindResource("BITMAP", "#"));
    EXPECT_FALSE(platform::FindResource("BITMAP", "OK_2"));    // a stem is not a face
    EXPECT_FALSE(platform::FindResource("BITMAP", "OK_2UX"));  // nor is a longer name
    EXPECT_FALSE(platform::FindResource("PATSCRIPT", "PATSCRIPT2"));
    EXPECT_FALSE(platform::FindResource("ICON", "102"));
    // The About box has no disabled face, and tabs have none either.
    EXPECT_FALSE(platform::FindResource("BITMAP", "OK_1DI"));
    EXPECT_FALSE(platform::FindResource("BITMAP", "CAMERA_DI"));
    EXPECT_FALSE(platform::FindResource("BITMAP", "REND_DI"));
}

TEST(ResourceLookup, TypeMustMatch) {
    ASSERT_TRUE(platform::FindResource("WAVE", "OPEN"));
    EXPECT_FALSE(platform::FindResource("BITMAP", "OPEN"));
    EXPECT_FALSE(platform::FindResource("WAVE", "OK_2U"));
    EXPECT_FALSE(platform::FindResource("BITMAPS", "OK_2U"));
    EXPECT_FALSE(platform::FindResource("", "OK_2U"));
}

TEST(ResourceLookup, EveryResourceIsFoundUnderItsOwnNameOnly) {
    std::set<std::string> seen;
    for (const platform::ResourceInfo& info : platform::AllResources()) {
        const std::string key = Upper(info.type) + "/" + Upper(info.name);
        EXPECT_TRUE(seen.insert(key).second) << key << " appears twice";
        EXPECT_FALSE(info.bytes.empty()) << key << " is empty";
        auto found = platform::FindResource(info.type, info.name);
        ASSERT_TRUE(found) << key;
        EXPECT_EQ(found->data(), info.bytes.data()) << key;
    }
    EXPECT_GE(seen.size(), 68u + 3u);  // the bitmaps, the script, the sound, the icon
}

TEST(ResourceLookup, BytesAreStableBetweenLookups) {
    auto first = platform::FindResource("BITMAP", "CHAR_BMP");
    auto second = platform::FindResource("BITMAP", "CHAR_BMP");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->data(), second->data());
    EXPECT_EQ(first->size(), second->size());
}

}  // namespace
