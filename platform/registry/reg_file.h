// The text forms of a registry file, as the Windows registry editor writes and reads
// them: REGEDIT4 (code-page text) and "Windows Registry Editor Version 5.00" (Unicode,
// UTF-16LE as exported). Pure functions from bytes to a document of keys and values
// and back; the store, its fuzz target and the store tool all go through them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Registry value types, with their Windows numbers.
enum RegType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

// A value as a 5.00 file held it: its name in UTF-8 and its data (texts as UTF-16LE
// with their terminator). A write-back in that form gives these again, untouched,
// until the value is set anew.
struct RegValueAsRead {
    std::string name;
    std::vector<std::uint8_t> data;
};

struct RegValue {
    std::string name;  // empty for the key's default value ("@")
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;  // texts in the store's code page
    std::optional<RegValueAsRead> asRead{};
    // False when the value's name or text has no form in the store's code page: the
    // value then reads as absent and is kept, as it was read, for the write-back.
    bool readable = true;
    bool nameReadable = true;
    // Why an unreadable value reads as absent, naming it and the character; told
    // only to a caller that asks for the value.
    std::string problem{};
};

struct RegKey {
    std::string path;  // full path, e.g. "HKEY_CURRENT_USER\Control Panel\Desktop"
    std::vector<RegValue> values;
    std::string pathAsRead{};  // the path in UTF-8, for a key read from a 5.00 file
    bool pathReadable = true;  // false: no caller can name the key; it is only kept

    RegValue* Find(std::string_view name);
    const RegValue* Find(std::string_view name) const;
};

struct RegDocument {
    std::vector<RegKey> keys;

    RegKey* Find(std::string_view path);
    const RegKey* Find(std::string_view path) const;
};

enum class RegFileForm {
    kRegedit4,  // "REGEDIT4", code-page bytes, CR LF
    kVersion5,  // "Windows Registry Editor Version 5.00", written in UTF-16LE with its mark
};

struct RegFile {
    RegDocument document;
    RegFileForm form = RegFileForm::kRegedit4;
    // One line for each key or value that reads as absent because the code page lacks
    // one of its characters, naming it and the character (each value's own line is
    // also its `problem`).
    std::vector<std::string> warnings;
};

// The largest store file read, the largest single value and the longest line: far
// beyond what the saver or the registry editor write, small enough that a hostile
// file cannot exhaust memory.
inline constexpr std::size_t kMaxRegFileBytes = 16u << 20;
inline constexpr std::size_t kMaxRegValueBytes = 1u << 20;
inline constexpr std::size_t kMaxRegLineBytes = 256u << 10;

// Reads either form. A REGEDIT4 file is code-page bytes, with or without a UTF-8 mark.
// A 5.00 file is UTF-16LE after its mark, or UTF-8 with or without one; its texts
// become bytes of codePage (1252 or 932) as the program's own text conversion makes
// them, and its hex(1), hex(2) and hex(7) data are taken as UTF-16LE. Returns
// nothing, and the reason (with its line), when the bytes are neither form.
std::optional<RegFile> ParseRegFile(std::string_view bytes, int codePage,
                                    std::string* error = nullptr);

// Writes the document in the form asked for, with CR LF line ends. A 5.00 file gives
// every value read from one and not set since exactly as it was read. False, and the
// reason, when a value set since holds text that has no Unicode form in codePage.
bool WriteRegFile(const RegDocument& doc, RegFileForm form, int codePage, std::string* out,
                  std::string* error = nullptr);

// The REGEDIT4 form alone: a 5.00 file is refused.
std::optional<RegDocument> ParseRegedit4(std::string_view text, std::string* error = nullptr);
// Strings that are exactly one terminated text of printable bytes are written quoted;
// every other string keeps its exact bytes as hex(1):.
std::string WriteRegedit4(const RegDocument& doc);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace platform
