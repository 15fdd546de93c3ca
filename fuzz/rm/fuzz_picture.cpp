// Fuzzes the PNG, JPEG, TGA and GIF decoding behind DecodeImage.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/rm/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::rm::Image img;
    std::string error;
    if (platform::rm::DecodeStbImage(std::span(data, size), img, error)) {
        if (img.width <= 0 || img.height <= 0 ||
            uint64_t(img.width) * uint64_t(img.height) > platform::rm::kMaxImagePixels ||
            img.rgba.size() != size_t(img.width) * img.height * 4)
            __builtin_trap();
    } else if (error.empty() || !img.rgba.empty()) {
        __builtin_trap();
    }
    return 0;
}
