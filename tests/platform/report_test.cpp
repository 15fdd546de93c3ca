// The program's reasons: every line reaches the one sink, whole, and without a sink
// of a test's own they are the lines on stderr.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/report/report.h"

using namespace platform;

namespace {

std::vector<std::string> g_lines;
void Catch(std::string_view line) { g_lines.emplace_back(line); }

}  // namespace

TEST(Report, ATestsSinkTakesEveryLineAndGivesTheOldOneBack) {
    g_lines.clear();
    EXPECT_EQ(SetReportSink(Catch), nullptr);
    Report("orbsaver: one");
    Report("orbsaver: two\nand the usage");
    EXPECT_EQ(SetReportSink(nullptr), &Catch);
    EXPECT_EQ(g_lines, (std::vector<std::string>{"orbsaver: one", "orbsaver: two\nand the usage"}));
}

TEST(Report, WithoutASinkEachLineGoesToStderrWithItsNewline) {
    ::testing::internal::CaptureStderr();
    Report("orbsaver: cannot create the saver window");
    Report("TITLE: TEXT");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "orbsaver: cannot create the saver window\nTITLE: TEXT\n");
}
