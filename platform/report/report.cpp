// The one sink of the program's reasons; a test may put its own in place.
#include "platform/report/report.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<ReportSink> g_sink{nullptr};
}  // namespace

void Report(std::string_view line) {
    if (ReportSink sink = g_sink.load()) {
        sink(line);
    } else {
        WriteReportLine(line);
    }
}

ReportSink SetReportSink(ReportSink sink) { return g_sink.exchange(sink); }

}  // namespace platform
