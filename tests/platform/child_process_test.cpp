// Child processes: how they end, that they are stopped, that they share no open file
// with this process, and that none outlives a parent that is killed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/process/child_process.h"

using platform::ChildProcess;
using namespace std::chrono_literals;

namespace {

bool AwaitEnd(ChildProcess& c, std::chrono::milliseconds patience) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (c.Running()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Gone, or a zombie nobody reaped yet.
bool Dead(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

}  // namespace

TEST(ChildProcess, TellsHowItEnded) {
    ChildProcess c;
    EXPECT_FALSE(c.Running());
    ASSERT_TRUE(c.Start({"/bin/sh", "-c", "exit 3"}));
    ASSERT_TRUE(AwaitEnd(c, 5s));
    EXPECT_EQ(c.Ended(), "exit code 3");
    EXPECT_EQ(c.Id(), 0);
    ASSERT_TRUE(c.Start({"/bin/sh", "-c", "kill -SEGV $$"}));
    ASSERT_TRUE(AwaitEnd(c, 5s));
    EXPECT_EQ(c.Ended(), "signal 11");
    ASSERT_TRUE(c.Start({"/nonexistent/program"}));
    ASSERT_TRUE(AwaitEnd(c, 5s));
    EXPECT_EQ(c.Ended(), "exit code 127");
    EXPECT_FALSE(c.Start({}));
}

TEST(ChildProcess, StopAsksFirstAndKillsAChildThatDoesNotListen) {
    ChildProcess polite;
    ASSERT_TRUE(polite.Start({"/bin/sleep", "30"}));
    EXPECT_TRUE(polite.Running());
    polite.Stop();
    EXPECT_FALSE(polite.Running());
    EXPECT_EQ(polite.Ended(), "signal 15");

    ChildProcess deaf;
    ASSERT_TRUE(deaf.Start({"/bin/sh", "-c", "trap '' TERM; while :; do sleep 0.05; done"}));
    std::this_thread::sleep_for(100ms);  // the trap is set
    const auto start = std::chrono::steady_clock::now();
    deaf.Stop(200);
    EXPECT_FALSE(deaf.Running());
    EXPECT_EQ(deaf.Ended(), "signal 9");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(ChildProcess, SharesNoOpenFileButTheStandardOnesAndReadsNothing) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);  // not close-on-exec: only the child's start closes it
    ChildProcess c;
    const std::string script = "test ! -e /proc/self/fd/" + std::to_string(fds[0]) +
                               " && test ! -e /proc/self/fd/" + std::to_string(fds[1]) +
                               " && test -z \"$(cat)\"";
    ASSERT_TRUE(c.Start({"/bin/sh", "-c", script}));
    ASSERT_TRUE(AwaitEnd(c, 5s));
    EXPECT_EQ(c.Ended(), "exit code 0");
    close(fds[0]);
    close(fds[1]);
}

TEST(ChildProcess, NoChildOutlivesAParentThatIsKilled) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t parent = fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        close(fds[0]);
        ChildProcess c;
        pid_t pid = c.Start({"/bin/sleep", "60"}) ? c.Id() : 0;
        if (write(fds[1], &pid, sizeof pid) != sizeof pid) _exit(1);
        pause();
        _exit(0);
    }
    close(fds[1]);
    pid_t grandchild = 0;
    ASSERT_EQ(read(fds[0], &grandchild, sizeof grandchild), static_cast<ssize_t>(sizeof grandchild));
    close(fds[0]);
    ASSERT_GT(grandchild, 0);
    EXPECT_FALSE(Dead(grandchild));
    kill(parent, SIGKILL);
    waitpid(parent, nullptr, 0);
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (!Dead(grandchild) && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(Dead(grandchild)) << "the child outlived its parent";
    if (!Dead(grandchild)) kill(grandchild, SIGKILL);

    // KillChildProcesses reaches every running child at once.
    ChildProcess a, b;
    ASSERT_TRUE(a.Start({"/bin/sleep", "30"}));
    ASSERT_TRUE(b.Start({"/bin/sleep", "30"}));
    platform::KillChildProcesses();
    ASSERT_TRUE(AwaitEnd(a, 2s));
    ASSERT_TRUE(AwaitEnd(b, 2s));
    EXPECT_EQ(a.Ended(), "signal 9");
    EXPECT_EQ(b.Ended(), "signal 9");
}

TEST(ChildProcess, KnowsItsOwnProgram) {
    const std::string self = platform::ThisProgramPath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(access(self.c_str(), X_OK), 0);
}
