// The media page's music through the tests' own audio backend, whose samples the test
// pulls: the sequencer's devices, its end and its notices. Windows plays the music
// through MCI, which Wine here cannot play (no MIDI output).
#include <gtest/gtest.h>

#include "media_page_test_util.h"

using namespace config;
using namespace config_test;
using namespace platform;

namespace {

class NoAudioDevice : public AudioBackend {
public:
    bool Start(Mixer&, std::uint32_t*) override { return false; }
    void Stop() override {}
};

}  // namespace

TEST_F(MediaPage, TheMusicPlaysFromThePageAndTheRefreshNeverOpensASecondDevice) {
    if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont is installed";
    settings::SceneSettings& s = settings::Settings();
    const std::string piece = WriteMidi("piece.mid", 8), other = WriteMidi("other.mid", 3);
    SetPath(s.MIDI_NM, piece);
    s.M_ON = 1;
    const std::size_t before = SequencerOpenCount();
    Open();
    const std::uint32_t device = sound::MusicDevice();
    ASSERT_NE(device, 0u);
    EXPECT_TRUE(SequencerPlaying(device));
    EXPECT_EQ(SequencerOpenCount(), before + 1);
    EXPECT_TRUE(Enabled(page2, kMidiButton));

    // Every click refreshes the page; the open device stays, playing.
    for (int id : {kDither, kMakerOn, kSoundOn, kFlat, kGouraud, kDither, kMakerOn, kSoundOn}) {
        Click(page2, id);
    }
    EXPECT_EQ(SequencerOpenCount(), before + 1);
    EXPECT_EQ(sound::MusicDevice(), device);
    EXPECT_TRUE(SequencerPlaying(device));

    // MIDI On off stops it and keeps it open; on again plays it on.
    Click(page2, kMidiOn);
    EXPECT_EQ(s.M_ON, 0);
    EXPECT_FALSE(SequencerPlaying(device));
    EXPECT_FALSE(Enabled(page2, kMidiButton));
    EXPECT_EQ(SequencerOpenCount(), before + 1);
    Click(page2, kMidiOn);
    EXPECT_EQ(s.M_ON, 1);
    EXPECT_TRUE(SequencerPlaying(device));
    EXPECT_TRUE(Enabled(page2, kMidiButton));
    EXPECT_EQ(SequencerOpenCount(), before + 1);

    // The chooser: cancelled, nothing; another file closes the first and plays.
    ui->fileAnswers.push_back(std::nullopt);
    Click(page2, kMidiButton);
    ExpectAsked("Open MIDI file", "MIDI file (*.mid)", "*.mid", piece);
    EXPECT_EQ(sound::MusicDevice(), device);
    ui->fileAnswers.push_back(other);
    Click(page2, kMidiButton);
    EXPECT_STREQ(s.MIDI_NM, other.c_str());
    const std::uint32_t second = sound::MusicDevice();
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, device);
    EXPECT_FALSE(SequencerPlay(device, 0)) << "the first device was closed";
    EXPECT_TRUE(SequencerPlaying(second));
    EXPECT_EQ(SequencerOpenCount(), before + 1);

    // A file that cannot be opened: no music; the rest stays as it was.
    const std::string broken = Write("broken.mid", "MThd but nothing more");
    ui->fileAnswers.push_back(broken);
    Click(page2, kMidiButton);
    EXPECT_EQ(sound::MusicDevice(), 0u);
    EXPECT_EQ(SequencerOpenCount(), before);
    EXPECT_EQ(s.M_ON, 1);
    Click(page2, kDither);  // the refresh tries it again, in vain
    EXPECT_EQ(SequencerOpenCount(), before);
    EXPECT_TRUE(Checked(kMidiOn));

    // Back to a good file, then the dialog closes and takes the music with it.
    ui->fileAnswers.push_back(piece);
    Click(page2, kMidiButton);
    EXPECT_EQ(SequencerOpenCount(), before + 1);
    DestroyWindow(dialog);
    EXPECT_EQ(sound::MusicDevice(), 0u);
    EXPECT_EQ(SequencerOpenCount(), before);
}

TEST_F(MediaPage, MidiOnSwitchedOnOpensTheMusicOnceAndItsNoticesGoToThePage) {
    if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont is installed";
    settings::SceneSettings& s = settings::Settings();
    SetPath(s.MIDI_NM, WriteMidi("short.mid", 1));
    s.M_ON = 0;
    const std::size_t before = SequencerOpenCount();
    Open();
    EXPECT_EQ(sound::MusicDevice(), 0u);
    Click(page2, kMidiOn);
    const std::uint32_t device = sound::MusicDevice();
    ASSERT_NE(device, 0u);
    EXPECT_EQ(SequencerOpenCount(), before + 1);
    EXPECT_TRUE(SequencerPlaying(device));
    // Played to its end, it stays at its end: the page does not start it again.
    std::vector<float> samples(2048 * 2);
    for (int i = 0; i < 200 && SequencerPlaying(device); ++i) output->Pull(samples.data(), 2048);
    EXPECT_FALSE(SequencerPlaying(device));
    PollSequencerNotices();
    Msg m;
    int notices = 0;
    while (PeekMessage(&m, true)) {
        if (m.message == MM_MCINOTIFY && m.window == page2) ++notices;
        DispatchMessage(m);
    }
    EXPECT_EQ(notices, 1);
    Click(page2, kDither);
    EXPECT_FALSE(SequencerPlaying(device));
    EXPECT_EQ(SequencerOpenCount(), before + 1);
}

TEST_F(MediaPage, WithoutAnAudioDeviceSoundAndMidiStillToggleAndAreSaved) {
    SetAudioBackend(std::make_unique<NoAudioDevice>());
    settings::SceneSettings& s = settings::Settings();
    SetPath(s.MIDI_NM, WriteMidi("quiet.mid"));
    s.M_ON = 0;
    s.S_ON = 1;
    Open();
    Click(page2, kMidiOn);
    EXPECT_EQ(s.M_ON, 1);
    EXPECT_EQ(sound::MusicDevice(), 0u);
    EXPECT_TRUE(Enabled(page2, kMidiButton));
    Click(page2, kSoundOn);
    EXPECT_EQ(s.S_ON, 0);
    ui->fileAnswers.push_back(WriteMidi("another.mid"));
    Click(page2, kMidiButton);
    EXPECT_EQ(sound::MusicDevice(), 0u);
    Click(dialog, kOk);
    EXPECT_EQ(Stored(registry, "M_ON"), std::string("     1") + '\0');
    EXPECT_EQ(Stored(registry, "S_ON"), std::string("     0") + '\0');
    EXPECT_STREQ(Stored(registry, "MIDI_NM").c_str(), (dir_ + "/another.mid").c_str());
}
