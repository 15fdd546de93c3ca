// A program run as a child of this one, which never outlives it: the system ends the
// child when this process ends, however it ends, and Stop ends it on every orderly
// way out. The child shares no open file with this process but the three standard
// ones, and reads nothing from it: its standard input is empty.
#pragma once

#include <string>
#include <vector>

namespace platform {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Runs the program (a path) with the arguments (argv[0] first) and this process's
    // environment; with quiet, its stderr goes nowhere. False when it cannot be
    // started; a child that starts but cannot run the program ends at once with exit
    // code 127.
    bool Start(const std::vector<std::string>& args, bool quiet = false);
    // Whether the child still runs; a child that has ended is reaped here and its
    // status kept (see Ended).
    bool Running();
    // How the last child ended, in words ("exit code 1", "signal 11"); empty while one
    // runs or none ran.
    const std::string& Ended() const { return ended_; }
    // Ends the child: asks it to end (SIGTERM), waits up to the patience given for it to
    // do so, then kills it. Nothing when none runs.
    void Stop(int patienceMilliseconds = 500);
    // The child's process id while it runs, else 0.
    int Id() const { return pid_; }

private:
    int pid_ = 0;
    std::string ended_;
};

// The running program's own file, for starting another copy of it; empty when the
// system does not say.
std::string ThisProgramPath();

// Kills every child that a ChildProcess started and that still runs, without waiting.
// Safe in a signal handler and on a way out where nothing else may run.
void KillChildProcesses();

}  // namespace platform
