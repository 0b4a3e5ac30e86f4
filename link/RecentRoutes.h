#pragma once
// The routes to a unit that the connect dialogs offer again: a COM port, a serial device or a
// proxy server with its TLS files, the last one used first. The list holds each route once and
// at most kMax of them; a program keeps it between runs through a RouteStore (its settings).
#include <cstddef>
#include <string>
#include <vector>

#include "link/Tls.h"

namespace jvo {

struct Route {
    enum Kind { COM, DEVICE, PROXY };
    Kind m_Kind = COM;
    int m_Port = 0;        // COM: 1..32
    std::string m_Device;  // DEVICE: the serial device's path
    std::string m_Host;    // PROXY: "[tls://]HOST[:PORT]"
    TlsFiles m_Tls;        // PROXY over TLS
    bool operator==(const Route&) const = default;

    static Route Com(int port) { return Route{COM, port, {}, {}, {}}; }
    static Route Device(std::string path) { return Route{DEVICE, 0, std::move(path), {}, {}}; }
    static Route Proxy(std::string host, TlsFiles tls = {}) {
        return Route{PROXY, 0, {}, std::move(host), std::move(tls)};
    }
    // Something a connect dialog can use: a port in 1..32, a device path, a server name.
    bool Usable() const;
};

// The route in words for a list: "COM5", "/dev/ttyUSB0", "proxy gw:43015",
// "proxy tls://gw (CA ca.pem, certificate me.pem, key me.key)". Files by their bare names.
std::string RouteLabel(const Route& route);

class RecentRoutes {
public:
    static constexpr size_t kMax = 8;

    RecentRoutes() = default;
    // Routes as stored, the most recent first; unusable ones, repeats and those beyond kMax are
    // dropped.
    explicit RecentRoutes(const std::vector<Route>& routes);

    // `route` was just connected: it goes first, out of any place it had.
    void Use(const Route& route);
    const std::vector<Route>& List() const { return m_Routes; }
    // The last route used, or null.
    const Route* Last() const { return m_Routes.empty() ? nullptr : &m_Routes.front(); }

private:
    std::vector<Route> m_Routes;
};

// Where a program keeps its recent routes between runs.
class RouteStore {
public:
    virtual ~RouteStore() = default;
    virtual std::vector<Route> Load() = 0;
    virtual void Save(const std::vector<Route>& routes) = 0;
};

}  // namespace jvo
