// The typed-password buffer, the refusal delay and the saver's password check.
#include "platform/password/password.h"

#include <string.h>

#include <thread>

namespace platform {

void WipeMemory(void* data, std::size_t size) {
    explicit_bzero(data, size);
}

bool SecretText::Append(char c) {
    if (size_ >= kCapacity) return false;
    text_[size_++] = c;
    text_[size_] = '\0';
    return true;
}

void SecretText::RemoveLast() {
    if (size_ == 0) return;
    text_[--size_] = '\0';
}

void SecretText::Clear() {
    WipeMemory(text_, sizeof text_);
    size_ = 0;
}

PasswordAnswer FakePasswordService::Verify(const SecretText& password) {
    ++checks;
    lastLength = password.size();
    return password_ == std::string_view(password.c_str(), password.size())
               ? PasswordAnswer::kAccepted
               : otherwise_;
}

std::chrono::milliseconds RefusalDelay(int refusals) {
    if (refusals <= 0) return std::chrono::milliseconds(0);
    const int doublings = refusals - 1 < 4 ? refusals - 1 : 4;
    return std::chrono::milliseconds(1000 << doublings);
}

SaverPasswordCheck::SaverPasswordCheck(PasswordService* service, PasswordPrompt* prompt)
    : service_(service),
      prompt_(prompt),
      sleep_([](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); }) {}

bool SaverPasswordCheck::Verify(WindowHandle window) {
    if (!prompt_) return false;
    SecretText typed;
    if (!prompt_->Ask(window, &typed)) return false;
    return VerifyTyped(&typed);
}

bool SaverPasswordCheck::VerifyTyped(SecretText* typed) {
    const auto start = std::chrono::steady_clock::now();
    const PasswordAnswer answer =
        service_ ? service_->Verify(*typed) : PasswordAnswer::kUnavailable;
    typed->Clear();
    if (answer == PasswordAnswer::kAccepted) {
        refusals_ = 0;
        return true;
    }
    ++refusals_;
    // The time the service itself took (PAM waits after a failure too) counts toward the delay.
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    const std::chrono::milliseconds delay = RefusalDelay(refusals_);
    if (spent < delay) sleep_(delay - spent);
    return false;
}

}  // namespace platform
