#pragma once
// Runs a program as a child process the way a script would: standard input and output on
// /dev/null, standard error to a file, and this process's environment with some variables set.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/Spawn.h"
#include "tests/config/TestConfigs.h"

namespace jvo::test {

// Starts `program` with `args`, its standard error to `errPath`. Each of `env` ("NAME=value")
// takes the place of the variable of that name. -1 when it could not be started.
inline pid_t SpawnProgram(const std::string& program, std::vector<std::string> args,
                          const std::string& errPath, const std::vector<std::string>& env = {}) {
    return Spawn(program, std::move(args), SpawnOutput{"/dev/null", errPath}, env);
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
