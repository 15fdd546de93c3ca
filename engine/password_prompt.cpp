// Drawing the password prompt over the scene.
#include "engine/password_prompt.h"

#include <algorithm>
#include <string>

#include "engine/device.h"
#include "engine/overlay.h"
#include "engine/scene.h"
#include "settings/view_state.h"

namespace engine {

namespace {

// A one-pixel picture stretched into the box.
platform::TextImage Solid(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    platform::TextImage image;
    image.width = image.height = 1;
    image.rgba = {r, g, b, a};
    return image;
}

}  // namespace

void DevicePromptPainter::Paint(platform::WindowHandle, std::size_t masked, bool full) {
    RenderDevice& d = Device();
    if (!d.running || !d.rmDevice || !d.pictures) return;
    d.surface->MakeCurrent();
    RenderOnce(TheScene().SceneFrame);

    const settings::ViewState& view = settings::View();
    const platform::Font* font = view.fonts.PanelFont.get();
    std::unique_ptr<platform::Font> fallback;
    if (!font) {
        fallback = platform::Font::CreateDefault();
        font = fallback.get();
    }
    // The prompt's pictures keep their ids from paint to paint; only the field's
    // picture changes, so only it is copied to the GPU again.
    static std::uint32_t paints = 0;
    ++paints;
    const platform::TextImage title = font->Render(kPromptTitle, 0x00FFFFFF);
    std::string mask(std::min(masked, kMaskShown), kMaskCharacter);
    if (full) mask += " (full)";
    const platform::TextImage field = font->Render(mask.empty() ? " " : mask, 0x00FFFFFF);
    const platform::TextImage box = Solid(24, 28, 48, 220);
    const platform::TextImage edge = Solid(180, 190, 220, 255);
    constexpr std::uint64_t kIds = 0xF0000000ull;

    const int w = d.rmDevice->Width(), h = d.rmDevice->Height();
    const int boxW = std::min(w - 8, 360), boxH = std::min(h - 8, 96);
    const int x = (w - boxW) / 2, y = (h - boxH) / 2;
    auto draw = [&](std::uint64_t id, std::uint32_t version, const platform::TextImage& image,
                    int px, int py, int pw, int ph) {
        const platform::rm::Picture p{id, version, image.width, image.height, image.rgba.data()};
        d.pictures->Draw(*d.rmDevice, p, 0, 0, image.width, image.height, px, py, pw, ph);
    };
    draw(kIds + 1, 1, edge, x - 2, y - 2, boxW + 4, boxH + 4);
    draw(kIds + 2, 1, box, x, y, boxW, boxH);
    draw(kIds + 3, 1, title, x + 16, y + 14, title.width, title.height);
    draw(kIds + 1, 1, edge, x + 16, y + 48, boxW - 32, 30);
    draw(kIds + 2, 1, box, x + 17, y + 49, boxW - 34, 28);
    draw(kIds + 4, paints, field, x + 22, y + 49 + (28 - field.height) / 2, field.width,
         field.height);
    PresentFrame();
}

}  // namespace engine
