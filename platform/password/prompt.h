// The password prompt's behaviour, apart from its drawing: a modal loop over the saver
// window's messages that collects the typed characters into a SecretText, confirms on
// Enter, gives up on Escape or after a spell without typing, and has a painter show
// the prompt with one mask character for each character typed.
#pragma once

#include <chrono>
#include <cstddef>

#include "platform/password/password.h"
#include "platform/window/window.h"

namespace platform {

// Draws the prompt in the window: its title, a field holding `masked` mask characters,
// and whether the field is full. Called whenever that changes.
class PromptPainter {
  public:
    virtual ~PromptPainter() = default;
    virtual void Paint(WindowHandle window, std::size_t masked, bool full) = 0;
};

enum class EntryStep { kTyping, kConfirmed, kGivenUp };

// What one message does to the text being typed: printable characters (WM_CHAR) are
// added, Backspace removes the last one, Enter confirms, Escape gives up, with Alt
// held or not. Other messages leave it as it is.
EntryStep ApplyEntryMessage(const Msg& message, SecretText* typed);

struct PromptOptions {
    // Giving up after this long without a key.
    std::chrono::milliseconds idleTimeout = std::chrono::seconds(30);
    // Called on each turn of the loop, for work the program's own loop would do
    // (the sequencer's notices, for one).
    void (*onIdle)() = nullptr;
};

// The prompt as the check uses it. Input already waiting when it starts (the key that
// woke the saver) is dropped. While it runs, the window's keyboard and pointer
// messages go to the prompt; every other message is dispatched as usual, so timers,
// painting and the music go on. A quit message ends the prompt and is posted again.
class ModalPasswordPrompt : public PasswordPrompt {
  public:
    explicit ModalPasswordPrompt(PromptPainter* painter, PromptOptions options = {})
        : painter_(painter), options_(options) {}
    bool Ask(WindowHandle window, SecretText* typed) override;

  private:
    PromptPainter* painter_;
    PromptOptions options_;
};

}  // namespace platform
