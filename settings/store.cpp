// The table of stored values and LoadOrSaveSettings, which walks it.
#include "settings/store.h"
#include "platform/report/report.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace settings {

namespace {

#define AT(field) offsetof(SceneSettings, field)

constexpr StoredValue kValues[] = {
    {"S_ON", Encoding::kIntegerText, 7, AT(S_ON), 1, 1, WhenMissing::kNumber},
    {"M_ON", Encoding::kIntegerText, 7, AT(M_ON), 0, 0, WhenMissing::kNumber},
    {"ORIG", Encoding::kIntegerText, 7, AT(ORIG), 1, 1, WhenMissing::kNumber},
    {"CM_X", Encoding::kIntegerText, 7, AT(CM_X), 0, 0, WhenMissing::kNumber},
    {"CM_Y", Encoding::kIntegerText, 7, AT(CM_Y), 30, 0, WhenMissing::kNumber},
    {"CM_Z", Encoding::kIntegerText, 7, AT(CM_Z), -30, 0, WhenMissing::kNumber},
    {"ROT_X", Encoding::kIntegerText, 7, AT(ROT_X), 0, 0, WhenMissing::kNumber},
    {"ROT_Y", Encoding::kIntegerText, 7, AT(ROT_Y), 50, 0, WhenMissing::kNumber},
    {"ROT_Z", Encoding::kIntegerText, 7, AT(ROT_Z), 0, 0, WhenMissing::kNumber},
    {"OJ_X", Encoding::kIntegerText, 7, AT(OJ_X), 0, 0, WhenMissing::kNumber},
    {"OJ_Y", Encoding::kIntegerText, 7, AT(OJ_Y), 0, 0, WhenMissing::kNumber},
    {"OJ_Z", Encoding::kIntegerText, 7, AT(OJ_Z), 0, 0, WhenMissing::kNumber},
    {"L_AT", Encoding::kIntegerText, 7, AT(L_AT), 1, 1, WhenMissing::kNumber},
    {"ANIME", Encoding::kIntegerText, 7, AT(ANIME), 0, 0, WhenMissing::kNumber},
    {"LT_DIR", Encoding::kIntegerText, 7, AT(LT_DIR), 95, 95, WhenMissing::kNumber},
    {"LT_AMB", Encoding::kIntegerText, 7, AT(LT_AMB), 20, 20, WhenMissing::kNumber},
    {"AN_NUM", Encoding::kIntegerText, 7, AT(AN_NUM), 0, 0, WhenMissing::kNumber},
    {"AN_VEC", Encoding::kBinary, 12000, AT(AN_VEC), 0, 0, WhenMissing::kUnchanged},
    {"MIDI_NM", Encoding::kPathText, 255, AT(MIDI_NM), 0, 0, WhenMissing::kUnchanged},
    {"DITHER", Encoding::kIntegerText, 7, AT(DITHER), 0, 0, WhenMissing::kNumber},
    {"ALIAS", Encoding::kIntegerText, 7, AT(ALIAS), 0, 0, WhenMissing::kNumber},
    {"FPS", Encoding::kIntegerText, 7, AT(FPS), 1, 1, WhenMissing::kNumber},
    {"CPR", Encoding::kIntegerText, 7, AT(CPR), 1, 1, WhenMissing::kNumber},
    {"TEX_Q", Encoding::kBinary, 4, AT(TEX_Q), 0, 0, WhenMissing::kNumber},
    {"REN_Q", Encoding::kBinary, 4, AT(REN_Q), 137, 137, WhenMissing::kNumber},
    {"X_NM", Encoding::kPathText, 255, AT(X_NM), 0, 0, WhenMissing::kDefaultModel},
    {"TEX_NM", Encoding::kPathText, 255, AT(TEX_NM), 0, 0, WhenMissing::kDefaultTexture},
    {"USE_I", Encoding::kIntegerText, 7, AT(USE_I), 0, 0, WhenMissing::kNumber},
    {"COLOR", Encoding::kBinary, 4, AT(COLOR), 0, 0, WhenMissing::kNumber},
    {"IMAGE_NM", Encoding::kPathText, 255, AT(IMAGE_NM), 0, 0, WhenMissing::kUnchanged},
    {"COZ", Encoding::kBinary, 12, AT(COZ), 0, 0, WhenMissing::kZero},
    {"COY", Encoding::kBinary, 12, AT(COY), 0, 0, WhenMissing::kZero},
    {"MSG", Encoding::kBinary, 1920, AT(MSG), 0, 0, WhenMissing::kDefaultMessages},
    {"MSN", Encoding::kIntegerText, 7, AT(MSN), 0, 0, WhenMissing::kNumber},
    {"SPD", Encoding::kIntegerText, 7, AT(SPD), 8, 8, WhenMissing::kNumber},
};

#undef AT

constexpr const char* kSaveOrder[] = {
    "S_ON",  "M_ON",   "ORIG",   "CM_X",  "CM_Y",  "CM_Z",  "ROT_X",  "ROT_Y", "ROT_Z",
    "OJ_X",  "OJ_Y",   "OJ_Z",   "L_AT",  "ANIME", "LT_DIR", "LT_AMB", "AN_NUM", "AN_VEC",
    "MIDI_NM", "X_NM", "TEX_NM", "DITHER", "ALIAS", "FPS",  "CPR",    "TEX_Q", "REN_Q",
    "USE_I", "COLOR",  "IMAGE_NM", "COZ", "COY",   "MSG",   "MSN",    "SPD",
};

static_assert(std::size(kValues) == 35 && std::size(kSaveOrder) == 35);

StoreAccessHook g_hook = nullptr;

std::uint8_t* FieldOf(SceneSettings& s, const StoredValue& v) {
    return reinterpret_cast<std::uint8_t*>(&s) + v.offset;
}

void SetNumber(SceneSettings& s, const StoredValue& v, std::int32_t n) {
    std::memcpy(FieldOf(s, v), &n, sizeof n);
}

std::int32_t GetNumber(SceneSettings& s, const StoredValue& v) {
    std::int32_t n;
    std::memcpy(&n, FieldOf(s, v), sizeof n);
    return n;
}

void TakeMissingDefault(SceneSettings& s, const StoredValue& v) {
    switch (v.whenMissing) {
        case WhenMissing::kNumber:
            SetNumber(s, v, v.missing);
            break;
        case WhenMissing::kUnchanged:
            break;
        case WhenMissing::kDefaultModel:
            SetDefaultPath(s, s.X_NM, "multi.x");
            break;
        case WhenMissing::kDefaultTexture:
            SetDefaultPath(s, s.TEX_NM, "win95.ppm");
            break;
        case WhenMissing::kZero:
            std::memset(FieldOf(s, v), 0, v.size);
            break;
        case WhenMissing::kDefaultMessages:
            ResetMessageTable(s);
            break;
    }
}

// A stored text too wide for its buffer cannot be read, as a Windows registry read
// into the same buffer could not; the user hears of it, since the setting then takes
// its default.
void TellTooWide(const StoredValue& v, std::uint32_t size) {
    platform::Report(std::string("orbsaver: the stored ") + v.name + " is " + std::to_string(size) +
                     " bytes, wider than its buffer; it is not read");
}

void LoadValue(SceneSettings& s, platform::RegistryKey& key, const StoredValue& v) {
    switch (v.encoding) {
        case Encoding::kIntegerText: {
            // Room for the widest number the save writes ("-2147483648" and its
            // terminator): a number of eight or more characters reads back whole.
            char text[12] = {};
            std::uint32_t size = sizeof text;
            const platform::RegStatus status = key.QueryValue(v.name, text, &size);
            if (status == platform::RegStatus::kOk) {
                SetNumber(s, v, ParseDecimal(text, size));
            } else {
                if (status == platform::RegStatus::kMoreData) TellTooWide(v, size);
                TakeMissingDefault(s, v);
            }
            return;
        }
        case Encoding::kPathText: {
            char* buffer = reinterpret_cast<char*>(FieldOf(s, v));
            std::uint32_t size = v.size;
            const platform::RegStatus status = key.QueryValue(v.name, buffer, &size);
            const bool read = status == platform::RegStatus::kOk;
            if (status == platform::RegStatus::kMoreData) TellTooWide(v, size);
            // A model or texture path of fewer than 3 bytes cannot name a file.
            const bool tooShort = v.whenMissing != WhenMissing::kUnchanged && size < 3;
            if (!read || tooShort) TakeMissingDefault(s, v);
            return;
        }
        case Encoding::kBinary:
            break;
    }

    if (v.offset == offsetof(SceneSettings, AN_VEC)) {
        std::uint8_t bytes[sizeof(StepTable)];
        std::uint32_t size = sizeof bytes;
        if (key.QueryValue(v.name, bytes, &size) != platform::RegStatus::kOk) return;
        if (size == sizeof(StepTable)) {
            std::memcpy(&s.AN_VEC, bytes, sizeof s.AN_VEC);
        } else if (size == 10000) {
            std::uint8_t old[10000];
            std::memcpy(old, bytes, sizeof old);
            ConvertOldStepTable(old, s.AN_VEC);
        }
        // Any other size is neither layout: the tables stay as they are.
        return;
    }
    if (v.whenMissing == WhenMissing::kDefaultMessages) {
        std::memset(&s.MSG, 0, sizeof s.MSG);
        std::uint32_t size = sizeof s.MSG;
        if (key.QueryValue(v.name, &s.MSG, &size) != platform::RegStatus::kOk) {
            TakeMissingDefault(s, v);
        }
        return;
    }
    std::uint32_t size = v.size;
    if (key.QueryValue(v.name, FieldOf(s, v), &size) != platform::RegStatus::kOk) {
        TakeMissingDefault(s, v);
    }
}

void SaveValue(SceneSettings& s, platform::RegistryKey& key, const StoredValue& v) {
    switch (v.encoding) {
        case Encoding::kIntegerText: {
            char text[16];
            const int n = std::snprintf(text, sizeof text, "%6d", GetNumber(s, v));
            // Six characters and the terminator; a wider number keeps all its digits.
            const std::uint32_t size = std::max<std::uint32_t>(7, static_cast<std::uint32_t>(n) + 1);
            key.SetValue(v.name, platform::kRegSz, text, size);
            return;
        }
        case Encoding::kPathText:
            key.SetValue(v.name, platform::kRegSz, FieldOf(s, v), v.size);
            return;
        case Encoding::kBinary:
            key.SetValue(v.name, platform::kRegBinary, FieldOf(s, v), v.size);
            return;
    }
}

// Indices and counts that other parts use to pick a table or an entry must stay in
// range whatever the store held.
void KeepIndicesInRange(SceneSettings& s) {
    if (s.AN_NUM < 0 || s.AN_NUM >= kStepTables) s.AN_NUM = 0;
    if (s.MSN < 0 || s.MSN >= kMessageEntries) s.MSN = 0;
}

}  // namespace

std::span<const StoredValue> StoredValues() { return kValues; }
std::span<const char* const> SaveOrder() { return kSaveOrder; }

const StoredValue* FindStoredValue(std::string_view name) {
    for (const StoredValue& v : kValues) {
        if (name == v.name) return &v;
    }
    return nullptr;
}

void SetStoreAccessHook(StoreAccessHook hook) { g_hook = hook; }

std::int32_t ParseDecimal(const char* bytes, std::size_t length) {
    std::size_t i = 0;
    while (i < length && (bytes[i] == ' ' || (bytes[i] >= '\t' && bytes[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < length && (bytes[i] == '+' || bytes[i] == '-')) negative = bytes[i++] == '-';
    std::int64_t n = 0;
    while (i < length && bytes[i] >= '0' && bytes[i] <= '9') {
        n = n * 10 + (bytes[i++] - '0');
        if (n > static_cast<std::int64_t>(INT32_MAX) + 1) n = static_cast<std::int64_t>(INT32_MAX) + 1;
    }
    if (negative) n = -n;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, INT32_MIN, INT32_MAX));
}

void ConvertOldStepTable(const std::uint8_t (&old)[10000], StepTable& table) {
    for (int t = 0; t < kStepTables; ++t) {
        for (int r = 0; r < kStepRowsPerTable; ++r) {
            const std::uint8_t* rec = old + (r * kStepTables + t) * 20;
            StepRow row{};
            row.cameraX = static_cast<std::int8_t>(rec[0]);
            row.cameraY = static_cast<std::int8_t>(rec[1]);
            row.cameraZ = static_cast<std::int8_t>(rec[2]);
            row.objectX = static_cast<std::int8_t>(rec[3]);
            row.objectY = static_cast<std::int8_t>(rec[4]);
            row.objectZ = static_cast<std::int8_t>(rec[5]);
            std::memcpy(&row.frames, rec + 8, 4);
            row.lookAt = rec[12];
            std::memcpy(&row.valid, rec + 16, 4);
            table.Row(t, r) = row;
        }
    }
}

void ApplyFirstRunDefaults(SceneSettings& s) {
    for (const StoredValue& v : kValues) {
        if (v.whenMissing == WhenMissing::kNumber) SetNumber(s, v, v.firstRun);
        if (v.whenMissing == WhenMissing::kZero) std::memset(FieldOf(s, v), 0, v.size);
    }
    SetDefaultPath(s, s.X_NM, "multi.x");
    SetDefaultPath(s, s.TEX_NM, "win95.ppm");
    std::memset(s.IMAGE_NM, 0, sizeof s.IMAGE_NM);
    std::memset(s.MIDI_NM, 0, sizeof s.MIDI_NM);
    ResetMessageTable(s);
    for (int t = 1; t < kStepTables; ++t) s.AN_VEC.Row(t, 0).valid = 0;
}

void LoadOrSaveSettings(SceneSettings& s, platform::Registry& registry, int save) {
    std::fill(std::begin(s.directionHundredths), std::end(s.directionHundredths), 0);
    std::fill(std::begin(s.upHundredths), std::end(s.upHundredths), 0);
    if (g_hook) g_hook();

    platform::KeyDisposition disposition{};
    auto key = registry.CreateKey(kSettingsKey, &disposition);
    if (!key) return;

    if (disposition == platform::KeyDisposition::kCreatedNew) {
        ApplyFirstRunDefaults(s);
        save = 1;
    }
    if (!save) {
        for (const StoredValue& v : kValues) LoadValue(s, *key, v);
        TerminateTexts(s);
        KeepIndicesInRange(s);
        RefreshHundredths(s);
        s.currentStepRow = 0;
        key->Close();
        return;
    }
    for (const char* name : kSaveOrder) SaveValue(s, *key, *FindStoredValue(name));
    key->Close();
}

void LoadOrSaveSettings(int save) {
    LoadOrSaveSettings(Settings(), platform::UserRegistry(), save);
}

}  // namespace settings
