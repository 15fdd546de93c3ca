// The password prompt's loop on the null desktop: what typing does to the text, how
// the prompt ends, what it shows, and which messages it keeps from the saver window.
#include "platform/password/prompt.h"

#include <gtest/gtest.h>

#include <deque>

using namespace platform;
using namespace std::chrono_literals;

namespace {

std::vector<std::uint32_t> g_dispatched;
// Messages that arrive one by one while the prompt runs, as a user's typing would.
std::deque<Msg> g_script;

LRESULT Recording(WindowHandle w, std::uint32_t m, WPARAM wp, LPARAM lp) {
    g_dispatched.push_back(m);
    return DefWindowProc(w, m, wp, lp);
}

// How many scripted messages arrive together on each turn: one, as typing goes, or
// a burst, as keys that arrive faster than the prompt draws.
std::deque<std::size_t> g_bursts;

void NextScripted() {
    std::size_t count = 1;
    if (!g_bursts.empty()) {
        count = g_bursts.front();
        g_bursts.pop_front();
    }
    for (; count > 0 && !g_script.empty(); --count) {
        const Msg m = g_script.front();
        g_script.pop_front();
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
        } else {
            PostMessage(m.window, m.message, m.wParam, m.lParam);
        }
    }
}

class Painter : public PromptPainter {
  public:
    void Paint(WindowHandle, std::size_t masked, bool full) override {
        counts.push_back(masked);
        lastFull = full;
    }
    std::vector<std::size_t> counts;
    bool lastFull = false;
};

class Prompt : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetWindowSystem();
        SetWindowBackend(CreateNullWindowBackend());
        RegisterWindowClass("Saver", Recording);
        window = CreateWindow("Saver", WS_POPUP, 0, 0, 800, 600, 0);
        g_dispatched.clear();
        g_script.clear();
        g_bursts.clear();
    }
    void TearDown() override { ResetWindowSystem(); }

    void Type(const char* text) {
        for (const char* p = text; *p; ++p)
            g_script.push_back(Msg{window, WM_CHAR, static_cast<unsigned char>(*p), 1});
    }
    void Key(WPARAM vk) { g_script.push_back(Msg{window, WM_KEYDOWN, vk, 1}); }
    void Later(std::uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0) {
        g_script.push_back(Msg{window, message, wParam, lParam});
    }

    PromptOptions Options(std::chrono::milliseconds idle = 2000ms) {
        return PromptOptions{idle, &NextScripted};
    }
    bool Ask(SecretText* typed, std::chrono::milliseconds idle = 2000ms) {
        ModalPasswordPrompt prompt(&painter, Options(idle));
        return prompt.Ask(window, typed);
    }

    WindowHandle window = 0;
    Painter painter;
};

}  // namespace

TEST(PromptEntry, TypingEditsTheTextAndTheKeysEndIt) {
    SecretText t;
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_CHAR, 'p', 1}, &t), EntryStep::kTyping);
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_CHAR, ' ', 1}, &t), EntryStep::kTyping);
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_CHAR, '\t', 1}, &t), EntryStep::kTyping);  // ignored
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_CHAR, 0x7F, 1}, &t), EntryStep::kTyping);
    EXPECT_STREQ(t.c_str(), "p ");
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_KEYDOWN, VK_BACK, 1}, &t), EntryStep::kTyping);
    EXPECT_STREQ(t.c_str(), "p");
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_KEYUP, VK_RETURN, 1}, &t), EntryStep::kTyping);
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_KEYDOWN, VK_RETURN, 1}, &t), EntryStep::kConfirmed);
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_KEYDOWN, VK_ESCAPE, 1}, &t), EntryStep::kGivenUp);
    EXPECT_STREQ(t.c_str(), "p");
}

TEST(PromptEntry, HeldAltChangesNothingAboutTheKeysThatEditAndEnd) {
    SecretText t;
    ApplyEntryMessage(Msg{1, WM_CHAR, 'a', 1}, &t);
    ApplyEntryMessage(Msg{1, WM_CHAR, 'b', 1}, &t);
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_SYSKEYDOWN, VK_BACK, 1 << 29}, &t), EntryStep::kTyping);
    EXPECT_STREQ(t.c_str(), "a");
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_SYSKEYDOWN, VK_RETURN, 1 << 29}, &t),
              EntryStep::kConfirmed);
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_SYSKEYDOWN, VK_ESCAPE, 1 << 29}, &t),
              EntryStep::kGivenUp);
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_SYSKEYUP, VK_ESCAPE, 1 << 29}, &t), EntryStep::kTyping);
    EXPECT_EQ(ApplyEntryMessage(Msg{1, WM_SYSKEYDOWN, 0x73, 1 << 29}, &t), EntryStep::kTyping);
    EXPECT_STREQ(t.c_str(), "a");
}

// Characters of several scripts, Backspace, Escape and Enter in any order, against
// what they should leave: the prompt's text is always the model's, cut at the
// buffer's end and never beyond it.
TEST(PromptEntry, AnyOrderOfCharactersAndEditingKeysLeavesTheExpectedText) {
    const std::u32string alphabet = U"aZ9 \u00F6\u00DF\u0416\u05D0\u3042\u6F22\U0001F600";
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    auto utf8 = [](const std::u32string& text) {
        SecretText t;
        for (char32_t c : text) t.AppendCharacter(c);
        return std::string(t.c_str(), t.size());
    };
    for (int round = 0; round < 300; ++round) {
        SecretText typed;
        std::u32string model;
        std::size_t bytes = 0;
        EntryStep step = EntryStep::kTyping;
        const std::uint32_t length = next(400);
        for (std::uint32_t i = 0; i < length && step == EntryStep::kTyping; ++i) {
            const std::uint32_t what = next(100);
            Msg m{1, WM_CHAR, 0, 1};
            EntryStep expected = EntryStep::kTyping;
            if (what < 80) {
                const char32_t c = alphabet[next(static_cast<std::uint32_t>(alphabet.size()))];
                m.wParam = c;
                const std::size_t n = utf8(std::u32string(1, c)).size();
                if (bytes + n <= SecretText::kCapacity) {
                    model.push_back(c);
                    bytes += n;
                }
            } else if (what < 95) {
                m = Msg{1, next(2) ? WM_KEYDOWN : WM_SYSKEYDOWN, VK_BACK, 1};
                if (!model.empty()) {
                    bytes -= utf8(model.substr(model.size() - 1)).size();
                    model.pop_back();
                }
            } else if (what < 98) {
                m = Msg{1, WM_KEYDOWN, VK_ESCAPE, 1};
                expected = EntryStep::kGivenUp;
            } else {
                m = Msg{1, WM_KEYDOWN, VK_RETURN, 1};
                expected = EntryStep::kConfirmed;
            }
            step = ApplyEntryMessage(m, &typed);
            ASSERT_EQ(step, expected) << "round " << round << " key " << i;
            ASSERT_LE(typed.size(), SecretText::kCapacity);
            ASSERT_EQ(std::string(typed.c_str(), typed.size()), utf8(model))
                << "round " << round << " key " << i;
            ASSERT_EQ(typed.characters(), model.size());
        }
    }
}

TEST(PromptEntry, CharactersBeyondAsciiAreTypedAndControlsAreNot) {
    SecretText t;
    for (WPARAM c : {WPARAM(0xF6), WPARAM(0x9B), WPARAM(0x3042), WPARAM(0x85), WPARAM(0x1F600)})
        ApplyEntryMessage(Msg{1, WM_CHAR, c, 1}, &t);
    EXPECT_STREQ(t.c_str(), "\xC3\xB6\xE3\x81\x82\xF0\x9F\x98\x80");
    ApplyEntryMessage(Msg{1, WM_KEYDOWN, VK_BACK, 1}, &t);
    EXPECT_STREQ(t.c_str(), "\xC3\xB6\xE3\x81\x82");
}

TEST_F(Prompt, EnterConfirmsWhatWasTypedAndEachChangeIsShownMasked) {
    Type("ab");
    Key(VK_BACK);
    Type("c");
    Key(VK_RETURN);
    SecretText typed;
    EXPECT_TRUE(Ask(&typed));
    EXPECT_STREQ(typed.c_str(), "ac");
    EXPECT_EQ(painter.counts, (std::vector<std::size_t>{0, 1, 2, 1, 2}));
    EXPECT_TRUE(g_dispatched.empty()) << "the typing never reaches the saver window";
}

TEST_F(Prompt, OneMaskForEachCharacterHoweverManyBytesItTakes) {
    Later(WM_CHAR, 0xF6);
    Later(WM_CHAR, 0x20AC);
    Key(VK_BACK);
    Key(VK_RETURN);
    SecretText typed;
    EXPECT_TRUE(Ask(&typed));
    EXPECT_STREQ(typed.c_str(), "\xC3\xB6");
    EXPECT_EQ(painter.counts, (std::vector<std::size_t>{0, 1, 2, 1}));
}

TEST_F(Prompt, WhatWasTypedBeforeThePromptShowedIsNotPartOfThePassword) {
    // The key that woke the saver, and its character, wait in the queue.
    PostMessage(window, WM_KEYDOWN, 'Q', 1);
    PostMessage(window, WM_CHAR, 'q', 1);
    PostMessage(window, WM_KEYUP, 'Q', 1);
    Type("pw");
    Key(VK_RETURN);
    SecretText typed;
    EXPECT_TRUE(Ask(&typed));
    EXPECT_STREQ(typed.c_str(), "pw");
}

TEST_F(Prompt, EscapeGivesUpAndLeavesNothingTyped) {
    Type("secret");
    Key(VK_ESCAPE);
    SecretText typed;
    EXPECT_FALSE(Ask(&typed));
    EXPECT_TRUE(typed.empty());
}

TEST_F(Prompt, AFullFieldTakesNoMore) {
    for (std::size_t i = 0; i < SecretText::kCapacity + 5; ++i) Type("x");
    Key(VK_RETURN);
    SecretText typed;
    EXPECT_TRUE(Ask(&typed));
    EXPECT_EQ(typed.size(), SecretText::kCapacity);
    EXPECT_TRUE(painter.lastFull);
}

TEST_F(Prompt, KeysFasterThanItDrawsAreShownTogether) {
    for (int i = 0; i < 30; ++i) Type("k");
    Key(VK_BACK);
    Key(VK_RETURN);
    g_bursts = {31};  // every key but Enter arrives at once
    SecretText typed;
    EXPECT_TRUE(Ask(&typed));
    EXPECT_EQ(typed.size(), 29u);
    EXPECT_EQ(painter.counts, (std::vector<std::size_t>{0, 29}));
}

TEST_F(Prompt, ATypedPasswordLongerThanTheBufferIsCutThere) {
    for (int i = 0; i < 1000; ++i) Later(WM_CHAR, 0x20AC);  // three bytes each
    Key(VK_RETURN);
    g_bursts = {1000};
    SecretText typed;
    EXPECT_TRUE(Ask(&typed));
    EXPECT_EQ(typed.size(), SecretText::kCapacity);
    EXPECT_EQ(typed.characters(), SecretText::kCapacity / 3);
    EXPECT_EQ(typed.c_str()[SecretText::kCapacity], '\0');
    EXPECT_TRUE(painter.lastFull);
}

TEST_F(Prompt, GivesUpAfterASpellWithoutTyping) {
    Type("half");
    SecretText typed;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Ask(&typed, 100ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_TRUE(typed.empty());
}

TEST_F(Prompt, OtherMessagesGoOnWhileThePointerAndKeysAreKeptFromTheWindow) {
    Later(WM_MOUSEMOVE, 0, MakePointParam(5, 5));
    Later(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    Later(WM_TIMER, 0, 0);
    Later(MM_MCINOTIFY, 1, 1);
    Type("k");
    Key(VK_RETURN);
    SecretText typed;
    EXPECT_TRUE(Ask(&typed));
    EXPECT_EQ(g_dispatched, (std::vector<std::uint32_t>{WM_TIMER, MM_MCINOTIFY}));
}

TEST_F(Prompt, AQuitMessageEndsThePromptAndIsKept) {
    Type("abc");
    g_script.push_back(Msg{0, WM_QUIT, 3, 0});
    Key(VK_RETURN);
    SecretText typed;
    EXPECT_FALSE(Ask(&typed));
    EXPECT_TRUE(typed.empty());
    Msg m;
    ASSERT_TRUE(PeekMessage(&m, true));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
}

TEST_F(Prompt, TheCheckAsksThroughThePrompt) {
    FakePasswordService service("ok go");
    ModalPasswordPrompt prompt(&painter, Options());
    SaverPasswordCheck check(&service, &prompt);
    check.SetSleeper([](std::chrono::milliseconds) {});
    Type("ok go");
    Key(VK_RETURN);
    EXPECT_TRUE(check.Verify(window));
    Type("ok no");
    Key(VK_RETURN);
    EXPECT_FALSE(check.Verify(window));
    EXPECT_EQ(service.checks, 2);
}
