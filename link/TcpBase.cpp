#include "link/TcpBase.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "link/AppLog.h"

namespace jvo {

SocketHandle& SocketHandle::operator=(SocketHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int SocketHandle::Release() {
    int fd = m_Fd;
    m_Fd = -1;
    return fd;
}

void SocketHandle::Reset(int fd) {
    if (m_Fd >= 0) ::close(m_Fd);
    m_Fd = fd;
}

std::string HostAddr::ToString() const {
    if (!valid) return std::string();
    in_addr a{};
    a.s_addr = htonl(addr);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

TcpBase::TcpBase() = default;
TcpBase::~TcpBase() = default;

bool TcpBase::SystemResolve(const std::string& name, uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return false;
    bool found = false;
    for (addrinfo* ai = result; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
            address = ntohl(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr);
            found = true;
            break;
        }
    }
    ::freeaddrinfo(result);
    return found;
}

HostAddr TcpBase::GetHostAddr(const std::string& host, const Resolver& resolver) {
    HostAddr result;
    if (host == ".") {
        result.valid = true;
        result.addr = INADDR_LOOPBACK;
        return result;
    }
    in_addr a{};
    if (::inet_pton(AF_INET, host.c_str(), &a) == 1) {
        result.valid = true;
        result.addr = ntohl(a.s_addr);
        return result;
    }
    uint32_t address = 0;
    const bool found =
        !host.empty() && (resolver ? resolver(host, address) : SystemResolve(host, address));
    if (!found) {
        JVO_LOG1("TcpBase::GetHostAddr() Cannot resolve host name: %s", host);
        return result;
    }
    result.valid = true;
    result.addr = address;
    return result;
}

SocketHandle TcpBase::OpenSocket(const HostAddr& address, uint16_t port, int32_t connectTimeoutMs,
                                 const std::function<bool()>& abandon) {
    if (!address.valid) {
        JVO_LOG2("TcpBase::OpenSocket() Connection failed (error=%d)", EINVAL);
        return SocketHandle();
    }
    SocketHandle s(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!s.Valid()) {
        JVO_LOG2("TcpBase::OpenSocket() Connection failed (error=%d)", errno);
        return SocketHandle();
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address.addr);
    if (::connect(s.Get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return s;
    if (errno != EINPROGRESS && errno != EINTR) {
        JVO_LOG2("TcpBase::OpenSocket() Connection failed (error=%d)", errno);
        return SocketHandle();
    }
    // The connect goes on in the background: wait a bounded time for the socket to be writable.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(connectTimeoutMs);
    int ready;
    pollfd p{};
    for (;;) {
        if (abandon && abandon()) {
            JVO_LOG2("TcpBase::OpenSocket() Connect abandoned");
            return SocketHandle();
        }
        const int64_t left = std::max<int64_t>(
            0,
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        const int64_t slice = abandon ? std::min<int64_t>(left, kAbandonCheckMs) : left;
        p = pollfd{s.Get(), POLLOUT, 0};
        ready = ::poll(&p, 1, static_cast<int>(slice));
        if (ready < 0 && errno == EINTR) continue;
        if (ready != 0 || slice >= left) break;  // ready, failed, or the whole time is up
    }
    if (ready == 0) {
        JVO_LOG2("TcpBase::OpenSocket() select() returned  0");
        return SocketHandle();
    }
    if (ready < 0) {
        JVO_LOG2("TcpBase::OpenSocket() select() returned  error %d", errno);
        return SocketHandle();
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
        JVO_LOG2("TcpBase::OpenSocket() Connection failed (error=%d)", error);
        return SocketHandle();
    }
    if (!(p.revents & POLLOUT)) {
        JVO_LOG2("TcpBase::OpenSocket() select() did not mark the socket as write-ready");
        return SocketHandle();
    }
    return s;
}

}  // namespace jvo
