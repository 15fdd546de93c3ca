// The sprite surfaces: rectangles cut out of bitmap resources by the sprite script,
// each with its cell grid, and one colour table per bitmap. The pixels live here,
// filled once from their bitmap; the overlay drawing uploads them to the GPU only
// when their content changes (Version()).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sprites/script.h"

namespace sprites {

struct PaletteEntry {
    std::uint8_t red, green, blue, flags;
};

struct BitmapPalette {
    std::array<PaletteEntry, 256> entries{};
    // The decoded bitmap, shared by every surface cut from it: RGBA, top row first.
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
};

struct SpriteSurface {
    char name[16] = {};
    int width = 0, height = 0;  // the surface's own size
    std::int32_t cellWidth = 0, cellHeight = 0;
    std::int32_t gapX = 0, gapY = 0;
    std::int32_t columns = 0, rows = 0;
    std::uint32_t bitmapIndex = 0;
    std::int32_t sourceX = 0, sourceY = 0;
    std::vector<std::uint8_t> rgba;  // width * height * 4
    bool filled = false;
    std::uint32_t version = 0;  // changes whenever the pixels change
    std::uint32_t keyColour = 0;  // the transparent colour of blits from it
};

// A cell's rectangle in its surface.
struct CellRect {
    std::int32_t left, top, width, height;
};

struct SurfaceSet {
    std::vector<SpriteSurface> surfaces;
    std::int32_t surfaceCount = 0;
    std::vector<BitmapPalette> bitmaps;
    std::int32_t bitmapCount = 0;
};

// The program's one set.
SurfaceSet& TheSurfaceSet();

// The largest surface side the set makes; larger ones are refused as a display
// would refuse them.
inline constexpr std::int32_t kMaxSurfaceSide = 4096;

// The script's statements on a set: bitmaps from the program's resources.
class SurfaceSetBuilder : public ScriptTarget {
public:
    explicit SurfaceSetBuilder(SurfaceSet& set) : set_(set) {}
    bool AddBitmap(const std::string& name) override;
    bool AddSurface(const SurfaceStatement& statement) override;

private:
    SurfaceSet& set_;
};

// Adds a bitmap from a BMP file's bytes (false when they do not decode).
bool AddBitmapFromBytes(SurfaceSet& set, const std::uint8_t* bytes, std::size_t size);

// Fills surfaces first..last (inclusive) from their bitmaps. False for an index
// outside the set.
bool CopyBitmapToSurfaces(SurfaceSet& set, int first, int last);

// The value of a surface's top-left pixel: red, green and blue in the low three bytes.
std::uint32_t SurfaceKeyColour(const SpriteSurface& surface);

// Before every full-screen frame: the banner (0) and the glyph sheet (4) are filled
// and their transparent colours set. Pixels that are already there are not copied
// again. False when the set lacks them or a copy fails.
bool RefreshSpriteSurfaces(SurfaceSet& set);

CellRect Cell(const SpriteSurface& surface, int k);

// Loads the script resource of that name and type into the set; on an error shows
// the script error box and fails. A missing resource is an empty, successful load.
bool LoadSpriteScript(const char* name, const char* type, SurfaceSet& set);
// The same on a script's text.
bool LoadSpriteScriptText(std::string_view text, SurfaceSet& set);

}  // namespace sprites
