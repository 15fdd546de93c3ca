// Any bytes as a sprite script: the tokenizer and the parser run to an answer, and
// the symbols are emptied afterwards.
#include <cstdlib>

#include "sprites/script.h"

namespace {
struct Sink : sprites::ScriptTarget {
    bool AddBitmap(const std::string& name) override { return name != "FAIL"; }
    bool AddSurface(const sprites::SurfaceStatement& s) override { return s.width != 13; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sink sink;
    sprites::ScriptError error;
    sprites::RunScript(std::string_view(reinterpret_cast<const char*>(data), size), sink, &error);
    if (!sprites::ScriptSymbols().empty()) std::abort();
    return 0;
}
