// Any bytes as a step-table file: the load stays inside the step table (the
// sanitizers watch the memory around it) and never stops the program.
#include <cstring>

#include "settings/step_file.h"

namespace {
struct Guarded {
    unsigned char before[64];
    settings::StepTable table;
    unsigned char after[64];
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Guarded g;
    std::memset(g.before, 0xA5, sizeof g.before);
    std::memset(g.after, 0x5A, sizeof g.after);
    settings::ParseStepTableFile(std::string_view(reinterpret_cast<const char*>(data), size),
                                 g.table);
    for (unsigned char c : g.before) {
        if (c != 0xA5) __builtin_trap();
    }
    for (unsigned char c : g.after) {
        if (c != 0x5A) __builtin_trap();
    }
    return 0;
}
