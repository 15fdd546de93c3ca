// Loading and saving the settings record in the user's registry key: one value per
// setting, with fixed names, encodings and sizes that a Windows registry can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/registry/registry.h"
#include "settings/scene_settings.h"

namespace settings {

inline constexpr std::string_view kSettingsKey = "Software\\MERO\\SV_ORB_1\\INFO";

enum class Encoding {
    kIntegerText,  // "%6d" as REG_SZ of 7 bytes
    kPathText,     // the whole 255-byte buffer as REG_SZ
    kBinary,       // the setting's bytes as REG_BINARY
};

// What a value takes when it cannot be read.
enum class WhenMissing {
    kNumber,        // the `missing` number
    kUnchanged,     // the setting keeps what it had
    kDefaultModel,  // windowsDirectory + "multi.x"
    kDefaultTexture,
    kZero,          // all bytes 0
    kDefaultMessages,
};

struct StoredValue {
    const char* name;
    Encoding encoding;
    std::uint32_t size;    // bytes stored
    std::size_t offset;    // of the setting in SceneSettings
    std::int32_t firstRun; // first-run default of a number
    std::int32_t missing;  // missing default of a number
    WhenMissing whenMissing;
};

// Every stored value, in the order of loading.
std::span<const StoredValue> StoredValues();
// The value names in the order of saving.
std::span<const char* const> SaveOrder();
const StoredValue* FindStoredValue(std::string_view name);

// Reads or writes the whole record. save = 0 loads, anything else saves. When the key
// did not exist, the first-run defaults are put into the record and written,
// whatever was asked. Failures are silent: the record keeps its values.
void LoadOrSaveSettings(int save);
void LoadOrSaveSettings(SceneSettings& s, platform::Registry& registry, int save);

// Called at the start of every load or save; the frame update uses it to apply the
// manual orientation anew on its next frame.
using StoreAccessHook = void (*)();
void SetStoreAccessHook(StoreAccessHook hook);

// Decimal conversion of a stored number: leading blanks, an optional sign, digits up
// to the first other byte; no digits give 0. Never reads past the bytes given and
// saturates instead of overflowing.
std::int32_t ParseDecimal(const char* bytes, std::size_t length);

// Rebuilds all five step tables from the older 10000-byte layout (row-major, 20-byte
// records without direction and up).
void ConvertOldStepTable(const std::uint8_t (&old)[10000], StepTable& table);

}  // namespace settings
