// Any bytes as a store file: parsing never fails badly, what parses writes back to
// text that parses to the same document, and loading the settings from it keeps
// every text inside its buffer.
#include <cstdlib>
#include <cstring>

#include "platform/registry.h"
#include "settings/store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto doc = platform::ParseRegedit4(text);
    if (!doc) return 0;
    const std::string written = platform::WriteRegedit4(*doc);
    auto again = platform::ParseRegedit4(written);
    if (!again || platform::WriteRegedit4(*again) != written) std::abort();

    platform::MemoryRegistry registry;
    registry.document = std::move(*doc);
    static settings::SceneSettings s;
    settings::InitialiseSettings(s, "/usr/share/orbsaver/", 1252);
    settings::LoadOrSaveSettings(s, registry, 0);
    if (settings::TextLength(s.X_NM, sizeof s.X_NM) >= sizeof s.X_NM) std::abort();
    if (s.AN_NUM < 0 || s.AN_NUM > 4 || s.MSN < 0 || s.MSN > 5) std::abort();
    for (const auto& e : s.MSG.entries) {
        if (settings::TextLength(e.text, sizeof e.text) >= sizeof e.text) std::abort();
    }
    return 0;
}
