#pragma once
// What the benchmarks that run programs as children share: a private directory for one
// measurement (port directory, logs, settings) and a bounded wait.
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace jvo::bench {

// A private port directory (and log and settings home) for one measurement; removed at the end.
class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/jvo-bench-XXXXXX";
        if (::mkdtemp(pattern)) m_Dir = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        if (!m_Dir.empty()) std::filesystem::remove_all(m_Dir, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    bool Ok() const { return !m_Dir.empty(); }
    const std::string& Dir() const { return m_Dir; }
    std::string Path(const std::string& name) const { return m_Dir + "/" + name; }
    // The children's environment: the port directory, log and settings here, and the offscreen
    // platform unless the caller chose one.
    std::vector<std::string> Env() const {
        std::vector<std::string> env = {"JVO_PORT_DIR=" + m_Dir, "XDG_STATE_HOME=" + m_Dir,
                                        "XDG_CONFIG_HOME=" + m_Dir};
        if (!std::getenv("QT_QPA_PLATFORM")) env.push_back("QT_QPA_PLATFORM=offscreen");
        return env;
    }

private:
    std::string m_Dir;
};

// Polls `done` every 50 ms until it holds (true) or `seconds` pass (false).
template <class Fn>
bool WaitFor(Fn&& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace jvo::bench
