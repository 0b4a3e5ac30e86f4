// Why nothing can listen, on every platform.
#include "link/OpenProblems.h"

#include "base/Ipv4.h"
#include "link/Socket.h"

namespace jvo::cmdline {

std::string ListenFailure(const std::string& address, uint16_t port) {
    const std::string where = address + ":" + std::to_string(port);
    uint32_t a = 0;
    if (!ParseIpv4(address, a)) return "cannot listen on " + where + ": not an IPv4 address";
    net::StartNetwork();
    SocketHandle s = net::OpenStream();
    const int error = s.Valid() ? net::Listen(s.Get(), a, port, 1) : net::LastError();
    s.Reset();
    net::StopNetwork();
    switch (net::Classify(error)) {
        case net::Error::AddressInUse:
            return "port " + std::to_string(port) + " is in use by another program";
        case net::Error::AccessDenied:
            return "port " + std::to_string(port) + " needs privileges; choose a port from 1024 up";
        case net::Error::AddressNotAvailable:
            return address + " is not an address of this machine";
        case net::Error::None:
            return "cannot listen on " + where + " (it is free now; try again)";
        default:
            return "cannot listen on " + where + ": " + net::ErrorText(error);
    }
}

}  // namespace jvo::cmdline
