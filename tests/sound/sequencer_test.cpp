// The sequencer on an output that the test pulls: the music really sounds, and the
// notices come with the codes and device IDs of the multimedia command interface.
#include "platform/audio/sequencer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "audio_test_util.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/midi_file.h"
#include "sound/sound.h"

using namespace platform;
using soundtest::Notice;
using soundtest::NoticeWindow;

namespace {

class FailingOutput : public PulledAudioBackend {
  public:
    bool Failed() override { return failed; }
    bool failed = false;
};

class NoDevice : public AudioBackend {
  public:
    bool Start(Mixer&, std::uint32_t*) override { return false; }
    void Stop() override {}
};

class Sequencer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont is installed";
        auto backend = std::make_unique<FailingOutput>();
        output = backend.get();
        SetAudioBackend(std::move(backend));
        piece = soundtest::WriteTemp("two-notes.mid", soundtest::MakeMidi(2));
    }
    void TearDown() override {
        for (MciDeviceId id : opened) SequencerClose(id);
        SetAudioBackend(nullptr);
    }

    MciDeviceId Open(const std::string& path) {
        const MciDeviceId id = SequencerOpen(path);
        if (id) opened.push_back(id);
        return id;
    }

    std::vector<float> Pull(int frames) {
        std::vector<float> v(static_cast<std::size_t>(frames) * 2);
        output->Pull(v.data(), frames);
        return v;
    }

    // Pulls until the device stops playing (at most the given seconds); everything rendered.
    std::vector<float> PlayOut(MciDeviceId id, double seconds = 20) {
        std::vector<float> all;
        for (int i = 0; i < seconds * 44100 / 1024 && SequencerPlaying(id); ++i) {
            const std::vector<float> part = Pull(1024);
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }

    FailingOutput* output = nullptr;
    std::string piece;
    std::vector<MciDeviceId> opened;
    NoticeWindow window;
};

}  // namespace

TEST_F(Sequencer, DevicesGetNonzeroIdsThatDoNotRepeat) {
    const std::size_t before = SequencerOpenCount();
    const MciDeviceId a = Open(piece);
    const MciDeviceId b = Open(piece);
    ASSERT_NE(a, 0u);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(SequencerOpenCount(), before + 2);
    EXPECT_TRUE(SequencerClose(a));
    EXPECT_EQ(SequencerOpenCount(), before + 1);
    EXPECT_FALSE(SequencerClose(a));
    EXPECT_EQ(SequencerOpenCount(), before + 1);
    const MciDeviceId c = Open(piece);
    EXPECT_EQ(c, b + 1);
    EXPECT_FALSE(SequencerPlay(a, window.handle));  // a closed device is gone
    EXPECT_TRUE(window.Take().empty());
}

TEST_F(Sequencer, APlayToTheEndSoundsAndIsReportedSuccessfulWithTheDeviceId) {
    const MciDeviceId id = Open(piece);
    ASSERT_NE(id, 0u);
    EXPECT_LT(soundtest::Rms(Pull(4096)), 1e-6) << "an open device is silent until played";
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    EXPECT_TRUE(window.Take().empty());
    const std::vector<float> music = PlayOut(id);
    EXPECT_FALSE(SequencerPlaying(id));
    EXPECT_GT(soundtest::Rms(music), 0.005);
    // Two quarter notes at 120 beats a minute: about one second.
    EXPECT_NEAR(static_cast<double>(music.size()) / 2 / 44100, 1.0, 0.15);
    EXPECT_EQ(window.Take(),
              (std::vector<Notice>{{MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)}}));
    EXPECT_TRUE(window.Take().empty()) << "a notice is posted once";
}

TEST_F(Sequencer, ASuccessfulEndCanBeRewoundAndPlayedAgain) {
    const MciDeviceId id = Open(piece);
    ASSERT_NE(id, 0u);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(SequencerPlay(id, window.handle));
        const std::vector<float> music = PlayOut(id);
        EXPECT_GT(soundtest::Rms(music), 0.005) << "round " << round;
        const std::vector<Notice> notices = window.Take();
        ASSERT_EQ(notices, (std::vector<Notice>{{MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)}}));
        // What the saver window does on a successful end.
        EXPECT_TRUE(SequencerSeekToStart(id));
        EXPECT_TRUE(window.Take().empty()) << "a rewind after the end owes no notice";
    }
}

TEST_F(Sequencer, PlayingAtTheEndCompletesAtOnceInSilence) {
    const MciDeviceId id = Open(piece);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    PlayOut(id);
    window.Take();
    Pull(44100);  // let the last notes die away
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    EXPECT_FALSE(SequencerPlaying(id));
    EXPECT_LT(soundtest::Rms(Pull(4096)), 1e-4);
    EXPECT_EQ(window.Take(),
              (std::vector<Notice>{{MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)}}));
}

TEST_F(Sequencer, APlayAskingForANoticeSupersedesTheAwaitedOne) {
    const MciDeviceId id = Open(piece);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    Pull(4096);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    EXPECT_EQ(window.Take(),
              (std::vector<Notice>{{MCI_NOTIFY_SUPERSEDED, static_cast<LPARAM>(id)}}));
    // The play goes on from where it was: the piece ends after one second in all.
    const std::vector<float> rest = PlayOut(id);
    EXPECT_NEAR(static_cast<double>(rest.size()) / 2 / 44100, 1.0 - 4096.0 / 44100, 0.15);
    EXPECT_EQ(window.Take(),
              (std::vector<Notice>{{MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)}}));
}

TEST_F(Sequencer, StopAbortsThePlayReportsItselfAndKeepsThePosition) {
    const MciDeviceId id = Open(piece);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    Pull(11025);
    ASSERT_TRUE(SequencerStop(id, window.handle));
    EXPECT_EQ(window.Take(),
              (std::vector<Notice>{{MCI_NOTIFY_ABORTED, static_cast<LPARAM>(id)},
                                   {MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)}}));
    EXPECT_FALSE(SequencerPlaying(id));
    Pull(44100);
    EXPECT_LT(soundtest::Rms(Pull(4096)), 1e-4) << "a stopped device falls silent";
    EXPECT_TRUE(window.Take().empty());
    // Played again, it goes on from where it stopped.
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    const std::vector<float> rest = PlayOut(id);
    EXPECT_NEAR(static_cast<double>(rest.size()) / 2 / 44100, 0.75, 0.15);
    EXPECT_EQ(window.Take(),
              (std::vector<Notice>{{MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)}}));
}

TEST_F(Sequencer, SeekingToTheStartAbortsThePlayAndStartsOver) {
    const MciDeviceId id = Open(piece);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    Pull(22050);
    ASSERT_TRUE(SequencerSeekToStart(id));
    EXPECT_EQ(window.Take(), (std::vector<Notice>{{MCI_NOTIFY_ABORTED, static_cast<LPARAM>(id)}}));
    EXPECT_FALSE(SequencerPlaying(id));
    ASSERT_TRUE(SequencerPlay(id, 0));
    const std::vector<float> again = PlayOut(id);
    EXPECT_NEAR(static_cast<double>(again.size()) / 2 / 44100, 1.0, 0.15);
    EXPECT_TRUE(window.Take().empty()) << "a play without a window owes no notice";
}

TEST_F(Sequencer, CloseAbortsThePlay) {
    const MciDeviceId id = Open(piece);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    Pull(2048);
    ASSERT_TRUE(SequencerClose(id));
    EXPECT_EQ(window.Take(), (std::vector<Notice>{{MCI_NOTIFY_ABORTED, static_cast<LPARAM>(id)}}));
    EXPECT_FALSE(SequencerClose(id));
    EXPECT_FALSE(SequencerStop(id, window.handle));
    EXPECT_FALSE(SequencerSeekToStart(id));
    EXPECT_TRUE(window.Take().empty());
}

TEST_F(Sequencer, AnEndNotYetPostedIsStillReportedSuccessfulWhenACommandFollows) {
    const MciDeviceId id = Open(piece);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    PlayOut(id);  // ended on the output's side, not yet posted
    ASSERT_TRUE(SequencerStop(id, window.handle));
    EXPECT_EQ(window.Take(),
              (std::vector<Notice>{{MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)},
                                   {MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)}}));
}

TEST_F(Sequencer, AFailingOutputReportsFailure) {
    const MciDeviceId id = Open(piece);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    Pull(1024);
    output->failed = true;
    EXPECT_EQ(window.Take(), (std::vector<Notice>{{MCI_NOTIFY_FAILURE, static_cast<LPARAM>(id)}}));
    EXPECT_FALSE(SequencerPlaying(id));
}

TEST_F(Sequencer, FilesThatCannotBeOpenedGiveNoDevice) {
    SequencerError e = SequencerError::kOk;
    EXPECT_EQ(SequencerOpen("/nonexistent/piece.mid", &e), 0u);
    EXPECT_EQ(e, SequencerError::kCannotRead);
    EXPECT_EQ(SequencerOpen(std::filesystem::temp_directory_path().string(), &e), 0u);
    EXPECT_EQ(e, SequencerError::kCannotRead);
    EXPECT_EQ(SequencerOpen("", &e), 0u);
    // A pipe would block a reader until someone writes to it; it is refused at once.
    const std::string fifo = (soundtest::TempDir() / "pipe.mid").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(SequencerOpen(fifo, &e), 0u);
    EXPECT_EQ(e, SequencerError::kCannotRead);
    EXPECT_EQ(SequencerOpen("/dev/zero", &e), 0u);
    EXPECT_EQ(e, SequencerError::kCannotRead);
    std::filesystem::resize_file(soundtest::WriteTemp("huge.mid", soundtest::MakeMidi(1)),
                                 kMaxMidiFileBytes + 1);
    EXPECT_EQ(SequencerOpen((soundtest::TempDir() / "huge.mid").string(), &e), 0u);
    EXPECT_EQ(e, SequencerError::kCannotRead);
    const std::string text =
        soundtest::WriteTemp("text.mid", {'n', 'o', 't', ' ', 'm', 'i', 'd', 'i'});
    EXPECT_EQ(SequencerOpen(text, &e), 0u);
    EXPECT_EQ(e, SequencerError::kNotMidi);
    EXPECT_LT(soundtest::Rms(Pull(4096)), 1e-6);
}

TEST_F(Sequencer, NoOutputDeviceGivesNoDevice) {
    SetAudioBackend(std::make_unique<NoDevice>());
    SequencerError e = SequencerError::kOk;
    EXPECT_EQ(SequencerOpen(piece, &e), 0u);
    EXPECT_EQ(e, SequencerError::kNoOutput);
    EXPECT_FALSE(PlayWave(soundtest::Bytes(soundtest::MakeWave(1, 8, 11025, 100))));
    EXPECT_EQ(AudioOutputCount(), 0);
}

// Every well-formed shared MIDI file sounds; the corrupt, empty and non-MIDI ones
// give no device.
TEST_F(Sequencer, SharedMidiFilesSoundOrGiveNoDevice) {
    const std::filesystem::path dir = std::filesystem::path(ORBSAVER_TESTDATA_DIR) / "midi";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no shared MIDI files at " << dir;
    for (const char* name : {"test-corrupt-file-missing-byte.mid", "test-empty-file.mid",
                             "test-illegal-message-all.mid", "test-not-a-midi-file.mid"}) {
        SequencerError e = SequencerError::kOk;
        EXPECT_EQ(SequencerOpen((dir / name).string(), &e), 0u) << name;
        EXPECT_EQ(e, SequencerError::kNotMidi) << name;
    }
    for (const char* name :
         {"bach_846.mid", "bach_format0.mid", "gen_smpte_division_c_major.mid",
          "test-2-tracks-type-0.mid", "test-2-tracks-type-1.mid", "test-2-tracks-type-2.mid",
          "test-non-midi-track.mid", "test-running-status-metaevent.mid",
          "test-sysex-7f-04-04-master-coarse-tuning.mid"}) {
        const MciDeviceId id = Open((dir / name).string());
        ASSERT_NE(id, 0u) << name;
        ASSERT_TRUE(SequencerPlay(id, window.handle));
        // The first three seconds, or the whole piece when it is shorter.
        const std::vector<float> music = PlayOut(id, 3);
        EXPECT_GT(soundtest::Rms(music), 0.003) << name;
        SequencerClose(id);
        window.Take();
    }
}

TEST(SoundFonts, TheUsersChoiceComesFirstAndOnlyARealSoundFontIsTaken) {
    const std::string system = [] {
        unsetenv("ORBSAVER_SOUNDFONT");
        return FindSoundFont();
    }();
    if (system.empty()) GTEST_SKIP() << "no General MIDI SoundFont is installed";
    const std::vector<std::string> plain = SoundFontCandidates();
    ASSERT_GE(plain.size(), 6u);
    // After the synthesiser's own default come the system's General MIDI fonts.
    const std::vector<std::string> fixed = {
        "/usr/share/sounds/sf2/default-GM.sf2",        "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/soundfonts/default.sf2",           "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf3/MuseScore_General.sf3", "/usr/share/sounds/sf2/TimGM6mb.sf2"};
    ASSERT_LE(plain.size(), fixed.size() + 1);
    EXPECT_EQ(std::vector<std::string>(plain.end() - static_cast<std::ptrdiff_t>(fixed.size()),
                                       plain.end()),
              fixed);
    setenv("ORBSAVER_SOUNDFONT", system.c_str(), 1);
    EXPECT_EQ(SoundFontCandidates().front(), system);
    EXPECT_EQ(FindSoundFont(), system);
    // A file that is not a SoundFont is passed over.
    const std::string text = soundtest::WriteTemp("not-a-font.sf2", {'R', 'I', 'F', 'F', 0, 0});
    setenv("ORBSAVER_SOUNDFONT", text.c_str(), 1);
    EXPECT_EQ(SoundFontCandidates().front(), text);
    EXPECT_EQ(FindSoundFont(), system);
    unsetenv("ORBSAVER_SOUNDFONT");
}

TEST_F(Sequencer, MusicPathsInTheKeyboardCodePageAreFound) {
    // "café.mid" on the disk in UTF-8; the setting holds it in code page 1252.
    const std::string utf8 = soundtest::WriteTemp("caf\xC3\xA9.mid", soundtest::MakeMidi(1));
    std::string setting =
        utf8.substr(0, utf8.size() - std::string("caf\xC3\xA9.mid").size()) + "caf\xE9.mid";
    const std::uint32_t a = sound::OpenMusic(setting.c_str(), 1252);
    ASSERT_NE(a, 0u);
    opened.push_back(a);
    const std::uint32_t b = sound::OpenMusic(utf8.c_str(), 1252);
    ASSERT_NE(b, 0u);
    opened.push_back(b);
    EXPECT_EQ(sound::OpenMusic((setting + "x").c_str(), 1252), 0u);
    EXPECT_EQ(sound::OpenMusic("", 1252), 0u);
}

TEST_F(Sequencer, ANoteStillHeldAtTheEndIsReleased) {
    // An organ note switched on and never off: it must not drone on after the piece.
    const std::vector<std::uint8_t> midi = {
        'M', 'T', 'h', 'd', 0,  0,    0,    6,  0,    0,    0,  1,   0,    96,   'M',  'T', 'r',
        'k', 0,   0,   0,   11, 0x00, 0xC0, 19, 0x00, 0x90, 60, 100, 0x60, 0xFF, 0x2F, 0x00};
    const MciDeviceId id = Open(soundtest::WriteTemp("held.mid", midi));
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(SequencerPlay(id, window.handle));
    EXPECT_GT(soundtest::Rms(PlayOut(id)), 0.005);
    Pull(2 * 44100);
    EXPECT_LT(soundtest::Rms(Pull(4096)), 1e-4);
}
