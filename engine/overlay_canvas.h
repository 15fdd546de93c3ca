// The overlays' canvas on the render device: sprite surfaces and prepared texts
// drawn over the finished frame through the 3D layer's picture drawing.
#pragma once

#include <vector>

#include "engine/overlay.h"
#include "platform/rm/device.h"
#include "platform/rm/overlay2d.h"

namespace engine {

class DeviceCanvas : public OverlayCanvas {
public:
    DeviceCanvas(platform::rm::Device& device, platform::rm::Overlay2D& pictures)
        : device_(device), pictures_(pictures) {}
    void BlitSprite(int x, int y, int width, int height, const sprites::SpriteSurface& surface,
                    sprites::CellRect source) override;
    void DrawText(int x, int y, const PreparedText& text) override;

private:
    platform::rm::Device& device_;
    platform::rm::Overlay2D& pictures_;
};

// A sprite surface with its key colour made transparent, remade only when the
// surface's pixels or key change.
struct KeyedSurface {
    const sprites::SpriteSurface* surface = nullptr;
    std::uint32_t version = 0;
    std::uint32_t key = 0;
    std::vector<std::uint8_t> rgba;
};
const KeyedSurface& Keyed(const sprites::SpriteSurface& surface);

}  // namespace engine
