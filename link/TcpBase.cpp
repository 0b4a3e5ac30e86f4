#include "link/TcpBase.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "base/Ipv4.h"
#include "link/AppLog.h"

namespace jvo {

std::string HostAddr::ToString() const {
    return valid ? FormatIpv4(addr) : std::string();
}

TcpBase::TcpBase() : m_Started(net::StartNetwork()) {}

TcpBase::~TcpBase() {
    if (m_Started) net::StopNetwork();
}

bool TcpBase::SystemResolve(const std::string& name, uint32_t& address) {
    return net::ResolveIpv4(name, address);
}

HostAddr TcpBase::GetHostAddr(const std::string& host, const Resolver& resolver) {
    HostAddr result;
    if (host == ".") {
        result.valid = true;
        result.addr = 0x7F000001;  // 127.0.0.1
        return result;
    }
    uint32_t address = 0;
    if (ParseIpv4(host, address)) {
        result.valid = true;
        result.addr = address;
        return result;
    }
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
                                 int* error, const std::function<bool()>& abandon) {
    int ignored = 0;
    int& err = error ? *error : ignored;
    err = 0;
    if (!address.valid) {
        JVO_LOG2("TcpBase::OpenSocket() Connection failed (error=%d)", EINVAL);
        err = EINVAL;
        return SocketHandle();
    }
    SocketHandle s = net::OpenStream();
    if (!s.Valid()) {
        err = net::LastError();
        JVO_LOG2("TcpBase::OpenSocket() Connection failed (error=%d)", err);
        return SocketHandle();
    }
    const int started = net::Connect(s.Get(), address.addr, port);
    if (started == 0) return s;
    if (net::Classify(started) != net::Error::InProgress &&
        net::Classify(started) != net::Error::WouldBlock) {
        JVO_LOG2("TcpBase::OpenSocket() Connection failed (error=%d)", started);
        err = started;
        return SocketHandle();
    }
    // The connect goes on in the background: wait a bounded time for the socket to be writable.
    SocketPoller poller;
    const size_t entry = poller.AddSocket(s.Get(), false, true);
    // With `abandon`, the wait goes in slices of kAbandonCheckMs so that a caller giving up (a
    // window closing) is heard while the connect is still unanswered.
    const std::chrono::steady_clock::time_point deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(connectTimeoutMs < 0 ? 0 : connectTimeoutMs);
    int ready = 0;
    for (;;) {
        if (abandon && abandon()) {
            JVO_LOG2("TcpBase::OpenSocket() Connect abandoned");
            err = kTimedOut;
            return SocketHandle();
        }
        const int64_t left =
            std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now())
                                     .count());
        const int64_t slice = abandon ? std::min<int64_t>(left, kAbandonCheckMs) : left;
        ready = poller.Wait(static_cast<int32_t>(slice));
        if (ready != 0 || slice >= left) break;  // ready, failed, or the whole time is up
    }
    if (ready == 0) {
        JVO_LOG2("TcpBase::OpenSocket() select() returned  0");
        err = kTimedOut;
        return SocketHandle();
    }
    if (ready < 0) {
        err = net::LastError();
        JVO_LOG2("TcpBase::OpenSocket() select() returned  error %d", err);
        return SocketHandle();
    }
    err = net::ConnectResult(s.Get());
    if (err != 0) {
        JVO_LOG2("TcpBase::OpenSocket() Connection failed (error=%d)", err);
        return SocketHandle();
    }
    if (!poller.Writable(entry)) {
        JVO_LOG2("TcpBase::OpenSocket() select() did not mark the socket as write-ready");
        err = kTimedOut;
        return SocketHandle();
    }
    return s;
}

}  // namespace jvo
