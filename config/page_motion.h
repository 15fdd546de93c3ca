// The first page of the configuration dialog: camera and object positions, the
// camera's look-at and orientation, the spin speeds, the model file, and the message
// with its font, colour and scroll speed. Every change goes into the settings at once.
#pragma once

#include <cstdint>

#include "platform/dialog/dialog.h"
#include "settings/scene_settings.h"

namespace config {

// Control ids of the page.
inline constexpr int kCameraX = 1005, kCameraY = 1006, kCameraZ = 1007;
inline constexpr int kObjectX = 1008, kObjectY = 1009, kObjectZ = 1010;
inline constexpr int kRotationX = 1013, kRotationY = 1033, kRotationZ = 1034;
inline constexpr int kDirectionX = 1035, kDirectionY = 1036, kDirectionZ = 1037;
inline constexpr int kUpX = 1038, kUpY = 1039, kUpZ = 1042;
inline constexpr int kLookAtCheck = 1041;
inline constexpr int kModelButton = 1040;
// The model chooser's first filter: every form of model file the saver reads.
inline constexpr const char* kModelFilterName = "3D models (*.x;*.gltf;*.glb;*.obj;*.stl)";
inline constexpr const char* kModelFilterPattern = "*.x;*.gltf;*.glb;*.obj;*.stl";
inline constexpr int kFontButton = 1052;
inline constexpr int kMessageEdit = 1053;
inline constexpr int kMessageSpin = 1055;
inline constexpr int kSpeedSpin = 1057;

// The six position sliders, camera first, and the six orientation spins, direction first.
inline constexpr int kPositionSliders[6] = {kCameraX, kCameraY, kCameraZ,
                                            kObjectX, kObjectY, kObjectZ};
inline constexpr int kOrientationSpins[6] = {kDirectionX, kDirectionY, kDirectionZ,
                                             kUpX,        kUpY,        kUpZ};

platform::LRESULT MotionPageProc(platform::WindowHandle page, std::uint32_t message,
                                 platform::WPARAM wParam, platform::LPARAM lParam);

// Paints the six orientation numbers on the page (nothing when skip is not 0).
void ShowOrientationValues(platform::WindowHandle page, int skip);
// Sets the six orientation spins to the hundredths plus 100.
void SetOrientationSpins(platform::WindowHandle page);
// Sets the position sliders from CM_X..OJ_Z and redraws their numbers.
void SetPositionSliders(platform::WindowHandle page);

// The message edit box's text into the current message entry; false (nothing
// stored) when the code page cannot hold it.
bool CollectMessageText(platform::WindowHandle page);
// MessageExtent of the selected message, in PreviewMessageFont (or the default font).
void MeasurePreviewMessage();

// The LOGFONT a font choice gives (face in the code page, at most 31 bytes): false
// when the code page cannot hold the face, and the LOGFONT is then unchanged.
bool FontChoiceToLogFont(const platform::FontChoice& choice, int codePage,
                         settings::LogFontA& font);
platform::FontChoice LogFontToFontChoice(const settings::LogFontA& font, std::uint32_t color,
                                         int codePage);

// A setting as its slider can show it: within -100..100.
int SliderPosition(std::int32_t setting);

}  // namespace config
