// PNG files for the model tool's pictures and the tests' reference images.
#pragma once

#include <string>

#include "platform/rm/image.h"

namespace platform::rm {

bool WritePng(const std::string& path, const Image& image, std::string* error = nullptr);
// Any PNG (grey, palette, RGB, with or without alpha, 1 to 16 bits) as 8-bit RGBA.
bool ReadPng(const std::string& path, Image& out, std::string* error = nullptr);

}  // namespace platform::rm
