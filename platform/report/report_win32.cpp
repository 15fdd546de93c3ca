// The reasons on Windows: a saver started by the system has no console, so each line
// goes to the debugger's output (DebugView, a debugger, Wine's log), and to stderr as
// well when the program has one (started from a console, or its output redirected).
#include <cstdio>
#include <string>

#include "platform/files/wide_path_win32.h"
#include "platform/report/report.h"

namespace platform {

void WriteReportLine(std::string_view line) {
    std::string text(line);
    text.push_back('\n');
    OutputDebugStringW(WidePath(text).c_str());
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
}

}  // namespace platform
