// Defaults, the built-in flight and the derived values of the settings record.
#include "settings/scene_settings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/text/text.h"

namespace settings {

SceneSettings& Settings() {
    static SceneSettings instance{};
    return instance;
}

namespace {

struct FlightRow {
    std::int8_t x, y, z;
    std::int32_t frames;
    std::uint8_t lookAt;
};

// The built-in camera flight: a dive past the model, a pass below it and a climb
// round its side, looking at it first and then flying free.
constexpr FlightRow kBuiltInFlight[kBuiltInFlightRows] = {
    {0, 50, -80, 50, 1},   {0, 50, -80, 40, 1},   {0, 50, -2, 25, 1},    {0, 50, -2, 15, 1},
    {0, 22, -2, 5, 1},     {0, 16, -8, 5, 1},     {0, 10, -8, 10, 1},    {0, 2, -8, 5, 1},
    {0, 0, -8, 5, 1},      {0, -4, -8, 5, 1},     {0, -8, -8, 15, 1},    {0, -20, -8, 15, 1},
    {0, -20, -28, 30, 1},  {0, -20, -28, 30, 1},  {0, 22, -28, 25, 1},   {0, 28, -32, 5, 1},
    {0, 34, -32, 20, 1},   {0, 36, -60, 10, 1},   {0, 56, -40, 10, 0},   {6, 56, -28, 15, 0},
    {19, 56, -16, 15, 0},  {20, 40, -18, 30, 0},  {20, 40, -50, 10, 0},  {15, 60, -50, 15, 0},
    {-4, 90, -50, 10, 0},  {-15, 78, -50, 15, 0}, {-18, 66, -50, 10, 0}, {-20, 70, -70, 10, 0},
    {0, 60, -70, 10, 0},   {25, 66, -65, 10, 0},  {20, 66, -60, 20, 0},
};

constexpr std::string_view kNoMessage = "(No Message)";
// "(なし)" in code page 932.
constexpr std::string_view kNoMessage932 = "(\x82\xc8\x82\xb5)";

}  // namespace

void PutBuiltInFlight(StepTable& table) {
    for (int r = 0; r < kBuiltInFlightRows; ++r) {
        const FlightRow& f = kBuiltInFlight[r];
        StepRow& row = table.Row(0, r);
        row = StepRow{};
        row.cameraX = f.x;
        row.cameraY = f.y;
        row.cameraZ = f.z;
        row.frames = f.frames;
        row.lookAt = f.lookAt;
        row.valid = 1;
    }
}

void InitialiseSettings(SceneSettings& s, std::string_view windowsDirectory, int codePage) {
    std::memset(&s, 0, sizeof s);
    CopyText(s.windowsDirectory, sizeof s.windowsDirectory, windowsDirectory);
    PutBuiltInFlight(s.AN_VEC);
    s.keyboardCodePage = codePage;
}

std::string_view DefaultMessageText(int codePage) {
    return codePage == 932 ? kNoMessage932 : kNoMessage;
}

void ResetMessageTable(SceneSettings& s) {
    std::memset(&s.MSG, 0, sizeof s.MSG);
    CopyText(s.MSG.entries[0].text, sizeof s.MSG.entries[0].text,
             DefaultMessageText(s.keyboardCodePage));
}

void SetDefaultPath(SceneSettings& s, char (&path)[kPathBufferSize], std::string_view fileName) {
    const std::size_t dirLength = TextLength(s.windowsDirectory, sizeof s.windowsDirectory);
    std::memset(path, 0, kPathBufferSize);
    // A directory too long for the buffer would give a wrong path; leave it empty
    // so the loader reports a missing file instead.
    if (dirLength + fileName.size() >= kPathBufferSize) return;
    std::memcpy(path, s.windowsDirectory, dirLength);
    std::memcpy(path + dirLength, fileName.data(), fileName.size());
}

std::int32_t ToHundredths(float f) {
    // The sum and product are made in double, as the record's users compare
    // with values computed the same way.
    const double v = f > 0.0f ? (static_cast<double>(f) + 0.005) * 100.0
                              : (static_cast<double>(f) - 0.005) * 100.0;
    if (!(v > -2147483648.0)) return INT32_MIN;  // also NaN
    if (v >= 2147483647.0) return INT32_MAX;
    return static_cast<std::int32_t>(v);
}

void RefreshHundredths(SceneSettings& s) {
    for (int i = 0; i < 3; ++i) {
        s.directionHundredths[i] = ToHundredths(s.COZ[i]);
        s.upHundredths[i] = ToHundredths(s.COY[i]);
    }
}

void CopyText(char* buffer, std::size_t size, std::string_view text) {
    if (size == 0) return;
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::size_t TextLength(const char* buffer, std::size_t size) {
    const void* end = std::memchr(buffer, '\0', size);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer) : size;
}

namespace {
void Terminate(char* buffer, std::size_t size) {
    if (TextLength(buffer, size) == size) buffer[size - 1] = '\0';
}
}  // namespace

void TerminateTexts(SceneSettings& s) {
    Terminate(s.X_NM, sizeof s.X_NM);
    Terminate(s.TEX_NM, sizeof s.TEX_NM);
    Terminate(s.IMAGE_NM, sizeof s.IMAGE_NM);
    Terminate(s.MIDI_NM, sizeof s.MIDI_NM);
    for (MessageEntry& e : s.MSG.entries) {
        Terminate(e.text, sizeof e.text);
        Terminate(e.font.faceName, sizeof e.font.faceName);
    }
}

bool OpenStoredPath(std::string_view stored, int codePage,
                    const std::function<bool(const std::string& name)>& open,
                    std::string* shownName) {
    const std::string converted = platform::CodePageToUtf8(stored, codePage);
    if (shownName) *shownName = converted;
    if (open(converted)) return true;
    // A name stored as UTF-8 already (by hand, or a data directory that the code
    // page cannot carry) or one whose bytes are no text in the code page.
    return converted != stored && open(std::string(stored));
}

std::string ToStoredPath(std::string_view utf8, int codePage) {
    std::string bytes = platform::Utf8ToCodePage(utf8, codePage);
    if (platform::CodePageToUtf8(bytes, codePage) != utf8) return std::string(utf8);
    return bytes;
}

}  // namespace settings
