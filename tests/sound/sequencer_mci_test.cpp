// The sequencer on Windows' MCI "sequencer" device. Under Wine here there is no MIDI
// output: the open may give a device that never notifies, or be refused, and the
// program must then run silent without waiting on anything. What MCI itself would
// post is covered by posting a real MM_MCINOTIFY to the hidden window that MCI is
// given, and seeing our window get it with the same numbers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "audio_test_util.h"
#include "platform/audio/sequencer.h"
#include "platform/audio/sequencer_mci.h"
#include "platform/window/window.h"
#include "platform/win32_api.h"

using namespace platform;
using soundtest::Notice;
using soundtest::NoticeWindow;

namespace {

using Clock = std::chrono::steady_clock;

const std::filesystem::path kMidiDir = std::filesystem::path(ORBSAVER_TESTDATA_DIR) / "midi";

bool IsOutcome(WPARAM code) {
    return code == MCI_NOTIFY_SUCCESSFUL || code == MCI_NOTIFY_SUPERSEDED ||
           code == MCI_NOTIFY_ABORTED || code == MCI_NOTIFY_FAILURE;
}

HWND Native(WindowHandle target) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(SequencerNoticeWindow(target)));
}

}  // namespace

TEST(MciSequencer, AMissingFileIsUnreadableAndABrokenOneIsNoMidiBeforeMciSeesThem) {
    const std::size_t before = SequencerOpenCount();
    SequencerError e = SequencerError::kOk;
    EXPECT_EQ(SequencerOpen((soundtest::TempDir() / "no-such-piece.mid").string(), &e), 0u);
    EXPECT_EQ(e, SequencerError::kCannotRead);
    e = SequencerError::kOk;
    EXPECT_EQ(SequencerOpen("", &e), 0u);
    EXPECT_EQ(e, SequencerError::kCannotRead);
    // A folder is no file.
    e = SequencerError::kOk;
    EXPECT_EQ(SequencerOpen(soundtest::TempDir().string(), &e), 0u);
    EXPECT_EQ(e, SequencerError::kCannotRead);
    const std::string text = soundtest::WriteTemp("text.mid", {'n', 'o', ' ', 'm', 'i', 'd', 'i'});
    e = SequencerError::kOk;
    EXPECT_EQ(SequencerOpen(text, &e), 0u);
    EXPECT_EQ(e, SequencerError::kNotMidi);
    if (std::filesystem::is_directory(kMidiDir)) {
        for (const char* name : {"test-corrupt-file-missing-byte.mid", "test-empty-file.mid",
                                 "test-illegal-message-all.mid", "test-not-a-midi-file.mid"}) {
            e = SequencerError::kOk;
            EXPECT_EQ(SequencerOpen((kMidiDir / name).string(), &e), 0u) << name;
            EXPECT_EQ(e, SequencerError::kNotMidi) << name;
        }
    }
    EXPECT_EQ(SequencerOpenCount(), before);
    // The system's sequencer brings its own instruments.
    EXPECT_TRUE(SoundFontCandidates().empty());
    EXPECT_EQ(FindSoundFont(), "");
}

TEST(MciSequencer, UnknownDevicesAreRefused) {
    NoticeWindow window;
    for (MciDeviceId id : {0u, 1u, 4242u}) {
        EXPECT_FALSE(SequencerPlay(id, window.handle)) << id;
        EXPECT_FALSE(SequencerSeekToStart(id)) << id;
        EXPECT_FALSE(SequencerStop(id, window.handle)) << id;
        EXPECT_FALSE(SequencerPlaying(id)) << id;
        EXPECT_FALSE(SequencerClose(id)) << id;
    }
    EXPECT_TRUE(window.Take().empty());
}

// A real piece, opened as the saver opens it: a device, or no MIDI output. Every
// command the saver and the media page give then returns without waiting for the
// music, and whatever notices come carry the device and a known outcome.
TEST(MciSequencer, ARealPieceGivesADeviceOrNoOutputAndNoCommandHangs) {
    std::string piece = (kMidiDir / "bach_846.mid").string();
    if (!std::filesystem::exists(piece))
        piece = soundtest::WriteTemp("two-notes.mid", soundtest::MakeMidi(2));
    NoticeWindow window;
    const std::size_t before = SequencerOpenCount();
    const auto start = Clock::now();
    SequencerError e = SequencerError::kSynthesiser;
    const MciDeviceId id = SequencerOpen(piece, &e);
    if (id == 0) {
        EXPECT_EQ(e, SequencerError::kNoOutput);
        EXPECT_EQ(SequencerOpenCount(), before);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
        GTEST_SKIP() << "MCI refused the sequencer (no MIDI output): the music stays silent";
    }
    EXPECT_EQ(e, SequencerError::kOk);
    EXPECT_EQ(SequencerOpenCount(), before + 1);
    // The saver's round: play, rewind and play again; the media page's: stop, play.
    EXPECT_TRUE(SequencerPlay(id, window.handle));
    EXPECT_TRUE(SequencerSeekToStart(id));
    EXPECT_TRUE(SequencerPlay(id, window.handle));
    EXPECT_TRUE(SequencerStop(id, window.handle));
    EXPECT_FALSE(SequencerPlaying(id));
    EXPECT_TRUE(SequencerPlay(id, 0));
    EXPECT_TRUE(SequencerClose(id));
    EXPECT_FALSE(SequencerClose(id));
    EXPECT_FALSE(SequencerPlay(id, window.handle));
    EXPECT_EQ(SequencerOpenCount(), before);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    for (const Notice& n : window.Take()) {
        EXPECT_TRUE(IsOutcome(n.code)) << n.code;
        EXPECT_EQ(n.device, static_cast<LPARAM>(id));
    }
}

TEST(MciNotices, WhatMciPostsToTheHiddenWindowReachesOurWindowWithTheSameNumbers) {
    NoticeWindow window;
    EXPECT_EQ(SequencerNoticeWindow(0), 0u);
    HWND hidden = Native(window.handle);
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(::IsWindow(hidden));
    EXPECT_EQ(Native(window.handle), hidden) << "one hidden window for each of ours";
    ASSERT_TRUE(PostMessageW(hidden, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 7));
    ASSERT_TRUE(PostMessageW(hidden, MM_MCINOTIFY, MCI_NOTIFY_SUPERSEDED, 0x1234));
    ASSERT_TRUE(PostMessageW(hidden, MM_MCINOTIFY, MCI_NOTIFY_FAILURE, 65535));
    // Other messages of the hidden window are its own business.
    ASSERT_TRUE(PostMessageW(hidden, WM_USER, 1, 2));
    const std::vector<Notice> seen = window.Take();
    const std::vector<Notice> expected = {
        {MCI_NOTIFY_SUCCESSFUL, 7}, {MCI_NOTIFY_SUPERSEDED, 0x1234}, {MCI_NOTIFY_FAILURE, 65535}};
    EXPECT_EQ(seen, expected);
}

TEST(MciNotices, EachOfOurWindowsGetsOnlyItsOwnNotices) {
    NoticeWindow window;
    const WindowHandle other = CreateWindow("Notices", WS_POPUP, 0, 0, 10, 10, 0);
    ASSERT_NE(other, 0u);
    HWND mine = Native(window.handle);
    HWND theirs = Native(other);
    ASSERT_NE(mine, nullptr);
    ASSERT_NE(theirs, nullptr);
    EXPECT_NE(mine, theirs);
    ASSERT_TRUE(PostMessageW(theirs, MM_MCINOTIFY, MCI_NOTIFY_ABORTED, 3));
    ASSERT_TRUE(PostMessageW(mine, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 3));
    PollSequencerNotices();
    // Both forwarded: the two arrive on our queue, each addressed to its own window.
    std::vector<Msg> got;
    Msg m;
    while (PeekMessage(&m, true)) {
        if (m.message == MM_MCINOTIFY) got.push_back(m);
    }
    ASSERT_EQ(got.size(), 2u);
    if (got[0].window != other) std::swap(got[0], got[1]);
    EXPECT_EQ(got[0].window, other);
    EXPECT_EQ(got[0].wParam, MCI_NOTIFY_ABORTED);
    EXPECT_EQ(got[1].window, window.handle);
    EXPECT_EQ(got[1].wParam, MCI_NOTIFY_SUCCESSFUL);
    EXPECT_EQ(got[1].lParam, 3);
}

// A window backend whose loop takes every message of the thread dispatches the
// hidden window's too; the notice arrives the same way.
TEST(MciNotices, ALoopThatTakesTheThreadsMessagesForwardsThemToo) {
    NoticeWindow window;
    HWND hidden = Native(window.handle);
    ASSERT_NE(hidden, nullptr);
    ASSERT_TRUE(PostMessageW(hidden, MM_MCINOTIFY, MCI_NOTIFY_ABORTED, 9));
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Msg m;
    ASSERT_TRUE(PeekMessage(&m, true));
    EXPECT_EQ(m.window, window.handle);
    EXPECT_EQ(m.message, MM_MCINOTIFY);
    EXPECT_EQ(m.wParam, MCI_NOTIFY_ABORTED);
    EXPECT_EQ(m.lParam, 9);
}
