#pragma once
// TcpBase: the network start-up object and the connect operations of the proxy path.
//
// On this platform the socket library needs no start-up: the process-wide TcpBase object exists
// for the same lifetime as elsewhere (made at start-up, destroyed at exit) and does nothing.
// GetHostAddr and OpenSocket do not depend on it.
#include <cstdint>
#include <functional>
#include <string>

namespace jvo {

// An owned socket descriptor, closed when the handle goes.
class SocketHandle {
public:
    SocketHandle() = default;
    explicit SocketHandle(int fd) : m_Fd(fd) {}
    ~SocketHandle() { Reset(); }
    SocketHandle(SocketHandle&& other) noexcept : m_Fd(other.Release()) {}
    SocketHandle& operator=(SocketHandle&& other) noexcept;
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    bool Valid() const { return m_Fd >= 0; }
    int Get() const { return m_Fd; }
    int Release();
    void Reset(int fd = -1);

private:
    int m_Fd = -1;
};

// An IPv4 address in host byte order, or the invalid address.
struct HostAddr {
    bool valid = false;
    uint32_t addr = 0;
    std::string ToString() const;  // dotted decimal ("" when invalid)
};

class TcpBase {
public:
    // Name lookup for host names: true with the first IPv4 address (host byte order).
    using Resolver = std::function<bool(const std::string& name, uint32_t& address)>;

    static constexpr int32_t kConnectTimeoutMs = 10000;

    TcpBase();
    virtual ~TcpBase();
    TcpBase(const TcpBase&) = delete;
    TcpBase& operator=(const TcpBase&) = delete;

    // "." is 127.0.0.1 and a dotted-decimal address is taken as it is, both without any lookup;
    // any other name goes to `resolver` (the system's IPv4 lookup when none is given). Failure
    // logs "TcpBase::GetHostAddr() Cannot resolve host name: %s" and gives the invalid address.
    static HostAddr GetHostAddr(const std::string& host, const Resolver& resolver = nullptr);

    // A connected IPv4 stream socket (non-blocking, close-on-exec), or an invalid handle. The
    // connect waits at most connectTimeoutMs for the socket to become writable; when `abandon` is
    // given it is asked every kAbandonCheckMs meanwhile, and true gives the connect up.
    static constexpr int32_t kAbandonCheckMs = 50;
    static SocketHandle OpenSocket(const HostAddr& address, uint16_t port,
                                   int32_t connectTimeoutMs = kConnectTimeoutMs,
                                   const std::function<bool()>& abandon = {});

    // The system's lookup (getaddrinfo, IPv4 only, first address).
    static bool SystemResolve(const std::string& name, uint32_t& address);
};

}  // namespace jvo
