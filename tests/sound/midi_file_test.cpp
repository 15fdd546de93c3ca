// The MIDI file reader: what it accepts and how it rewrites it, one malformed file per
// kind of refusal, and the shared MIDI files of others.
#include "platform/audio/midi_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "audio_test_util.h"

using namespace platform;
using soundtest::Bytes;
using soundtest::MakeMidi;

namespace {

using ByteList = std::vector<std::uint8_t>;

ByteList Header(unsigned format, unsigned tracks, unsigned division) {
    return {'M',
            'T',
            'h',
            'd',
            0,
            0,
            0,
            6,
            0,
            static_cast<std::uint8_t>(format),
            0,
            static_cast<std::uint8_t>(tracks),
            static_cast<std::uint8_t>(division >> 8),
            static_cast<std::uint8_t>(division)};
}

ByteList Track(const ByteList& events) {
    ByteList v = {'M',
                  'T',
                  'r',
                  'k',
                  0,
                  0,
                  static_cast<std::uint8_t>(events.size() >> 8),
                  static_cast<std::uint8_t>(events.size())};
    v.insert(v.end(), events.begin(), events.end());
    return v;
}

ByteList Join(std::initializer_list<ByteList> parts) {
    ByteList v;
    for (const ByteList& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

MidiError Normalize(const ByteList& in, ByteList* out = nullptr) {
    ByteList local;
    return NormalizeMidiFile(Bytes(in), out ? out : &local);
}

ByteList ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return ByteList(std::istreambuf_iterator<char>(f), {});
}

// Notes each 0x0FFFFFFF ticks (the longest delta) after the last.
ByteList LongTrack(int events) {
    ByteList v;
    for (int i = 0; i < events; ++i) v.insert(v.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 1});
    v.insert(v.end(), {0x00, 0xFF, 0x2F, 0x00});
    return v;
}

}  // namespace

TEST(MidiFile, WritesRunningStatusOutAndAddsAMissingEndOfTrack) {
    // A note on, then a note off in running status after a meta event, no end of track.
    const ByteList in = Join(
        {Header(0, 1, 96), Track({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x01, 'x', 0x60, 60, 0})});
    ByteList out;
    ASSERT_EQ(Normalize(in, &out), MidiError::kOk);
    const ByteList expected =
        Join({Header(0, 1, 96), Track({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x01, 'x', 0x60, 0x90,
                                       60, 0, 0x00, 0xFF, 0x2F, 0x00})});
    EXPECT_EQ(out, expected);
}

TEST(MidiFile, DropsForeignChunksAndIgnoresWhatFollowsTheDeclaredTracks) {
    const ByteList events = {0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
    const ByteList junk = {'J', 'u', 'n', 'k', 0, 0, 0, 3, 1, 2, 3};
    ByteList out;
    ASSERT_EQ(Normalize(Join({Header(0, 1, 96), junk, Track(events), ByteList{'x', 'y'}}), &out),
              MidiError::kOk);
    EXPECT_EQ(out, Join({Header(0, 1, 96), Track(events)}));
}

TEST(MidiFile, TurnsSmpteTimeIntoTicksPerQuarterWithOneTempo) {
    // 25 frames of 40 ticks: 1000 ticks a second. A tempo change in the file is dropped
    // (it means nothing in SMPTE time) and its delta passes to the next event.
    const ByteList in =
        Join({Header(0, 1, 0xE728), Track({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x10, 0x90, 60,
                                           100, 0x00, 0xFF, 0x2F, 0x00})});
    ByteList out;
    ASSERT_EQ(Normalize(in, &out), MidiError::kOk);
    const ByteList expected =
        Join({Header(0, 1, 1000), Track({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // 1 s a quarter
                                         0x10, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00})});
    EXPECT_EQ(out, expected);
}

// Dropped events pass their time on: two deltas of the longest kind around a dropped
// tempo change (or end of track) make more time than one delta holds. The time beyond
// goes into an empty text event, and the result reads back to exactly itself.
TEST(MidiFile, TimeLeftByDroppedEventsLongerThanOneDeltaIsKept) {
    const ByteList maxDelta = {0xFF, 0xFF, 0xFF, 0x7F};
    ByteList events = maxDelta;
    events.insert(events.end(), {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    events.insert(events.end(), maxDelta.begin(), maxDelta.end());
    events.insert(events.end(), {0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00});
    ByteList out;
    ASSERT_EQ(Normalize(Join({Header(0, 1, 0xE728), Track(events)}), &out), MidiError::kOk);
    ByteList expected = {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40};
    expected.insert(expected.end(), maxDelta.begin(), maxDelta.end());
    expected.insert(expected.end(), {0xFF, 0x01, 0x00});
    expected.insert(expected.end(), maxDelta.begin(), maxDelta.end());
    expected.insert(expected.end(), {0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00});
    EXPECT_EQ(out, Join({Header(0, 1, 1000), Track(expected)}));
    ByteList again;
    ASSERT_EQ(Normalize(out, &again), MidiError::kOk);
    EXPECT_EQ(again, out);
}

TEST(MidiFile, PlaysTheSequencesOfFormatTwoOneAfterAnother) {
    const ByteList a = {0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x10, 0xFF, 0x2F, 0x00};
    const ByteList b = {0x00, 0x90, 64, 100, 0x60, 0x80, 64, 0, 0x00, 0xFF, 0x2F, 0x00};
    ByteList out;
    ASSERT_EQ(Normalize(Join({Header(2, 2, 96), Track(a), Track(b)}), &out), MidiError::kOk);
    // The first sequence's end (0x10 after its last event) delays the second's start.
    const ByteList expected = Join(
        {Header(0, 1, 96), Track({0x00, 0x90, 60,   100,  0x60, 0x80, 60,   0,    0x10, 0x90,
                                  64,   100,  0x60, 0x80, 64,   0,    0x00, 0xFF, 0x2F, 0x00})});
    EXPECT_EQ(out, expected);
}

TEST(MidiFile, ReadsTheMidiFileInsideARiffMidiFile) {
    const ByteList midi = MakeMidi(2);
    ByteList riff = {'R',
                     'I',
                     'F',
                     'F',
                     0,
                     0,
                     0,
                     0,
                     'R',
                     'M',
                     'I',
                     'D',
                     'd',
                     'a',
                     't',
                     'a',
                     static_cast<std::uint8_t>(midi.size()),
                     0,
                     0,
                     0};
    riff.insert(riff.end(), midi.begin(), midi.end());
    ByteList plain, wrapped;
    ASSERT_EQ(Normalize(midi, &plain), MidiError::kOk);
    ASSERT_EQ(Normalize(riff, &wrapped), MidiError::kOk);
    EXPECT_EQ(plain, wrapped);
}

TEST(MidiFile, RefusesEachKindOfMalformedFile) {
    const ByteList eot = {0x00, 0xFF, 0x2F, 0x00};
    struct Case {
        const char* what;
        ByteList bytes;
        MidiError expected;
    };
    const std::vector<Case> cases = {
        {"empty", {}, MidiError::kNotMidi},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, MidiError::kNotMidi},
        {"RIFF without data",
         {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D'},
         MidiError::kNotMidi},
        {"header of 5 bytes",
         {'M', 'T', 'h', 'd', 0, 0, 0, 5, 0, 0, 0, 1, 0},
         MidiError::kBadHeader},
        {"header cut short", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0}, MidiError::kTruncated},
        {"format 3", Join({Header(3, 1, 96), Track(eot)}), MidiError::kBadHeader},
        {"no tracks", Header(1, 0, 96), MidiError::kBadHeader},
        {"division 0", Join({Header(0, 1, 0), Track(eot)}), MidiError::kBadDivision},
        {"23 frames a second", Join({Header(0, 1, 0xE928), Track(eot)}), MidiError::kBadDivision},
        {"0 ticks a frame", Join({Header(0, 1, 0xE700), Track(eot)}), MidiError::kBadDivision},
        {"fewer tracks than declared", Join({Header(1, 2, 96), Track(eot)}), MidiError::kTruncated},
        {"track longer than the file",
         Join({Header(0, 1, 96), ByteList{'M', 'T', 'r', 'k', 0x7F, 0xFF, 0xFF, 0xFF, 0, 0xFF}}),
         MidiError::kTruncated},
        {"five-byte delta",
         Join({Header(0, 1, 96), Track({0x81, 0x81, 0x81, 0x81, 0x01, 0xFF, 0x2F, 0})}),
         MidiError::kBadDelta},
        {"delta cut off", Join({Header(0, 1, 96), Track({0x81})}), MidiError::kBadDelta},
        {"data byte first", Join({Header(0, 1, 96), Track({0x00, 0x40, 0x40})}),
         MidiError::kNoRunningStatus},
        {"note without velocity", Join({Header(0, 1, 96), Track({0x00, 0x90, 60})}),
         MidiError::kBadData},
        {"status where data belongs", Join({Header(0, 1, 96), Track({0x00, 0x90, 60, 0x90})}),
         MidiError::kBadData},
        {"event without status", Join({Header(0, 1, 96), Track({0x00})}), MidiError::kBadData},
        {"song position pointer", Join({Header(0, 1, 96), Track({0x00, 0xF2, 0, 0})}),
         MidiError::kIllegalStatus},
        {"timing clock", Join({Header(0, 1, 96), Track({0x00, 0xF8})}), MidiError::kIllegalStatus},
        {"meta longer than its track",
         Join({Header(0, 1, 96), Track({0x00, 0xFF, 0x01, 0x7F, 'a'})}), MidiError::kBadLength},
        {"meta type out of range", Join({Header(0, 1, 96), Track({0x00, 0xFF, 0x81, 0x00})}),
         MidiError::kBadData},
        {"sysex longer than its track",
         Join({Header(0, 1, 96), Track({0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 1})}),
         MidiError::kBadLength},
        {"ticks overflow", Join({Header(0, 1, 96), Track(LongTrack(9))}), MidiError::kTooLong},
    };
    for (const Case& c : cases) {
        ByteList out = {1, 2, 3};
        EXPECT_EQ(Normalize(c.bytes, &out), c.expected) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
    }
    EXPECT_EQ(Normalize(ByteList(kMaxMidiFileBytes + 1, 0)), MidiError::kTooLarge);
    // Eight longest deltas still fit the player's tick counter.
    EXPECT_EQ(Normalize(Join({Header(0, 1, 96), Track(LongTrack(8))})), MidiError::kOk);
}

// The shared MIDI files of others: the well-formed ones are accepted, the corrupt,
// empty and non-MIDI ones refused.
TEST(MidiFile, SharedFilesAreAcceptedOrRefusedAsTheyDeserve) {
    const std::filesystem::path dir = std::filesystem::path(ORBSAVER_TESTDATA_DIR) / "midi";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no shared MIDI files at " << dir;
    const std::vector<std::pair<const char*, bool>> files = {
        {"bach_846.mid", true},
        {"bach_format0.mid", true},
        {"gen_smpte_division_c_major.mid", true},
        {"test-2-tracks-type-0.mid", true},
        {"test-2-tracks-type-1.mid", true},
        {"test-2-tracks-type-2.mid", true},
        {"test-non-midi-track.mid", true},
        {"test-running-status-metaevent.mid", true},
        {"test-sysex-7f-04-04-master-coarse-tuning.mid", true},
        {"test-corrupt-file-missing-byte.mid", false},
        {"test-empty-file.mid", false},
        {"test-illegal-message-all.mid", false},
        {"test-not-a-midi-file.mid", false},
    };
    for (const auto& [name, good] : files) {
        const ByteList bytes = ReadFile(dir / name);
        ByteList out;
        const MidiError e = Normalize(bytes, &out);
        EXPECT_EQ(e == MidiError::kOk, good) << name << ": " << MidiErrorText(e);
        if (good) {
            // What is written reads back to itself.
            ByteList again;
            ASSERT_EQ(Normalize(out, &again), MidiError::kOk) << name;
            EXPECT_EQ(again, out) << name;
        }
    }
}
