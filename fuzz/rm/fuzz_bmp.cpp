// Fuzzes the BMP decoder.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/rm/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::rm::Image img;
    std::string error;
    if (platform::rm::DecodeBmp(std::span(data, size), img, error) &&
        img.rgba.size() != size_t(img.width) * img.height * 4)
        __builtin_trap();
    return 0;
}
