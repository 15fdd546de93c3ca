// The screen-saver password service: the user's login password, checked through PAM,
// asked for by a prompt in the saver's own window. The typed text lives only in a
// wiped buffer; a refusal is answered after a delay that grows with each refusal in a
// row. A fake service stands in for PAM in tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/window.h"

namespace platform {

// Overwrites memory in a way the compiler may not leave out.
void WipeMemory(void* data, std::size_t size);

// A typed password in a fixed buffer: never copied, never grown (so no stray copy is
// left in freed memory), wiped when cleared or destroyed.
class SecretText {
  public:
    static constexpr std::size_t kCapacity = 255;

    SecretText() = default;
    ~SecretText() { Clear(); }
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;

    // False, keeping the text, when it is full.
    bool Append(char c);
    // Adds one character as UTF-8, the encoding of login passwords. False, keeping
    // the text, when its bytes do not all fit or it is no character at all.
    bool AppendCharacter(char32_t c);
    // Removes the last character: all of its bytes.
    void RemoveLast();
    void Clear();
    // Bytes, and the characters they make.
    std::size_t size() const { return size_; }
    std::size_t characters() const;
    // Whether not one more byte fits.
    bool full() const { return size_ == kCapacity; }
    bool empty() const { return size_ == 0; }
    const char* c_str() const { return text_; }

  private:
    char text_[kCapacity + 1] = {};
    std::size_t size_ = 0;
};

enum class PasswordAnswer {
    kAccepted,
    kRefused,
    kUnavailable,  // the service could not be asked at all
};

// Checks a password against the current user's.
class PasswordService {
  public:
    virtual ~PasswordService() = default;
    virtual PasswordAnswer Verify(const SecretText& password) = 0;
};

struct PamOptions {
    // The PAM service; empty chooses ours when it is installed, else "login", else "other".
    std::string service;
    // A folder of service files to use instead of the system's (tests only); empty
    // takes ORBSAVER_PAM_CONFIG_DIR when that is set.
    std::string configDir;
    // The user whose password is checked; empty for the user running the program.
    std::string user;
};

// The PAM service name our service file is installed as.
inline constexpr const char* kPamServiceName = "orbsaver";
// An environment variable naming a folder of PAM service files to use instead of the
// system's, when the options name none: for tests of the whole program.
inline constexpr const char* kPamConfigDirVariable = "ORBSAVER_PAM_CONFIG_DIR";

// The service to use when none is named: ours where a service file of that name is in
// one of the folders, else "login" where that one is, else "other".
std::string ChoosePamService(const std::vector<std::string>& configFolders);

std::unique_ptr<PasswordService> CreatePamPasswordService(PamOptions options = {});

// A service that accepts one password, for tests. It counts the checks and keeps the
// length of the last password it was given, never the password.
class FakePasswordService : public PasswordService {
  public:
    explicit FakePasswordService(std::string password,
                                 PasswordAnswer otherwise = PasswordAnswer::kRefused)
        : password_(std::move(password)), otherwise_(otherwise) {}
    PasswordAnswer Verify(const SecretText& password) override;

    int checks = 0;
    std::size_t lastLength = 0;

  private:
    std::string password_;
    PasswordAnswer otherwise_;
};

// The prompt drawn in the saver's window: shows it, lets the user type (each character
// shown masked) and returns when the user confirms (true) or gives up (false). The
// text typed goes into the buffer given and nowhere else.
class PasswordPrompt {
  public:
    virtual ~PasswordPrompt() = default;
    virtual bool Ask(WindowHandle window, SecretText* typed) = 0;
};

// The delay before a refusal is answered, after the given number of refusals in a row
// (counting this one): one second (or the first delay given), doubled with each
// further refusal, at most 16 times the first.
std::chrono::milliseconds RefusalDelay(int refusals,
                                       std::chrono::milliseconds first = std::chrono::seconds(1));

// The password check of the screen saver: asks through the prompt, verifies with the
// service, wipes what was typed and, on a refusal, answers only after the delay.
class SaverPasswordCheck {
  public:
    using Sleeper = std::function<void(std::chrono::milliseconds)>;

    // Neither is owned. Without a prompt the check has no way to ask (HasPrompt is false).
    SaverPasswordCheck(PasswordService* service, PasswordPrompt* prompt);

    bool HasPrompt() const { return prompt_ != nullptr; }
    void SetPrompt(PasswordPrompt* prompt) { prompt_ = prompt; }

    // True when the user typed the right password. Giving up, a wrong password and an
    // unavailable service are all refusals.
    bool Verify(WindowHandle window);
    // Verifies a password typed elsewhere; the buffer is wiped afterwards.
    bool VerifyTyped(SecretText* typed);

    int refusalsInARow() const { return refusals_; }
    // Replaces the waiting (tests).
    void SetSleeper(Sleeper sleeper) { sleep_ = std::move(sleeper); }
    // The delay of the first refusal in a row, the others doubling from it (tests).
    void SetFirstRefusalDelay(std::chrono::milliseconds first) { firstDelay_ = first; }

  private:
    PasswordService* service_;
    PasswordPrompt* prompt_;
    int refusals_ = 0;
    Sleeper sleep_;
    std::chrono::milliseconds firstDelay_ = std::chrono::seconds(1);
};

}  // namespace platform
