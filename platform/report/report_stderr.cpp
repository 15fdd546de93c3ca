// The reasons on stderr, a line at a time, written whole and at once so that a
// terminal or a host's log never gets half a line.
#include <cstdio>
#include <string>

#include "platform/report/report.h"

namespace platform {

void WriteReportLine(std::string_view line) {
    std::string text(line);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace platform
