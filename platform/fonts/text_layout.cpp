// A laid-out text drawn a piece at a time from the pictures of its glyphs; every
// backend lays out into the same pieces.
#include "platform/fonts/fonts.h"

#include <algorithm>

namespace platform {

void TextLayout::Draw(std::int32_t x0, TextImage& into) const {
    const std::int32_t w = into.width, h = std::min(into.height, bandHeight_);
    if (w <= 0 || into.height <= 0 ||
        into.rgba.size() < static_cast<std::size_t>(w) * into.height * 4) {
        return;
    }
    for (std::size_t p = 0; p + 3 < static_cast<std::size_t>(w) * into.height * 4; p += 4) {
        into.rgba[p] = red_;
        into.rgba[p + 1] = green_;
        into.rgba[p + 2] = blue_;
        into.rgba[p + 3] = 0;
    }
    // The picture ends at the text's extent, as the whole picture does.
    const std::int32_t right = std::min(x0 + w, width_);
    auto cover = [&](std::int32_t x, std::int32_t y, std::uint8_t alpha) {
        std::uint8_t& a = into.rgba[(static_cast<std::size_t>(y) * w + (x - x0)) * 4 + 3];
        a = std::max(a, alpha);
    };
    for (const Placed& p : placed_) {
        const Glyph& g = glyphs_[p.glyph];
        const std::int32_t gx = p.x + g.left;
        if (gx >= right || gx + g.width <= x0) continue;
        const std::int32_t from = std::max({gx, x0, 0}), to = std::min(gx + g.width, right);
        for (std::int32_t row = 0; row < g.rows; ++row) {
            const std::int32_t y = g.top + row;
            if (y < 0 || y >= h) continue;
            const std::uint8_t* src = g.coverage.data() + static_cast<std::size_t>(row) * g.width;
            for (std::int32_t x = from; x < to; ++x) cover(x, y, src[x - gx]);
        }
    }
    for (const std::int32_t first : lines_) {
        for (std::int32_t y = std::max(first, 0); y < std::min(first + lineRows_, h); ++y) {
            for (std::int32_t x = std::max(x0, 0); x < right; ++x) cover(x, y, 255);
        }
    }
}

}  // namespace platform
