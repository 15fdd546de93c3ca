// Building and refilling the sprite surfaces.
#include "sprites/surface_set.h"

#include <algorithm>
#include <cstring>

#include "platform/dialog/message_box.h"
#include "platform/resources/resources.h"
#include "platform/rm/image.h"

namespace sprites {

namespace {

std::uint32_t Read32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The 3-3-2 colour cube, then the bitmap's own colour table over it.
void FillPalette(BitmapPalette& palette, const std::uint8_t* file, std::size_t size) {
    for (int i = 0; i < 256; ++i) {
        palette.entries[i] = PaletteEntry{static_cast<std::uint8_t>(((i >> 5) & 7) * 255 / 7),
                                          static_cast<std::uint8_t>(((i >> 2) & 7) * 255 / 7),
                                          static_cast<std::uint8_t>((i & 3) * 255 / 3), 0};
    }
    constexpr std::size_t kFileHeader = 14;
    if (size < kFileHeader + 40) return;
    const std::uint8_t* info = file + kFileHeader;
    const std::uint32_t headerSize = Read32(info);
    const std::uint32_t bitCount = info[14] | (info[15] << 8);
    if (headerSize < 40 || bitCount > 8) return;
    std::uint32_t colours = Read32(info + 32);
    if (colours == 0) colours = 1u << bitCount;
    colours = std::min<std::uint32_t>(colours, 256);
    const std::size_t table = kFileHeader + headerSize;
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::size_t at = table + i * 4;
        if (at + 4 > size) break;
        palette.entries[i] = PaletteEntry{file[at + 2], file[at + 1], file[at], 0};
    }
}

std::int32_t CountCells(std::int32_t size, std::int32_t cell, std::int32_t gap) {
    const std::int64_t divisor = static_cast<std::int64_t>(cell) + gap;
    // A cell that takes no room gives no cells at all.
    if (divisor <= 0) return 0;
    return static_cast<std::int32_t>((static_cast<std::int64_t>(size) + gap) / divisor);
}

}  // namespace

SurfaceSet& TheSurfaceSet() {
    static SurfaceSet set;
    return set;
}

bool AddBitmapFromBytes(SurfaceSet& set, const std::uint8_t* bytes, std::size_t size) {
    BitmapPalette palette;
    platform::rm::Image image;
    std::string error;
    if (!platform::rm::DecodeBmp({bytes, size}, image, error)) return false;
    FillPalette(palette, bytes, size);
    palette.width = image.width;
    palette.height = image.height;
    palette.rgba = std::move(image.rgba);
    set.bitmaps.push_back(std::move(palette));
    return true;
}

bool SurfaceSetBuilder::AddBitmap(const std::string& name) {
    auto bytes = platform::FindResource(platform::kResourceBitmap, name);
    if (!bytes) return false;
    return AddBitmapFromBytes(set_, reinterpret_cast<const std::uint8_t*>(bytes->data()),
                              bytes->size());
}

bool SurfaceSetBuilder::AddSurface(const SurfaceStatement& s) {
    if (set_.bitmaps.empty()) return false;
    if (s.width <= 0 || s.height <= 0 || s.width > kMaxSurfaceSide || s.height > kMaxSurfaceSide) {
        return false;
    }
    SpriteSurface surface;
    // A name longer than the record holds is cut to its first 15 characters.
    std::strncpy(surface.name, s.name.c_str(), sizeof surface.name - 1);
    surface.width = s.width;
    surface.height = s.height;
    surface.cellWidth = s.cellWidth;
    surface.cellHeight = s.cellHeight;
    surface.gapX = s.gapX;
    surface.gapY = s.gapY;
    surface.columns = CountCells(s.width, s.cellWidth, s.gapX);
    surface.rows = CountCells(s.height, s.cellHeight, s.gapY);
    surface.bitmapIndex = static_cast<std::uint32_t>(set_.bitmaps.size() - 1);
    surface.sourceX = s.x;
    surface.sourceY = s.y;
    surface.rgba.assign(static_cast<std::size_t>(s.width) * s.height * 4, 0);
    set_.surfaces.push_back(std::move(surface));
    if (s.preload) {
        const int index = static_cast<int>(set_.surfaces.size() - 1);
        CopyBitmapToSurfaces(set_, index, index);
    }
    return true;
}

bool CopyBitmapToSurfaces(SurfaceSet& set, int first, int last) {
    for (int i = first; i <= last; ++i) {
        if (i < 0 || i >= static_cast<int>(set.surfaces.size())) return false;
        SpriteSurface& s = set.surfaces[i];
        if (s.bitmapIndex >= set.bitmaps.size()) return false;
        const BitmapPalette& b = set.bitmaps[s.bitmapIndex];
        // Pixels outside the bitmap stay as they are, as a clipped blit leaves them.
        for (int y = 0; y < s.height; ++y) {
            const std::int64_t sy = static_cast<std::int64_t>(s.sourceY) + y;
            if (sy < 0 || sy >= b.height) continue;
            for (int x = 0; x < s.width; ++x) {
                const std::int64_t sx = static_cast<std::int64_t>(s.sourceX) + x;
                if (sx < 0 || sx >= b.width) continue;
                std::memcpy(&s.rgba[(static_cast<std::size_t>(y) * s.width + x) * 4],
                            &b.rgba[(static_cast<std::size_t>(sy) * b.width + sx) * 4], 4);
            }
        }
        s.filled = true;
        ++s.version;
    }
    return true;
}

std::uint32_t SurfaceKeyColour(const SpriteSurface& s) {
    if (s.rgba.size() < 4) return 0xFFFFFFFF;
    return s.rgba[0] | (s.rgba[1] << 8) | (static_cast<std::uint32_t>(s.rgba[2]) << 16);
}

bool RefreshSpriteSurfaces(SurfaceSet& set) {
    if (set.surfaces.size() < 5) return false;
    // A bitmap never changes, so a filled surface already shows what a refill would
    // copy: only the first refresh copies pixels.
    for (int i : {0, 4}) {
        if (!set.surfaces[i].filled && !CopyBitmapToSurfaces(set, i, i)) return false;
    }
    for (int i : {0, 4}) set.surfaces[i].keyColour = SurfaceKeyColour(set.surfaces[i]);
    return true;
}

CellRect Cell(const SpriteSurface& s, int k) {
    if (s.columns <= 0) return {0, 0, s.cellWidth, s.cellHeight};
    const std::int32_t column = k % s.columns, row = k / s.columns;
    return {column * (s.cellWidth + s.gapX), row * (s.cellHeight + s.gapY), s.cellWidth,
            s.cellHeight};
}

bool LoadSpriteScript(const char* name, const char* type, SurfaceSet& set) {
    set = SurfaceSet{};
    auto text = platform::FindResource(type, name);
    if (!text) return true;
    return LoadSpriteScriptText(
        std::string_view(reinterpret_cast<const char*>(text->data()), text->size()), set);
}

bool LoadSpriteScriptText(std::string_view text, SurfaceSet& set) {
    set = SurfaceSet{};
    SurfaceSetBuilder builder(set);
    ScriptError error;
    const bool ok = RunScript(text, builder, &error);
    if (!ok) {
        platform::ShowMessageBox(kScriptErrorTitle, FormatScriptError(error),
                                 platform::MessageBoxKind::kError);
        return false;
    }
    set.surfaceCount = static_cast<std::int32_t>(set.surfaces.size());
    set.bitmapCount = static_cast<std::int32_t>(set.bitmaps.size());
    return true;
}

}  // namespace sprites
