// The opening sound and the music through SDL's real audio path, with its "disk"
// driver writing what would be heard to a file: the samples are really there, and a
// piece that ends successfully can be rewound and played again, as the saver does.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>

#include "audio_test_util.h"
#include "platform/audio/audio_output.h"
#include "sound/sound.h"

using namespace platform;
using soundtest::Notice;

namespace {

using Clock = std::chrono::steady_clock;

class DiskAudio : public ::testing::Test {
  protected:
    void SetUp() override {
        file = (soundtest::TempDir() / "disk-output.raw").string();
        std::filesystem::remove(file);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
        // 2 ms for each 1024 frames: about ten times faster than they would be heard.
        setenv("SDL_DISKAUDIODELAY", "2", 1);
        SetAudioBackend(CreateSdlAudioBackend());
        if (!OpenAudioOutput()) GTEST_SKIP() << "SDL's disk audio driver is not available";
    }
    void TearDown() override {
        SetAudioBackend(nullptr);
        std::filesystem::remove(file);
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        unsetenv("SDL_DISKAUDIODELAY");
    }

    // Everything the output wrote, once it is closed: interleaved stereo floats.
    std::vector<float> Written() {
        CloseAudioOutput();
        std::ifstream in(file, std::ios::binary);
        std::vector<char> raw((std::istreambuf_iterator<char>(in)), {});
        std::vector<float> samples(raw.size() / sizeof(float));
        std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
        return samples;
    }

    std::string file;
};

// The saver window's handling of music notices, as its procedure has it.
std::vector<Notice> g_notices;
LRESULT SaverLikeProc(WindowHandle w, std::uint32_t m, WPARAM wp, LPARAM lp) {
    if (m == MM_MCINOTIFY) {
        g_notices.push_back(Notice{wp, lp});
        if (wp == MCI_NOTIFY_SUCCESSFUL && sound::MusicDevice() != 0 &&
            static_cast<std::uint32_t>(lp) == sound::MusicDevice()) {
            sound::RewindMusic(sound::MusicDevice(), w);
            sound::PlayMusic(sound::MusicDevice(), w);
        }
        return 0;
    }
    return DefWindowProc(w, m, wp, lp);
}

}  // namespace

TEST_F(DiskAudio, TheOpeningSoundPlaysAsynchronouslyAndIsReallyWritten) {
    const auto start = Clock::now();
    sound::PlayWaveResource("OPEN", sound::SND_ASYNC);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << "the start does not wait";
    EXPECT_TRUE(WavePlaying());
    while (WavePlaying() && Clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::vector<float> out = Written();
    // 43678 samples at 11025 a second: just under four seconds at the output's rate.
    EXPECT_GE(out.size() / 2, 43678u * 4);
    EXPECT_GT(soundtest::Rms(out), 0.02);
}

TEST_F(DiskAudio, WithoutTheAsynchronousFlagThePlayReturnsWhenTheSoundHasEnded) {
    sound::PlayWaveResource("OPEN", sound::SND_SYNC);
    EXPECT_FALSE(WavePlaying());
    const std::vector<float> out = Written();
    EXPECT_GE(out.size() / 2, 43678u * 4);
    EXPECT_GT(soundtest::Rms(out), 0.02);
}

TEST_F(DiskAudio, AResourceThatDoesNotExistPlaysNothing) {
    sound::PlayWaveResource("NO_SUCH_SOUND", sound::SND_ASYNC);
    EXPECT_FALSE(WavePlaying());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LT(soundtest::Rms(Written()), 1e-6);
}

TEST_F(DiskAudio, MusicEndsSuccessfullyAndRestartsFromItsNotice) {
    if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont is installed";
    ResetWindowSystem();
    SetWindowBackend(CreateNullWindowBackend());
    ASSERT_TRUE(RegisterWindowClass("SaverLike", SaverLikeProc));
    const WindowHandle window = CreateWindow("SaverLike", WS_POPUP, 0, 0, 10, 10, 0);
    g_notices.clear();

    const std::string piece = soundtest::WriteTemp("disk-two-notes.mid", soundtest::MakeMidi(2));
    sound::MusicDevice() = sound::OpenMusic(piece.c_str());
    ASSERT_NE(sound::MusicDevice(), 0u);
    sound::PlayMusic(sound::MusicDevice(), window);

    // The program's loop: poll the sequencer, dispatch the messages.
    const auto start = Clock::now();
    while (g_notices.size() < 3 && Clock::now() - start < std::chrono::seconds(60)) {
        PollSequencerNotices();
        Msg m;
        while (PeekMessage(&m, true)) DispatchMessage(m);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const LPARAM id = static_cast<LPARAM>(sound::MusicDevice());
    ASSERT_EQ(g_notices, (std::vector<Notice>{{MCI_NOTIFY_SUCCESSFUL, id},
                                              {MCI_NOTIFY_SUCCESSFUL, id},
                                              {MCI_NOTIFY_SUCCESSFUL, id}}));
    EXPECT_TRUE(SequencerPlaying(sound::MusicDevice())) << "the fourth round is playing";
    sound::CloseMusic(sound::MusicDevice());
    sound::MusicDevice() = 0;
    ResetWindowSystem();

    const std::vector<float> out = Written();
    // Three whole rounds of one second each were written, and they sound.
    EXPECT_GE(out.size() / 2, 3u * 44100);
    EXPECT_GT(soundtest::Rms(out), 0.005);
}

TEST(NoAudioDevice, EverythingStaysSilentAndNothingFails) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SetAudioBackend(CreateSdlAudioBackend());
    EXPECT_FALSE(OpenAudioOutput());
    EXPECT_EQ(AudioOutputCount(), 0);
    sound::PlayWaveResource("OPEN", sound::SND_SYNC);
    EXPECT_FALSE(WavePlaying());
    const std::string piece = soundtest::WriteTemp("silent.mid", soundtest::MakeMidi(1));
    EXPECT_EQ(sound::OpenMusic(piece.c_str()), 0u);
    EXPECT_EQ(sound::OpenMusic(nullptr), 0u);
    // Commands for no device are harmless.
    sound::PlayMusic(0, 0);
    sound::RewindMusic(0, 0);
    sound::StopMusic(0, 0);
    sound::CloseMusic(0);
    SetAudioBackend(nullptr);
    unsetenv("SDL_AUDIODRIVER");
}

// Without a sound card ALSA's library reports each failed look-up on stderr, a dozen
// "ALSA lib ..." lines on every start; the terminal must keep only our own lines. An
// empty ALSA configuration makes every machine one without a card.
TEST(NoAudioDevice, ALSAsOwnComplaintsStayOffTheTerminal) {
    const std::string config = soundtest::WriteTemp("empty-alsa.conf", std::vector<std::uint8_t>{});
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    const std::string captured = (soundtest::TempDir() / "alsa-stderr.txt").string();
    std::fflush(stderr);
    const int saved = dup(2);
    const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, 2);
    close(file);
    SetAudioBackend(CreateSdlAudioBackend());
    const bool opened = OpenAudioOutput();
    SetAudioBackend(nullptr);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("ALSA_CONFIG_PATH");
    EXPECT_FALSE(opened);
    std::ifstream in(captured);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("ALSA lib"), std::string::npos) << text;
    EXPECT_EQ(text, "");
}
