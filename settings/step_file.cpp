// Writing and reading the step-table text file.
//
// Lines are read through a fixed window of characters (20 for a header, 103 for a
// row) that starts on the line break ending the previous line. A row window holds
// the widest row the writer makes (101 characters: every field at the far end of
// its range), so everything written reads back. Beyond that, this reader decides:
//  - a line longer than its window is cut at the window and the rest of it skipped;
//  - lines may end with CR LF or a bare LF;
//  - a row line with too few fields reads the missing ones as 0;
//  - at the end of the file the load stops, and the rows after it keep their values.
#include "settings/step_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/files/replace_mode.h"
#include "platform/files/write_file.h"
#include "platform/registry/registry.h"
#include "platform/report/report.h"
#include "settings/store.h"

namespace settings {

namespace {

constexpr std::size_t kHeaderWindow = 20;
// The widest row line: "%d" of INT32_MIN (11 characters), twelve "%3d" bytes of
// -128 (4 each), "%3d" frames of INT32_MIN (11), "%d" of lookAt 255 (3), and 14
// separators of 2. The window starts on the previous line break and must reach the
// line's own.
constexpr std::size_t kWidestRowLine = 11 + 12 * 4 + 11 + 3 + 14 * 2;
constexpr std::size_t kRowWindow = kWidestRowLine + 2;

// Reads lines out of text whose line ends are already single '\n' characters.
class WindowedLines {
public:
    explicit WindowedLines(std::string_view text) : text_(text) {}

    // Takes the next line through a window of the given width. False at the end.
    bool Next(std::size_t window, std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        const std::size_t end = std::min(text_.size(), pos_ + window);
        std::size_t start = pos_;
        while (start < end && text_[start] == '\n') ++start;
        if (start == end) {
            // Nothing but line breaks in the window: an empty line; the next window
            // starts on the last of them.
            line = {};
            pos_ = end < text_.size() ? end - 1 : end;
            return true;
        }
        std::size_t stop = start;
        while (stop < end && text_[stop] != '\n') ++stop;
        line = text_.substr(start, stop - start);
        if (stop < end || stop == text_.size()) {
            pos_ = stop;
        } else {
            // Longer than the window: skip the rest of the line.
            const std::size_t lineEnd = text_.find('\n', stop);
            pos_ = lineEnd == std::string_view::npos ? text_.size() : lineEnd;
        }
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Splits at runs of blanks, commas, tabs and line feeds, as the file's fields are.
class Fields {
public:
    explicit Fields(std::string_view line) : line_(line) {}

    // The next field as a number; 0 once the fields have run out.
    std::int32_t Next() {
        auto isSeparator = [](char c) { return c == ' ' || c == ',' || c == '\t' || c == '\n'; };
        while (pos_ < line_.size() && isSeparator(line_[pos_])) ++pos_;
        const std::size_t start = pos_;
        while (pos_ < line_.size() && !isSeparator(line_[pos_])) ++pos_;
        return ParseDecimal(line_.data() + start, pos_ - start);
    }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

std::int8_t Low8(std::int32_t n) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(n)); }

std::string ToLineFeeds(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text.push_back(bytes[i]);
    }
    return text;
}


}  // namespace

std::string FormatStepTableFile(const StepTable& table) {
    std::string out;
    out.reserve(40000);
    char line[256];
    for (int t = 0; t < kStepTables; ++t) {
        std::snprintf(line, sizeof line, "V14No. %d\r\n", t);
        out += line;
        for (int r = 0; r < kStepRowsPerTable; ++r) {
            const StepRow& row = table.Row(t, r);
            std::snprintf(line, sizeof line,
                          "%d, %3d, %3d, %3d, %3d, %3d, %3d, %3d, %3d, %3d, %3d, %3d, %3d, %3d, "
                          "%d\r\n",
                          row.valid, row.cameraX, row.cameraY, row.cameraZ, row.directionX,
                          row.directionY, row.directionZ, row.upX, row.upY, row.upZ, row.objectX,
                          row.objectY, row.objectZ, row.frames, row.lookAt);
            out += line;
        }
    }
    return out;
}

int ParseStepTableFile(std::string_view bytes, StepTable& table) {
    if (bytes.size() > kMaxStepFileBytes) bytes = bytes.substr(0, kMaxStepFileBytes);
    const std::string text = ToLineFeeds(bytes);
    WindowedLines lines(text);
    std::string_view line;
    int filled = 0;
    for (int t = 0; t < kStepTables; ++t) {
        if (!lines.Next(kHeaderWindow, line)) return filled;
        const bool current = line.substr(0, 3) == "V14";
        for (int r = 0; r < kStepRowsPerTable; ++r) {
            if (!lines.Next(kRowWindow, line)) return filled;
            Fields f(line);
            StepRow& row = table.Row(t, r);
            row.valid = f.Next();
            row.cameraX = Low8(f.Next());
            row.cameraY = Low8(f.Next());
            row.cameraZ = Low8(f.Next());
            if (current) {
                row.directionX = Low8(f.Next());
                row.directionY = Low8(f.Next());
                row.directionZ = Low8(f.Next());
                row.upX = Low8(f.Next());
                row.upY = Low8(f.Next());
                row.upZ = Low8(f.Next());
            }
            row.objectX = Low8(f.Next());
            row.objectY = Low8(f.Next());
            row.objectZ = Low8(f.Next());
            row.frames = f.Next();
            row.lookAt = static_cast<std::uint8_t>(f.Next());
            ++filled;
        }
    }
    return filled;
}

bool SaveStepTableFile(const StepTable& table, const std::string& path, std::string* error) {
    unsigned mode = 0;
    if (!platform::ModeForReplacing(path, &mode, error)) return false;
    if (platform::WriteFileAtomically(path, FormatStepTableFile(table), mode)) return true;
    if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
}

bool LoadStepTableFile(StepTable& table, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string bytes(kMaxStepFileBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return false;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    ParseStepTableFile(bytes, table);
    return true;
}

bool LoadWholeStepTableFile(StepTable& table, const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    std::string bytes(kMaxStepFileBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        if (error) *error = "it cannot be read";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    StepTable read = table;
    const int rows = ParseStepTableFile(bytes, read);
    if (rows < kStepTables * kStepRowsPerTable) {
        if (error) {
            *error = "it ends after " + std::to_string(rows) + " of its " +
                     std::to_string(kStepTables * kStepRowsPerTable) + " rows";
        }
        return false;
    }
    table = read;
    return true;
}

void SaveStepTableFile() {
    std::string error;
    if (!SaveStepTableFile(Settings().AN_VEC, kStepTableFileName, &error)) {
        platform::Report("orbsaver: the step table is not saved: " + error);
    }
}

void LoadStepTableFile() { LoadStepTableFile(Settings().AN_VEC, kStepTableFileName); }

}  // namespace settings
