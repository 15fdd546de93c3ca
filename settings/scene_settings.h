// The one settings record of the saver: what it shows and how. Filled with defaults
// at start, loaded from and saved to the store, edited by the configuration dialog
// and read every frame by the engine. The step and message tables are storage
// formats byte for byte, so their layouts are pinned here with static_asserts.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace settings {

// The step and message tables, the floats and the binary values are stored as
// their bytes in memory, which the stored format defines as little-endian.
static_assert(std::endian::native == std::endian::little,
              "the stored tables are read and written as little-endian memory");

inline constexpr std::size_t kPathBufferSize = 255;
// Holds the data directory that stands for the Windows directory, with its
// trailing separator. Wider than the 32 bytes Windows offered: Linux paths are longer.
inline constexpr std::size_t kDirectoryBufferSize = 224;

inline constexpr int kStepTables = 5;
inline constexpr int kStepRowsPerTable = 100;
inline constexpr int kMessageEntries = 6;

// One keyframe of a camera flight. Positions in half scene units, directions in
// hundredths, all little-endian.
struct StepRow {
    std::int8_t cameraX, cameraY, cameraZ;
    std::int8_t directionX, directionY, directionZ;
    std::int8_t upX, upY, upZ;
    std::int8_t objectX, objectY, objectZ;
    std::int32_t frames;
    std::uint8_t lookAt;
    std::uint8_t reserved[3];
    std::int32_t valid;
};
static_assert(sizeof(StepRow) == 24);
static_assert(offsetof(StepRow, cameraX) == 0 && offsetof(StepRow, directionX) == 3);
static_assert(offsetof(StepRow, upX) == 6 && offsetof(StepRow, objectX) == 9);
static_assert(offsetof(StepRow, frames) == 12 && offsetof(StepRow, lookAt) == 16);
static_assert(offsetof(StepRow, reserved) == 17 && offsetof(StepRow, valid) == 20);

// Five tables of 100 rows, table-major: row r of table t is record t * 100 + r.
struct StepTable {
    StepRow rows[kStepTables * kStepRowsPerTable];

    StepRow& Row(int table, int row) { return rows[table * kStepRowsPerTable + row]; }
    const StepRow& Row(int table, int row) const {
        return rows[table * kStepRowsPerTable + row];
    }
};
static_assert(sizeof(StepTable) == 12000);

// The Windows LOGFONTA record, kept byte for byte because it is stored as it is.
struct LogFontA {
    std::int32_t height;
    std::int32_t width;
    std::int32_t escapement;
    std::int32_t orientation;
    std::int32_t weight;
    std::uint8_t italic;
    std::uint8_t underline;
    std::uint8_t strikeOut;
    std::uint8_t charSet;
    std::uint8_t outPrecision;
    std::uint8_t clipPrecision;
    std::uint8_t quality;
    std::uint8_t pitchAndFamily;
    char faceName[32];
};
static_assert(sizeof(LogFontA) == 60);
static_assert(offsetof(LogFontA, weight) == 16 && offsetof(LogFontA, italic) == 20);
static_assert(offsetof(LogFontA, faceName) == 28);

struct MessageEntry {
    char text[256];
    LogFontA font;
    std::uint32_t textColor;  // COLORREF: red in the low byte
};
static_assert(sizeof(MessageEntry) == 320);
static_assert(offsetof(MessageEntry, font) == 256 && offsetof(MessageEntry, textColor) == 316);

struct MessageTable {
    MessageEntry entries[kMessageEntries];
};
static_assert(sizeof(MessageTable) == 1920);

struct SceneSettings {
    // Model, texture and background.
    char X_NM[kPathBufferSize];
    char TEX_NM[kPathBufferSize];
    std::int32_t ORIG;
    std::int32_t USE_I;
    char IMAGE_NM[kPathBufferSize];
    std::uint32_t COLOR;

    // Camera, object and motion.
    std::int32_t CM_X, CM_Y, CM_Z;
    float COZ[3];
    float COY[3];
    std::int32_t L_AT;
    std::int32_t OJ_X, OJ_Y, OJ_Z;
    std::int32_t ROT_X, ROT_Y, ROT_Z;
    std::int32_t ANIME;
    std::int32_t AN_NUM;
    StepTable AN_VEC;

    // Lights and rendering.
    std::int32_t LT_DIR;
    std::int32_t LT_AMB;
    std::int32_t REN_Q;
    std::int32_t TEX_Q;
    std::int32_t DITHER;
    std::int32_t ALIAS;

    // Screen extras and message.
    std::int32_t FPS;
    std::int32_t CPR;
    std::int32_t MSN;
    std::int32_t SPD;
    MessageTable MSG;

    // Sound.
    std::int32_t S_ON;
    std::int32_t M_ON;
    char MIDI_NM[kPathBufferSize];

    // Derived and run-time values, never stored.
    std::int32_t directionHundredths[3];
    std::int32_t upHundredths[3];
    std::int32_t currentStepRow;
    char windowsDirectory[kDirectoryBufferSize];
    std::int32_t keyboardCodePage;
};

// The process-wide settings record.
SceneSettings& Settings();

// The 31 rows of the built-in flight that table 0 holds.
inline constexpr int kBuiltInFlightRows = 31;

// Start-up, before the store is read: takes the data directory, clears the step
// table and puts the built-in flight into table 0, takes the keyboard code page.
// Every other field is zero or empty.
void InitialiseSettings(SceneSettings& s, std::string_view windowsDirectory, int codePage);

// Copies the built-in flight into rows 0..30 of table 0.
void PutBuiltInFlight(StepTable& table);

// The first-run defaults, written when the store had no key yet.
void ApplyFirstRunDefaults(SceneSettings& s);

// The default text of message entry 0: "(No Message)", or its Japanese form
// (in code page 932) when the code page is 932.
std::string_view DefaultMessageText(int codePage);

// Clears the message table and gives entry 0 its default text.
void ResetMessageTable(SceneSettings& s);

// windowsDirectory followed by the file name, cut to fit the path buffer.
void SetDefaultPath(SceneSettings& s, char (&path)[kPathBufferSize], std::string_view fileName);

// Recomputes directionHundredths from COZ and upHundredths from COY, rounding
// half away from zero.
void RefreshHundredths(SceneSettings& s);

// One float component in hundredths, rounded half away from zero.
std::int32_t ToHundredths(float f);

// Copies a text into a fixed buffer, always terminated, cut to fit.
void CopyText(char* buffer, std::size_t size, std::string_view text);

// Length of a text in a fixed buffer, never looking past the buffer.
std::size_t TextLength(const char* buffer, std::size_t size);

// Paths in the settings are bytes in the keyboard code page (the configuration
// dialog stores them so), while names on the disk are UTF-8. Every stored path is
// opened through OpenStoredPath: open is called with the bytes converted to UTF-8,
// then, when that fails and the bytes differ, with the bytes as they are. True once
// an open succeeds. The converted name, for messages, goes to shownName.
bool OpenStoredPath(std::string_view stored, int codePage,
                    const std::function<bool(const std::string& name)>& open,
                    std::string* shownName = nullptr);

// A UTF-8 path as the settings hold it: in the code page when the code page can
// carry every character of it, else the UTF-8 bytes as they are (which the raw
// fallback of OpenStoredPath then finds).
std::string ToStoredPath(std::string_view utf8, int codePage);

// Makes sure every fixed text of the record ends inside its buffer: a stored
// value may lack its terminator. Texts that are terminated are left as they are.
void TerminateTexts(SceneSettings& s);

}  // namespace settings
