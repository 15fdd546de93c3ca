// The password hooks of the saver: the check made before input may end the saver, the
// change of the password (absent here: the saver uses the login password), and the
// input-method clean-up after each check.
#pragma once

#include <cstdint>

#include "platform/password/password.h"
#include "platform/password/prompt.h"
#include "platform/password/system_password.h"
#include "platform/registry/registry.h"
#include "platform/window/window.h"
#include "shell/shell_state.h"

namespace shell {

// The store's key and values that ask for the password.
inline constexpr const char* kDesktopKey = "Control Panel\\Desktop";
inline constexpr const char* kDesktopKeyLower = "Control Panel\\desktop";
inline constexpr const char* kIsSecureValue = "ScreenSaverIsSecure";
inline constexpr const char* kUsePasswordValue = "ScreenSaveUsePassword";

// "ScreenSaverIsSecure" OR "ScreenSaveUsePassword", each read as a 32-bit value; a
// key that does not open or a value that cannot be read counts as 0. A value stored
// as text (as some Windows versions write it) is read as the decimal number it holds.
// A store that exists but cannot be read or parsed asks for the password
// (kUnreadableStoreRequest); one that does not exist asks for none.
std::uint32_t ReadPasswordRequest(platform::Registry& registry);
inline constexpr std::uint32_t kUnreadableStoreRequest = 1;

// Test runs of the whole program shorten the waits of the password through these
// (milliseconds): the first refusal's delay and the prompt's give-up time. Whoever
// can set the saver's environment runs as the user already.
inline constexpr const char* kRefusalDelayVariable = "ORBSAVER_TEST_REFUSAL_DELAY_MS";
inline constexpr const char* kPromptTimeoutVariable = "ORBSAVER_TEST_PROMPT_TIMEOUT_MS";

// The password service of the system, as the check finds it: nothing stands for a
// service that is not there, and the check then lets the saver end. Where the system
// keeps the saver's password itself (Windows), systemCheck asks it in the system's
// own dialog instead of the saver's prompt.
struct PasswordHooks {
    platform::SaverPasswordCheck* check = nullptr;
    platform::SystemPasswordCheck (*systemCheck)(platform::WindowHandle window, bool secure,
                                                 void (*beforeDialog)()) = nullptr;
};

// The process-wide hooks: the system's own check where it has one (Windows); else the
// login password through PAM, asked for by the modal prompt in the saver window. What the prompt looks like is drawn by the painter set
// with SetSaverPasswordPainter; until one is set the prompt takes the typing unseen.
// SetSaverPasswordPrompt replaces the prompt as a whole (nullptr: none, so a password
// cannot be asked and input never ends the saver).
PasswordHooks& SaverPasswordHooks();
void SetSaverPasswordPainter(platform::PromptPainter* painter);
void SetSaverPasswordPrompt(platform::PasswordPrompt* prompt);
// Work done on each turn of the prompt's loop besides the music's notices (nullptr:
// none).
void SetSaverPromptIdle(void (*idle)());

// True when the saver may end. With a password asked for and a service that can ask,
// the pointer first goes 120 pixels right of the view's centre and passwordPause is
// set; the answer is the service's. The system's check answers true where the system
// has no password library (it locks the session itself), and false where the library
// cannot check. DropImeContext runs whatever the result.
bool CheckSaverPassword(platform::WindowHandle window, platform::Registry& registry,
                        const PasswordHooks& hooks, settings::ViewState& shell, InputState& input);
bool CheckSaverPassword(platform::WindowHandle window);

// Shows the system's dialog for changing the saver's password where the system keeps
// one; true then. False where the saver uses the login password, which is not its
// own to change.
bool ChangeSaverPassword();

// Ends any text input the window holds.
void DropImeContext(platform::WindowHandle window);

}  // namespace shell
