// The typed-password buffer, the refusal delay and the saver's password check.
#include "platform/password/password.h"

#include <thread>

namespace platform {

void WipeMemory(void* data, std::size_t size) {
    // Stores through a volatile pointer are never left out, though nothing reads them.
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    while (size-- > 0) *p++ = 0;
}

bool SecretText::Append(char c) {
    if (size_ >= kCapacity) return false;
    text_[size_++] = c;
    text_[size_] = '\0';
    return true;
}

bool SecretText::AppendCharacter(char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    char bytes[4];
    std::size_t n = 0;
    if (c < 0x80) {
        bytes[n++] = static_cast<char>(c);
    } else if (c < 0x800) {
        bytes[n++] = static_cast<char>(0xC0 | (c >> 6));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes[n++] = static_cast<char>(0xE0 | (c >> 12));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        bytes[n++] = static_cast<char>(0xF0 | (c >> 18));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    const bool fits = size_ + n <= kCapacity;
    if (fits) {
        for (std::size_t i = 0; i < n; ++i) text_[size_++] = bytes[i];
        text_[size_] = '\0';
    }
    WipeMemory(bytes, sizeof bytes);
    return fits;
}

static bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

void SecretText::RemoveLast() {
    // Back over the continuation bytes to the character's first byte, but never
    // more than a character's worth.
    for (std::size_t removed = 0; size_ > 0 && removed < 4; ++removed) {
        const char byte = text_[--size_];
        text_[size_] = '\0';
        if (!IsContinuation(byte)) break;
    }
}

std::size_t SecretText::characters() const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < size_; ++i) count += !IsContinuation(text_[i]);
    return count;
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

std::chrono::milliseconds RefusalDelay(int refusals, std::chrono::milliseconds first) {
    if (refusals <= 0) return std::chrono::milliseconds(0);
    const int doublings = refusals - 1 < 4 ? refusals - 1 : 4;
    return first * (1 << doublings);
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
    const std::chrono::milliseconds delay = RefusalDelay(refusals_, firstDelay_);
    if (spent < delay) sleep_(delay - spent);
    return false;
}

}  // namespace platform
