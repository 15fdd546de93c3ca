// The step-table text file: all five step tables as comma-separated lines, for
// keeping or exchanging camera flights outside the store.
#pragma once

#include <string>
#include <string_view>

#include "settings/scene_settings.h"

namespace settings {

// The file's name, without a directory: it lies in the current directory.
inline constexpr const char* kStepTableFileName = "KP4VN_01.CSV";

// Files larger than this are read only up to it; a real file is about 35 kB.
inline constexpr std::size_t kMaxStepFileBytes = 4u << 20;

// The whole file for a step table: five sections of a header and 100 rows, CR LF.
std::string FormatStepTableFile(const StepTable& table);

// Reads a file's bytes into the step table. Rows the file does not reach keep their
// values; nothing outside the table is written, whatever the bytes. Returns how many
// rows the file filled: 500 for a whole file.
int ParseStepTableFile(std::string_view bytes, StepTable& table);

// Writes the table to the named file, replacing it atomically. False, with the
// reason in error when asked, when it could not be written.
bool SaveStepTableFile(const StepTable& table, const std::string& path,
                       std::string* error = nullptr);
// Reads the named file into the table. False (and the table unchanged) when it
// cannot be read.
bool LoadStepTableFile(StepTable& table, const std::string& path);

// For a dialog that tells what went wrong: takes the file only when it holds all
// five tables of 100 rows; otherwise the table is left exactly as it was and error
// says why.
bool LoadWholeStepTableFile(StepTable& table, const std::string& path, std::string* error);

// The same on the process-wide settings and "KP4VN_01.CSV" in the current directory.
void SaveStepTableFile();
void LoadStepTableFile();

}  // namespace settings
