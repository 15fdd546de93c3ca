// The X-file reader: tokens and numbers of the text and binary encodings, over the
// file's bytes (compressed files are inflated first, by InflateMszip). Used by the
// parser in xfile.cpp alone.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::rm::xfile {

enum class Tok { End, Error, Name, String, Number, OBrace, CBrace, Sep, Guid, Template, Other };

struct Token {
    Tok kind = Tok::End;
    std::string_view text;
};

// Binary token ids.
enum : uint16_t {
    kTName = 1, kTString = 2, kTInteger = 3, kTGuid = 5, kTIntList = 6, kTFloatList = 7,
    kTOBrace = 0x0a, kTCBrace = 0x0b, kTComma = 0x13, kTSemicolon = 0x14, kTTemplate = 0x1f,
};

inline bool NameChar(uint8_t c) {
    static constexpr auto kTable = [] {
        std::array<bool, 256> t{};
        for (int i = 0x21; i < 0x7f; ++i) t[i] = true;
        for (char x : std::string_view("{}<>;,\"'()[]")) t[uint8_t(x)] = false;
        return t;
    }();
    return kTable[c];
}

// Gives the whole pages between from and to back to the system; reading them again
// gives zeros. Nothing where that is not possible.
void DiscardPages(const uint8_t* from, const uint8_t* to);

class Reader {
public:
    Reader(std::span<const uint8_t> d, bool binary, int float_bytes)
        : d_(d), binary_(binary), float_bytes_(float_bytes) {}
    // The data's memory is the reader's to give back as it goes (DiscardRead).
    void AllowDiscarding() { discard_ = true; }

    // Gives the memory of the data already read back to the system, in whole pages
    // and a megabyte at a time, when the data is the reader's to give: a model then
    // costs little more than its file at its peak. Called between numbers of a data
    // list, where nothing before the read position is looked at again.
    void DiscardRead() {
        if (!discard_) return;
        const size_t upto = list_left_ > 0 ? size_t(list_p_ - d_.data()) : p_;
        if (upto < discarded_ + kDiscardStep) return;
        DiscardPages(d_.data() + discarded_, d_.data() + upto);
        discarded_ = upto;
    }

    size_t Remaining() const { return d_.size() - p_; }
    bool Binary() const { return binary_; }
    const std::string& Error() const { return error_; }
    bool Fail(const std::string& why) {
        if (error_.empty()) error_ = why;
        return false;
    }

    // The next structural token. Any unread part of a binary number list is dropped.
    Token Next() {
        list_left_ = 0;
        return binary_ ? NextBinary() : NextText();
    }
    Token Peek() {
        const size_t p = p_;
        const uint32_t left = list_left_;
        const uint8_t* lp = list_p_;
        const bool lf = list_float_;
        Token t = Next();
        p_ = p;
        list_left_ = left;
        list_p_ = lp;
        list_float_ = lf;
        return t;
    }

    // The next number of a data list, skipping separators.
    bool Number(double& v) {
        if (binary_) return BinaryNumber(v);
        while (true) {
            SkipSpace();
            if (p_ >= d_.size()) return Fail("file ends inside a data list");
            const uint8_t c = d_[p_];
            if (c == ';' || c == ',') {
                ++p_;
                continue;
            }
            return TextNumber(v);
        }
    }
    bool Float(float& f) {
        if (!binary_ && PlainTextFloat(f)) return true;
        double v;
        if (!Number(v)) return false;
        f = std::isfinite(v) ? float(v) : 0.0f;
        if (!std::isfinite(f)) f = 0.0f;
        return true;
    }
    // n floats into out (n * 4 bytes, any alignment), each as Float reads it. The
    // rest of a binary list of 32-bit floats is copied whole: the data is already
    // the numbers.
    bool Floats(uint8_t* out, size_t n) {
        while (n > 0) {
            if (list_left_ > 0 && list_float_ && float_bytes_ == 4) {
                const size_t k = std::min<size_t>(n, list_left_);
                std::memcpy(out, list_p_, k * 4);
                ZeroNonFinite(out, k);
                list_p_ += k * 4;
                list_left_ -= uint32_t(k);
                out += k * 4;
                n -= k;
                continue;
            }
            float f;
            if (!(!binary_ && PlainTextFloat(f)) && !Float(f)) return false;
            std::memcpy(out, &f, 4);
            out += 4;
            --n;
        }
        return true;
    }
    // n counts or indices, each handed to take (which returns false to stop with
    // the reason it gave). The rest of a binary integer list is read in place.
    template <class Take>
    bool Counts(uint32_t n, Take take) {
        while (n > 0) {
            if (list_left_ > 0 && !list_float_) {
                const uint32_t k = std::min(n, list_left_);
                const uint8_t* p = list_p_;
                list_p_ += size_t(k) * 4;
                list_left_ -= k;
                n -= k;
                for (uint32_t i = 0; i < k; ++i, p += 4) {
                    uint32_t v;
                    std::memcpy(&v, p, 4);
                    if (!take(v)) return false;
                }
                continue;
            }
            uint32_t v;
            if (!(!binary_ && PlainTextCount(v)) && !Count(v)) return false;
            if (!take(v)) return false;
            --n;
        }
        return true;
    }
    // Whether the data can hold n more numbers in this encoding: in binary each takes
    // at least 4 bytes, so storage for them is bounded by the file. Text says no:
    // its storage grows with what is read.
    bool CanHoldNumbers(uint64_t n) const { return binary_ && n * 4 <= BytesLeft(); }
    // The bytes still to be read, the rest of a binary number list included.
    uint64_t BytesLeft() const {
        return Remaining() + uint64_t(list_left_) * (list_float_ ? uint64_t(float_bytes_) : 4u);
    }
    bool Count(uint32_t& n) {
        if (!binary_ && PlainTextCount(n)) return true;
        double v;
        if (!Number(v)) return false;
        if (!(v >= 0) || v > 4294967295.0 || v != std::floor(v)) return Fail("bad count or index");
        n = uint32_t(v);
        return true;
    }
    // A string member (quoted in text), skipping separators before it.
    bool String(std::string& s) {
        Token t;
        do t = Next();
        while (t.kind == Tok::Sep);
        if (t.kind != Tok::String && t.kind != Tok::Name) return Fail("expected a string");
        s.assign(t.text);
        return true;
    }

    // After '{' was read: consumes up to and including the matching '}'.
    bool SkipBody() {
        int depth = 1;
        while (depth > 0) {
            const Token t = Next();
            if (t.kind == Tok::OBrace) ++depth;
            else if (t.kind == Tok::CBrace) --depth;
            else if (t.kind == Tok::End) return Fail("file ends inside an object");
            else if (t.kind == Tok::Error) return false;
        }
        return true;
    }

    // Smallest number of bytes one number can take in this encoding.
    size_t MinNumberBytes() const { return binary_ ? 4 : 1; }
    // The same for numbers followed by more data: in text a separator comes too.
    // Reservations use it, so a count cannot make them exceed twice the text left.
    size_t ReserveBytesPerNumber() const { return binary_ ? 4 : 2; }

private:
    // Reads at most max decimal digits at p onto v (v * 10 per digit, plus it),
    // eight at a time where eight bytes remain; the number of digits read.
    [[gnu::always_inline]] int ReadDigits(size_t& p, int max, uint64_t& v) const {
        static constexpr uint64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
        const uint8_t* d = d_.data();
        const size_t e = d_.size();
        int got = 0;
        while (got < max && e - p >= 8) {
            uint64_t chunk;
            std::memcpy(&chunk, d + p, 8);
            // Each byte less '0': a byte that is no digit sets its top bit here or
            // in chunk + 0x46 (above '9'). Bytes after the first such one are not used.
            const uint64_t digits = chunk - 0x3030303030303030ull;
            const uint64_t other = (digits | (chunk + 0x4646464646464646ull)) & 0x8080808080808080ull;
            const int n = std::min(other ? __builtin_ctzll(other) / 8 : 8, max - got);
            if (n == 0) return got;
            // The n digits to the top bytes, zeros before them; then pairs of digits,
            // and the four pairs into one number.
            uint64_t x = digits << (8 * (8 - n));
            x = x * 10 + (x >> 8);
            x = (((x & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
                 (((x >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >> 32;
            v = v * kScale[n] + x;
            p += size_t(n);
            got += n;
            if (n < 8) return got;
        }
        while (got < max && p < e && d[p] >= '0' && d[p] <= '9') {
            v = v * 10 + (d[p++] - '0');
            ++got;
        }
        return got;
    }

    static void ZeroNonFinite(uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i, p += 4) {
            uint32_t u;
            std::memcpy(&u, p, 4);
            if ((u & 0x7f800000u) == 0x7f800000u) std::memset(p, 0, 4);
        }
    }

    // Counts and indices are most of a text model's numbers: a plain run of digits
    // after separators is read here; false (nothing consumed) for anything else,
    // which Number reads.
    [[gnu::always_inline]] bool PlainTextCount(uint32_t& n) {
        const uint8_t* d = d_.data();
        const size_t e = d_.size();
        size_t p = p_;
        while (p < e && (d[p] <= 0x20 || d[p] == ';' || d[p] == ',')) ++p;
        uint64_t v = 0;
        if (ReadDigits(p, 10, v) == 0 || v > 0xffffffffu || (p < e && !EndsNumber(d[p]))) return false;
        n = uint32_t(v);
        p_ = p;
        return true;
    }
    static bool EndsNumber(uint8_t c) {
        return !((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '#' || c == '/');
    }

    // The common text float, "-12.345678" after separators, read in one pass; false
    // (nothing consumed) for anything else, which Number reads.
    [[gnu::always_inline]] bool PlainTextFloat(float& f) {
        const uint8_t* d = d_.data();
        const size_t e = d_.size();
        size_t p = p_;
        while (p < e && (d[p] <= 0x20 || d[p] == ';' || d[p] == ',')) ++p;
        const bool neg = p < e && d[p] == '-';
        p += neg;
        uint64_t iv = 0;
        // At most 15 digits: then the mantissa is an exact double, and one division by
        // an exact power of ten rounds as strtod does.
        int digits = ReadDigits(p, 15, iv), frac = 0;
        if (p < e && d[p] == '.') {
            ++p;
            frac = ReadDigits(p, 15 - digits, iv);
            digits += frac;
        }
        if (digits == 0 || (p < e && !EndsNumber(d[p]))) return false;
        static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                            1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
        const double v = double(iv) / kPow10[frac];
        f = float(neg ? -v : v);
        p_ = p;
        return true;
    }

    void SkipSpace() {
        while (p_ < d_.size()) {
            const uint8_t c = d_[p_];
            if (c <= 0x20) {
                ++p_;
            } else if (c == '#' || (c == '/' && p_ + 1 < d_.size() && d_[p_ + 1] == '/')) {
                while (p_ < d_.size() && d_[p_] != '\n') ++p_;
            } else {
                break;
            }
        }
    }

    bool TextNumber(double& v, bool report = true) {
        const char* b = reinterpret_cast<const char*>(d_.data()) + p_;
        const char* e = reinterpret_cast<const char*>(d_.data()) + d_.size();
        const char* s = b;
        if (s < e && *s == '+') ++s;
        // Integers are the common case for counts and indices: parse them directly.
        const char* q = s;
        bool neg = false;
        if (q < e && *q == '-') {
            neg = true;
            ++q;
        }
        const char* digits = q;
        uint64_t iv = 0;
        while (q < e && *q >= '0' && *q <= '9' && q - digits < 18) iv = iv * 10 + uint64_t(*q++ - '0');
        const auto ends_number = [e](const char* at) {
            return at == e || (*at != '.' && *at != 'e' && *at != 'E' && !(*at >= '0' && *at <= '9') && *at != '#');
        };
        if (q > digits && ends_number(q)) {
            v = neg ? -double(iv) : double(iv);
            p_ += size_t(q - b);
            return true;
        }
        // Plain decimals ("-12.345678") are most of a model: with at most 15 digits
        // the mantissa and the power of ten are exact doubles, so one division
        // rounds correctly. Anything else goes to from_chars.
        if (q < e && *q == '.') {
            const char* f = q + 1;
            const char* frac = f;
            while (f < e && *f >= '0' && *f <= '9' && (q - digits) + (f - frac) < 15) iv = iv * 10 + uint64_t(*f++ - '0');
            if ((q > digits || f > frac) && ends_number(f)) {
                static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
                                                    1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
                v = double(iv) / kPow10[f - frac];
                if (neg) v = -v;
                p_ += size_t(f - b);
                return true;
            }
        }
        auto [end, ec] = std::from_chars(s, e, v);
        if (ec == std::errc::result_out_of_range) {
            v = 0;
        } else if (ec != std::errc()) {
            return report ? Fail("expected a number") : false;
        }
        // Windows printf spells non-numbers as 1.#QNAN0, -1.#IND00 or 1.#INF00.
        if (end < e && *end == '#') {
            v = 0;
            ++end;
            while (end < e && std::isalnum(static_cast<unsigned char>(*end))) ++end;
        }
        p_ += size_t(end - b);
        return true;
    }

    Token NextText() {
        SkipSpace();
        if (p_ >= d_.size()) return {Tok::End, {}};
        const char* base = reinterpret_cast<const char*>(d_.data());
        const uint8_t c = d_[p_];
        switch (c) {
            case '{': ++p_; return {Tok::OBrace, {}};
            case '}': ++p_; return {Tok::CBrace, {}};
            case ';':
            case ',': ++p_; return {Tok::Sep, {}};
            case '"': {
                const size_t start = ++p_;
                while (p_ < d_.size() && d_[p_] != '"') ++p_;
                if (p_ >= d_.size()) {
                    Fail("file ends inside a string");
                    return {Tok::Error, {}};
                }
                return {Tok::String, {base + start, p_++ - start}};
            }
            case '<': {
                const size_t start = p_;
                while (p_ < d_.size() && d_[p_] != '>') ++p_;
                if (p_ >= d_.size()) {
                    Fail("file ends inside a GUID");
                    return {Tok::Error, {}};
                }
                ++p_;
                return {Tok::Guid, {base + start, p_ - start}};
            }
            default: break;
        }
        if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') {
            const size_t start = p_;
            // Numbers skipped with an object (animations, skin weights) are most of
            // some files: a plain one is only scanned, not converted.
            size_t p = p_ + (c == '-');
            uint64_t ignored = 0;
            int digits = ReadDigits(p, 15, ignored);
            if (p < d_.size() && d_[p] == '.') {
                ++p;
                digits += ReadDigits(p, 15 - digits, ignored);
            }
            if (digits > 0 && (p == d_.size() || EndsNumber(d_[p]))) {
                p_ = p;
                return {Tok::Number, {base + start, p_ - start}};
            }
            double v;
            if (TextNumber(v, false)) return {Tok::Number, {base + start, p_ - start}};
            ++p_;  // a lone '.', as in a template's "[...]"
            return {Tok::Other, {}};
        }
        if (NameChar(c)) {
            const size_t start = p_;
            while (p_ < d_.size() && NameChar(d_[p_])) ++p_;
            return {Tok::Name, {base + start, p_ - start}};
        }
        ++p_;
        return {Tok::Other, {}};
    }

    bool Need(size_t n) {
        if (Remaining() < n) return Fail("file ends inside a binary token");
        return true;
    }
    uint16_t U16() {
        const uint16_t v = uint16_t(d_[p_] | d_[p_ + 1] << 8);
        p_ += 2;
        return v;
    }
    uint32_t U32() {
        uint32_t v;
        std::memcpy(&v, &d_[p_], 4);
        p_ += 4;
        return v;
    }

    Token NextBinary() {
        if (p_ >= d_.size()) return {Tok::End, {}};
        if (!Need(2)) return {Tok::Error, {}};
        const char* base = reinterpret_cast<const char*>(d_.data());
        const uint16_t id = U16();
        switch (id) {
            case kTName:
            case kTString: {
                if (!Need(4)) return {Tok::Error, {}};
                const uint32_t n = U32();
                if (!Need(n)) return {Tok::Error, {}};
                const std::string_view s(base + p_, n);
                p_ += n;
                if (id == kTString && Remaining() >= 2) {
                    const uint16_t term = uint16_t(d_[p_] | d_[p_ + 1] << 8);
                    if (term == kTSemicolon || term == kTComma) p_ += 2;
                }
                return {id == kTName ? Tok::Name : Tok::String, s};
            }
            case kTInteger:
                if (!Need(4)) return {Tok::Error, {}};
                p_ += 4;
                return {Tok::Number, {}};
            case kTGuid:
                if (!Need(16)) return {Tok::Error, {}};
                p_ += 16;
                return {Tok::Guid, {}};
            case kTIntList:
            case kTFloatList: {
                if (!Need(4)) return {Tok::Error, {}};
                const uint32_t n = U32();
                const size_t size = id == kTIntList ? 4 : size_t(float_bytes_);
                if (uint64_t(n) * size > Remaining()) {
                    Fail("number list is longer than the file");
                    return {Tok::Error, {}};
                }
                p_ += size_t(n) * size;
                return {Tok::Number, {}};
            }
            case kTOBrace: return {Tok::OBrace, {}};
            case kTCBrace: return {Tok::CBrace, {}};
            case kTComma:
            case kTSemicolon: return {Tok::Sep, {}};
            case kTTemplate: return {Tok::Template, {}};
            default:
                if (id >= 0x0c && id <= 0x34) return {Tok::Other, {}};
                Fail("unknown binary token");
                return {Tok::Error, {}};
        }
    }

    bool BinaryNumber(double& v) {
        while (list_left_ == 0) {
            if (!Need(2)) return false;
            const uint16_t id = uint16_t(d_[p_] | d_[p_ + 1] << 8);
            if (id == kTComma || id == kTSemicolon) {
                p_ += 2;
                continue;
            }
            if (id == kTInteger) {
                p_ += 2;
                if (!Need(4)) return false;
                v = U32();
                return true;
            }
            if (id != kTIntList && id != kTFloatList) return Fail("expected a number");
            p_ += 2;
            if (!Need(4)) return false;
            const uint32_t n = U32();
            const size_t size = id == kTIntList ? 4 : size_t(float_bytes_);
            if (uint64_t(n) * size > Remaining()) return Fail("number list is longer than the file");
            list_left_ = n;
            list_p_ = &d_[p_];
            list_float_ = id == kTFloatList;
            p_ += size_t(n) * size;
        }
        --list_left_;
        if (!list_float_) {
            uint32_t u;
            std::memcpy(&u, list_p_, 4);
            list_p_ += 4;
            v = u;
        } else if (float_bytes_ == 4) {
            float f;
            std::memcpy(&f, list_p_, 4);
            list_p_ += 4;
            v = f;
        } else {
            std::memcpy(&v, list_p_, 8);
            list_p_ += 8;
        }
        if (!std::isfinite(v)) v = 0;
        return true;
    }

    static constexpr size_t kDiscardStep = 1u << 20;

    std::span<const uint8_t> d_;
    size_t p_ = 0;
    bool discard_ = false;
    size_t discarded_ = 0;
    bool binary_;
    int float_bytes_;
    uint32_t list_left_ = 0;
    const uint8_t* list_p_ = nullptr;
    bool list_float_ = false;
    std::string error_;
};

// MSZIP-compressed X-file data (the body after the 16-byte header) inflated; false
// with a one-line reason.
bool InflateMszip(std::span<const uint8_t> d, std::vector<uint8_t>& out, std::string& error);

}  // namespace platform::rm::xfile
