// The password hooks: the store's two values combined by OR, the decision whether the
// saver may end, the pointer and pause before the prompt, the growing delay after
// refusals, and the typed text wiped after each check.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/password/password.h"
#include "platform/registry/registry.h"
#include "shell/password.h"
#include "tests/fake_window_backend.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

const std::string kDesktopPath = "HKEY_CURRENT_USER\\Control Panel\\Desktop";

RegValue Dword(const char* name, std::uint32_t v) {
    return RegValue{name,
                    kRegDword,
                    {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                     static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)}};
}

RegValue Text(const char* name, const char* text) {
    std::vector<std::uint8_t> data(text, text + std::strlen(text) + 1);
    return RegValue{name, kRegSz, data};
}

MemoryRegistry Desktop(std::vector<RegValue> values) {
    MemoryRegistry r;
    r.document.keys.push_back(RegKey{kDesktopPath, std::move(values)});
    return r;
}

// A prompt that types a fixed text, or gives up; it counts how often it was shown.
class TypingPrompt : public PasswordPrompt {
  public:
    bool Ask(WindowHandle window, SecretText* typed) override {
        ++shown;
        lastWindow = window;
        buffer = typed;
        if (giveUp) return false;
        for (char c : text) typed->Append(c);
        return true;
    }
    std::string text;
    bool giveUp = false;
    int shown = 0;
    WindowHandle lastWindow = 0;
    SecretText* buffer = nullptr;
};

class PasswordCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop = &testing_desktop::InstallFakeDesktop();
        shell.ViewWidth = 800;
        shell.ViewHeight = 600;
        input.passwordPause = false;
        check.SetSleeper([this](std::chrono::milliseconds d) { waits.push_back(d); });
    }
    void TearDown() override { SetWindowBackend(CreateNullWindowBackend()); }

    bool Check(Registry& r) { return shell::CheckSaverPassword(7, r, hooks, shell, input); }

    FakePasswordService service{"open sesame"};
    TypingPrompt prompt;
    SaverPasswordCheck check{&service, &prompt};
    shell::PasswordHooks hooks{&check};
    settings::ViewState shell;
    shell::InputState input;
    testing_desktop::FakeWindowBackend* desktop = nullptr;
    std::vector<std::chrono::milliseconds> waits;
};

}  // namespace

TEST(PasswordRequest, TheTwoValuesAreCombinedByOr) {
    struct Case {
        const char* what;
        std::vector<RegValue> values;
        std::uint32_t expected;
    };
    const std::vector<Case> cases = {
        {"neither value", {}, 0},
        {"both zero", {Dword("ScreenSaverIsSecure", 0), Dword("ScreenSaveUsePassword", 0)}, 0},
        {"secure only", {Dword("ScreenSaverIsSecure", 1)}, 1},
        {"use password only",
         {Dword("ScreenSaverIsSecure", 0), Dword("ScreenSaveUsePassword", 1)},
         1},
        {"bits of both", {Dword("ScreenSaverIsSecure", 2), Dword("ScreenSaveUsePassword", 1)}, 3},
        {"one byte", {RegValue{"ScreenSaverIsSecure", kRegBinary, {1}}}, 1},
        {"five bytes cannot be read",
         {RegValue{"ScreenSaverIsSecure", kRegBinary, {1, 0, 0, 0, 0}}},
         0},
        {"text one", {Text("ScreenSaverIsSecure", "1")}, 1},
        {"text zero", {Text("ScreenSaverIsSecure", "0"), Text("ScreenSaveUsePassword", "0")}, 0},
        {"text that is no number", {Text("ScreenSaveUsePassword", "yes")}, 0},
        {"names in another case",
         {Dword("screensaverissecure", 0), Dword("SCREENSAVEUSEPASSWORD", 4)},
         4},
    };
    for (const Case& c : cases) {
        MemoryRegistry r = Desktop(c.values);
        EXPECT_EQ(shell::ReadPasswordRequest(r), c.expected) << c.what;
    }
    MemoryRegistry none;
    EXPECT_EQ(shell::ReadPasswordRequest(none), 0u) << "no desktop key";
}

TEST_F(PasswordCheck, WithoutAPasswordServiceTheSaverEndsAtOnce) {
    MemoryRegistry r = Desktop({Dword("ScreenSaverIsSecure", 1)});
    hooks.check = nullptr;
    EXPECT_TRUE(Check(r));
    EXPECT_EQ(prompt.shown, 0);
    EXPECT_FALSE(input.passwordPause);
}

TEST_F(PasswordCheck, WithoutAPasswordAskedForTheSaverEndsAtOnce) {
    MemoryRegistry r =
        Desktop({Dword("ScreenSaverIsSecure", 0), Dword("ScreenSaveUsePassword", 0)});
    EXPECT_TRUE(Check(r));
    EXPECT_EQ(prompt.shown, 0);
    EXPECT_EQ(service.checks, 0);
    EXPECT_FALSE(input.passwordPause);
    EXPECT_EQ(desktop->pointerX, -1) << "the pointer stays where it is";
}

TEST_F(PasswordCheck, AServiceThatCannotAskKeepsTheSaverRunning) {
    MemoryRegistry r = Desktop({Dword("ScreenSaveUsePassword", 1)});
    check.SetPrompt(nullptr);
    EXPECT_FALSE(Check(r));
    EXPECT_EQ(service.checks, 0);
    EXPECT_FALSE(input.passwordPause) << "nothing was shown, so no pause";
}

TEST_F(PasswordCheck, TheRightPasswordEndsTheSaverAfterThePointerMovedBesideTheCentre) {
    MemoryRegistry r =
        Desktop({Dword("ScreenSaverIsSecure", 0), Dword("ScreenSaveUsePassword", 1)});
    prompt.text = "open sesame";
    EXPECT_TRUE(Check(r));
    EXPECT_EQ(prompt.shown, 1);
    EXPECT_EQ(prompt.lastWindow, 7u);
    EXPECT_TRUE(input.passwordPause);
    EXPECT_EQ(desktop->pointerX, 520);
    EXPECT_EQ(desktop->pointerY, 300);
    EXPECT_EQ(service.checks, 1);
    EXPECT_TRUE(waits.empty()) << "an accepted password is answered at once";

    shell.ViewWidth = 153;  // halves are cut toward zero
    shell.ViewHeight = 113;
    EXPECT_TRUE(Check(r));
    EXPECT_EQ(desktop->pointerX, 76 + 120);
    EXPECT_EQ(desktop->pointerY, 56);
}

TEST_F(PasswordCheck, RefusalsAreAnsweredLaterEachTimeUntilTheRightPassword) {
    MemoryRegistry r = Desktop({Dword("ScreenSaverIsSecure", 1)});
    prompt.text = "open sesam";
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(Check(r));
    EXPECT_EQ(waits.size(), 6u);
    const std::vector<std::chrono::milliseconds> expected = {1000ms, 2000ms,  4000ms,
                                                             8000ms, 16000ms, 16000ms};
    for (std::size_t i = 0; i < waits.size(); ++i) {
        // The service's own time counts toward the delay; the fake takes next to none.
        EXPECT_LE(waits[i], expected[i]);
        EXPECT_GE(waits[i], expected[i] - 100ms);
    }
    EXPECT_EQ(check.refusalsInARow(), 6);
    prompt.text = "open sesame";
    EXPECT_TRUE(Check(r));
    EXPECT_EQ(check.refusalsInARow(), 0);
    prompt.text = "wrong";
    waits.clear();
    EXPECT_FALSE(Check(r));
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_GE(waits[0], 900ms) << "the delay starts over after a success";
}

TEST_F(PasswordCheck, GivingUpAtThePromptIsARefusalWithoutAsking) {
    MemoryRegistry r = Desktop({Dword("ScreenSaverIsSecure", 1)});
    prompt.giveUp = true;
    EXPECT_FALSE(Check(r));
    EXPECT_EQ(service.checks, 0);
    EXPECT_TRUE(input.passwordPause);
}

TEST_F(PasswordCheck, AnUnavailableServiceIsARefusal) {
    FakePasswordService broken("x", PasswordAnswer::kUnavailable);
    SaverPasswordCheck brokenCheck(&broken, &prompt);
    brokenCheck.SetSleeper([](std::chrono::milliseconds) {});
    hooks.check = &brokenCheck;
    MemoryRegistry r = Desktop({Dword("ScreenSaverIsSecure", 1)});
    prompt.text = "anything";
    EXPECT_FALSE(Check(r));
    EXPECT_EQ(broken.checks, 1);
}

TEST(TypedPassword, IsWipedOnceVerified) {
    FakePasswordService service("secret");
    SaverPasswordCheck check(&service, nullptr);
    check.SetSleeper([](std::chrono::milliseconds) {});
    for (const char* typed : {"secret", "wrong!"}) {
        SecretText text;
        for (const char* p = typed; *p; ++p) text.Append(*p);
        check.VerifyTyped(&text);
        EXPECT_EQ(service.lastLength, 6u);
        EXPECT_TRUE(text.empty());
        const char* raw = text.c_str();
        for (std::size_t i = 0; i <= SecretText::kCapacity; ++i)
            ASSERT_EQ(raw[i], 0) << typed << " at " << i;
    }
}

TEST(TypedPassword, HoldsAtMostItsCapacityAndEditsAtTheEnd) {
    SecretText text;
    for (std::size_t i = 0; i < SecretText::kCapacity; ++i) ASSERT_TRUE(text.Append('a'));
    EXPECT_FALSE(text.Append('b'));
    EXPECT_EQ(text.size(), SecretText::kCapacity);
    EXPECT_EQ(text.c_str()[SecretText::kCapacity], '\0');
    text.Clear();
    text.Append('x');
    text.Append('y');
    text.RemoveLast();
    EXPECT_STREQ(text.c_str(), "x");
    text.RemoveLast();
    text.RemoveLast();  // on an empty text: nothing
    EXPECT_TRUE(text.empty());
}

TEST(TypedPassword, HoldsCharactersOfAnyScriptAsUtf8AndRemovesThemWhole) {
    SecretText text;
    for (char32_t c : std::u32string_view(U"h\u00F6\u20AC\U0001F600")) {
        ASSERT_TRUE(text.AppendCharacter(c));
    }
    EXPECT_STREQ(text.c_str(), "h\xC3\xB6\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(text.size(), 10u);
    EXPECT_EQ(text.characters(), 4u);
    text.RemoveLast();
    EXPECT_STREQ(text.c_str(), "h\xC3\xB6\xE2\x82\xAC");
    text.RemoveLast();
    text.RemoveLast();
    EXPECT_STREQ(text.c_str(), "h");
    EXPECT_FALSE(text.AppendCharacter(0xD800));
    EXPECT_FALSE(text.AppendCharacter(0x110000));
    EXPECT_STREQ(text.c_str(), "h");

    // A character whose bytes do not all fit is not added in part.
    text.Clear();
    for (std::size_t i = 0; i + 1 < SecretText::kCapacity; ++i) ASSERT_TRUE(text.Append('a'));
    EXPECT_FALSE(text.AppendCharacter(0xF6));
    EXPECT_EQ(text.size(), SecretText::kCapacity - 1);
    EXPECT_FALSE(text.full());
    EXPECT_TRUE(text.AppendCharacter('b'));
    EXPECT_TRUE(text.full());
}

TEST(RefusalDelay, DoublesFromOneSecondUpToSixteen) {
    EXPECT_EQ(RefusalDelay(0), 0ms);
    EXPECT_EQ(RefusalDelay(1), 1000ms);
    EXPECT_EQ(RefusalDelay(2), 2000ms);
    EXPECT_EQ(RefusalDelay(5), 16000ms);
    EXPECT_EQ(RefusalDelay(1000), 16000ms);
}

TEST(RefusalDelay, DoublesFromTheFirstDelayGivenUpToSixteenTimesIt) {
    EXPECT_EQ(RefusalDelay(0, 10ms), 0ms);
    EXPECT_EQ(RefusalDelay(1, 10ms), 10ms);
    EXPECT_EQ(RefusalDelay(3, 10ms), 40ms);
    EXPECT_EQ(RefusalDelay(5, 10ms), 160ms);
    EXPECT_EQ(RefusalDelay(1000, 10ms), 160ms);
}

TEST_F(PasswordCheck, AShorterFirstDelayShortensEveryRefusal) {
    MemoryRegistry r = Desktop({Dword("ScreenSaverIsSecure", 1)});
    check.SetFirstRefusalDelay(10ms);
    prompt.text = "wrong";
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(Check(r));
    ASSERT_EQ(waits.size(), 3u);
    EXPECT_LE(waits[0], 10ms);
    EXPECT_LE(waits[2], 40ms);
    EXPECT_GE(waits[2], 30ms);
}

TEST_F(PasswordCheck, GivingUpAHundredTimesKeepsTheDelayWhereItWas) {
    MemoryRegistry r = Desktop({Dword("ScreenSaverIsSecure", 1)});
    prompt.text = "wrong";
    EXPECT_FALSE(Check(r));
    EXPECT_FALSE(Check(r));
    prompt.giveUp = true;
    for (int i = 0; i < 100; ++i) ASSERT_FALSE(Check(r));
    EXPECT_EQ(check.refusalsInARow(), 2);
    EXPECT_EQ(service.checks, 2) << "giving up asks PAM nothing";
    prompt.giveUp = false;
    EXPECT_FALSE(Check(r));
    ASSERT_EQ(waits.size(), 3u) << "giving up is answered at once";
    EXPECT_GE(waits[2], 3900ms) << "the third refusal waits four seconds";
}

TEST_F(PasswordCheck, AStoreThatCannotBeParsedMakesTheCheckAsk) {
    // Nothing in it, and a reason why, as the store file's backend gives for a file it
    // cannot parse.
    class Unreadable : public MemoryRegistry {
        std::string ReadProblem() override { return "user.reg cannot be parsed (line 3: bad line)"; }
    } store;
    prompt.text = "wrong";
    EXPECT_FALSE(Check(store));
    EXPECT_EQ(prompt.shown, 1);
    prompt.text = "open sesame";
    EXPECT_TRUE(Check(store));
}

namespace {

// The system's check as a test sets it up: what it answers, whether it was told of a
// password asked for, and whether it showed its dialog.
struct FakeSystemCheck {
    SystemPasswordCheck answer = SystemPasswordCheck::kAccepted;
    bool sawSecure = false;
    bool dialogShown = false;
    bool pauseBeforeDialog = false;
};
FakeSystemCheck* fakeSystem = nullptr;
shell::InputState* fakeSystemInput = nullptr;

SystemPasswordCheck FakeCheck(WindowHandle, bool secure, void (*beforeDialog)()) {
    fakeSystem->sawSecure = secure;
    const bool shows = secure && (fakeSystem->answer == SystemPasswordCheck::kAccepted ||
                                  fakeSystem->answer == SystemPasswordCheck::kRefused);
    if (shows) {
        beforeDialog();
        fakeSystem->dialogShown = true;
        fakeSystem->pauseBeforeDialog = fakeSystemInput->passwordPause;
    }
    return fakeSystem->answer;
}

}  // namespace

TEST_F(PasswordCheck, TheSystemsOwnCheckDecidesWhereTheSystemKeepsThePassword) {
    struct Case {
        const char* what;
        std::uint32_t secure;
        SystemPasswordCheck answer;
        bool ends;
        bool dialog;
    };
    const std::vector<Case> cases = {
        {"no library: the system locks the session itself", 1, SystemPasswordCheck::kNoLibrary,
         true, false},
        {"no password asked for", 0, SystemPasswordCheck::kNoPassword, true, false},
        {"a library that cannot check", 1, SystemPasswordCheck::kNoFunction, false, false},
        {"the right password", 1, SystemPasswordCheck::kAccepted, true, true},
        {"a wrong password", 1, SystemPasswordCheck::kRefused, false, true},
    };
    for (const Case& c : cases) {
        FakeSystemCheck fake;
        fake.answer = c.answer;
        fakeSystem = &fake;
        fakeSystemInput = &input;
        input.passwordPause = false;
        desktop->pointerX = desktop->pointerY = -1;
        shell::PasswordHooks system{nullptr, &FakeCheck};
        MemoryRegistry r = Desktop({Dword("ScreenSaveUsePassword", c.secure)});
        EXPECT_EQ(shell::CheckSaverPassword(7, r, system, shell, input), c.ends) << c.what;
        EXPECT_EQ(fake.sawSecure, c.secure != 0) << c.what;
        EXPECT_EQ(fake.dialogShown, c.dialog) << c.what;
        // The pause and the pointer beside the view's middle come only with the dialog.
        EXPECT_EQ(input.passwordPause, c.dialog) << c.what;
        EXPECT_EQ(fake.pauseBeforeDialog, c.dialog) << c.what;
        EXPECT_EQ(desktop->pointerX != -1, c.dialog) << c.what;
        EXPECT_EQ(prompt.shown, 0) << "the saver's own prompt is not used: " << c.what;
    }
    fakeSystem = nullptr;
}
