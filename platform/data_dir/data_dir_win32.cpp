// Finding the data directory on Windows: the "data" folder beside the program (a
// portable copy, or the build), else the folder the installer wrote down in
// HKEY_LOCAL_MACHINE\Software\orbsaver, value InstallDir.
#include <string>

#include "platform/data_dir/data_dir.h"
#include "platform/files/wide_path_win32.h"

namespace platform {

namespace {

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                            nullptr, nullptr);
    }
    return out;
}

std::wstring WithSeparator(std::wstring path) {
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path.push_back(L'\\');
    return path;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The program's own folder, whatever the length of its path.
std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring InstalledFolder() {
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\orbsaver", L"InstallDir", RRF_RT_REG_SZ,
                     nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes < sizeof(wchar_t)) {
        return {};
    }
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\orbsaver", L"InstallDir", RRF_RT_REG_SZ,
                     nullptr, value.data(), &bytes) != ERROR_SUCCESS) {
        return {};
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

}  // namespace

std::string DataDirectory() {
    if (const wchar_t* env = _wgetenv(L"ORBSAVER_DATA_DIR"); env && env[0]) {
        return Utf8(WithSeparator(env));
    }
    const std::wstring beside = ProgramFolder() + L"\\data";
    if (IsFolder(beside)) return Utf8(WithSeparator(beside));
    if (const std::wstring installed = InstalledFolder(); !installed.empty() && IsFolder(installed)) {
        return Utf8(WithSeparator(installed));
    }
    return Utf8(WithSeparator(beside));
}

}  // namespace platform
