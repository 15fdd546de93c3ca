// The password check before the saver ends, over the store's two desktop values and
// the password service.
#include "shell/password.h"

#include <cstdlib>
#include <memory>

#include "engine/device.h"
#include "platform/audio/sequencer.h"
#include "platform/backends.h"
#include "platform/password/input_method.h"
#include "platform/password/prompt.h"

namespace shell {

namespace {

// One 32-bit value as RegQueryValueEx fills a DWORD: up to four bytes, little-endian,
// the rest zero. Text is the exception: its digits are the number.
std::uint32_t ReadFlag(platform::RegistryKey& key, const char* name) {
    unsigned char buffer[64] = {};
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = platform::kRegNone;
    if (key.QueryValue(name, buffer, &size, &type) != platform::RegStatus::kOk) return 0;
    if (type == platform::kRegSz || type == platform::kRegExpandSz) {
        buffer[sizeof buffer - 1] = 0;
        return static_cast<std::uint32_t>(
            std::strtoul(reinterpret_cast<char*>(buffer), nullptr, 10));
    }
    if (size > 4) return 0;  // too large for a 32-bit value: it cannot be read
    return static_cast<std::uint32_t>(buffer[0]) | (static_cast<std::uint32_t>(buffer[1]) << 8) |
           (static_cast<std::uint32_t>(buffer[2]) << 16) |
           (static_cast<std::uint32_t>(buffer[3]) << 24);
}

}  // namespace

std::uint32_t ReadPasswordRequest(platform::Registry& registry) {
    std::uint32_t secure = 0;
    bool opened = false;
    if (auto key = registry.OpenKey(kDesktopKey)) {
        secure = ReadFlag(*key, kIsSecureValue);
        opened = true;
    }
    if (auto key = registry.OpenKey(kDesktopKeyLower)) {
        secure |= ReadFlag(*key, kUsePasswordValue);
        opened = true;
    }
    // A store that is there but cannot be read may well ask for the password: the
    // lock stays shut rather than open for a broken file.
    if (!opened && !registry.ReadProblem().empty()) return kUnreadableStoreRequest;
    return secure;
}

namespace {

// Draws through the painter set by whoever draws the saver's window; nothing until then.
class ForwardingPainter : public platform::PromptPainter {
  public:
    void Paint(platform::WindowHandle window, std::size_t masked, bool full) override {
        if (painter) painter->Paint(window, masked, full);
    }
    platform::PromptPainter* painter = nullptr;
};

ForwardingPainter& Painter() {
    static ForwardingPainter painter;
    return painter;
}

// A time in milliseconds from the environment, or the default when it names none.
std::chrono::milliseconds TimeFromEnvironment(const char* name, std::chrono::milliseconds fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    const unsigned long ms = std::strtoul(text, &end, 10);
    if (*end != '\0' || ms > 600000) return fallback;
    return std::chrono::milliseconds(ms);
}

void (*g_promptIdle)() = nullptr;

// Each turn of the prompt's loop: the music's notices, and the work of whoever runs
// the saver (a lock keeps its scene going).
void PromptIdle() {
    platform::PollSequencerNotices();
    if (g_promptIdle) g_promptIdle();
}

}  // namespace

void SetSaverPromptIdle(void (*idle)()) { g_promptIdle = idle; }

namespace {

PasswordHooks& OwnPasswordHooks() {
    static std::unique_ptr<platform::PasswordService> service =
        platform::CreateDefaultPasswordService();
    // The music keeps repeating while the prompt holds the program.
    static platform::ModalPasswordPrompt prompt(
        &Painter(),
        platform::PromptOptions{
            TimeFromEnvironment(kPromptTimeoutVariable, std::chrono::seconds(30)),
            &PromptIdle});
    static platform::SaverPasswordCheck check = [] {
        platform::SaverPasswordCheck c(service.get(), &prompt);
        c.SetFirstRefusalDelay(TimeFromEnvironment(kRefusalDelayVariable, std::chrono::seconds(1)));
        return c;
    }();
    static PasswordHooks hooks{&check};
    return hooks;
}

// Where the dialog of the system's check is about to be shown: the pause and the
// pointer's place, as for the saver's own prompt.
settings::ViewState* dialogView = nullptr;
InputState* dialogInput = nullptr;

void BeforeSystemDialog() {
    if (!dialogView || !dialogInput) return;
    dialogInput->passwordPause = true;
    int x = dialogView->ViewWidth / 2 + 120, y = dialogView->ViewHeight / 2;
    engine::ViewPointToScreen(&x, &y);
    platform::SetCursorPos(x, y);
}

}  // namespace

PasswordHooks& SaverPasswordHooks() {
    if (platform::UsesSystemPassword()) {
        static PasswordHooks system{nullptr, &platform::CheckSystemPassword};
        return system;
    }
    return OwnPasswordHooks();
}

void SetSaverPasswordPainter(platform::PromptPainter* painter) {
    Painter().painter = painter;
}

void SetSaverPasswordPrompt(platform::PasswordPrompt* prompt) {
    if (SaverPasswordHooks().check) SaverPasswordHooks().check->SetPrompt(prompt);
}

bool CheckSaverPassword(platform::WindowHandle window, platform::Registry& registry,
                        const PasswordHooks& hooks, settings::ViewState& shell, InputState& input) {
    const std::uint32_t secure = ReadPasswordRequest(registry);
    bool result = true;
    if (hooks.systemCheck) {
        dialogView = &shell;
        dialogInput = &input;
        const platform::SystemPasswordCheck answer =
            hooks.systemCheck(window, secure != 0, &BeforeSystemDialog);
        dialogView = nullptr;
        dialogInput = nullptr;
        result = answer != platform::SystemPasswordCheck::kNoFunction &&
                 answer != platform::SystemPasswordCheck::kRefused;
    } else if (hooks.check && secure != 0) {
        if (!hooks.check->HasPrompt()) {
            result = false;
        } else {
            input.passwordPause = true;
            int x = shell.ViewWidth / 2 + 120, y = shell.ViewHeight / 2;
            engine::ViewPointToScreen(&x, &y);
            platform::SetCursorPos(x, y);
            result = hooks.check->Verify(window);
        }
    }
    DropImeContext(window);
    return result;
}

bool CheckSaverPassword(platform::WindowHandle window) {
    return CheckSaverPassword(window, platform::UserRegistry(), SaverPasswordHooks(), settings::View(),
                              Input());
}

bool ChangeSaverPassword() {
    if (!platform::UsesSystemPassword()) return false;
    platform::ChangeSystemPassword();
    return true;
}

void DropImeContext(platform::WindowHandle) {
    platform::EndTextInput();
}

}  // namespace shell
