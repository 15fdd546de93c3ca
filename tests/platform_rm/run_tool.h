// Running orbsaver-model from a test, as each system starts programs.
#pragma once

#include <string>
#include <vector>

// Runs orbsaver-model with args and waits for it. Returns its exit code, or -1 when it
// could not be started or did not end by itself; first_line, when given, gets the first
// line of its output. What it writes to its error output is dropped.
int RunModelTool(const std::vector<std::string>& args, std::string* first_line = nullptr);
