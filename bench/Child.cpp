#include "bench/Child.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/Spawn.h"

namespace jvo::bench {

Child::Child(const std::string& program, std::vector<std::string> args, const std::string& outPath,
             const std::vector<std::string>& env)
    : m_OutPath(outPath) {
    // Standard output and error both to the one file.
    m_Pid = test::Spawn(program, std::move(args), test::SpawnOutput{outPath, ""}, env);
}

Child::~Child() {
    Stop();
}

bool Child::Running() {
    if (m_Pid <= 0) return false;
    int status = 0;
    if (::waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
        m_Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_Pid = -1;
        return false;
    }
    return true;
}

int Child::Wait(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (Running()) {
        if (std::chrono::steady_clock::now() > end) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_Status;
}

void Child::Stop() {
    if (!Running()) return;
    ::kill(m_Pid, SIGTERM);
    if (Wait(5) >= 0) return;
    ::kill(m_Pid, SIGKILL);
    int status = 0;
    ::waitpid(m_Pid, &status, 0);
    m_Pid = -1;
}

std::string Child::Output() const {
    std::ifstream in(m_OutPath);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

double ProcessCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The name (field 2) may hold spaces; the fields after its closing parenthesis are plain.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields 3.. follow; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    const long tick = ::sysconf(_SC_CLK_TCK);
    return tick > 0 ? static_cast<double>(utime + stime) / static_cast<double>(tick) : -1;
}

std::string FindProgram(const std::string& self, const std::string& name,
                        const std::string& fallback) {
    const size_t slash = self.rfind('/');
    if (slash != std::string::npos) {
        const std::string next = self.substr(0, slash + 1) + name;
        if (::access(next.c_str(), X_OK) == 0) return next;
    }
    if (!fallback.empty() && ::access(fallback.c_str(), X_OK) == 0) return fallback;
    return {};
}

}  // namespace jvo::bench
