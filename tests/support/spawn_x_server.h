// Starts an X server that picks its own display and says which on a pipe once it takes
// connections (-displayfd), so tests never race for a display number.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace xsession {

// `args` is the server's command line without -displayfd; its stderr (and its stdout
// when `quietStdout`) goes to /dev/null. Returns the display number, empty when the
// server did not start; *pid is the server's process, -1 when it could not be spawned.
inline std::string SpawnXServer(std::vector<std::string> args, bool quietStdout, pid_t* pid) {
    *pid = -1;
    int fds[2];
    if (args.empty() || pipe(fds) != 0) return {};
    args.insert(args.begin() + 1, {"-displayfd", std::to_string(fds[1])});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (quietStdout) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) *pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string number;
    char c = 0;
    while (*pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    return number;
}

}  // namespace xsession
