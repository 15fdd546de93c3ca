// The program's one-line reasons: why it did not do what it was asked, or what it
// did instead. Every such line goes through Report, so that each target says it
// where its user can see it (stderr on Linux; the debugger's output, and the console
// when there is one, on Windows) and a test can catch it.
#pragma once

#include <string_view>

namespace platform {

// Says one line, given without its newline. The program's own lines begin with
// "orbsaver: "; a message box's words come as "TITLE: TEXT".
void Report(std::string_view line);

// Where the lines go: the target's own place unless a test set another. Returns the
// sink that was set before (null for the target's own).
using ReportSink = void (*)(std::string_view line);
ReportSink SetReportSink(ReportSink sink);

// The target's own place (report_stderr.cpp, report_win32.cpp).
void WriteReportLine(std::string_view line);

}  // namespace platform
