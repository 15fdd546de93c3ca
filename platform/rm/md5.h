// MD5 digests of pixel data, so pictures can be compared with published checksums.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/rm/image.h"

namespace platform::rm {

std::string Md5Hex(std::span<const uint8_t> data);
// The digest of the picture as 8-bit RGB, rows top to bottom (alpha dropped).
std::string RgbMd5(const Image& image);

}  // namespace platform::rm
