// The sequencer on FluidSynth: each device is a synthesiser with the General MIDI
// SoundFont and a player holding the MIDI file in its plain form. The synthesisers are
// rendered by one stream of the audio output, under the output's lock, so commands and
// rendering never overlap. Ends of play found on the output's thread wait in the device
// until PollSequencerNotices posts them on the program's thread. The synthesiser
// library is opened when the first device is (fluid_api.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/audio/audio_output.h"
#include "platform/audio/fluid_api.h"
#include "platform/audio/midi_file.h"
#include "platform/audio/sequencer.h"
#include "platform/files/read_file.h"

namespace platform {

namespace {

// The library's functions, where a device exists and so the library was loaded.
const FluidApi& F() { return *Fluid(); }

struct Notice {
    WindowHandle window;
    WPARAM code;
    MciDeviceId device;
};

// Notices gathered under the lock and posted once it is released.
class NoticeList {
  public:
    void Add(WindowHandle w, WPARAM code, MciDeviceId id) {
        if (w != 0 && count_ < list_.size()) list_[count_++] = Notice{w, code, id};
    }
    void Post() {
        for (std::size_t i = 0; i < count_; ++i)
            PostMessage(list_[i].window, MM_MCINOTIFY, list_[i].code,
                        static_cast<LPARAM>(list_[i].device));
        count_ = 0;
    }

  private:
    std::array<Notice, 64> list_{};
    std::size_t count_ = 0;
};

constexpr int kChunkFrames = 512;

struct Device {
    MciDeviceId id = 0;
    std::vector<std::uint8_t> midi;  // the file in its plain form
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    bool playing = false;
    bool atEnd = false;         // played to the end; a play completes at once
    bool ended = false;         // set on the output's thread: the play reached the end
    WindowHandle awaiting = 0;  // the window owed a notice for the running play
    std::array<float, kChunkFrames> left{};
    std::array<float, kChunkFrames> right{};

    ~Device() {
        if (player) F().delete_fluid_player(player);
        if (synth) F().delete_fluid_synth(synth);
        if (settings) F().delete_fluid_settings(settings);
    }

    // A fresh player at the start of the piece; the old one and its sounding notes go.
    bool ResetPlayer() {
        if (player) F().delete_fluid_player(player);
        F().fluid_synth_all_sounds_off(synth, -1);
        player = F().new_fluid_player(synth);
        return player && F().fluid_player_add_mem(player, midi.data(), midi.size()) == FLUID_OK;
    }
};

class SequencerStream : public AudioStream {
  public:
    void Render(float* out, int frames) override;
};

struct State {
    // The audio output's state is made first, so it outlives this; the frame loop's
    // first poll for notices makes this, and must not wait for the opening sound's
    // output to open.
    State() { MakeAudioOutputState(); }
    ~State() {
        DetachAudioStream(&stream);
        auto lock = LockAudio();
        devices.clear();
    }
    std::vector<std::unique_ptr<Device>> devices;  // changed only under the audio lock
    MciDeviceId nextId = 1;
    SequencerStream stream;
};

State& S() {
    static State state;
    return state;
}

Device* Find(MciDeviceId id) {
    for (auto& d : S().devices) {
        if (d->id == id) return d.get();
    }
    return nullptr;
}

bool PieceEnded(fluid_player_t* player) {
    if (F().fluid_player_get_status(player) == FLUID_PLAYER_DONE) return true;
    const int total = F().fluid_player_get_total_ticks(player);
    return total > 0 && F().fluid_player_get_current_tick(player) >= total;
}

void SequencerStream::Render(float* out, int frames) {
    for (auto& d : S().devices) {
        // A stopped synthesiser still renders the release of its last notes.
        if (!d->playing && F().fluid_synth_get_active_voice_count(d->synth) == 0) continue;
        for (int done = 0; done < frames;) {
            const int n = std::min(kChunkFrames, frames - done);
            if (F().fluid_synth_write_float(d->synth, n, d->left.data(), 0, 1, d->right.data(), 0, 1) !=
                FLUID_OK)
                break;
            float* o = out + static_cast<std::ptrdiff_t>(done) * 2;
            for (int i = 0; i < n; ++i) {
                o[2 * i] += d->left[static_cast<std::size_t>(i)];
                o[2 * i + 1] += d->right[static_cast<std::size_t>(i)];
            }
            done += n;
        }
        if (d->playing && PieceEnded(d->player)) {
            // The player itself would wait for the last notes to die away before it
            // calls itself done; the piece has ended with its last event. Notes still
            // held are released, and ring out while the stream renders them.
            F().fluid_player_stop(d->player);
            F().fluid_synth_all_notes_off(d->synth, -1);
            d->playing = false;
            d->atEnd = true;
            d->ended = true;
        }
    }
}

// Gives out the notice that a play which ended since the last look still owes.
void Settle(Device& d, NoticeList& notices) {
    if (d.ended) {
        d.ended = false;
        notices.Add(d.awaiting, MCI_NOTIFY_SUCCESSFUL, d.id);
        d.awaiting = 0;
    }
}

void Abort(Device& d, NoticeList& notices) {
    notices.Add(d.awaiting, MCI_NOTIFY_ABORTED, d.id);
    d.awaiting = 0;
}

void QuietLog(int, const char*, void*) {}

void SilenceSynthesiserLog() {
    // The program keeps no log; the synthesiser would otherwise write to stderr.
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        F().fluid_set_log_function(level, &QuietLog, nullptr);
}

bool IsReadableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::vector<std::string> SoundFontCandidates() {
    std::vector<std::string> list;
    if (const char* user = std::getenv("ORBSAVER_SOUNDFONT"); user && *user)
        list.emplace_back(user);
    // The synthesiser's configured default, when the synthesiser can be loaded.
    if (Fluid()) {
        SilenceSynthesiserLog();
        if (fluid_settings_t* settings = F().new_fluid_settings()) {
            char* def = nullptr;
            if (F().fluid_settings_getstr_default(settings, "synth.default-soundfont", &def) ==
                    FLUID_OK &&
                def && *def)
                list.emplace_back(def);
            F().delete_fluid_settings(settings);
        }
    }
    for (const char* path :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3",
          "/usr/share/soundfonts/default.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf3/MuseScore_General.sf3", "/usr/share/sounds/sf2/TimGM6mb.sf2"})
        list.emplace_back(path);
    return list;
}

std::string FindSoundFont() {
    if (!Fluid()) return {};
    for (const std::string& path : SoundFontCandidates()) {
        if (IsReadableFile(path) && F().fluid_is_soundfont(path.c_str())) return path;
    }
    return {};
}

MciDeviceId SequencerOpen(const std::string& path, SequencerError* error) {
    SequencerError dummy;
    SequencerError& err = error ? *error : dummy;
    std::vector<std::byte> bytes;
    if (!ReadRegularFile(path, kMaxMidiFileBytes, bytes)) {
        err = SequencerError::kCannotRead;
        return 0;
    }
    auto device = std::make_unique<Device>();
    if (NormalizeMidiFile(bytes, &device->midi) != MidiError::kOk) {
        err = SequencerError::kNotMidi;
        return 0;
    }
    if (!Fluid()) {
        err = SequencerError::kSynthesiser;
        return 0;
    }
    const std::string font = FindSoundFont();
    if (font.empty()) {
        err = SequencerError::kNoSoundFont;
        return 0;
    }
    if (!OpenAudioOutput()) {
        err = SequencerError::kNoOutput;
        return 0;
    }
    SilenceSynthesiserLog();
    device->settings = F().new_fluid_settings();
    if (!device->settings) {
        err = SequencerError::kSynthesiser;
        return 0;
    }
    F().fluid_settings_setnum(device->settings, "synth.sample-rate", AudioOutputRate());
    // The synthesiser's own default (0.2) leaves a solo piano near -50 dB, too quiet
    // beside the opening sound; at 1.0 the shared test pieces peak between 0.1 and 0.4.
    F().fluid_settings_setnum(device->settings, "synth.gain", 1.0);
    // The player follows the samples rendered, not the wall clock, so it keeps pace
    // with the output whatever the device's speed.
    F().fluid_settings_setstr(device->settings, "player.timing-source", "sample");
    device->synth = F().new_fluid_synth(device->settings);
    if (!device->synth) {
        err = SequencerError::kSynthesiser;
        return 0;
    }
    if (F().fluid_synth_sfload(device->synth, font.c_str(), 1) == FLUID_FAILED) {
        err = SequencerError::kNoSoundFont;
        return 0;
    }
    if (!device->ResetPlayer()) {
        err = SequencerError::kSynthesiser;
        return 0;
    }
    State& s = S();
    if (!AttachAudioStream(&s.stream)) {
        err = SequencerError::kNoOutput;
        return 0;
    }
    device->id = s.nextId++;
    if (s.nextId == 0) s.nextId = 1;
    const MciDeviceId id = device->id;
    {
        auto lock = LockAudio();
        s.devices.push_back(std::move(device));
    }
    err = SequencerError::kOk;
    return id;
}

namespace {

// One command on an open device: under the audio lock, after the device's finished
// play has been settled; the notices it gives are posted once the lock is released.
// False when no device has that ID.
template <class Command>
bool RunCommand(MciDeviceId id, Command command) {
    NoticeList notices;
    bool ok = false;
    {
        auto lock = LockAudio();
        if (Device* d = Find(id)) {
            Settle(*d, notices);
            ok = command(*d, notices);
        }
    }
    notices.Post();
    return ok;
}

}  // namespace

bool SequencerPlay(MciDeviceId id, WindowHandle notify) {
    return RunCommand(id, [&](Device& d, NoticeList& notices) {
        if (d.awaiting) notices.Add(d.awaiting, MCI_NOTIFY_SUPERSEDED, id);
        d.awaiting = 0;
        if (d.atEnd) {
            notices.Add(notify, MCI_NOTIFY_SUCCESSFUL, id);
        } else if (!d.playing && F().fluid_player_play(d.player) != FLUID_OK) {
            notices.Add(notify, MCI_NOTIFY_FAILURE, id);
            return false;
        } else {
            d.playing = true;
            d.awaiting = notify;
        }
        return true;
    });
}

bool SequencerSeekToStart(MciDeviceId id) {
    return RunCommand(id, [&](Device& d, NoticeList& notices) {
        Abort(d, notices);
        d.playing = false;
        d.atEnd = false;
        return d.ResetPlayer();
    });
}

bool SequencerStop(MciDeviceId id, WindowHandle notify) {
    return RunCommand(id, [&](Device& d, NoticeList& notices) {
        Abort(d, notices);
        if (d.playing) F().fluid_player_stop(d.player);
        d.playing = false;
        F().fluid_synth_all_notes_off(d.synth, -1);
        notices.Add(notify, MCI_NOTIFY_SUCCESSFUL, id);
        return true;
    });
}

bool SequencerClose(MciDeviceId id) {
    NoticeList notices;
    std::unique_ptr<Device> closed;
    {
        auto lock = LockAudio();
        auto& devices = S().devices;
        auto it = std::find_if(devices.begin(), devices.end(),
                               [&](const auto& d) { return d->id == id; });
        if (it != devices.end()) {
            Settle(**it, notices);
            Abort(**it, notices);
            closed = std::move(*it);
            devices.erase(it);
        }
    }
    notices.Post();
    return closed != nullptr;  // the synthesiser is released here, outside the lock
}

bool SequencerPlaying(MciDeviceId id) {
    auto lock = LockAudio();
    const Device* d = Find(id);
    return d && d->playing;
}

std::size_t SequencerOpenCount() {
    auto lock = LockAudio();
    return S().devices.size();
}

void PollSequencerNotices() {
    NoticeList notices;
    const bool failed = AudioOutputFailed();
    {
        auto lock = LockAudio();
        for (auto& d : S().devices) {
            Settle(*d, notices);
            if (failed && d->playing) {
                d->playing = false;
                notices.Add(d->awaiting, MCI_NOTIFY_FAILURE, d->id);
                d->awaiting = 0;
            }
        }
    }
    notices.Post();
}

}  // namespace platform
