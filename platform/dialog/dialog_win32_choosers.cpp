// The choosers on Windows' common dialogs. Paths cross as UTF-16 (GetOpenFileNameW), so
// that a file whose name the ANSI code page cannot hold still comes back as itself and
// the caller can refuse it by name; the font chooser is the ANSI one, since the
// settings keep a LOGFONTA and the record goes through it unchanged.
#include "platform/dialog/dialog_win32_choosers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

#include "platform/report/report.h"
#include "platform/files/wide_path_win32.h"
#include "platform/win32_api.h"

#include <shellapi.h>

namespace platform {

namespace {

std::wstring Wide(const std::string& utf8) { return WidePath(utf8); }

std::string Utf8(const wchar_t* wide, std::size_t length) {
    if (length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
    return out;
}

// ANSI bytes (at most `size`, up to the first NUL) as UTF-8.
std::string AnsiToUtf8(const char* bytes, std::size_t size) {
    const std::size_t length = strnlen(bytes, size);
    if (length == 0) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), wide.data(), n);
    return Utf8(wide.data(), wide.size());
}

DWORD Attributes(const std::wstring& path) {
    return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
}

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Windows' longest path in UTF-16 units, with its terminator.
constexpr std::size_t kPathUnits = 32768;

}  // namespace

std::wstring Win32WidePath(const std::string& utf8) {
    std::wstring path = Wide(utf8);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring Win32FileFilter(const FileChooser& chooser) {
    std::wstring list;
    const auto add = [&](const std::string& name, const std::string& pattern) {
        // A NUL inside would end the list early: such a filter is cut there.
        std::wstring n = Wide(name), p = Wide(pattern);
        n.resize(wcsnlen(n.c_str(), n.size()));
        p.resize(wcsnlen(p.c_str(), p.size()));
        list += n;
        list += L'\0';
        list += p;
        list += L'\0';
    };
    if (!chooser.firstFilterName.empty()) add(chooser.firstFilterName, chooser.firstFilterPattern);
    add(chooser.filterName, chooser.filterPattern);
    list += L'\0';
    return list;
}

std::string Win32AnsiText(const std::string& utf8, std::size_t maxBytes) {
    const std::wstring wide = Wide(utf8);
    std::string out;
    // One character at a time, so that a cut never splits one.
    for (std::size_t i = 0; i < wide.size();) {
        const std::size_t units = (IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size()) ? 2 : 1;
        char bytes[8];
        const int n = WideCharToMultiByte(CP_ACP, 0, wide.data() + i, static_cast<int>(units),
                                          bytes, sizeof bytes, nullptr, nullptr);
        if (n <= 0 || out.size() + static_cast<std::size_t>(n) > maxBytes) break;
        out.append(bytes, static_cast<std::size_t>(n));
        i += units;
    }
    return out;
}

bool Win32ChooseOpenFile(HWND__* owner, const FileChooser& chooser, std::string* utf8Path) {
    const std::wstring filter = Win32FileFilter(chooser);
    const std::wstring title = Wide(chooser.title);
    std::vector<wchar_t> file(kPathUnits, L'\0');
    std::wstring folder;
    // The offered path: a file is preset (with its folder), a folder opens; a path
    // that names neither opens its folder when that is there. One too long for the
    // buffer is not offered at all.
    const std::wstring initial = Win32WidePath(chooser.initialPath);
    const DWORD attributes = Attributes(initial);
    if (IsFolder(attributes)) {
        folder = initial;
    } else {
        const std::size_t slash = initial.find_last_of(L"\\");
        if (slash != std::wstring::npos && IsFolder(Attributes(initial.substr(0, slash)))) {
            folder = initial.substr(0, slash);
        }
        if (attributes != INVALID_FILE_ATTRIBUTES && initial.size() < file.size()) {
            std::copy(initial.begin(), initial.end(), file.begin());
        }
    }
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    // The chooser changes the current folder, as it always has for this program. A
    // name longer than the buffer (longer than any path) is refused by the chooser
    // itself (FNERR_BUFFERTOOSMALL): no file then.
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn)) return false;
    file.back() = L'\0';
    const std::string chosen = Utf8(file.data(), wcsnlen(file.data(), file.size()));
    if (chosen.empty()) return false;
    *utf8Path = chosen;
    return true;
}

bool Win32ChooseFont(HWND__* owner, FontChoice& choice) {
    LOGFONTA lf{};
    static_assert(sizeof lf == std::tuple_size_v<decltype(choice.logFont)>);
    DWORD flags = CF_SCREENFONTS | CF_EFFECTS;
    if (choice.hasLogFont) {
        std::memcpy(&lf, choice.logFont.data(), sizeof lf);
        lf.lfFaceName[LF_FACESIZE - 1] = '\0';
        flags |= CF_INITTOLOGFONTSTRUCT;
    } else if (choice.offerFont) {
        lf.lfHeight = choice.font.height;
        lf.lfWeight = choice.font.weight;
        lf.lfItalic = choice.font.italic ? 1 : 0;
        lf.lfUnderline = choice.font.underline ? 1 : 0;
        lf.lfStrikeOut = choice.font.strikeOut ? 1 : 0;
        lf.lfCharSet = DEFAULT_CHARSET;
        const std::string face = Win32AnsiText(choice.font.face, LF_FACESIZE - 1);
        std::memcpy(lf.lfFaceName, face.data(), face.size());
        flags |= CF_INITTOLOGFONTSTRUCT;
    }
    CHOOSEFONTA cf{};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = owner;
    cf.lpLogFont = &lf;
    cf.Flags = flags;
    cf.rgbColors = choice.color & 0x00FFFFFF;
    if (!ChooseFontA(&cf)) return false;
    std::memcpy(choice.logFont.data(), &lf, sizeof lf);
    choice.hasLogFont = true;
    choice.logFontChosen = true;
    choice.offerFont = true;
    choice.font.face = AnsiToUtf8(lf.lfFaceName, sizeof lf.lfFaceName);
    choice.font.height = lf.lfHeight;
    choice.font.weight = lf.lfWeight;
    choice.font.italic = lf.lfItalic != 0;
    choice.font.underline = lf.lfUnderline != 0;
    choice.font.strikeOut = lf.lfStrikeOut != 0;
    choice.color = cf.rgbColors & 0x00FFFFFF;
    return true;
}

bool Win32ChooseColor(HWND__* owner, ColorChoice& choice) {
    COLORREF custom[16];
    for (int i = 0; i < 16; ++i) custom[i] = choice.custom[i] & 0x00FFFFFF;
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = choice.color & 0x00FFFFFF;
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    const bool chosen = ChooseColorA(&cc) != 0;
    if (chosen) choice.color = cc.rgbResult & 0x00FFFFFF;
    for (int i = 0; i < 16; ++i) choice.custom[i] = custom[i] & 0x00FFFFFF;
    return chosen;
}

void Win32ShowMessage(HWND__* owner, const std::string& title, const std::string& text,
                      MessageKind kind) {
    std::string line = title + ": " + text;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    Report(line);
    if (std::getenv("ORBSAVER_NO_MESSAGE_BOXES")) return;
    const UINT icon = kind == MessageKind::kError     ? MB_ICONERROR
                      : kind == MessageKind::kWarning ? MB_ICONWARNING
                                                      : MB_ICONINFORMATION;
    // Without an owner the box must not hide behind the saver's own windows.
    MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(),
                MB_OK | icon | (owner ? 0u : static_cast<UINT>(MB_TOPMOST)));
}

bool Win32OpenDocument(HWND__* owner, const std::string& path) {
    const std::wstring wide = Win32WidePath(path);
    if (wide.empty() || wide.find(L'\0') != std::wstring::npos) return false;
    const HINSTANCE result = ShellExecuteW(owner, L"open", wide.c_str(), nullptr, nullptr,
                                           SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform
