// The sprite script: tokens with their positions, the grammar's optional parts, and
// every error with the position it is shown at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sprites/script.h"

using namespace sprites;

namespace {

struct Recorder : ScriptTarget {
    std::vector<std::string> bitmaps;
    std::vector<SurfaceStatement> surfaces;
    bool refuseBitmap = false, refuseSurface = false;
    bool AddBitmap(const std::string& name) override {
        bitmaps.push_back(name);
        return !refuseBitmap;
    }
    bool AddSurface(const SurfaceStatement& s) override {
        surfaces.push_back(s);
        return !refuseSurface;
    }
};

// Tokens as "w:text@line:col" or "n:value@line:col".
std::vector<std::string> Describe(std::string_view text) {
    ScriptSymbols().clear();
    InternKeywords();
    std::vector<std::string> out;
    for (const ScriptToken& t : TokenizeScript(text)) {
        out.push_back((t.kind == kWordToken ? "w:" + ScriptSymbols()[t.value]
                                            : "n:" + std::to_string(t.value)) +
                      "@" + std::to_string(t.line) + ":" + std::to_string(t.column));
    }
    ScriptSymbols().clear();
    return out;
}

ScriptError Fails(std::string_view text, Recorder* r = nullptr) {
    Recorder local;
    ScriptError e;
    EXPECT_FALSE(RunScript(text, r ? *r : local, &e)) << text;
    return e;
}

const char kBuiltIn[] =
    "LoadRes CHAR_BMP\r\n"
    "Surface BALL   (  0,300)  (186  22) (186 22)\r\n"
    "Surface DUMMY1 (  0,  0)  (  1   1) ( 1  1)\r\n"
    "Surface DUMMY2 (  0,  0)  (  1   1) ( 1  1)\r\n"
    "Surface DUMMY3 (  0,  0)  (  1   1) ( 1  1)\r\n"
    "Surface STR    (  0,  0)  (200 299) (24+1 24+1)\r\n";

}  // namespace

TEST(Tokenizer, NumbersWordsAndPunctuationFollowTheCharacterClasses) {
    EXPECT_EQ(Describe("24+1 "), (std::vector<std::string>{"n:24@1:1", "w:+@1:3", "n:1@1:4"}));
    EXPECT_EQ(Describe("5-3 "), (std::vector<std::string>{"n:5@1:1", "n:-3@1:2"}));
    EXPECT_EQ(Describe("- "), (std::vector<std::string>{"n:0@1:1"}));
    EXPECT_EQ(Describe("12ab3 "), (std::vector<std::string>{"n:12@1:1"}));
    EXPECT_EQ(Describe("ab-3 "), (std::vector<std::string>{"w:ab@1:1", "n:-3@1:3"}));
    EXPECT_EQ(Describe("(( "), (std::vector<std::string>{"w:(@1:1", "w:(@1:2"}));
    EXPECT_EQ(Describe("x*y "), (std::vector<std::string>{"w:x@1:1", "w:*y@1:3"}));
    EXPECT_EQ(Describe("_a9 "), (std::vector<std::string>{"w:_a9@1:1"}));
}

TEST(Tokenizer, LinesColumnsCommentsAndTheLastToken) {
    EXPECT_EQ(Describe("a\r\n\tb ; c d\n e"),
              (std::vector<std::string>{"w:a@1:1", "w:b@2:2"}));  // "e" ends the text open
    EXPECT_EQ(Describe("x)"), (std::vector<std::string>{"w:x@1:1"}));
    EXPECT_EQ(Describe("x)\n"), (std::vector<std::string>{"w:x@1:1", "w:)@1:2"}));
    EXPECT_EQ(Describe("4294967297 "), (std::vector<std::string>{"n:1@1:1"}));  // wraps
    EXPECT_EQ(Describe("\x80\xff "), (std::vector<std::string>{}));
}

TEST(Tokenizer, LongTokensKeepTheirFirst63Characters) {
    const std::string word(80, 'q');
    ScriptSymbols().clear();
    InternKeywords();
    const auto tokens = TokenizeScript(word + " ");
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(ScriptSymbols()[tokens[0].value], std::string(63, 'q'));
    ScriptSymbols().clear();
}

TEST(Grammar, TheBuiltInScriptMakesItsFiveSurfaces) {
    Recorder r;
    ScriptError e;
    ASSERT_TRUE(RunScript(kBuiltIn, r, &e)) << FormatScriptError(e);
    EXPECT_EQ(r.bitmaps, std::vector<std::string>{"CHAR_BMP"});
    ASSERT_EQ(r.surfaces.size(), 5u);
    const SurfaceStatement& ball = r.surfaces[0];
    EXPECT_EQ(ball.name, "BALL");
    EXPECT_EQ(ball.y, 300);
    EXPECT_EQ(ball.width, 186);
    EXPECT_EQ(ball.cellWidth, 186);
    EXPECT_EQ(ball.gapX, 0);
    const SurfaceStatement& str = r.surfaces[4];
    EXPECT_EQ(str.name, "STR");
    EXPECT_EQ(str.height, 299);
    EXPECT_EQ(str.cellWidth, 24);
    EXPECT_EQ(str.gapX, 1);
    EXPECT_EQ(str.cellHeight, 24);
    EXPECT_EQ(str.gapY, 1);
    EXPECT_TRUE(ScriptSymbols().empty());
}

TEST(Grammar, OptionalPartsAndStatementsAcrossLines) {
    Recorder r;
    ScriptError e;
    ASSERT_TRUE(RunScript("LoadRes A LoadRes B Surface preload vram preload (1,-2)\n"
                          "; comment\n(3 ; more\n 4)\n"
                          "Surface ( (5,6) (7 8) (1 2+)\n",
                          r, &e))
        << FormatScriptError(e);
    EXPECT_EQ(r.bitmaps, (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(r.surfaces.size(), 2u);
    // The first word after "Surface" is its name, even a keyword; options may repeat.
    EXPECT_EQ(r.surfaces[0].name, "preload");
    EXPECT_TRUE(r.surfaces[0].preload && r.surfaces[0].vram && !r.surfaces[0].memory);
    EXPECT_EQ(r.surfaces[0].y, -2);
    EXPECT_EQ(r.surfaces[0].cellWidth, 3);  // no pattern: the whole surface
    EXPECT_EQ(r.surfaces[0].cellHeight, 4);
    EXPECT_EQ(r.surfaces[1].name, "(");  // any word is a name, even "("
    EXPECT_EQ(r.surfaces[1].cellWidth, 1);
    EXPECT_EQ(r.surfaces[1].gapY, 0);  // "+" without a number: no gap
    EXPECT_EQ(r.surfaces[1].cellHeight, 2);
}

TEST(Grammar, EmptyScriptsSucceedWithNothing) {
    Recorder r;
    EXPECT_TRUE(RunScript("", r, nullptr));
    EXPECT_TRUE(RunScript("; only a comment\r\n;\r\n", r, nullptr));
    EXPECT_TRUE(r.surfaces.empty());
}

TEST(Grammar, ErrorsArePlacedAtTheFirstTokenNotTaken) {
    struct Case {
        const char* script;
        const char* message;
        int line, column;
    };
    const Case cases[] = {
        {"loadres X\n", "未知の文です。", 1, 1},
        {"LoadRes 5\n", "LoadResにBITMAPのリソース名がありません", 1, 9},
        {"Surface A (0,0) (1 1)\n", "Surface文の前にLoadRes文が必要です", 1, 9},
        {"LoadRes B\nSurface A 0,0) (1 1)\n", "座標がありません", 2, 11},
        {"LoadRes B Surface 7 (0,0) (1 1)\n", "座標がありません", 1, 19},  // a number is left
        {"LoadRes B Surface A (x,0) (1 1)\n", "x座標がありません", 1, 22},
        {"LoadRes B Surface A (0 0) (1 1)\n", "座標の間には','が必要です", 1, 24},
        {"LoadRes B Surface A (0,) (1 1)\n", "y座標がありません", 1, 24},
        {"LoadRes B Surface A (0,0 (1 1)\n", "座標の後には')'が必要です", 1, 26},
        {"LoadRes B Surface A (0,0) 1 1)\n", "サーフェイスの大きさがありません", 1, 27},
        {"LoadRes B Surface A (0,0) (w 1)\n", "サーフェイスの幅がありません", 1, 28},
        {"LoadRes B Surface A (0,0) (1,1)\n", "サーフェイスの高さがありません", 1, 29},
        {"LoadRes B Surface A (0,0) (1 1 (\n", "サーフェイスの大きさの後には')'が必要です", 1, 32},
        {"LoadRes B Surface A (0,0) (1 1) (+)\n", "パターンの幅がありません", 1, 34},
        {"LoadRes B Surface A (0,0) (1 1) (1+1)\n", "パターンの高さがありません", 1, 37},
        {"LoadRes B Surface A (0,0) (1 1) (1 1 1)\n", "パターンの大きさの後には')'が必要です", 1, 38},
    };
    for (const Case& c : cases) {
        const ScriptError e = Fails(c.script);
        EXPECT_EQ(e.message, c.message) << c.script;
        EXPECT_EQ(e.line, c.line) << c.script;
        EXPECT_EQ(e.column, c.column) << c.script;
    }
}

TEST(Grammar, RefusalsOfTheTargetAndTheErrorText) {
    Recorder bitmap;
    bitmap.refuseBitmap = true;
    ScriptError e = Fails("LoadRes NOPE Surface\n", &bitmap);
    EXPECT_EQ(e.message, "NOPE: リソースがみつかりません");
    EXPECT_EQ(e.column, 14);  // the token after the name

    Recorder surface;
    surface.refuseSurface = true;
    e = Fails("LoadRes B Surface A (0,0) (1 1) LoadRes C\n", &surface);
    EXPECT_EQ(e.message, "サーフェイスが作成できません");
    EXPECT_EQ(e.column, 33);

    // A final ")" without a line break after it is lost; where no token is left, the
    // last token's place is shown.
    e = Fails("LoadRes B Surface A (0,0) (1 1)");
    EXPECT_EQ(e.message, "サーフェイスの大きさの後には')'が必要です");
    EXPECT_EQ(e.column, 30);

    EXPECT_EQ(FormatScriptError(ScriptError{3, 7, "未知の文です。"}), "3行 (7): 未知の文です。。\n");
    EXPECT_TRUE(ScriptSymbols().empty());
}
