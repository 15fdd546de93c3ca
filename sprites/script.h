// The sprite script: a small text language among the program's resources that names
// bitmap resources and cuts rectangles out of them into drawing surfaces. This is
// its tokenizer, its parser and the load that runs them on the surface set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sprites {

struct ScriptToken {
    std::int32_t kind;    // 1 for a word (punctuation included), 0 for a number
    std::int32_t value;   // a word's index in ScriptSymbols, or the number
    std::int32_t line;    // from 1
    std::int32_t column;  // from 1
};

inline constexpr std::int32_t kWordToken = 1;
inline constexpr std::int32_t kNumberToken = 0;
// A token keeps at most this many characters of its text.
inline constexpr std::size_t kTokenTextLimit = 63;

// The interned word texts of the load in progress; emptied after every load.
std::vector<std::string>& ScriptSymbols();
// The index of the text, appending it when new.
std::int32_t InternSymbol(std::string_view text);
// Interns the nine keywords, in their fixed order.
void InternKeywords();

enum Keyword : std::int32_t {
    kLoadRes = 0,
    kSurface = 1,
    kOpen = 2,     // "("
    kClose = 3,    // ")"
    kComma = 4,    // ","
    kMemory = 5,
    kVram = 6,
    kPreload = 7,
    kPlus = 8,     // "+"
};

// Tokenizes a script's bytes; words are interned into ScriptSymbols.
std::vector<ScriptToken> TokenizeScript(std::string_view text);

// A Surface statement as the parser hands it over.
struct SurfaceStatement {
    std::string name;  // may be empty
    bool vram = false;
    bool memory = false;
    bool preload = false;
    std::int32_t x = 0, y = 0;
    std::int32_t width = 0, height = 0;
    std::int32_t cellWidth = 0, cellHeight = 0;
    std::int32_t gapX = 0, gapY = 0;
};

// What the statements do: load a bitmap, add a surface cut from the current one.
class ScriptTarget {
public:
    virtual ~ScriptTarget() = default;
    virtual bool AddBitmap(const std::string& name) = 0;
    virtual bool AddSurface(const SurfaceStatement& statement) = 0;
};

struct ScriptError {
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::string message;  // UTF-8
};

// Runs the statements on the target. False, with the first error, when a
// statement is wrong or the target refuses it.
bool ParseScript(const std::vector<ScriptToken>& tokens, ScriptTarget& target, ScriptError* error);

// The text of the error box: "%d行 (%d): %s。\n".
std::string FormatScriptError(const ScriptError& error);

// The title of the error box.
inline constexpr const char* kScriptErrorTitle =
    "\xE3\x83\x91\xE3\x82\xBF\xE3\x83\xBC\xE3\x83\xB3\xE5\xAE\x9A\xE7\xBE\xA9\xE3\x82\xB9\xE3\x82"
    "\xAF\xE3\x83\xAA\xE3\x83\x97\xE3\x83\x88\xE3\x81\xAE\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC";

// Tokenizes and runs a script's text: keywords interned first, symbols emptied after.
// False with the error when it fails; an empty text or one of comments succeeds.
bool RunScript(std::string_view text, ScriptTarget& target, ScriptError* error);

}  // namespace sprites
