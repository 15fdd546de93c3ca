// Little helpers the resource tests share: reading little-endian fields out of a
// resource's bytes and fetching a resource that must be there.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/resources/resources.h"

namespace resources_test {

inline std::uint32_t U32(std::span<const std::byte> b, std::size_t at) {
    return std::to_integer<std::uint32_t>(b[at]) | std::to_integer<std::uint32_t>(b[at + 1]) << 8 |
           std::to_integer<std::uint32_t>(b[at + 2]) << 16 |
           std::to_integer<std::uint32_t>(b[at + 3]) << 24;
}
inline std::uint16_t U16(std::span<const std::byte> b, std::size_t at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) |
                                      std::to_integer<unsigned>(b[at + 1]) << 8);
}
inline std::uint32_t U32BigEndian(std::span<const std::byte> b, std::size_t at) {
    return std::to_integer<std::uint32_t>(b[at]) << 24 |
           std::to_integer<std::uint32_t>(b[at + 1]) << 16 |
           std::to_integer<std::uint32_t>(b[at + 2]) << 8 |
           std::to_integer<std::uint32_t>(b[at + 3]);
}
inline std::string_view Text(std::span<const std::byte> b, std::size_t at, std::size_t n) {
    return {reinterpret_cast<const char*>(b.data()) + at, n};
}

// The resource's bytes; fails the test (and returns an empty span) when it is missing.
inline std::span<const std::byte> Required(std::string_view type, std::string_view name) {
    auto found = platform::FindResource(type, name);
    EXPECT_TRUE(found.has_value()) << type << " " << name << " is missing";
    return found.value_or(std::span<const std::byte>{});
}

// The fields of a BMP file that the program relies on, read from its two headers.
struct BitmapHeader {
    std::uint32_t fileSize, pixelOffset, infoSize;
    std::int32_t width, height;
    std::uint16_t planes, bitCount;
    std::uint32_t compression, coloursUsed;
};

inline BitmapHeader ReadBitmapHeader(std::span<const std::byte> b) {
    return {U32(b, 2),
            U32(b, 10),
            U32(b, 14),
            static_cast<std::int32_t>(U32(b, 18)),
            static_cast<std::int32_t>(U32(b, 22)),
            U16(b, 26),
            U16(b, 28),
            U32(b, 30),
            U32(b, 46)};
}

}  // namespace resources_test
