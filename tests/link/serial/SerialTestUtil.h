#pragma once
// Helpers shared by the serial link tests: private temp directories, wire frames built
// independently of the sender, and reading exact byte counts from a pty master.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "link/Crc16.h"
#include "link/Pty.h"
#include "tests/TestEnv.h"

namespace jvo::test {

using Bytes = std::vector<uint8_t>;

// A directory of its own under $JVO_TEST_TMP (or /tmp), removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::error_code ec;
        const std::string made = MakeUniqueDir(TestTmpRoot(), "serial");
        if (!made.empty()) m_Path = std::filesystem::canonical(made, ec).generic_string();
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_Path.empty()) std::filesystem::remove_all(m_Path, ec);
    }
    const std::string& Path() const { return m_Path; }
    std::string operator/(const std::string& name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};

// Body followed by its check sequence, low byte first (the CRC written out bit by bit, so that it
// does not share the table with the code under test).
inline Bytes WithFcs(const Bytes& body) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : body) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
    }
    crc = static_cast<uint16_t>(~crc);
    Bytes out = body;
    out.push_back(static_cast<uint8_t>(crc & 0xFF));
    out.push_back(static_cast<uint8_t>(crc >> 8));
    return out;
}

// The stuffed, flagged line form of raw bytes (body and check sequence).
inline Bytes Stuff(const Bytes& raw) {
    Bytes out{0x7E};
    for (uint8_t b : raw) {
        if (b == 0x7E || b == 0x7D) {
            out.push_back(0x7D);
            out.push_back(static_cast<uint8_t>(b ^ 0x20));
        } else {
            out.push_back(b);
        }
    }
    out.push_back(0x7E);
    return out;
}

inline Bytes Wire(const Bytes& body) {
    return Stuff(WithFcs(body));
}

// Reads exactly `count` bytes from the master within timeoutMs overall; fewer on time-out.
inline Bytes ReadMaster(const Pty& pty, size_t count, int timeoutMs = 5000) {
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t buf[4096];
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        const ssize_t n =
            pty.Read(buf, std::min(sizeof buf, count - out.size()), static_cast<int>(left.count()));
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

// Waits for a condition that another thread makes true; false when it does not within timeoutMs.
template <class Pred>
bool WaitFor(Pred pred, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace jvo::test
