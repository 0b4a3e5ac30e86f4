#pragma once
// Test helpers for loopback TCP: a listener on its own ephemeral port, a raw peer end with
// timed reads, STREAM framing helpers, and counters of the process's descriptors and threads.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace jvo {
namespace test {

inline int CountDir(const char* path) {
    int n = 0;
    if (DIR* d = opendir(path)) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}
inline int OpenFds() {
    return CountDir("/proc/self/fd");
}
// Threads of the process. Sanitizers start helper threads of their own when they please, so
// under a sanitizer only named threads are counted (see ThreadsNamed).
inline int Threads() {
    return CountDir("/proc/self/task");
}
#if defined(JVO_TEST_SANITIZER)
constexpr bool kCountAllThreads = false;
#else
constexpr bool kCountAllThreads = true;
#endif

// Threads of the process with the given name.
inline int ThreadsNamed(const std::string& name) {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
            std::string line;
            if (std::getline(comm, line) && line == name) ++n;
        }
        closedir(d);
    }
    return n;
}

// Polls `done` every 5 ms for up to waitMs.
template <class F>
bool Eventually(F done, int waitMs = 10000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// An owned descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_Fd(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& o) noexcept : m_Fd(o.m_Fd) { o.m_Fd = -1; }
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            Reset();
            m_Fd = o.m_Fd;
            o.m_Fd = -1;
        }
        return *this;
    }
    int Get() const { return m_Fd; }
    bool Valid() const { return m_Fd >= 0; }
    void Reset() {
        if (m_Fd >= 0) ::close(m_Fd);
        m_Fd = -1;
    }

private:
    int m_Fd = -1;
};

// A listening socket on 127.0.0.1 and a port chosen by the system.
class Listener {
public:
    explicit Listener(int backlog = 16) {
        m_Fd = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        int one = 1;
        ::setsockopt(m_Fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        ::bind(m_Fd.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_Fd.Get(), backlog);
        socklen_t len = sizeof a;
        ::getsockname(m_Fd.Get(), reinterpret_cast<sockaddr*>(&a), &len);
        m_Port = ntohs(a.sin_port);
    }
    uint16_t Port() const { return m_Port; }
    int Get() const { return m_Fd.Get(); }
    // The next connection, or an invalid Fd after waitMs.
    Fd Accept(int waitMs = 5000) {
        pollfd p{m_Fd.Get(), POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0) return Fd();
        return Fd(::accept4(m_Fd.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    }

private:
    Fd m_Fd;
    uint16_t m_Port = 0;
};

// A port on 127.0.0.1 where nothing listens.
inline uint16_t ClosedPort() {
    Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s.Get(), reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);  // bound but not listening; freed when s closes
}

// A blocking client connection to 127.0.0.1:port.
inline Fd Connect(uint16_t port) {
    Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(s.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fd();
    return s;
}

inline bool SendAll(int fd, const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        ssize_t s = ::send(fd, p, n, MSG_NOSIGNAL);
        if (s <= 0) return false;
        p += s;
        n -= static_cast<size_t>(s);
    }
    return true;
}
inline bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
    return SendAll(fd, bytes.data(), bytes.size());
}

// Reads exactly n bytes within waitMs; fewer on time-out or end of stream.
inline std::vector<uint8_t> RecvExact(int fd, size_t n, int waitMs = 5000) {
    std::vector<uint8_t> out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (out.size() < n) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        until - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        uint8_t buf[4096];
        ssize_t got = ::recv(fd, buf, std::min(sizeof buf, n - out.size()), 0);
        if (got <= 0) break;
        out.insert(out.end(), buf, buf + got);
    }
    return out;
}

// True when the peer has closed the stream (end of stream or reset) within waitMs.
inline bool PeerClosed(int fd, int waitMs = 5000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        until - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        uint8_t buf[4096];
        ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0) return true;  // anything else (keep-alives) is skipped
    }
}

inline void PutLe32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
inline void PutLe16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// A STREAM message: marker, length, body.
inline std::vector<uint8_t> Frame(const std::vector<uint8_t>& body, uint32_t marker = 0xFEEDFACE) {
    std::vector<uint8_t> v;
    PutLe32(v, marker);
    PutLe32(v, static_cast<uint32_t>(body.size()));
    v.insert(v.end(), body.begin(), body.end());
    return v;
}
inline std::vector<uint8_t> Header(uint32_t length, uint32_t marker = 0xFEEDFACE) {
    std::vector<uint8_t> v;
    PutLe32(v, marker);
    PutLe32(v, length);
    return v;
}
inline const std::vector<uint8_t>& KeepAlive() {
    static const std::vector<uint8_t> ka = {0xCE, 0xFA, 0xED, 0xFE, 0, 0, 0, 0};
    return ka;
}

// Reads one STREAM message within waitMs, skipping keep-alives; empty on failure.
inline bool RecvMessage(int fd, std::vector<uint8_t>& body, int waitMs = 5000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        until - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) return false;
        auto header = RecvExact(fd, 8, static_cast<int>(left));
        if (header.size() != 8 || Le32(header.data()) != 0xFEEDFACE) return false;
        const uint32_t length = Le32(header.data() + 4);
        if (length == 0) continue;
        body = RecvExact(fd, length, 5000);
        return body.size() == length;
    }
}

}  // namespace test
}  // namespace jvo
