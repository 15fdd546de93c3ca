// CreateProcessW with the output in a pipe and the error output on NUL. The command
// line quotes every argument as the C runtime splits it again.
#include "run_tool.h"

#include "platform/win32_api.h"

namespace {

std::wstring Wide(const std::string& s) {
    std::wstring w(s.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), int(w.size()));
    w.resize(size_t(n > 0 ? n : 0));
    return w;
}

// One argument as the C runtime reads it back: in quotes, with the backslashes before
// a quote (and before the closing one) doubled and the quote escaped.
std::wstring Quoted(const std::wstring& arg) {
    std::wstring q = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, L'\\');
    return q + L"\"";
}

}  // namespace

int RunModelTool(const std::vector<std::string>& args, std::string* first_line) {
    std::wstring program = Wide(ORBSAVER_MODEL_TOOL);
    for (wchar_t& c : program)
        if (c == L'/') c = L'\\';
    std::wstring command = Quoted(program);
    for (const std::string& a : args) command += L" " + Quoted(Wide(a));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return -1;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    HANDLE null = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                              nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = write_end;
    si.hStdError = null;
    PROCESS_INFORMATION pi{};
    const bool started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &si, &pi);
    CloseHandle(write_end);
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    std::string output;
    char buf[4096];
    DWORD n = 0;
    while (started && ReadFile(read_end, buf, sizeof buf, &n, nullptr) && n > 0) output.append(buf, n);
    CloseHandle(read_end);
    if (!started) return -1;
    DWORD code = DWORD(-1);
    const bool ended = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (!ended) return -1;
    if (first_line) {
        *first_line = output.substr(0, output.find('\n'));
        if (!first_line->empty() && first_line->back() == '\r') first_line->pop_back();
    }
    return int(code);
}
