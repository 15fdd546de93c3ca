// PNG files, the same way on every target: written by stb_image_write into memory and
// put in place by the platform's atomic file replacement; read through the texture
// decoder (stb_image), which takes every PNG form: grey, palette, RGB, with or without
// alpha, 1 to 16 bits (16-bit samples keep their high byte).
#include "platform/rm/png_io.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/files/write_file.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace platform::rm {

namespace {

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<char>*>(context);
    out->insert(out->end(), static_cast<const char*>(data), static_cast<const char*>(data) + size);
}

}  // namespace

bool WritePng(const std::string& path, const Image& image, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = "cannot write " + path + ": " + why;
        return false;
    };
    if (image.width <= 0 || image.height <= 0 || image.width > INT_MAX / 4 ||
        image.rgba.size() != size_t(image.width) * size_t(image.height) * 4)
        return fail("the picture's size does not match its pixels");
    std::vector<char> png;
    if (!stbi_write_png_to_func(Append, &png, image.width, image.height, 4, image.rgba.data(), image.width * 4))
        return fail("cannot encode the picture");
    if (!WriteFileAtomically(path, std::string_view(png.data(), png.size()), 0644))
        return fail(std::strerror(errno));
    return true;
}

bool ReadPng(const std::string& path, Image& out, std::string* error) {
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    out = Image{};
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadFileBytes(path, bytes, why)) {
        if (error) *error = why;
        return false;
    }
    if (bytes.size() < sizeof kSignature || std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) {
        if (error) *error = path + ": not a PNG file";
        return false;
    }
    if (!DecodeStbImage(bytes, out, why)) {
        if (error) *error = path + ": " + why;
        out = Image{};
        return false;
    }
    return true;
}

}  // namespace platform::rm
