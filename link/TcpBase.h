#pragma once
// TcpBase: the network start-up object and the connect operations of the proxy path.
//
// The process-wide TcpBase object is made at start-up and destroyed at exit. Where the socket
// library needs a start-up (Winsock 2.2), it holds the library for that time; the socket layer
// also starts it on first use, so GetHostAddr and OpenSocket do not depend on the object.
#include <cstdint>
#include <functional>
#include <string>

#include "link/Socket.h"

namespace jvo {

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
    static constexpr int kTimedOut = -1;  // OpenSocket's error when the connect took too long

    TcpBase();
    virtual ~TcpBase();
    TcpBase(const TcpBase&) = delete;
    TcpBase& operator=(const TcpBase&) = delete;

    // "." is 127.0.0.1 and a dotted-decimal address is taken as it is, both without any lookup;
    // any other name goes to `resolver` (the system's IPv4 lookup when none is given). Failure
    // logs "TcpBase::GetHostAddr() Cannot resolve host name: %s" and gives the invalid address.
    static HostAddr GetHostAddr(const std::string& host, const Resolver& resolver = nullptr);

    // A connected IPv4 stream socket (non-blocking, not inherited), or an invalid handle. The
    // connect waits at most connectTimeoutMs for the socket to become writable; when `abandon` is
    // given it is asked every kAbandonCheckMs meanwhile, and true gives the connect up. `error`
    // (may be null) receives the platform's error number of a failure (net::Classify), kTimedOut
    // when the wait ran out or was given up, else 0.
    static constexpr int32_t kAbandonCheckMs = 50;
    static SocketHandle OpenSocket(const HostAddr& address, uint16_t port,
                                   int32_t connectTimeoutMs = kConnectTimeoutMs,
                                   int* error = nullptr, const std::function<bool()>& abandon = {});

    // The system's lookup (IPv4 only, first address).
    static bool SystemResolve(const std::string& name, uint32_t& address);

private:
    bool m_Started = false;
};

}  // namespace jvo
