// Helpers of the sound tests: small WAVE and MIDI files made in memory, a window that
// collects music notices, and measures of rendered samples.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/sequencer.h"
#include "platform/window/window.h"

namespace soundtest {

inline void Put16(std::vector<std::uint8_t>& v, unsigned x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}
inline void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}
inline void Tag(std::vector<std::uint8_t>& v, const char* t) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(t[i]));
}

// A RIFF WAVE file of PCM samples; a square wave unless samples are given.
inline std::vector<std::uint8_t> MakeWave(unsigned channels, unsigned bits, std::uint32_t rate,
                                          std::size_t frames) {
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < frames; ++i) {
        const bool high = (i / 20) % 2 == 0;
        for (unsigned c = 0; c < channels; ++c) {
            if (bits == 8)
                data.push_back(high ? 200 : 56);
            else
                Put16(data,
                      high ? 20000u : static_cast<unsigned>(static_cast<std::uint16_t>(-20000)));
        }
    }
    std::vector<std::uint8_t> v;
    Tag(v, "RIFF");
    Put32(v, static_cast<std::uint32_t>(4 + 8 + 16 + 8 + data.size()));
    Tag(v, "WAVE");
    Tag(v, "fmt ");
    Put32(v, 16);
    Put16(v, 1);
    Put16(v, channels);
    Put32(v, rate);
    Put32(v, rate * channels * bits / 8);
    Put16(v, channels * bits / 8);
    Put16(v, bits);
    Tag(v, "data");
    Put32(v, static_cast<std::uint32_t>(data.size()));
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

inline std::span<const std::byte> Bytes(const std::vector<std::uint8_t>& v) {
    return std::as_bytes(std::span(v));
}

// A format 0 MIDI file at 96 ticks per quarter note (120 beats a minute by default):
// piano notes of a quarter note each, the last one released at the piece's end.
inline std::vector<std::uint8_t> MakeMidi(int notes = 1) {
    std::vector<std::uint8_t> track = {0x00, 0xC0, 0x00};  // program: piano
    for (int i = 0; i < notes; ++i) {
        const std::uint8_t key = static_cast<std::uint8_t>(60 + 2 * i);
        for (std::uint8_t b :
             {0x00, 0x90, static_cast<int>(key), 0x64, 0x60, 0x80, static_cast<int>(key), 0x40})
            track.push_back(b);
    }
    for (std::uint8_t b : {0x00, 0xFF, 0x2F, 0x00}) track.push_back(b);
    std::vector<std::uint8_t> v = {
        'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
        1,   0,   96,  'M', 'T', 'r', 'k', 0, 0, 0, static_cast<std::uint8_t>(track.size())};
    for (std::uint8_t b : track) v.push_back(b);
    return v;
}

// A folder of this test process's own, so that test runs side by side do not meet;
// it goes when the process ends.
inline std::filesystem::path TempDir() {
    struct Folder {
        std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("orbsaver-sound-tests-" + std::to_string(::getpid()));
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static Folder folder;
    std::filesystem::create_directories(folder.path);
    return folder.path;
}

inline std::string WriteTemp(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto dir = TempDir();
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

inline double Rms(std::span<const float> samples) {
    if (samples.empty()) return 0.0;
    double sum = 0;
    for (float s : samples) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

struct Notice {
    platform::WPARAM code;
    platform::LPARAM device;
    bool operator==(const Notice&) const = default;
};

// A window of the null desktop that records the MM_MCINOTIFY it is sent.
class NoticeWindow {
  public:
    NoticeWindow() {
        platform::ResetWindowSystem();
        platform::SetWindowBackend(platform::CreateNullWindowBackend());
        platform::RegisterWindowClass("Notices", &Proc);
        handle = platform::CreateWindow("Notices", platform::WS_POPUP, 0, 0, 10, 10, 0);
        Seen().clear();
    }
    ~NoticeWindow() { platform::ResetWindowSystem(); }

    // Collects the notices waiting now.
    std::vector<Notice> Take() {
        platform::PollSequencerNotices();
        platform::Msg m;
        while (platform::PeekMessage(&m, true)) platform::DispatchMessage(m);
        std::vector<Notice> out;
        out.swap(Seen());
        return out;
    }

    platform::WindowHandle handle = 0;

  private:
    static std::vector<Notice>& Seen() {
        static std::vector<Notice> seen;
        return seen;
    }
    static platform::LRESULT Proc(platform::WindowHandle w, std::uint32_t m, platform::WPARAM wp,
                                  platform::LPARAM lp) {
        if (m == platform::MM_MCINOTIFY) Seen().push_back(Notice{wp, lp});
        return platform::DefWindowProc(w, m, wp, lp);
    }
};

}  // namespace soundtest
