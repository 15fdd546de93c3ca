// Code pages: locale and keyboard language to code page, conversions both ways, with
// and without replacement, and the UTF-8 reader.
#include <gtest/gtest.h>

#include <string>

#include "platform/text/text.h"

using namespace platform;

TEST(CodePage, JapaneseLocalesGive932) {
    EXPECT_EQ(CodePageForLocale("ja_JP.UTF-8"), 932);
    EXPECT_EQ(CodePageForLocale("ja"), 932);
    EXPECT_EQ(CodePageForLocale("en_US.UTF-8"), 1252);
    EXPECT_EQ(CodePageForLocale("C"), 1252);
    EXPECT_EQ(CodePageForLocale(""), 1252);
}

TEST(CodePage, ConvertsBothWaysAndReplacesWhatDoesNotFit) {
    EXPECT_EQ(CodePageToUtf8("(\x82\xc8\x82\xb5)", 932), "(\xE3\x81\xAA\xE3\x81\x97)");  // (なし)
    EXPECT_EQ(CodePageToUtf8("caf\xe9", 1252), "caf\xC3\xA9");
    EXPECT_EQ(Utf8ToCodePage("\xE3\x81\xAA", 932), "\x82\xc8");
    EXPECT_EQ(Utf8ToCodePage("\xE3\x81\xAA", 1252), "?");
    // A lone lead byte of a double-byte character: replaced, and the rest goes on.
    EXPECT_EQ(CodePageToUtf8("a\x82", 932), "a\xEF\xBF\xBD");
}

TEST(Utf8, MalformedBytesBecomeReplacementCharacters) {
    std::string s = "a\xC3";
    std::size_t i = 0;
    EXPECT_EQ(NextCodePoint(s, i), U'a');
    EXPECT_EQ(NextCodePoint(s, i), 0xFFFDu);
    EXPECT_EQ(i, s.size());
    std::string e = "\xE6\x98\x8E";
    i = 0;
    EXPECT_EQ(NextCodePoint(e, i), 0x660Eu);
}

TEST(Utf8, DecodesEveryLengthAndRefusesWhatIsNotACharacter) {
    // Each case: bytes, then the characters read from them one after another.
    const struct {
        std::string bytes;
        std::u32string characters;
    } cases[] = {
        {"h\xC3\xB6r", U"h\u00F6r"},
        {"\xE2\x82\xAC\xF0\x9F\x98\x80", U"\u20AC\U0001F600"},
        {"\x80x", U"\uFFFDx"},                    // a stray continuation byte
        {"\xC0\xAFx", U"\uFFFD\uFFFDx"},          // an overlong '/'
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},  // a surrogate
        {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xE2\x82x", U"\uFFFD\uFFFDx"},          // cut short, then the next character
        {"\xFF\xFE", U"\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        std::u32string read;
        for (std::size_t i = 0; i < c.bytes.size();) read += NextCodePoint(c.bytes, i);
        EXPECT_EQ(read, c.characters) << c.bytes;
    }
}

TEST(CodePage, AKeyboardLayoutInJapaneseGives932) {
    EXPECT_EQ(CodePageForKeyboardLanguage(0x11), 932);  // LANG_JAPANESE
    EXPECT_EQ(CodePageForKeyboardLanguage(0x09), 1252);  // LANG_ENGLISH
    EXPECT_EQ(CodePageForKeyboardLanguage(0x04), 1252);  // LANG_CHINESE
}

// The five bytes 1252 leaves unused, and the C1 controls, have no counterpart: a
// text reads and writes the same whatever the system's own tables say of them.
TEST(CodePage, TheUnusedBytesOf1252AreNoCharacters) {
    for (const char* unused : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"}) {
        EXPECT_EQ(CodePageToUtf8(std::string("a") + unused + "b", 1252), "a\xEF\xBF\xBD" "b");
        std::string out = "kept";
        EXPECT_FALSE(CodePageToUtf8Exact(unused, 1252, &out));
        EXPECT_EQ(out, "kept");
    }
    std::string out = "kept";
    EXPECT_FALSE(Utf8ToCodePageExact("\xC2\x81", 1252, &out));  // U+0081
    EXPECT_EQ(out, "kept");
    EXPECT_EQ(Utf8ToCodePage("a\xC2\x81" "b", 1252), "a?b");
    // Its neighbours are characters: the euro sign and the curly quotes.
    ASSERT_TRUE(CodePageToUtf8Exact("\x80\x93", 1252, &out));
    EXPECT_EQ(out, "\xE2\x82\xAC\xE2\x80\x9C");
}

// The exact conversions take all or nothing, and never a look-alike: a character the
// code page lacks is refused, not swapped for one that resembles it.
TEST(CodePage, ExactConversionsRefuseWhatHasNoFormAndTakeNoLookAlike) {
    std::string out;
    ASSERT_TRUE(Utf8ToCodePageExact("caf\xC3\xA9 \xE2\x82\xAC", 1252, &out));
    EXPECT_EQ(out, "caf\xE9 \x80");
    ASSERT_TRUE(Utf8ToCodePageExact("\xE3\x81\xAA\xE3\x81\x97 A", 932, &out));  // なし A
    EXPECT_EQ(out, "\x82\xC8\x82\xB5 A");
    out = "kept";
    EXPECT_FALSE(Utf8ToCodePageExact("\xC4\x81", 1252, &out));  // ā, whose look-alike is a
    EXPECT_FALSE(Utf8ToCodePageExact("\xE3\x81\xAA", 1252, &out));
    EXPECT_FALSE(Utf8ToCodePageExact("ok\xC3", 1252, &out));  // cut short
    EXPECT_EQ(out, "kept");
    EXPECT_EQ(Utf8ToCodePage("\xC4\x81", 1252), "?");
    ASSERT_TRUE(CodePageToUtf8Exact("\x82\xC8 x", 932, &out));
    EXPECT_EQ(out, "\xE3\x81\xAA x");
    out = "kept";
    EXPECT_FALSE(CodePageToUtf8Exact("x\x82", 932, &out));  // a lead byte alone at the end
    EXPECT_EQ(out, "kept");
}
