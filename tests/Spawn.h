#pragma once
// Starting a program as a child process, for the tests and the benchmarks alike: standard input
// from /dev/null, standard output and error to files (or /dev/null), and this process's
// environment with some variables set.
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace jvo::test {

struct SpawnOutput {
    std::string outPath = "/dev/null";  // standard output
    std::string errPath;                // standard error; empty: with standard output
};

// Starts `program` with `args`. Each of `env` ("NAME=value") takes the place of the variable of
// that name. The process id, or -1 when it could not be started.
inline pid_t Spawn(const std::string& program, std::vector<std::string> args,
                   const SpawnOutput& output, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string var = *e;
        bool replaced = false;
        for (const std::string& v : env)
            replaced = replaced || var.rfind(v.substr(0, v.find('=') + 1), 0) == 0;
        if (!replaced) vars.push_back(var);
    }
    vars.insert(vars.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& v : vars)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (output.errPath.empty())
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, output.errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace jvo::test
