#pragma once
// Runs a program as a child process the way a script would: standard input and output on
// /dev/null, standard error to a file, and this process's environment with some variables set.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/config/TestConfigs.h"

extern char** environ;

namespace jvo::test {

// Starts `program` with `args`, its standard error to `errPath`. Each of `env` ("NAME=value")
// takes the place of the variable of that name. -1 when it could not be started.
inline pid_t SpawnProgram(const std::string& program, std::vector<std::string> args,
                          const std::string& errPath, const std::vector<std::string>& env = {}) {
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
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits up to `timeoutMs` for `pid` to end. `status` is its exit status, -1 when it did not exit
// normally. False (and `status` -1) when it cannot be waited for or did not end in time; it is
// killed then.
inline bool WaitProgram(pid_t pid, int timeoutMs, int& status) {
    status = -1;
    if (pid <= 0) return false;
    int wstatus = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = ::waitpid(pid, &wstatus, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &wstatus, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(wstatus)) status = WEXITSTATUS(wstatus);
    return true;
}

struct ProgramResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string err;  // what it wrote to standard error
};

// Runs `program` to its end (see SpawnProgram); the test fails when it cannot be started or takes
// longer than `timeoutMs`.
inline ProgramResult RunProgram(const std::string& program, std::vector<std::string> args,
                                const std::string& errPath, const std::vector<std::string>& env,
                                int timeoutMs) {
    ProgramResult r;
    const pid_t pid = SpawnProgram(program, std::move(args), errPath, env);
    EXPECT_GT(pid, 0) << program << " could not be started";
    if (!WaitProgram(pid, timeoutMs, r.status)) {
        if (pid > 0) ADD_FAILURE() << program << " did not finish";
        return r;
    }
    const std::vector<uint8_t> bytes = ReadBytes(errPath);
    r.err.assign(bytes.begin(), bytes.end());
    return r;
}

}  // namespace jvo::test
