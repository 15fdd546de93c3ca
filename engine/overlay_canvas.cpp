// Drawing the overlays on the render device.
#include "engine/overlay_canvas.h"

#include <array>

namespace engine {

namespace {

// Sprite pictures have ids above every text's.
constexpr std::uint64_t kSpriteIds = 1ull << 40;

std::array<KeyedSurface, 8>& KeyedCache() {
    static std::array<KeyedSurface, 8> cache;
    return cache;
}

}  // namespace

const KeyedSurface& Keyed(const sprites::SpriteSurface& s) {
    auto& cache = KeyedCache();
    // One entry per surface; a set never holds many that are drawn.
    KeyedSurface* slot = &cache[0];
    for (KeyedSurface& k : cache) {
        if (k.surface == &s) {
            slot = &k;
            break;
        }
        if (!k.surface) {
            slot = &k;
            break;
        }
    }
    if (slot->surface != &s || slot->version != s.version || slot->key != s.keyColour ||
        slot->rgba.size() != s.rgba.size()) {
        slot->surface = &s;
        slot->version = s.version;
        slot->key = s.keyColour;
        slot->rgba = s.rgba;
        for (std::size_t p = 0; p + 3 < slot->rgba.size(); p += 4) {
            const std::uint32_t colour = slot->rgba[p] | (slot->rgba[p + 1] << 8) |
                                         (static_cast<std::uint32_t>(slot->rgba[p + 2]) << 16);
            slot->rgba[p + 3] = colour == s.keyColour ? 0 : 255;
        }
    }
    return *slot;
}

void DeviceCanvas::BlitSprite(int x, int y, int width, int height,
                              const sprites::SpriteSurface& surface, sprites::CellRect source) {
    const KeyedSurface& k = Keyed(surface);
    platform::rm::Picture p;
    p.id = kSpriteIds + reinterpret_cast<std::uintptr_t>(&surface);
    p.version = k.version * 2654435761u + k.key;
    p.width = surface.width;
    p.height = surface.height;
    p.rgba = k.rgba.data();
    pictures_.Draw(device_, p, source.left, source.top, source.width, source.height, x, y, width,
                   height);
}

void DeviceCanvas::DrawText(int x, int y, const PreparedText& text) {
    platform::rm::Picture p;
    p.id = text.id;
    p.version = text.version;
    p.width = text.image.width;
    p.height = text.image.height;
    p.rgba = text.image.rgba.data();
    pictures_.Draw(device_, p, 0, 0, p.width, p.height, x, y, p.width, p.height);
}

}  // namespace engine
