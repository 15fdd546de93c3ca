// The second page of the configuration dialog: shading and dithering, the background
// colour or image, the opening sound and the music, the model's own look or a
// texture, the frame-rate display and the maker mark. Render settings go to the
// render device at once, background changes to the scene, texture changes rebuild it.
#pragma once

#include <cstdint>
#include <span>

#include "platform/dialog/dialog.h"
#include "settings/scene_settings.h"

namespace config {

// Control ids of the page.
inline constexpr int kFlat = 1002, kGouraud = 1004, kDither = 1020;
inline constexpr int kNearestTexture = 1016, kLinearTexture = 1017, kAntialias = 1021;
inline constexpr int kUseImage = 1030, kColorButton = 1031, kImageButton = 1032;
inline constexpr int kSoundOn = 1001, kMidiOn = 1026, kMidiButton = 1022;
inline constexpr int kOriginal = 1028, kTextureButton = 1027;
inline constexpr int kFpsOn = 1023, kMakerOn = 1025;
// The picture choosers' first filter: every form of picture the saver reads.
inline constexpr const char* kPictureFilterName =
    "Pictures (*.bmp;*.ppm;*.png;*.jpg;*.jpeg;*.tga;*.gif)";
inline constexpr const char* kPictureFilterPattern =
    "*.bmp;*.ppm;*.pgm;*.pbm;*.png;*.jpg;*.jpeg;*.tga;*.gif";

// How a check box's setting changes on a click.
enum class Toggle {
    kOnOff,     // 1 becomes 0, anything else 1
    kUseImage,  // 0 becomes 1, anything else 0
};

// A check box of the page, declared once: the refresh, the commands and the collect
// all work from this table.
struct CheckSetting {
    int id;
    std::int32_t settings::SceneSettings::*setting;
    platform::Rect rect;
    Toggle toggle;
    bool collected;  // OK takes the setting from the box
};
std::span<const CheckSetting> MediaCheckBoxes();

// What a setting looks like in its box: on for 1 (for Use Image: for anything not 0).
int CheckedState(const CheckSetting& box, std::int32_t value);
// The setting after a click.
std::int32_t Toggled(const CheckSetting& box, std::int32_t value);

platform::LRESULT MediaPageProc(platform::WindowHandle page, std::uint32_t message,
                                platform::WPARAM wParam, platform::LPARAM lParam);

// The 16 custom colours of the colour chooser, kept for the life of the process.
std::uint32_t (&CustomColors())[16];

}  // namespace config
