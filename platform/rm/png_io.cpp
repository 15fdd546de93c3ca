// PNG reading and writing through libpng's simplified interface.
#include "platform/rm/png_io.h"

#include <png.h>

namespace platform::rm {

bool WritePng(const std::string& path, const Image& image, std::string* error) {
    png_image p{};
    p.version = PNG_IMAGE_VERSION;
    p.width = png_uint_32(image.width);
    p.height = png_uint_32(image.height);
    p.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&p, path.c_str(), 0, image.rgba.data(), 0, nullptr)) {
        if (error) *error = std::string("cannot write ") + path + ": " + p.message;
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, Image& out, std::string* error) {
    png_image p{};
    p.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&p, path.c_str())) {
        if (error) *error = p.message;
        return false;
    }
    p.format = PNG_FORMAT_RGBA;
    out.width = int(p.width);
    out.height = int(p.height);
    out.rgba.resize(PNG_IMAGE_SIZE(p));
    if (!png_image_finish_read(&p, nullptr, out.rgba.data(), 0, nullptr)) {
        if (error) *error = p.message;
        out = Image{};
        return false;
    }
    return true;
}

}  // namespace platform::rm
