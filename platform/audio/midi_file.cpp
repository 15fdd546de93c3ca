// The strict MIDI file reader and the writer of its plain form.
#include "platform/audio/midi_file.h"

#include <cstring>

namespace platform {

namespace {

struct Event {
    std::uint32_t delta = 0;
    std::uint8_t status = 0;
    std::uint8_t metaType = 0;           // for status 0xFF
    std::span<const std::uint8_t> data;  // channel data, or the meta/sysex body
};

using Track = std::vector<Event>;

class Reader {
  public:
    Reader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    std::size_t Left() const { return n_ - pos_; }
    bool AtEnd() const { return pos_ >= n_; }
    std::uint8_t Peek() const { return p_[pos_]; }
    std::uint8_t Byte() { return p_[pos_++]; }
    const std::uint8_t* Here() const { return p_ + pos_; }
    void Skip(std::size_t k) { pos_ += k; }
    // A variable-length quantity of at most four bytes.
    bool Vlq(std::uint32_t* v) {
        *v = 0;
        for (int i = 0; i < 4; ++i) {
            if (AtEnd()) return false;
            const std::uint8_t b = Byte();
            *v = (*v << 7) | (b & 0x7Fu);
            if (!(b & 0x80)) return true;
        }
        return false;
    }

  private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

std::uint32_t Be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
std::uint16_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint64_t kMaxTicks = 0x7FFFFFFF;

int DataBytes(std::uint8_t status) {
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0:
            return 1;
        default:
            return 2;
    }
}

// Reads the events of one track chunk, up to its end-of-track event or its end.
// Running status carries over meta and system-exclusive events, as many writers expect.
MidiError ReadTrack(const std::uint8_t* p, std::size_t n, Track* track) {
    Reader r(p, n);
    std::uint8_t running = 0;
    std::uint64_t ticks = 0;
    while (!r.AtEnd()) {
        Event e;
        if (!r.Vlq(&e.delta)) return MidiError::kBadDelta;
        ticks += e.delta;
        if (ticks > kMaxTicks) return MidiError::kTooLong;
        if (r.AtEnd()) return MidiError::kBadData;
        std::uint8_t status = r.Peek();
        if (status & 0x80) {
            r.Skip(1);
        } else if (running) {
            status = running;
        } else {
            return MidiError::kNoRunningStatus;
        }
        e.status = status;
        if (status < 0xF0) {
            running = status;
            const int count = DataBytes(status);
            if (r.Left() < static_cast<std::size_t>(count)) return MidiError::kBadData;
            for (int i = 0; i < count; ++i) {
                if (r.Here()[i] & 0x80) return MidiError::kBadData;
            }
            e.data = {r.Here(), static_cast<std::size_t>(count)};
            r.Skip(static_cast<std::size_t>(count));
        } else if (status == 0xF0 || status == 0xF7 || status == 0xFF) {
            if (status == 0xFF) {
                if (r.AtEnd()) return MidiError::kBadLength;
                e.metaType = r.Byte();
                if (e.metaType & 0x80) return MidiError::kBadData;
            }
            std::uint32_t length = 0;
            if (!r.Vlq(&length) || length > r.Left()) return MidiError::kBadLength;
            e.data = {r.Here(), length};
            r.Skip(length);
        } else {
            return MidiError::kIllegalStatus;
        }
        track->push_back(e);
        if (e.status == 0xFF && e.metaType == 0x2F) break;
    }
    return MidiError::kOk;
}

bool IsEndOfTrack(const Event& e) {
    return e.status == 0xFF && e.metaType == 0x2F;
}
bool IsTempo(const Event& e) {
    return e.status == 0xFF && e.metaType == 0x51;
}

void PutVlq(std::vector<std::uint8_t>* out, std::uint32_t v) {
    std::uint8_t buf[5];
    int n = 0;
    buf[n++] = v & 0x7F;
    while (v >>= 7) buf[n++] = static_cast<std::uint8_t>((v & 0x7F) | 0x80);
    while (n) out->push_back(buf[--n]);
}

void Put16(std::vector<std::uint8_t>* out, std::uint16_t v) {
    out->push_back(static_cast<std::uint8_t>(v >> 8));
    out->push_back(static_cast<std::uint8_t>(v));
}

// The longest delta time a variable-length quantity holds (four bytes of seven bits).
constexpr std::uint64_t kMaxDelta = 0x0FFFFFFF;

// Writes a delta time that may be longer than one quantity holds, as dropped events
// can leave it: the time beyond goes into empty text events, which sound nothing.
void PutDelta(std::vector<std::uint8_t>* out, std::uint64_t ticks) {
    for (; ticks > kMaxDelta; ticks -= kMaxDelta) {
        PutVlq(out, static_cast<std::uint32_t>(kMaxDelta));
        out->insert(out->end(), {0xFF, 0x01, 0x00});
    }
    PutVlq(out, static_cast<std::uint32_t>(ticks));
}

// Writes one track chunk: the given events, minus any end of track and, where asked,
// minus tempo changes (their time passes on to the next event), then one end of track.
void WriteTrack(const Track& events, const std::vector<std::uint8_t>& prefix, bool dropTempo,
                std::vector<std::uint8_t>* out) {
    out->insert(out->end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    const std::size_t start = out->size();
    out->insert(out->end(), prefix.begin(), prefix.end());
    std::uint64_t carried = 0;
    for (const Event& e : events) {
        carried += e.delta;
        if (IsEndOfTrack(e) || (dropTempo && IsTempo(e))) continue;
        PutDelta(out, carried);
        carried = 0;
        out->push_back(e.status);
        if (e.status == 0xFF) out->push_back(e.metaType);
        if (e.status >= 0xF0) PutVlq(out, static_cast<std::uint32_t>(e.data.size()));
        out->insert(out->end(), e.data.begin(), e.data.end());
    }
    PutDelta(out, carried);
    out->insert(out->end(), {0xFF, 0x2F, 0x00});
    const std::uint32_t length = static_cast<std::uint32_t>(out->size() - start);
    for (int i = 0; i < 4; ++i)
        (*out)[start - 4 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
}

}  // namespace

std::string_view MidiErrorText(MidiError error) {
    switch (error) {
        case MidiError::kOk:
            return "no error";
        case MidiError::kNotMidi:
            return "not a MIDI file";
        case MidiError::kBadHeader:
            return "a malformed MIDI header";
        case MidiError::kBadDivision:
            return "an unusable time division";
        case MidiError::kTruncated:
            return "the file is cut short";
        case MidiError::kBadDelta:
            return "a malformed delta time";
        case MidiError::kNoRunningStatus:
            return "a data byte without a status";
        case MidiError::kBadData:
            return "a message with missing or malformed data";
        case MidiError::kIllegalStatus:
            return "a status byte that has no place in a file";
        case MidiError::kBadLength:
            return "an event longer than its track";
        case MidiError::kTooLong:
            return "the piece is too long";
        case MidiError::kTooLarge:
            return "the file is too large";
    }
    return "unknown error";
}

MidiError NormalizeMidiFile(std::span<const std::byte> bytes, std::vector<std::uint8_t>* out) {
    out->clear();
    if (bytes.size() > kMaxMidiFileBytes) return MidiError::kTooLarge;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t n = bytes.size();

    // A RIFF "RMID" file carries a MIDI file in its "data" chunk.
    if (n >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "RMID", 4) == 0) {
        std::size_t pos = 12;
        bool found = false;
        while (n - pos >= 8) {
            const std::uint32_t size = Le32(p + pos + 4);
            if (size > n - pos - 8) return MidiError::kTruncated;
            if (std::memcmp(p + pos, "data", 4) == 0) {
                p += pos + 8;
                n = size;
                found = true;
                break;
            }
            pos += 8 + size + (size & 1);
            if (pos > n) break;
        }
        if (!found) return MidiError::kNotMidi;
    }

    if (n < 8 || std::memcmp(p, "MThd", 4) != 0) return MidiError::kNotMidi;
    const std::uint32_t headerSize = Be32(p + 4);
    if (headerSize < 6) return MidiError::kBadHeader;
    if (headerSize > n - 8) return MidiError::kTruncated;
    const std::uint16_t format = Be16(p + 8);
    const std::uint16_t declared = Be16(p + 10);
    const std::uint16_t division = Be16(p + 12);
    if (format > 2 || declared == 0) return MidiError::kBadHeader;

    std::uint16_t ppqn = division;
    std::uint32_t smpteTempo = 0;  // microseconds per quarter note for an SMPTE file
    if (division & 0x8000) {
        const int fps = -static_cast<std::int8_t>(division >> 8);
        const unsigned perFrame = division & 0xFF;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0)
            return MidiError::kBadDivision;
        // A quarter note becomes one second of ticks; 29 stands for 29.97 frames.
        const unsigned framesPerSecond = fps == 29 ? 30 : static_cast<unsigned>(fps);
        ppqn = static_cast<std::uint16_t>(framesPerSecond * perFrame);
        smpteTempo = fps == 29 ? 1001001u : 1000000u;
    } else if (division == 0) {
        return MidiError::kBadDivision;
    }

    std::vector<Track> tracks;
    std::size_t pos = 8 + headerSize;
    while (tracks.size() < declared && n - pos >= 8) {
        const std::uint32_t size = Be32(p + pos + 4);
        if (size > n - pos - 8) return MidiError::kTruncated;
        if (std::memcmp(p + pos, "MTrk", 4) == 0) {
            tracks.emplace_back();
            if (const MidiError e = ReadTrack(p + pos + 8, size, &tracks.back());
                e != MidiError::kOk)
                return e;
        }
        pos += 8 + size;
    }
    if (tracks.size() < declared) return MidiError::kTruncated;

    if (format == 2 && tracks.size() > 1) {
        // Independent sequences play one after another.
        Track joined;
        std::uint64_t ticks = 0;
        for (const Track& t : tracks) {
            for (const Event& e : t) {
                ticks += e.delta;
                joined.push_back(e);
            }
        }
        if (ticks > kMaxTicks) return MidiError::kTooLong;
        tracks.assign(1, std::move(joined));
    }

    std::vector<std::uint8_t> tempo;
    if (smpteTempo) {
        tempo = {0x00,
                 0xFF,
                 0x51,
                 0x03,
                 static_cast<std::uint8_t>(smpteTempo >> 16),
                 static_cast<std::uint8_t>(smpteTempo >> 8),
                 static_cast<std::uint8_t>(smpteTempo)};
    }
    out->insert(out->end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6});
    Put16(out, tracks.size() == 1 ? 0 : 1);
    Put16(out, static_cast<std::uint16_t>(tracks.size()));
    Put16(out, ppqn);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        WriteTrack(tracks[i], i == 0 ? tempo : std::vector<std::uint8_t>{}, smpteTempo != 0, out);
    }
    return MidiError::kOk;
}

}  // namespace platform
