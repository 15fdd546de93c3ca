// The sprite script's tokenizer and parser.
#include "sprites/script.h"

#include <cstdio>

namespace sprites {

namespace {

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsWordChar(unsigned char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
bool IsPunctuation(unsigned char c) { return c == '(' || c == ')' || c == ',' || c == '+'; }

// Decimal conversion: leading spaces, an optional sign, digits; wraps in 32 bits.
std::int32_t ToNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint32_t n = 0;
    while (i < text.size() && IsDigit(static_cast<unsigned char>(text[i]))) {
        n = n * 10u + static_cast<std::uint32_t>(text[i++] - '0');
    }
    if (negative) n = 0u - n;
    return static_cast<std::int32_t>(n);
}

// UTF-8 texts of the messages.
constexpr const char* kUnknownStatement = "未知の文です。";
constexpr const char* kNoResourceName = "LoadResにBITMAPのリソース名がありません";
constexpr const char* kResourceNotFound = ": リソースがみつかりません";
constexpr const char* kLoadResFirst = "Surface文の前にLoadRes文が必要です";
constexpr const char* kNoCoordinates = "座標がありません";
constexpr const char* kNoX = "x座標がありません";
constexpr const char* kNoComma = "座標の間には','が必要です";
constexpr const char* kNoY = "y座標がありません";
constexpr const char* kNoCloseAfterCoordinates = "座標の後には')'が必要です";
constexpr const char* kNoSize = "サーフェイスの大きさがありません";
constexpr const char* kNoWidth = "サーフェイスの幅がありません";
constexpr const char* kNoHeight = "サーフェイスの高さがありません";
constexpr const char* kNoCloseAfterSize = "サーフェイスの大きさの後には')'が必要です";
constexpr const char* kNoCellWidth = "パターンの幅がありません";
constexpr const char* kNoCellHeight = "パターンの高さがありません";
constexpr const char* kNoCloseAfterPattern = "パターンの大きさの後には')'が必要です";
constexpr const char* kCannotCreateSurface = "サーフェイスが作成できません";

class Parser {
public:
    Parser(const std::vector<ScriptToken>& tokens, ScriptTarget& target, ScriptError* error)
        : t_(tokens), target_(target), error_(error) {}

    bool Run() {
        while (pos_ < t_.size()) {
            if (IsWord(kLoadRes)) {
                ++pos_;
                if (!LoadRes()) return false;
            } else if (IsWord(kSurface)) {
                ++pos_;
                if (!Surface()) return false;
            } else {
                return Fail(kUnknownStatement);
            }
        }
        return true;
    }

private:
    bool AtEnd() const { return pos_ >= t_.size(); }
    bool IsWord(std::int32_t keyword) const {
        return !AtEnd() && t_[pos_].kind == kWordToken && t_[pos_].value == keyword;
    }
    bool IsAnyWord() const { return !AtEnd() && t_[pos_].kind == kWordToken; }
    bool IsNumber() const { return !AtEnd() && t_[pos_].kind == kNumberToken; }
    std::string Text(const ScriptToken& token) const {
        const auto& symbols = ScriptSymbols();
        const auto i = static_cast<std::size_t>(token.value);
        return i < symbols.size() ? symbols[i] : std::string();
    }

    // Reports at the first token not yet taken; past the last token, at the last one.
    bool Fail(const std::string& message) {
        if (error_) {
            const ScriptToken* at = !AtEnd() ? &t_[pos_] : (t_.empty() ? nullptr : &t_.back());
            error_->line = at ? at->line : 1;
            error_->column = at ? at->column : 1;
            error_->message = message;
        }
        return false;
    }

    bool Number(std::int32_t* out, const char* message) {
        if (!IsNumber()) return Fail(message);
        *out = t_[pos_++].value;
        return true;
    }

    bool Expect(std::int32_t keyword, const char* message) {
        if (!IsWord(keyword)) return Fail(message);
        ++pos_;
        return true;
    }

    // An optional "+ gap": a "+" without a number after it gives 0.
    void OptionalGap(std::int32_t* gap) {
        *gap = 0;
        if (!IsWord(kPlus)) return;
        ++pos_;
        if (IsNumber()) *gap = t_[pos_++].value;
    }

    bool LoadRes() {
        if (!IsAnyWord()) return Fail(kNoResourceName);
        const std::string name = Text(t_[pos_++]);
        if (!target_.AddBitmap(name)) return Fail(name + kResourceNotFound);
        haveBitmap_ = true;
        return true;
    }

    bool Surface() {
        if (!haveBitmap_) return Fail(kLoadResFirst);
        SurfaceStatement s;
        if (IsAnyWord()) s.name = Text(t_[pos_++]);
        for (;;) {
            if (IsWord(kVram)) {
                s.vram = true;
            } else if (IsWord(kMemory)) {
                s.memory = true;
            } else if (IsWord(kPreload)) {
                s.preload = true;
            } else {
                break;
            }
            ++pos_;
        }
        if (!Expect(kOpen, kNoCoordinates) || !Number(&s.x, kNoX) || !Expect(kComma, kNoComma) ||
            !Number(&s.y, kNoY) || !Expect(kClose, kNoCloseAfterCoordinates)) {
            return false;
        }
        if (!Expect(kOpen, kNoSize) || !Number(&s.width, kNoWidth) ||
            !Number(&s.height, kNoHeight) || !Expect(kClose, kNoCloseAfterSize)) {
            return false;
        }
        if (IsWord(kOpen)) {
            ++pos_;
            if (!Number(&s.cellWidth, kNoCellWidth)) return false;
            OptionalGap(&s.gapX);
            if (!Number(&s.cellHeight, kNoCellHeight)) return false;
            OptionalGap(&s.gapY);
            if (!Expect(kClose, kNoCloseAfterPattern)) return false;
        } else {
            s.cellWidth = s.width;
            s.cellHeight = s.height;
        }
        if (!target_.AddSurface(s)) return Fail(kCannotCreateSurface);
        return true;
    }

    const std::vector<ScriptToken>& t_;
    ScriptTarget& target_;
    ScriptError* error_;
    std::size_t pos_ = 0;
    bool haveBitmap_ = false;
};

}  // namespace

std::vector<std::string>& ScriptSymbols() {
    static std::vector<std::string> symbols;
    return symbols;
}

std::int32_t InternSymbol(std::string_view text) {
    auto& symbols = ScriptSymbols();
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        if (symbols[i] == text) return static_cast<std::int32_t>(i);
    }
    symbols.emplace_back(text);
    return static_cast<std::int32_t>(symbols.size() - 1);
}

void InternKeywords() {
    for (const char* k : {"LoadRes", "Surface", "(", ")", ",", "memory", "vram", "preload", "+"}) {
        InternSymbol(k);
    }
}

std::vector<ScriptToken> TokenizeScript(std::string_view text) {
    std::vector<ScriptToken> tokens;
    std::int32_t line = 1, column = 0;
    bool comment = false;
    bool open = false, punctuation = false;
    ScriptToken token{};
    std::string buffer;

    for (const char c : text) {
        const auto ch = static_cast<unsigned char>(c);
        ++column;
        if (!comment) {
            bool startable = false;
            if (open && !punctuation && IsWordChar(ch)) {
                // continues the open token
            } else if (!open && IsWordChar(ch)) {
                startable = true;
            } else {
                if (open) {
                    token.value = token.kind == kWordToken ? InternSymbol(buffer) : ToNumber(buffer);
                    tokens.push_back(token);
                    buffer.clear();
                    open = false;
                }
                startable = true;
            }
            if (startable) {
                if (ch == ';') {
                    comment = true;
                } else {
                    if (IsPunctuation(ch) || IsDigit(ch) || ch == '-' || IsLetter(ch) ||
                        ch == '_') {
                        open = true;
                        punctuation = IsPunctuation(ch);
                        token = ScriptToken{punctuation || IsLetter(ch) || ch == '_'
                                                ? kWordToken
                                                : kNumberToken,
                                            0, line, column};
                    }
                }
            }
            if (!comment && !IsSpace(ch) && buffer.size() < kTokenTextLimit) buffer.push_back(c);
        }
        if (ch == '\n') {
            ++line;
            column = 0;
            comment = false;
        }
    }
    // A token still open when the text ends is dropped.
    return tokens;
}

bool ParseScript(const std::vector<ScriptToken>& tokens, ScriptTarget& target,
                 ScriptError* error) {
    return Parser(tokens, target, error).Run();
}

std::string FormatScriptError(const ScriptError& e) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%d行 (%d): ", e.line, e.column);
    return numbers + e.message + "。\n";
}

bool RunScript(std::string_view text, ScriptTarget& target, ScriptError* error) {
    InternKeywords();
    const std::vector<ScriptToken> tokens = TokenizeScript(text);
    const bool ok = tokens.empty() || ParseScript(tokens, target, error);
    ScriptSymbols().clear();
    ScriptSymbols().shrink_to_fit();
    return ok;
}

}  // namespace sprites
