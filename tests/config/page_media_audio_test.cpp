// The media page's music through SDL's real audio path, with its "disk" driver
// writing what would be heard to a file: MIDI On in the dialog makes it sound, MIDI
// Off makes it stop.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "config/page_media.h"
#include "config_test_util.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/sequencer.h"
#include "sound/sound.h"

using namespace platform;

namespace {

class MediaPageMusic : public config_test::DialogTest {
protected:
    void SetUp() override {
        piece_ = std::string(ORBSAVER_TESTDATA_DIR) + "/midi/bach_846.mid";
        if (!std::filesystem::is_regular_file(piece_)) {
            GTEST_SKIP() << "needs the shared test piece " << piece_;
        }
        if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont is installed";
        file_ = (std::filesystem::temp_directory_path() /
                 ("orbsaver-page-music-" + std::to_string(::getpid()) + ".raw"))
                    .string();
        std::filesystem::remove(file_);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
        // 2 ms for each 1024 frames: about ten times faster than they would be heard.
        setenv("SDL_DISKAUDIODELAY", "2", 1);
        SetAudioBackend(CreateSdlAudioBackend());
        if (!OpenAudioOutput()) GTEST_SKIP() << "SDL's disk audio driver is not available";
        DialogTest::SetUp();
    }
    void TearDown() override {
        DialogTest::TearDown();
        SetAudioBackend(nullptr);
        std::filesystem::remove(file_);
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        unsetenv("SDL_DISKAUDIODELAY");
    }

    // Where the output has written to, in whole stereo frames.
    std::uintmax_t Frames() const {
        std::error_code ignored;
        return std::filesystem::file_size(file_, ignored) / (2 * sizeof(float));
    }
    // Waits until the output has written that many more frames (at most ten seconds).
    void WaitFrames(std::uintmax_t frames) const {
        const std::uintmax_t until = Frames() + frames;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Frames() < until && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The loudness of the frames written between two places.
    double Rms(std::uintmax_t from, std::uintmax_t to) const {
        std::ifstream in(file_, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(from * 2 * sizeof(float)));
        std::vector<float> samples((to - from) * 2);
        in.read(reinterpret_cast<char*>(samples.data()),
                static_cast<std::streamsize>(samples.size() * sizeof(float)));
        samples.resize(static_cast<std::size_t>(in.gcount()) / sizeof(float));
        if (samples.empty()) return -1;
        double sum = 0;
        for (float s : samples) sum += static_cast<double>(s) * s;
        return std::sqrt(sum / static_cast<double>(samples.size()));
    }

    std::string piece_, file_;
};

}  // namespace

TEST_F(MediaPageMusic, MidiOnWritesTheMusicAndMidiOffStopsIt) {
    settings::SceneSettings& s = settings::Settings();
    settings::CopyText(s.MIDI_NM, sizeof s.MIDI_NM, piece_);
    s.M_ON = 0;
    Open();
    constexpr std::uintmax_t kSecond = kAudioOutputRate;
    WaitFrames(kSecond / 2);
    const std::uintmax_t quiet = Frames();
    EXPECT_LT(Rms(quiet - kSecond / 4, quiet), 1e-6) << "nothing plays before MIDI On";

    Click(page2, config::kMidiOn);
    ASSERT_NE(sound::MusicDevice(), 0u);
    const std::uintmax_t on = Frames();
    WaitFrames(3 * kSecond);
    EXPECT_GT(Rms(on, Frames()), 0.005) << "MIDI On wrote no music";
    EXPECT_TRUE(SequencerPlaying(sound::MusicDevice()));

    Click(page2, config::kMidiOn);
    EXPECT_EQ(s.M_ON, 0);
    EXPECT_FALSE(SequencerPlaying(sound::MusicDevice()));
    // The last notes die away; after that, silence.
    WaitFrames(3 * kSecond);
    const std::uintmax_t off = Frames();
    WaitFrames(kSecond);
    EXPECT_LT(Rms(off, Frames()), 1e-4) << "MIDI Off did not stop the music";

    // On again: it goes on from where it stopped.
    Click(page2, config::kMidiOn);
    const std::uintmax_t again = Frames();
    WaitFrames(2 * kSecond);
    EXPECT_GT(Rms(again, Frames()), 0.005);
}
