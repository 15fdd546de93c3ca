// Drawing the password prompt over the scene.
#include "engine/password_prompt.h"

#include <algorithm>
#include <string>

#include "engine/device.h"
#include "engine/overlay.h"
#include "engine/overlay_canvas.h"
#include "engine/scene.h"
#include "shell/shell_state.h"

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

    const shell::ShellState& shell = shell::Shell();
    const platform::Font* font = shell.fonts.PanelFont.get();
    std::unique_ptr<platform::Font> fallback;
    if (!font) {
        fallback = platform::Font::CreateDefault();
        font = fallback.get();
    }
    PreparedText title, field, box, frame;
    static std::uint32_t ids = 0xF0000000u;
    title.image = font->Render(kPromptTitle, 0x00FFFFFF);
    title.id = ++ids;
    std::string mask(std::min(masked, kMaskShown), kMaskCharacter);
    if (full) mask += " (full)";
    field.image = font->Render(mask.empty() ? " " : mask, 0x00FFFFFF);
    field.id = ++ids;
    box.image = Solid(24, 28, 48, 220);
    box.id = ++ids;
    frame.image = Solid(180, 190, 220, 255);
    frame.id = ++ids;

    const int w = d.rmDevice->Width(), h = d.rmDevice->Height();
    const int boxW = std::min(w - 8, 360), boxH = std::min(h - 8, 96);
    const int x = (w - boxW) / 2, y = (h - boxH) / 2;
    DeviceCanvas canvas(*d.rmDevice, *d.pictures);
    auto fill = [&](const PreparedText& picture, int px, int py, int pw, int ph) {
        platform::rm::Picture p{picture.id, 1, 1, 1, picture.image.rgba.data()};
        d.pictures->Draw(*d.rmDevice, p, 0, 0, 1, 1, px, py, pw, ph);
    };
    fill(frame, x - 2, y - 2, boxW + 4, boxH + 4);
    fill(box, x, y, boxW, boxH);
    canvas.DrawText(x + 16, y + 14, title);
    fill(frame, x + 16, y + 48, boxW - 32, 30);
    fill(box, x + 17, y + 49, boxW - 34, 28);
    canvas.DrawText(x + 22, y + 49 + (28 - field.image.height) / 2, field);
    PresentFrame();
}

}  // namespace engine
