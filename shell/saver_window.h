// The procedure of the saver window: when input ends the saver, the About box on
// F1, the device's share of window moves, sizes, activation and painting, the
// configuration preview's timer and the music's repeat.
#pragma once

#include "platform/window/window.h"

namespace shell {

// What the procedure asks of other parts of the program. Each may be left empty:
// then the password check passes, no About box is shown and the music does not
// repeat. Tests put fakes here.
struct SaverWindowServices {
    bool (*checkPassword)(platform::WindowHandle window) = nullptr;
    void (*showAboutBox)(platform::WindowHandle owner) = nullptr;
    // The open music's device ID (0 for none), and its rewind-and-play.
    std::uint32_t (*musicDevice)() = nullptr;
    void (*replayMusic)(std::uint32_t device, platform::WindowHandle window) = nullptr;
};

SaverWindowServices& Services();

// The pacer of the configuration preview's timer-driven frames.
class FramePacer;
FramePacer& PreviewPacer();

// The pause after a refused password during which mouse movement is ignored.
inline constexpr std::uint32_t kPasswordPauseMilliseconds = 300;
inline constexpr std::uintptr_t kPauseTimer = 0;
inline constexpr std::uintptr_t kPreviewTimer = 1;
// Completion notices of the music.
inline constexpr platform::WPARAM kMciNotifySuccessful = 1;

platform::LRESULT SaverWindowProc(platform::WindowHandle window, std::uint32_t message,
                                  platform::WPARAM wParam, platform::LPARAM lParam);

}  // namespace shell
