// What the two forms of a registry file share between their files: the writers'
// common pieces, and the 5.00 form's text conversions (reg_file_v5.cpp). Internal to
// platform/registry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/reg_file.h"

namespace platform::reg_file_parts {

// Texts longer than this are written as hex, so that no line the writer makes comes
// near the reader's line limit.
inline constexpr std::size_t kMaxQuotedBytes = 4096;
inline constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

// reg_file.cpp
bool FailWhole(std::string* error, const std::string& what);
std::string Quote(std::string_view s);
// A value's data as the form writes it (dword:, hex:, hex(N):), from lineStart's column.
void AppendValueData(std::string& out, std::size_t lineStart, const RegValue& v,
                     const std::vector<std::uint8_t>& data, RegFileForm form);

// reg_file_v5.cpp
// False, with the UTF-16 unit that is no character in *badUnit, for text that is no
// well-formed UTF-16LE.
bool Utf16LeToUtf8(std::string_view bytes, std::string& out, std::size_t* badUnit = nullptr);
std::vector<std::uint8_t> Utf8ToUtf16Le(std::string_view utf8);
bool IsWellFormedUtf8(std::string_view text);
// The texts of a 5.00 file read are taken into the code page; a value the code page
// cannot hold reads as absent, with its reason kept.
void ConvertToCodePage(RegFile& file, int codePage);
// Hex bytes wrapped as the 5.00 exports of the registry editor wrap them.
void AppendHexVersion5(std::string& out, std::size_t column, const std::vector<std::uint8_t>& data);
bool WriteVersion5(const RegDocument& doc, int codePage, std::string* out, std::string* error);

}  // namespace platform::reg_file_parts
