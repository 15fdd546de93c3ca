// Decoders for the texture formats: Windows BMP and the netpbm family (PPM, PGM,
// PBM) by our own code; PNG, JPEG, TGA and GIF (first frame) by stb_image. They take the file's bytes and return 8-bit RGBA pixels, rows top to
// bottom, or a one-line reason. No GL, no globals: hostile input fails cleanly.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform::rm {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4, first row is the top one
};

// Largest picture a decoder accepts, in pixels (256 MB of RGBA).
inline constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26;

bool DecodeBmp(std::span<const uint8_t> data, Image& out, std::string& error);
bool DecodePnm(std::span<const uint8_t> data, Image& out, std::string& error);
// PNG, JPEG, TGA, GIF: pixels with the file's alpha (opaque where it has none).
bool DecodeStbImage(std::span<const uint8_t> data, Image& out, std::string& error);
// Chooses the decoder by the file's first bytes; other formats fail with a reason.
bool DecodeImage(std::span<const uint8_t> data, Image& out, std::string& error);

// The largest model or picture file read, in bytes.
inline constexpr uint64_t kMaxFileBytes = uint64_t(512) << 20;

// Reads a whole regular file. False with a reason when it cannot be opened or read,
// is no regular file (a folder, a pipe, a device) or is larger than kMaxFileBytes.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out, std::string& error);

}  // namespace platform::rm
