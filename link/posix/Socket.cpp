// The socket layer on POSIX: BSD sockets and poll().
#include "link/Socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "base/CmdLine.h"

namespace jvo {

namespace {

int Fd(NativeSocket s) {
    return static_cast<int>(s);
}

sockaddr_in Address(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

}  // namespace

void SocketHandle::Reset(NativeSocket s) {
    if (m_Socket != kNoSocket) ::close(Fd(m_Socket));
    m_Socket = s;
}

namespace net {

std::string ErrorText(int error) {
    return cmdline::ErrorText(error);
}

bool StartNetwork() {
    return true;  // nothing to start
}

void StopNetwork() {}

int LastError() {
    return errno;
}

Error Classify(int error) {
    switch (error) {
        case 0:
            return Error::None;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return Error::WouldBlock;
        case EINPROGRESS:
        case EINTR:  // an interrupted connect goes on in the background
            return Error::InProgress;
        case EADDRINUSE:
            return Error::AddressInUse;
        case EACCES:
        case EPERM:
            return Error::AccessDenied;
        case EADDRNOTAVAIL:
            return Error::AddressNotAvailable;
        case ECONNABORTED:
            return Error::Aborted;
        case ECONNREFUSED:
            return Error::Refused;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return Error::OutOfResources;
        default:
            return Error::Other;
    }
}

SocketHandle OpenStream() {
    return SocketHandle(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

int Connect(NativeSocket s, uint32_t address, uint16_t port) {
    const sockaddr_in to = Address(address, port);
    return ::connect(Fd(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 ? 0 : errno;
}

int ConnectResult(NativeSocket s) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    return error;
}

bool SetNoDelay(NativeSocket s) {
    int one = 1;
    return ::setsockopt(Fd(s), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0;
}

int Listen(NativeSocket s, uint32_t address, uint16_t port, int backlog) {
    int one = 1;
    ::setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in a = Address(address, port);
    if (::bind(Fd(s), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(Fd(s), backlog < 0 ? SOMAXCONN : backlog) != 0)
        return errno;
    return 0;
}

uint16_t LocalPort(NativeSocket s) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(Fd(s), reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
    return ntohs(a.sin_port);
}

SocketHandle Accept(NativeSocket listener, uint32_t& peerAddress, uint16_t& peerPort, int& error) {
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const int fd = ::accept4(Fd(listener), reinterpret_cast<sockaddr*>(&from), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            peerAddress = ntohl(from.sin_addr.s_addr);
            peerPort = ntohs(from.sin_port);
            error = 0;
            return SocketHandle(fd);
        }
        if (errno == EINTR) continue;
        error = errno;
        return SocketHandle();
    }
}

int64_t Recv(NativeSocket s, void* buffer, size_t capacity) {
    for (;;) {
        const ssize_t n = ::recv(Fd(s), buffer, capacity, MSG_DONTWAIT);
        if (n >= 0 || errno != EINTR) return n;
    }
}

int64_t Send(NativeSocket s, const void* data, size_t count) {
    for (;;) {
        const ssize_t n = ::send(Fd(s), data, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0 || errno != EINTR) return n;
    }
}

bool ResolveIpv4(const std::string& name, uint32_t& address) {
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

bool WaitsMayShareASocket() {
    return true;  // poll() looks at the socket's state and changes nothing
}

}  // namespace net

SocketPoller::SocketPoller() = default;
SocketPoller::~SocketPoller() = default;

void SocketPoller::Clear() {
    m_Entries.clear();
}

size_t SocketPoller::AddSocket(NativeSocket s, bool input, bool output) {
    m_Entries.push_back(Entry{s, nullptr, input, output, 0});
    return m_Entries.size() - 1;
}

size_t SocketPoller::AddEvent(const SyncEvent& event) {
    m_Entries.push_back(Entry{kNoSocket, &event, true, false, 0});
    return m_Entries.size() - 1;
}

int SocketPoller::Wait(int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::vector<pollfd> fds(m_Entries.size());
    for (;;) {
        for (size_t i = 0; i < m_Entries.size(); ++i) {
            Entry& e = m_Entries[i];
            e.result = 0;
            if (e.event) {
                fds[i] = pollfd{static_cast<int>(e.event->Native()), POLLIN, 0};
            } else {
                const short events =
                    static_cast<short>((e.input ? POLLIN : 0) | (e.output ? POLLOUT : 0));
                fds[i] = pollfd{e.socket == kNoSocket ? -1 : Fd(e.socket), events, 0};
            }
        }
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        const int n = ::poll(fds.data(), fds.size(), wait);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) return 0;
        int reported = 0;
        for (size_t i = 0; i < m_Entries.size(); ++i) {
            Entry& e = m_Entries[i];
            const short r = fds[i].revents;
            if (r == 0) continue;
            if (e.event) {
                // An auto-reset event another waiter took first is not reported.
                if ((r & POLLIN) && (!e.event->IsAutoReset() || e.event->Consume()))
                    e.result = kSet;
            } else {
                if (r & POLLIN) e.result |= kReadable;
                if (r & POLLOUT) e.result |= kWritable;
                if (r & (POLLERR | POLLHUP)) e.result |= kFailed;
                if (r & POLLNVAL) e.result |= kInvalid;
            }
            if (e.result != 0) ++reported;
        }
        if (reported > 0) return reported;
        if (timeoutMs >= 0 && Clock::now() >= deadline) return 0;
    }
}

}  // namespace jvo
