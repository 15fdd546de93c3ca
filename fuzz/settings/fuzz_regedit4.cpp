// Any bytes as a store file, in either code page: parsing never fails badly, what
// parses writes back in its own form (REGEDIT4 or 5.00) to bytes that parse to the
// same document and write the same again, and loading the settings from it keeps
// every text inside its buffer.
#include <cstdlib>
#include <cstring>

#include "platform/registry/reg_file.h"
#include "platform/registry/registry.h"
#include "settings/store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (int codePage : {1252, 932}) {
        auto file = platform::ParseRegFile(bytes, codePage);
        if (!file) continue;
        std::string written, again;
        if (!platform::WriteRegFile(file->document, file->form, codePage, &written)) std::abort();
        auto back = platform::ParseRegFile(written, codePage);
        if (!back || back->form != file->form) std::abort();
        if (!platform::WriteRegFile(back->document, back->form, codePage, &again) ||
            again != written) {
            std::abort();
        }

        platform::MemoryRegistry registry;
        registry.document = std::move(file->document);
        static settings::SceneSettings s;
        settings::InitialiseSettings(s, "/usr/share/orbsaver/", codePage);
        settings::LoadOrSaveSettings(s, registry, 0);
        if (settings::TextLength(s.X_NM, sizeof s.X_NM) >= sizeof s.X_NM) std::abort();
        if (s.AN_NUM < 0 || s.AN_NUM > 4 || s.MSN < 0 || s.MSN > 5) std::abort();
        for (const auto& e : s.MSG.entries) {
            if (settings::TextLength(e.text, sizeof e.text) >= sizeof e.text) std::abort();
        }
    }
    return 0;
}
