// The password prompt drawn in the saver's own window: the scene as it stands, with a
// box in the middle holding the question and one mask character per typed character.
#pragma once

#include "platform/password/prompt.h"

namespace engine {

class DevicePromptPainter : public platform::PromptPainter {
public:
    void Paint(platform::WindowHandle window, std::size_t masked, bool full) override;
};

// The words of the prompt, and the mask.
inline constexpr const char* kPromptTitle = "Password:";
inline constexpr char kMaskCharacter = '*';
// At most this many mask characters are shown; longer passwords show this many.
inline constexpr std::size_t kMaskShown = 24;

}  // namespace engine
