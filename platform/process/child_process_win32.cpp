// Child processes on Windows: CreateProcessW, each child in one job object of this
// process that kills its members when the last handle to it closes, so a child never
// outlives this process however it ends. Windows has no polite signal: Stop first
// asks the child's windows to close, then terminates it.
#include "platform/process/child_process.h"

#include <map>
#include <mutex>

#include "platform/files/wide_path_win32.h"
#include "platform/win32_api.h"

namespace platform {
namespace {

std::mutex g_lock;
std::map<int, HANDLE>& Handles() {
    static std::map<int, HANDLE> handles;
    return handles;
}

HANDLE Job() {
    static HANDLE job = [] {
        HANDLE j = CreateJobObjectW(nullptr, nullptr);
        if (j) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
        return j;
    }();
    return job;
}

// One argument as the C runtime splits a command line: quoted when it has blanks or
// quotes, with the backslashes before a quote doubled.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') backslashes = backslashes * 2 + 1;
        out.append(backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

HANDLE HandleOf(int pid) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = Handles().find(pid);
    return it == Handles().end() ? nullptr : it->second;
}

void Forget(int pid) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = Handles().find(pid);
    if (it == Handles().end()) return;
    CloseHandle(it->second);
    Handles().erase(it);
}

std::string Describe(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return "exit code " + std::to_string(code);
}

}  // namespace

ChildProcess::~ChildProcess() { Stop(0); }

bool ChildProcess::Start(const std::vector<std::string>& args, bool quiet) {
    Stop(0);
    if (args.empty()) return false;
    std::wstring line;
    for (const std::string& a : args) {
        if (!line.empty()) line.push_back(L' ');
        line += Quote(WidePath(a));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // The standard input is empty; with quiet, the errors go nowhere.
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (nul != INVALID_HANDLE_VALUE) SetHandleInformation(nul, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = quiet ? nul : GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(WidePath(args[0]).c_str(), line.data(), nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &info);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) return false;
    if (HANDLE job = Job()) AssignProcessToJobObject(job, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    pid_ = static_cast<int>(info.dwProcessId);
    ended_.clear();
    std::lock_guard<std::mutex> hold(g_lock);
    Handles()[pid_] = info.hProcess;
    return true;
}

bool ChildProcess::Running() {
    if (pid_ <= 0) return false;
    HANDLE process = HandleOf(pid_);
    if (process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) return true;
    ended_ = process ? Describe(process) : "gone";
    Forget(pid_);
    pid_ = 0;
    return false;
}

void ChildProcess::Stop(int patienceMilliseconds) {
    if (!Running()) return;
    HANDLE process = HandleOf(pid_);
    // Asks the child's top-level windows to close, as the desktop does at log-off.
    const DWORD pid = static_cast<DWORD>(pid_);
    EnumWindows(
        [](HWND window, LPARAM target) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == static_cast<DWORD>(target)) PostMessageW(window, WM_CLOSE, 0, 0);
            return TRUE;
        },
        static_cast<LPARAM>(pid));
    if (WaitForSingleObject(process, static_cast<DWORD>(patienceMilliseconds > 0 ? patienceMilliseconds : 0)) !=
        WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
    ended_ = Describe(process);
    Forget(pid_);
    pid_ = 0;
}

std::string ThisProgramPath() {
    wchar_t path[32768];
    const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (n == 0 || n >= std::size(path)) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(n), out.data(), bytes, nullptr, nullptr);
    return out;
}

void KillChildProcesses() {
    std::lock_guard<std::mutex> hold(g_lock);
    for (auto& [pid, process] : Handles()) TerminateProcess(process, 1);
}

}  // namespace platform
