// The C runtime's wide environment, which _wgetenv and the child processes see; the
// narrow one follows it.
#include "environment.h"

#include <cstdlib>
#include <filesystem>

namespace {

std::wstring Wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

std::string Utf8(const wchar_t* wide) {
    const std::u8string u8 = std::filesystem::path(wide).u8string();
    return std::string(u8.begin(), u8.end());
}

}  // namespace

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const wchar_t* old = _wgetenv(Wide(name_).c_str())) old_ = Utf8(old);
    Set(value);
}

ScopedEnvironment::~ScopedEnvironment() { Set(old_ ? old_->c_str() : nullptr); }

void ScopedEnvironment::Set(const char* value) {
    // An empty value removes the variable on Windows.
    _wputenv_s(Wide(name_).c_str(), value ? Wide(value).c_str() : L"");
}
