// What the Win32 dialog backend's files share. Included by _win32 files only, before
// "platform/win32_api.h".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"

struct HWND__;

namespace platform::win32_dialog {

std::wstring Widen(const std::string& text);
std::string Narrow(const wchar_t* text, int length);

// The window class of a kind of control, and the style it is made with.
const wchar_t* ClassOf(ControlKind kind);
std::uint32_t StyleOf(ControlKind kind, std::uint32_t style);
// Whether a control of a template is of the kind asked for: its class, and for a
// button its type.
bool IsOfKind(HWND__* control, ControlKind kind);

// A BMP file's picture as GDI takes it: the info header with its colours (copied, so
// that it is aligned) and where the pixels start. False for bytes that are no
// uncompressed picture whose pixels lie within them.
bool ParseBmp(std::span<const std::byte> bmp, std::vector<std::uint32_t>* info,
              const std::byte** bits, int* width, int* height);

}  // namespace platform::win32_dialog
