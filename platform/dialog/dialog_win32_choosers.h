// The system's choosers and boxes on Windows: the open-file chooser, the font chooser
// with effects, the colour chooser with its custom colours, the message box, and a
// document opened with its viewer. The dialog backend's chooser methods call these
// with the HWND of the dialog that owns them.
#pragma once

#include <string>

#include "platform/dialog/dialog.h"

// Windows' window handle type (HWND is a pointer to it), declared here so that this
// header needs no <windows.h>.
struct HWND__;

namespace platform {

// Windows' open-file chooser (the wide one: a chosen path outside the ANSI code page
// still names its file), the file must exist. False when cancelled or when the
// chooser fails; *utf8Path is then unchanged.
bool Win32ChooseOpenFile(HWND__* owner, const FileChooser& chooser, std::string* utf8Path);
// ChooseFontA with effects, on the LOGFONTA record as it stands when the choice has
// one. OK gives the record back whole (logFontChosen), its description and colour;
// cancel changes nothing.
bool Win32ChooseFont(HWND__* owner, FontChoice& choice);
// ChooseColorA, full open, starting on the offered colour. OK sets color; either way
// the custom colours come back as the chooser left them.
bool Win32ChooseColor(HWND__* owner, ColorChoice& choice);
// A message box with one OK button and the kind's icon, modal over the owner. Its
// words go to the program's reasons too; none is shown when
// ORBSAVER_NO_MESSAGE_BOXES is set.
void Win32ShowMessage(HWND__* owner, const std::string& title, const std::string& text,
                      MessageKind kind);
// The document opened with the program the system has for it. False when Windows
// cannot start one (no such file, no program for its type).
bool Win32OpenDocument(HWND__* owner, const std::string& path);

// The open-file chooser's filter list: each filter as its name, a NUL, its patterns
// and a NUL, the first filter (when set) before the named one, and a last NUL.
std::wstring Win32FileFilter(const FileChooser& chooser);
// A UTF-8 name as Windows writes paths: UTF-16, '/' turned into '\'.
std::wstring Win32WidePath(const std::string& utf8);
// Text in the ANSI code page, cut to at most maxBytes without splitting a character
// (a face name holds 31 bytes). Characters the code page cannot hold become '?'.
std::string Win32AnsiText(const std::string& utf8, std::size_t maxBytes);

}  // namespace platform
