// PNG, JPEG, TGA and the first frame of a GIF, decoded by stb_image. Its size is
// read from the header first, so a picture over kMaxImagePixels is refused before
// anything is allocated for it.
#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdlib>

#include "platform/rm/image.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_ONLY_GIF
#define STBI_MAX_DIMENSIONS 65535
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace platform::rm {

namespace {

// stb_image trusts some things a hostile file can get wrong, so they are checked
// first: a PNG chunk's stated length (it grows its buffer to it before reading),
// the counts of a JPEG Huffman table (more than 256 codes overrun its table) and
// that a JPEG scan uses only tables defined before it (others are not initialised).
bool PngChunksFit(std::span<const uint8_t> d) {
    size_t p = 8;
    while (p + 12 <= d.size()) {
        const uint64_t length = uint64_t(d[p]) << 24 | uint64_t(d[p + 1]) << 16 | uint64_t(d[p + 2]) << 8 | d[p + 3];
        if (length > d.size() - p - 12) return false;
        if (std::memcmp(&d[p + 4], "IEND", 4) == 0) return true;
        p += size_t(length) + 12;
    }
    return p == d.size();
}

bool JpegTablesFit(std::span<const uint8_t> d) {
    // The start marker may follow fill bytes, as the decoder allows.
    size_t p = 0;
    while (p < d.size() && d[p] == 0xff) ++p;
    ++p;
    bool defined[2][4] = {};  // [DC or AC][table]
    bool progressive = false;
    while (p + 4 <= d.size()) {
        const uint8_t m = d[p + 1];
        if (d[p] != 0xff || m == 0xff) {  // coded data, or a fill byte
            ++p;
            continue;
        }
        if (m == 0x00 || m == 0x01 || (m >= 0xd0 && m <= 0xd7)) {
            p += 2;
            continue;
        }
        if (m == 0xd9) break;
        const size_t length = size_t(d[p + 2]) << 8 | d[p + 3];
        // The decoder would read a part the file cuts short on as zeros.
        if (length < 2 || length > d.size() - p - 2) return false;
        const size_t end = p + 2 + length;
        if (m == 0xc2) progressive = true;
        if (m == 0xc4) {
            for (size_t q = p + 4; q < end;) {
                if (q + 17 > end) return false;
                size_t codes = 0;
                for (size_t i = 1; i <= 16; ++i) codes += d[q + i];
                if (codes > 256 || codes > end - q - 17) return false;
                if ((d[q] >> 4) <= 1 && (d[q] & 15) <= 3) defined[d[q] >> 4][d[q] & 15] = true;
                q += 17 + codes;
            }
        } else if (m == 0xda) {
            // A scan may only use tables defined before it: a baseline scan both of
            // its components', a progressive one the DC table (first DC pass) or the
            // AC table (AC passes) alone.
            const size_t components = d[p + 4];
            if (length < 6 + 2 * components) return false;
            const uint8_t start = d[p + 5 + 2 * components], high = d[p + 7 + 2 * components] >> 4;
            const bool dc = !progressive || (start == 0 && high == 0), ac = !progressive || start > 0;
            for (size_t c = 0; c < components; ++c) {
                const uint8_t tables = d[p + 6 + 2 * c];
                if ((tables >> 4) > 3 || (tables & 15) > 3) return false;
                if ((dc && !defined[0][tables >> 4]) || (ac && !defined[1][tables & 15])) return false;
            }
        }
        p = end;
    }
    return true;
}

}  // namespace

bool DecodeStbImage(std::span<const uint8_t> d, Image& out, std::string& error) {
    out = Image{};
    if (d.size() > size_t(INT_MAX)) {
        error = "picture file too large";
        return false;
    }
    // The form as the decoder itself will take it: its own tests, in its order. Its
    // header is then read by that decoder alone, so its own reason is the one shown.
    stbi__context probe;
    const auto is = [&](int (*test)(stbi__context*)) {
        stbi__start_mem(&probe, d.data(), int(d.size()));
        return test(&probe) != 0;
    };
    const char* kind = "TGA";
    int (*info)(stbi__context*, int*, int*, int*) = stbi__tga_info;
    if (is(stbi__png_test)) kind = "PNG", info = stbi__png_info;
    else if (is(stbi__gif_test)) kind = "GIF", info = stbi__gif_info;
    else if (is(stbi__jpeg_test)) kind = "JPEG", info = stbi__jpeg_info;
    if (info == stbi__png_info && !PngChunksFit(d)) {
        error = "broken PNG picture (a part longer than the file)";
        return false;
    }
    if (info == stbi__jpeg_info && !JpegTablesFit(d)) {
        error = "broken JPEG picture (a bad table, or a part longer than the file)";
        return false;
    }
    int w = 0, h = 0, channels = 0;
    stbi__context header;
    stbi__start_mem(&header, d.data(), int(d.size()));
    if (!info(&header, &w, &h, &channels)) {
        const std::string why = stbi_failure_reason() ? stbi_failure_reason() : "unreadable";
        if (info == stbi__tga_info) error = "not a BMP, PPM, PNG, JPEG, TGA or GIF image";
        else if (why == "too large") error = "picture too large";
        else error = std::string("broken ") + kind + " picture (" + why + ")";
        return false;
    }
    if (w <= 0 || h <= 0 || uint64_t(w) * uint64_t(h) > kMaxImagePixels) {
        error = "picture too large (" + std::to_string(w) + " x " + std::to_string(h) + ")";
        return false;
    }
    // The decoder allocates the whole picture before it reads the data, so a header
    // that claims far more than the file could hold is refused here: a PNG row takes
    // its bytes from deflate, which makes at most 1032 bytes of one; no other form
    // makes more than 1024 pixels of a byte.
    const uint64_t pixels_allowed = std::max<uint64_t>(uint64_t(d.size()) * 1024, 4096);
    if (info == stbi__png_info && d.size() >= 26) {
        static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
        const int depth = d[24], colour = d[25];
        const int bits = depth * (colour <= 6 ? kChannels[colour] : 4);
        const uint64_t raw = uint64_t(h) * (1 + (uint64_t(w) * uint64_t(bits) + 7) / 8);
        if (raw > uint64_t(d.size()) * 1032) {
            error = "broken PNG picture (too little data for its size)";
            return false;
        }
    } else if (info != stbi__png_info && uint64_t(w) * uint64_t(h) > pixels_allowed) {
        error = std::string("broken ") + kind + " picture (too little data for its size)";
        return false;
    }
    stbi_uc* pixels = stbi_load_from_memory(d.data(), int(d.size()), &w, &h, &channels, 4);
    if (!pixels) {
        const char* why = stbi_failure_reason();
        error = std::string("broken ") + kind + " picture (" + (why && *why ? why : "cut short") + ")";
        return false;
    }
    out.width = w;
    out.height = h;
    out.rgba.assign(pixels, pixels + size_t(w) * size_t(h) * 4);
    stbi_image_free(pixels);
    return true;
}

}  // namespace platform::rm
