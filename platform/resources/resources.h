// The program's own resources: bitmaps, the sprite script, the opening sound and the
// icon, built into the executable and found by type and name as the Windows
// resource functions find them in a module.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace platform {

// Resource types, spelled as the program names them.
inline constexpr std::string_view kResourceBitmap = "BITMAP";        // a BMP file
inline constexpr std::string_view kResourcePatScript = "PATSCRIPT";  // sprite script text
inline constexpr std::string_view kResourceWave = "WAVE";            // a RIFF WAVE file
inline constexpr std::string_view kResourceIcon = "ICON";            // a PNG picture

// The bytes of the resource of that type and name, or nothing when the program has no
// such resource. Type and name compare without regard to case; a name written as
// "#101" is the same as "101". The bytes live as long as the program.
// A bitmap's bytes are a whole BMP file, starting with its 14-byte file header.
std::optional<std::span<const std::byte>> FindResource(std::string_view type,
                                                       std::string_view name);

struct ResourceInfo {
    std::string_view type;
    std::string_view name;
    std::span<const std::byte> bytes;
};

// Every embedded resource, in a fixed order: for listings and for tests that check
// the whole set.
std::span<const ResourceInfo> AllResources();

}  // namespace platform
