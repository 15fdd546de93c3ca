// The modal loop of the password prompt.
#include "platform/password/prompt.h"

#include "platform/password/input_method.h"

namespace platform {

namespace {

bool IsInput(std::uint32_t message) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            return true;
        default:
            return false;
    }
}

}  // namespace

EntryStep ApplyEntryMessage(const Msg& message, SecretText* typed) {
    if (message.message == WM_CHAR) {
        // A character of any script; control characters (C0, DEL and C1) are not
        // part of a password.
        const WPARAM c = message.wParam;
        if (c >= 0x20 && !(c >= 0x7F && c <= 0x9F))
            typed->AppendCharacter(static_cast<char32_t>(c));
    } else if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) {
        // Held Alt (which may be the very key that opened the prompt) changes nothing.
        switch (message.wParam) {
            case VK_RETURN:
                return EntryStep::kConfirmed;
            case VK_ESCAPE:
                return EntryStep::kGivenUp;
            case VK_BACK:
                typed->RemoveLast();
                break;
            default:
                break;
        }
    }
    return EntryStep::kTyping;
}

bool ModalPasswordPrompt::Ask(WindowHandle window, SecretText* typed) {
    using Clock = std::chrono::steady_clock;
    typed->Clear();
    BeginTextInput();
    // What was typed before the prompt showed (the key that woke the saver, and its
    // character) is not part of the password.
    for (Msg early;
         PeekMessage(&early, false) && early.window == window && IsInput(early.message);) {
        PeekMessage(&early, true);
        WipeMemory(&early, sizeof early);
    }
    std::size_t shown = 0;
    if (painter_) painter_->Paint(window, 0, false);
    auto lastKey = Clock::now();
    EntryStep step = EntryStep::kTyping;
    while (step == EntryStep::kTyping) {
        if (options_.onIdle) options_.onIdle();
        Msg m;
        if (!PeekMessage(&m, true)) {
            if (Clock::now() - lastKey >= options_.idleTimeout) {
                step = EntryStep::kGivenUp;
                break;
            }
            WaitMessage(16);
            continue;
        }
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            step = EntryStep::kGivenUp;
            break;
        }
        if (m.window == window && IsInput(m.message)) {
            if (m.message == WM_CHAR || m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN) {
                step = ApplyEntryMessage(m, typed);
                lastKey = Clock::now();
            }
            WipeMemory(&m, sizeof m);  // a typed character leaves no copy here
            // Keys that arrive faster than the prompt draws are shown together.
            Msg next;
            const bool moreTyping = PeekMessage(&next, false) && next.window == window &&
                                    IsInput(next.message);
            WipeMemory(&next, sizeof next);
            if (!moreTyping && painter_ && typed->characters() != shown) {
                shown = typed->characters();
                painter_->Paint(window, shown, typed->full());
            }
            continue;
        }
        DispatchMessage(m);
    }
    if (step != EntryStep::kConfirmed) typed->Clear();
    return step == EntryStep::kConfirmed;
}

}  // namespace platform
