// PNG, JPEG, TGA and the first frame of a GIF, decoded by stb_image. Its size is
// read from the header first, so a picture over kMaxImagePixels is refused before
// anything is allocated for it.
#include <algorithm>
#include <climits>
#include <initializer_list>
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

bool DecodeStbImage(std::span<const uint8_t> d, Image& out, std::string& error) {
    out = Image{};
    if (d.size() > size_t(INT_MAX)) {
        error = "picture file too large";
        return false;
    }
    // The header alone, read by the one decoder the first bytes name, so its own
    // reason is the one reported.
    const auto magic = [&](std::initializer_list<uint8_t> m) {
        return d.size() >= m.size() && std::equal(m.begin(), m.end(), d.begin());
    };
    const char* kind = "TGA";
    int (*info)(stbi__context*, int*, int*, int*) = stbi__tga_info;
    if (magic({0x89, 'P', 'N', 'G'})) kind = "PNG", info = stbi__png_info;
    else if (magic({0xff, 0xd8, 0xff})) kind = "JPEG", info = stbi__jpeg_info;
    else if (magic({'G', 'I', 'F', '8'})) kind = "GIF", info = stbi__gif_info;
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
