// Child processes through fork and exec. The child asks the kernel for SIGKILL when
// this process ends (PR_SET_PDEATHSIG), so that no child outlives a crash of its
// parent; every open file but the standard three is closed before the program runs,
// so the child cannot write into this process's connections (its X connection).
#include "platform/process/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

extern char** environ;

namespace platform {

namespace {

// The children that run now, for KillChildProcesses; a fixed table that a signal
// handler may read.
constexpr int kMaxChildren = 16;
std::atomic<int> g_children[kMaxChildren];

void Note(int pid) {
    for (auto& slot : g_children) {
        int expected = 0;
        if (slot.compare_exchange_strong(expected, pid)) return;
    }
}

void Forget(int pid) {
    for (auto& slot : g_children) {
        int expected = pid;
        if (slot.compare_exchange_strong(expected, 0)) return;
    }
}

std::string Describe(int status) {
    if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

// Between fork and exec only calls that are safe after a fork of a process with
// threads (SDL's, the audio's) may run: no allocation, no lock.
[[noreturn]] void RunInChild(pid_t parent, char* const* argv, bool quiet) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the request took hold.
    if (getppid() != parent) _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : {SIGPIPE, SIGHUP, SIGINT, SIGTERM, SIGCHLD}) signal(s, SIG_DFL);
    const int empty = open("/dev/null", O_RDONLY);
    if (empty >= 0 && empty != 0) {
        dup2(empty, 0);
        close(empty);
    }
    if (quiet) {
        const int nowhere = open("/dev/null", O_WRONLY);
        if (nowhere >= 0 && nowhere != 2) {
            dup2(nowhere, 2);
            close(nowhere);
        }
    }
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3u, UINT_MAX, 0u) != 0)
#endif
    {
        const long most = sysconf(_SC_OPEN_MAX);
        for (long fd = 3; fd < (most > 0 ? most : 4096); ++fd) close(static_cast<int>(fd));
    }
    execve(argv[0], argv, environ);
    _exit(127);
}

}  // namespace

ChildProcess::~ChildProcess() { Stop(0); }

bool ChildProcess::Start(const std::vector<std::string>& args, bool quiet) {
    Stop(0);
    if (args.empty()) return false;
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) RunInChild(parent, argv.data(), quiet);
    pid_ = pid;
    ended_.clear();
    Note(pid);
    return true;
}

bool ChildProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0) return true;
    ended_ = r == pid_ ? Describe(status) : "gone";
    Forget(pid_);
    pid_ = 0;
    return false;
}

void ChildProcess::Stop(int patienceMilliseconds) {
    if (!Running()) return;
    kill(pid_, SIGTERM);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMilliseconds);
    while (Running() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    ended_ = Describe(status);
    Forget(pid_);
    pid_ = 0;
}

std::string ThisProgramPath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    return std::string(path, static_cast<std::size_t>(n));
}

void KillChildProcesses() {
    for (auto& slot : g_children) {
        const int pid = slot.load();
        if (pid > 0) kill(pid, SIGKILL);
    }
}

}  // namespace platform
