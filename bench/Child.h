#pragma once
// A program run as a child process for the length of a measurement: standard input from
// /dev/null, standard output and error to one file, this process's environment with some
// variables set. Ended (SIGTERM, then SIGKILL after a grace time) when the object goes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace jvo::bench {

class Child {
public:
    // Each of `env` ("NAME=value") takes the place of the variable of that name.
    Child(const std::string& program, std::vector<std::string> args, const std::string& outPath,
          const std::vector<std::string>& env = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_Pid > 0; }
    pid_t Pid() const { return m_Pid; }
    // True while it runs (reaps it once it has ended).
    bool Running();
    // Waits up to `seconds` for it to end by itself; its exit status, or -1 when it did not end.
    int Wait(double seconds);
    // SIGTERM, up to 5 s, then SIGKILL; reaps it.
    void Stop();
    // What it wrote so far.
    std::string Output() const;

private:
    pid_t m_Pid = -1;
    int m_Status = -1;
    std::string m_OutPath;
};

// CPU time (user plus system) the process has used so far, in seconds; negative when unknown.
double ProcessCpuSeconds(pid_t pid);
// A number of /proc/<pid>/status: "VmRSS" (kB), "Threads"; negative when unknown.
long ProcessStatus(pid_t pid, const std::string& key);
// The number that follows `prefix` in a child's output (a port it printed, say); -1 when none.
long NumberAfter(const std::string& output, const std::string& prefix);

// The program `name` next to `self` (argv[0]), else at `fallback` (where the build tree puts it);
// empty when neither is executable.
std::string FindProgram(const std::string& self, const std::string& name,
                        const std::string& fallback);

}  // namespace jvo::bench
