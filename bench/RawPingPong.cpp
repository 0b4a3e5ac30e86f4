#include "bench/RawPingPong.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "base/SyncEvent.h"
#include "link/Pty.h"

namespace jvo::bench {

namespace {

using Clock = std::chrono::steady_clock;

// Reads exactly `count` bytes from `fd` (blocking via poll when it is non-blocking), or gives up
// when `stop` is set. False on stop, end of file or error.
bool ReadExactly(int fd, uint8_t* buffer, size_t count, const SyncEvent* stop) {
    size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd, buffer + got, count - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n == 0) return false;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return false;
        pollfd fds[2] = {{fd, POLLIN, 0},
                         {stop ? static_cast<int>(stop->Native()) : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return false;
        if (fds[1].revents) return false;
    }
    return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, -1);
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

// The client half shared by both baselines: request out, reply in, until `seconds` pass.
double ClientLoop(int fd, size_t outBytes, size_t inBytes, double seconds) {
    std::vector<uint8_t> out(outBytes, 0x55), in(inBytes);
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    uint64_t trips = 0;
    auto now = start;
    while (now < end) {
        if (!WriteAll(fd, out.data(), out.size()) ||
            !ReadExactly(fd, in.data(), in.size(), nullptr))
            return 0;
        ++trips;
        now = Clock::now();
    }
    return static_cast<double>(trips) / std::chrono::duration<double>(now - start).count();
}

}  // namespace

double PtyPingPong(size_t outBytes, size_t inBytes, double seconds) {
    Pty pty;
    if (!pty.Open()) return 0;
    // Waits with poll() like the link does: a blocking read of a pty is slower.
    const int slave = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave < 0) return 0;
    SyncEvent stop(SyncEvent::Reset::Manual);
    std::thread unit([&] {
        std::vector<uint8_t> in(outBytes), out(inBytes, 0xAA);
        while (ReadExactly(static_cast<int>(pty.MasterHandle()), in.data(), in.size(), &stop))
            if (!WriteAll(static_cast<int>(pty.MasterHandle()), out.data(), out.size())) break;
    });
    const double rate = ClientLoop(slave, outBytes, inBytes, seconds);
    stop.Set();
    unit.join();
    ::close(slave);
    return rate;
}

double TcpPingPong(size_t outBytes, size_t inBytes, double seconds) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        ::close(listener);
        return 0;
    }
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(client);
        ::close(listener);
        return 0;
    }
    const int server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    if (server < 0) {
        ::close(client);
        return 0;
    }
    ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::thread unit([&] {
        std::vector<uint8_t> in(outBytes), out(inBytes, 0xAA);
        while (ReadExactly(server, in.data(), in.size(), nullptr))
            if (!WriteAll(server, out.data(), out.size())) break;
    });
    const double rate = ClientLoop(client, outBytes, inBytes, seconds);
    ::shutdown(client, SHUT_RDWR);  // the unit thread sees the end of the stream
    unit.join();
    ::close(client);
    ::close(server);
    return rate;
}

}  // namespace jvo::bench
