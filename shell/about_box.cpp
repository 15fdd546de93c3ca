// The About box: its face, its OK button and its place on the screen.
#include "shell/about_box.h"

#include "config/config_dialog.h"
#include "platform/resources/resources.h"
#include "shell/shell_state.h"

namespace shell {

namespace {

std::span<const std::byte> Bitmap(const char* name) {
    auto bytes = platform::FindResource(platform::kResourceBitmap, name);
    return bytes ? *bytes : std::span<const std::byte>{};
}

}  // namespace

platform::PictureDialog AboutBoxLayout(int screenWidth, int screenHeight) {
    platform::PictureDialog d;
    d.x = screenWidth / 2 - 172;
    d.y = screenHeight / 2 - 77;
    d.width = 345;
    d.height = 154;
    d.face = Bitmap("ABOUT");
    auto icon = platform::FindResource(platform::kResourceIcon, "101");
    if (icon) d.icon = *icon;
    d.iconX = 271;
    d.iconY = 41;
    d.iconWidth = d.iconHeight = 32;
    d.buttonUp = Bitmap("OK_1U");
    d.buttonDown = Bitmap("OK_1D");
    d.buttonX = 256;
    d.buttonY = 83;
    d.buttonWidth = 62;
    d.buttonHeight = 32;
    d.cursorX = screenWidth / 2 + 130;
    d.cursorY = screenHeight / 2 + 25;
    return d;
}

bool ShowModalDialog(int templateNumber, platform::WindowHandle owner) {
    if (templateNumber == kConfigDialogTemplate) return config::RunConfigDialog() == 0;
    if (templateNumber != kAboutBoxTemplate) return false;
    int w = 0, h = 0;
    if (!platform::PrimaryScreenSize(&w, &h)) return false;
    platform::PictureDialog box = AboutBoxLayout(w, h);
    box.owner = owner;
    box.takeInputFrom = AboutBoxInputOwner(owner);
    return platform::RunPictureDialog(box);
}

platform::WindowHandle AboutBoxInputOwner(platform::WindowHandle owner) {
    return Input().locked && owner == settings::View().SaverWindow ? owner : 0;
}

void ShowAboutBox(platform::WindowHandle owner) { ShowModalDialog(kAboutBoxTemplate, owner); }

}  // namespace shell
